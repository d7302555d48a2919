#include "platform/profile.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>
#include <thread>

#include "platform/error.hpp"
#include "platform/linux/profile_text.hpp"
#include "platform/linux/replacement_file.hpp"

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

// Opening never waits: not for a writer on a pipe, nor for a device to become ready.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Reads the whole file, which must be a plain one of at most kMaxProfileBytes.
bool ReadAll(int fd, std::string& text) {
    text.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxProfileBytes) return false;
    }
}

bool IsReadablePlainFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) <= kMaxProfileBytes;
}

std::string TooLarge() { return "файл больше " + std::to_string(kMaxProfileBytes >> 20) + " МиБ"; }

// Takes a shared lock, so a rewrite in place (which holds the exclusive one) is never seen half
// done. A lock held for long by something else does not stop the read: after a second the file
// is read as it stands.
void LockForReading(int fd) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (flock(fd, LOCK_SH | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
        if (target.front() == '/') {
            path = std::move(target);
        } else {
            path = DirectoryOf(path).append("/").append(target);
        }
    }
    return path;
}

// Opens the file and takes its exclusive advisory lock. The lock is on the file's inode; when
// another writer has meanwhile renamed a new file over the path, the lock is on the old inode
// and the file is opened again. `created` tells whether this call made the file.
Fd LockFile(const std::string& path, bool& created) {
    for (;;) {
        created = false;
        Fd fd(open(path.c_str(), O_RDWR | kOpenFlags));
        if (!fd && errno == EACCES) fd.Reset(open(path.c_str(), O_RDONLY | kOpenFlags));
        if (!fd && errno == ENOENT) {
            fd.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0666));
            if (!fd && errno == EEXIST) continue;
            created = static_cast<bool>(fd);
        }
        if (!fd) return fd;
        // A pipe or a device is never written, nor locked.
        struct stat opened;
        if (fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return Fd();
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
    ReplacementFile file(path);
    if (file.fd() < 0) {
        const int error = file.error();
        return error == EACCES || error == EPERM || error == EROFS ? Replaced::NoNewFile
                                                                   : Replaced::Failed;
    }
    // Keep the old file's permissions and, where allowed, its owner.
    if (fchown(file.fd(), old.st_uid, old.st_gid) != 0) {
        // Only the superuser may give a file away; the file stays the writer's own.
    }
    const bool written = fchmod(file.fd(), old.st_mode & 07777) == 0 && WriteAll(file.fd(), text);
    return written && file.Commit() ? Replaced::Done : Replaced::Failed;
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
    const Fd fd(open(file.c_str(), O_RDONLY | kOpenFlags));
    if (!fd && errno != ENOENT) return profile_text::Truncate(defaultValue, bufferSize);
    if (fd) {
        struct stat info;
        if (fstat(fd.get(), &info) != 0 || !IsReadablePlainFile(info)) {
            return profile_text::Truncate(defaultValue, bufferSize);
        }
        LockForReading(fd.get());
        if (!ReadAll(fd.get(), text)) return profile_text::Truncate(defaultValue, bufferSize);
    }
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
    if (fstat(fd.get(), &info) == 0 && IsReadablePlainFile(info) && (info.st_mode & 0222) != 0 &&
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

std::string ProfileFileProblem(const std::string& file) {
    const Fd fd(open(file.c_str(), O_RDONLY | kOpenFlags));
    if (!fd) return errno == ENOENT ? "" : ReasonFromErrno(errno);
    struct stat info;
    if (fstat(fd.get(), &info) != 0) return ReasonFromErrno(errno);
    if (S_ISDIR(info.st_mode)) return "это папка";
    if (!S_ISREG(info.st_mode)) return "это не обычный файл";
    if (!IsReadablePlainFile(info)) return TooLarge();
    return "";
}

std::string ProfileWriteProblem(const std::string& file) {
    if (file.empty()) return "путь не задан";
    const std::string path = FollowLinks(file);
    struct stat info;
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return "это папка";
        if (!S_ISREG(info.st_mode)) return "это не обычный файл";
        if (!IsReadablePlainFile(info)) return TooLarge();
        if ((info.st_mode & 0222) == 0) return "файл только для чтения";
        if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return ReasonFromErrno(errno);
        return "";
    }
    if (errno != ENOENT) return ReasonFromErrno(errno);
    const std::string folder = DirectoryOf(path);
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return (errno == ENOENT
                    ? "папка «" + folder + "» не существует"
                    : "в папку «" + folder + "» нельзя записать: " + ReasonFromErrno(errno));
    }
    return "";
}

std::string ProfileValueProblem(const std::string& value, std::size_t bufferSize) {
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        return "в имени есть перевод строки";
    }
    const std::string line = "[s]\r\nk=" + value + "\r\n";
    const std::string whole = profile_text::Read(line, "s", "k", "", std::string::npos);
    if (profile_text::Read(line, "s", "k", "", bufferSize) != whole) {
        // A quoted value gives up one more place: the reading drops its last character when the
        // closing quote does not fit.
        const bool quoted = whole.size() + 2 == value.size();
        return "путь длиннее " + std::to_string(bufferSize - (quoted ? 2 : 1)) +
               " знаков, а больше файл настроек не хранит";
    }
    return "";
}

}  // namespace ornavel::platform
