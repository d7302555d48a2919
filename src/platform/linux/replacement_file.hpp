#pragma once

#include <string>

namespace ornavel::platform {

// A new version of a file, written beside it under a temporary name and then renamed over it, so
// the file always holds either the old bytes or the new ones. The temporary's name is the file's
// name followed by ".ornavel-tmp-" and six random characters. Its writer holds a lock on it
// for as long as it lives, so a temporary nobody holds was left by a writer that was killed:
// every new write of the same file removes those first.
class ReplacementFile {
  public:
    // Removes the stale temporaries of `target` and creates a new one, mode 0600. On failure
    // fd() is -1 and error() tells why (an errno value).
    explicit ReplacementFile(std::string target);
    // Removes the temporary unless it has replaced the target.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; }
    const std::string& path() const { return temporary_; }

    // Flushes the temporary to the disk, closes it and renames it over the target, then flushes
    // the folder. False when a step fails, with error() set; the temporary is then removed.
    bool Commit();

  private:
    void Discard();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    int error_ = 0;
};

// The marker between a file's name and the random part of its temporaries' names.
inline constexpr char kTemporaryMarker[] = ".ornavel-tmp-";

}  // namespace ornavel::platform
