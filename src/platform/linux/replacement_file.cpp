#include "platform/linux/replacement_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace ornavel::platform {
namespace {

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Earlier versions named a settings file's temporaries "<name>.tmp-<pid>-<number>" and held no
// lock on them; they wrote only under the settings file's own lock, which the caller holds.
bool IsEarlierSettingsTemporary(std::string_view suffix) {
    if (!suffix.starts_with(".tmp-")) return false;
    suffix.remove_prefix(5);
    const std::size_t dash = suffix.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (i != dash && (suffix[i] < '0' || suffix[i] > '9')) return false;
    }
    return true;
}

bool IsTemporaryOf(std::string_view entry, std::string_view name) {
    if (!entry.starts_with(name)) return false;
    const std::string_view suffix = entry.substr(name.size());
    return (suffix.starts_with(kTemporaryMarker) &&
            suffix.size() == std::string_view(kTemporaryMarker).size() + 6) ||
           (name == "options.ini" && IsEarlierSettingsTemporary(suffix));
}

// Removes the temporaries of `target` whose writer is gone: those whose lock can be taken.
void RemoveStaleTemporaries(const std::string& target) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(DirectoryOf(target).c_str()), closedir);
    if (!dir) return;
    const std::string name = NameOf(target);
    const int dirFd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        if (!IsTemporaryOf(entry->d_name, name)) continue;
        const int fd =
            openat(dirFd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {
        }, named{};
        // The name must still be the file locked: only then is it this stale file that goes.
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            unlinkat(dirFd, entry->d_name, 0);
        }
        close(fd);
    }
}

}  // namespace

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {
    RemoveStaleTemporaries(target_);
    for (int attempt = 0; attempt < 8; ++attempt) {
        temporary_ = target_ + kTemporaryMarker + "XXXXXX";
        fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            temporary_.clear();
            return;
        }
        // Another writer's sweep may take the new file for a stale one between its creation and
        // this lock; the lock then holds a file without a name, and a new one is made.
        int locked;
        while ((locked = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat info {};
        if (locked != 0 || (fstat(fd_, &info) == 0 && info.st_nlink > 0)) return;
        close(fd_);
        fd_ = -1;
    }
    error_ = EEXIST;
    temporary_.clear();
}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
    if (temporary_.empty()) return;
    unlink(temporary_.c_str());
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    temporary_.clear();
}

bool ReplacementFile::Commit() {
    if (fd_ < 0) return false;
    bool ok = fsync(fd_) == 0;
    if (!ok) error_ = errno;
    // Closing releases the lock; the name is renamed away before any sweep could take it.
    if (ok && rename(temporary_.c_str(), target_.c_str()) != 0) {
        error_ = errno;
        ok = false;
    }
    if (!ok) {
        Discard();
        return false;
    }
    close(fd_);
    fd_ = -1;
    temporary_.clear();
    const int directory = open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

}  // namespace ornavel::platform
