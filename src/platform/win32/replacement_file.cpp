#include "platform/win32/replacement_file.hpp"

#include <cwchar>

namespace ornavel::platform::win32 {
namespace {

constexpr wchar_t kMarker[] = L".ornavel-tmp-";

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

// Deletes the temporaries of `target` nobody holds open: a living writer shares its temporary
// with no one, so it cannot be deleted. Earlier versions wrote "<name>.part" the same way.
void DeleteStaleTemporaries(const std::wstring& target) {
    const std::wstring folder = FolderOf(target);
    const std::wstring name = target.substr(folder.size());
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW((target + kMarker + L"*").c_str(), FindExInfoBasic,
                                           &found, FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            // The search also matches short 8.3 names; only the name itself counts.
            if (std::wstring(found.cFileName).rfind(name + kMarker, 0) == 0 &&
                (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileW((folder + found.cFileName).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    const std::wstring earlier = target + L".part";
    const DWORD attributes = GetFileAttributesW(earlier.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileW(earlier.c_str());
    }
}

}  // namespace

ReplacementFile::ReplacementFile(std::wstring target) : target_(std::move(target)) {
    DeleteStaleTemporaries(target_);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    unsigned long long seed = static_cast<unsigned long long>(counter.QuadPart) ^
                              (static_cast<unsigned long long>(GetCurrentProcessId()) << 32);
    for (int attempt = 0; attempt < 16; ++attempt) {
        wchar_t number[24];
        std::swprintf(number, 24, L"%08llx", (seed >> 8) & 0xFFFFFFFFull);
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        temporary_ = target_ + kMarker + number;
        handle_ = CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ != INVALID_HANDLE_VALUE) return;
        error_ = GetLastError();
        if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) break;
    }
    temporary_.clear();
}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
    temporary_.clear();
}

bool ReplacementFile::Commit() {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    bool ok = FlushFileBuffers(handle_) != FALSE;
    if (!ok) error_ = GetLastError();
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (ok && !MoveFileExW(temporary_.c_str(), target_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error_ = GetLastError();
        ok = false;
    }
    if (!ok) {
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

}  // namespace ornavel::platform::win32
