#pragma once

#include <windows.h>

#include <string>

namespace ornavel::platform::win32 {

// A new version of a file, written beside it under a temporary name and then moved over it, so
// the file always holds either the old bytes or the new ones. The temporary's name is the file's
// name followed by ".ornavel-tmp-" and a random number. Its writer keeps it open without sharing
// for as long as it lives, so a temporary that can be deleted was left by a writer that was
// killed: every new write of the same file deletes those first.
class ReplacementFile {
  public:
    // Deletes the stale temporaries of `target` and creates a new one. On failure handle() is
    // INVALID_HANDLE_VALUE and error() the system's error code.
    explicit ReplacementFile(std::wstring target);
    // Deletes the temporary unless it has replaced the target.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    HANDLE handle() const { return handle_; }
    DWORD error() const { return error_; }

    // Flushes the temporary to the disk, closes it and moves it over the target. False when a
    // step fails, with error() set; the temporary is then deleted.
    bool Commit();

  private:
    void Discard();

    std::wstring target_;
    std::wstring temporary_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DWORD error_ = ERROR_SUCCESS;
};

}  // namespace ornavel::platform::win32
