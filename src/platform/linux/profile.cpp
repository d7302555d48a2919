#include "platform/profile.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <random>

#include "platform/linux/profile_text.hpp"

namespace ornavel::platform {
namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

bool ReadAll(int fd, std::string& text) {
    text.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names after following symbolic links, which need not exist yet: a write
// through a link replaces the link's target and leaves the link in place.
std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0) return path;
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : DirectoryOf(path) + "/" + target;
    }
    return path;
}

// Opens the file and takes its exclusive advisory lock. The lock is on the file's inode; when
// another writer has meanwhile renamed a new file over the path, the lock is on the old inode
// and the file is opened again. `created` tells whether this call made the file.
Fd LockFile(const std::string& path, bool& created) {
    for (;;) {
        created = false;
        Fd fd(open(path.c_str(), O_RDWR | O_CLOEXEC));
        if (!fd && errno == EACCES) fd.Reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd && errno == ENOENT) {
            fd.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (!fd && errno == EEXIST) continue;
            created = static_cast<bool>(fd);
        }
        if (!fd) return fd;
        while (flock(fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) return Fd();
        }
        struct stat held, named;
        if (fstat(fd.get(), &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            return fd;
        }
    }
}

enum class Replaced { Done, NoNewFile, Failed };

// Writes `text` to a new file beside `path` with the old file's permissions and renames it over
// `path`, so the file always holds either the old text or the new one, never a part of it.
Replaced ReplaceFile(const std::string& path, const std::string& text, const struct stat& old) {
    std::random_device seed;
    std::string temporary;
    Fd fd;
    for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(seed());
        fd.Reset(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!fd && errno != EEXIST) {
            return errno == EACCES || errno == EPERM ? Replaced::NoNewFile : Replaced::Failed;
        }
    }
    if (!fd) return Replaced::Failed;
    // Keep the old file's permissions and, where allowed, its owner.
    if (fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
        // Only the superuser may give a file away; the file stays the writer's own.
    }
    const bool written = fchmod(fd.get(), old.st_mode & 07777) == 0 && WriteAll(fd.get(), text) &&
                         fsync(fd.get()) == 0;
    fd.Reset();
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return Replaced::Failed;
    }
    const Fd directory(open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory) fsync(directory.get());
    return Replaced::Done;
}

// Rewrites the file in place, for a file that may be written but whose folder takes no new file.
bool RewriteInPlace(int fd, const std::string& text) {
    return lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, text) &&
           ftruncate(fd, static_cast<off_t>(text.size())) == 0 && fsync(fd) == 0;
}

}  // namespace

std::string ReadPrivateProfile(const std::string& section, const std::string& key,
                               const std::string& defaultValue, std::size_t bufferSize,
                               const std::string& file) {
    std::string text;
    const Fd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd && errno != ENOENT) return profile_text::Truncate(defaultValue, bufferSize);
    if (fd && !ReadAll(fd.get(), text)) return profile_text::Truncate(defaultValue, bufferSize);
    return profile_text::Read(text, section, key, defaultValue, bufferSize);
}

bool WritePrivateProfile(const std::string& section, const std::string& key,
                         const std::string& value, const std::string& file) {
    if (file.empty()) return false;
    const std::string path = FollowLinks(file);
    bool created = false;
    const Fd fd = LockFile(path, created);
    if (!fd) return false;

    std::string text;
    struct stat info;
    bool stored = false;
    // A file without any write permission is read-only, for the superuser too, as the system's
    // read-only attribute is.
    if (fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) != 0 &&
        (created || access(path.c_str(), W_OK) == 0) && ReadAll(fd.get(), text)) {
        const std::optional<std::string> changed = profile_text::Write(text, section, key, value);
        if (!changed) return true;
        switch (ReplaceFile(path, *changed, info)) {
            case Replaced::Done:
                stored = true;
                break;
            case Replaced::NoNewFile:
                stored = RewriteInPlace(fd.get(), *changed);
                break;
            case Replaced::Failed:
                break;
        }
    }
    if (!stored && created) unlink(path.c_str());
    return stored;
}

}  // namespace ornavel::platform
