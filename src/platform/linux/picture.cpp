#include "platform/picture.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/replacement_file.hpp"

namespace ornavel::platform {
namespace {

// A decoded picture larger than this is refused before it is decoded.
constexpr qint64 kMaxDecodedBytes = qint64{1} << 30;

void PutLe(std::vector<unsigned char>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Writes a file in whole blocks of 1 MiB, so the kernel is handed page-aligned writes.
class BlockWriter {
  public:
    explicit BlockWriter(int fd) : fd_(fd) { buffer_.reserve(kBlock); }
    bool ok() const { return ok_; }
    void Put(const unsigned char* data, std::size_t size) {
        while (ok_ && size > 0) {
            const std::size_t n = std::min(size, kBlock - buffer_.size());
            buffer_.insert(buffer_.end(), data, data + n);
            data += n;
            size -= n;
            if (buffer_.size() == kBlock) Flush();
        }
    }
    bool Finish() {
        if (ok_) Flush();
        return ok_;
    }

  private:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    void Flush() {
        const unsigned char* data = buffer_.data();
        std::size_t size = buffer_.size();
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                ok_ = false;
                return;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        buffer_.clear();
    }
    int fd_;
    bool ok_ = true;
    std::vector<unsigned char> buffer_;
};

// Composites a pixel on white, the way a desktop shows a picture without transparency.
unsigned char OnWhite(int channel, int alpha) {
    return static_cast<unsigned char>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Qt shows an uncompressed bitmap cut short with its missing rows blank instead of failing, so
// the file's length is checked against what its header promises.
bool TruncatedBitmap(int fd, qint64 fileSize) {
    // Read in place: the reader's handler keeps its own position in the file.
    char header[34];
    if (::pread(fd, header, sizeof header, 0) != ssize_t{sizeof header}) return true;
    auto le = [&](int at, int bytes) {
        std::uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = value << 8 | std::uint8_t(header[at + i]);
        return value;
    };
    if (le(14, 4) < 40) return false;  // the old OS/2 header: left to Qt
    const std::uint32_t compression = le(30, 4);
    if (compression != 0 && compression != 3) return false;
    const qint64 width = static_cast<std::int32_t>(le(18, 4));
    qint64 height = static_cast<std::int32_t>(le(22, 4));
    if (height < 0) height = -height;
    const qint64 rowBytes = (width * le(28, 2) + 31) / 32 * 4;
    return fileSize < qint64{le(10, 4)} + rowBytes * height;
}

// The file SavePicture last wrote, known by its inode, size and time of change, and its image.
struct SavedImage {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec changed {};
    QImage image;
};
std::mutex g_savedLock;
SavedImage g_saved;

bool SameFile(const struct stat& a, const SavedImage& b) {
    return a.st_dev == b.device && a.st_ino == b.inode && a.st_size == b.size &&
           a.st_ctim.tv_sec == b.changed.tv_sec && a.st_ctim.tv_nsec == b.changed.tv_nsec;
}

}  // namespace

std::optional<QImage> linux_qt::TakeSavedImage(const std::string& path) {
    std::lock_guard lock(g_savedLock);
    SavedImage saved = std::move(g_saved);
    g_saved = SavedImage{};
    struct stat info {};
    if (saved.image.isNull() || saved.path != path || ::stat(path.c_str(), &info) != 0 ||
        !SameFile(info, saved)) {
        return std::nullopt;
    }
    return std::move(saved.image);
}

void linux_qt::ForgetSavedImage() {
    std::lock_guard lock(g_savedLock);
    g_saved = SavedImage{};
}

QImage linux_qt::ReadImage(const std::string& path) {
    // Opened by its bytes: a name that is not valid UTF-8 has no faithful QString form.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Error(ReasonFromErrno(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw Error("это не файл");
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Error("файл не удалось открыть");
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(static_cast<int>(kMaxDecodedBytes >> 20));
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() * 4 > kMaxDecodedBytes) {
        throw Error("изображение слишком велико (" + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + ")");
    }
    if (reader.format() == "bmp" && TruncatedBitmap(fd, info.st_size)) {
        throw Error("файл повреждён или не является изображением");
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        if (reader.error() == QImageReader::InvalidDataError && size.isValid() &&
            qint64(size.width()) * size.height() * 4 > (kMaxDecodedBytes >> 2)) {
            throw Error("изображение слишком велико");
        }
        throw Error("файл повреждён или не является изображением");
    }
    return image;
}

PicturePtr LoadPicture(const std::string& path) {
    return std::make_shared<linux_qt::QtPicture>(linux_qt::ReadImage(path));
}

void SavePicture(const Picture& picture, const std::string& path) {
    const QImage& image = static_cast<const linux_qt::QtPicture&>(picture).image();
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) throw Error("пустое изображение");
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint64_t pixelBytes = std::uint64_t{rowBytes} * static_cast<std::uint32_t>(height);
    if (pixelBytes + 54 > 0xFFFFFFFFu) throw Error("изображение слишком велико для BMP");

    std::vector<unsigned char> header;
    header.reserve(54);
    header.push_back('B');
    header.push_back('M');
    PutLe(header, static_cast<std::uint32_t>(pixelBytes + 54), 4);
    PutLe(header, 0, 4);
    PutLe(header, 54, 4);
    PutLe(header, 40, 4);
    PutLe(header, static_cast<std::uint32_t>(width), 4);
    PutLe(header, static_cast<std::uint32_t>(height), 4);
    PutLe(header, 1, 2);
    PutLe(header, 24, 2);
    PutLe(header, 0, 4);
    PutLe(header, static_cast<std::uint32_t>(pixelBytes), 4);
    PutLe(header, 3780, 4);  // 96 dots per inch
    PutLe(header, 3780, 4);
    PutLe(header, 0, 4);
    PutLe(header, 0, 4);

    // Written beside the old file and moved over it only when complete.
    ReplacementFile file(path);
    const int fd = file.fd();
    if (fd < 0) throw Error(ReasonFromErrno(file.error()));
    BlockWriter writer(fd);
    writer.Put(header.data(), header.size());
    std::vector<unsigned char> row(rowBytes, 0);
    // Rows are read in place where the image is already 32-bit; other formats are converted one
    // row at a time, so no second copy of the whole picture is made.
    const bool direct =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    const bool alpha = image.hasAlphaChannel();
    QImage converted;
    for (int y = height - 1; writer.ok() && y >= 0; --y) {
        const QRgb* line;
        if (direct) {
            line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        } else {
            converted = image.copy(0, y, width, 1).convertToFormat(QImage::Format_ARGB32);
            line = reinterpret_cast<const QRgb*>(converted.constScanLine(0));
        }
        if (alpha) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = line[x];
                unsigned char* out = &row[static_cast<std::size_t>(x) * 3];
                out[0] = OnWhite(qBlue(p), qAlpha(p));
                out[1] = OnWhite(qGreen(p), qAlpha(p));
                out[2] = OnWhite(qRed(p), qAlpha(p));
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const QRgb p = line[x];
                unsigned char* out = &row[static_cast<std::size_t>(x) * 3];
                out[0] = static_cast<unsigned char>(qBlue(p));
                out[1] = static_cast<unsigned char>(qGreen(p));
                out[2] = static_cast<unsigned char>(qRed(p));
            }
        }
        writer.Put(row.data(), row.size());
    }
    bool ok = writer.Finish();
    if (ok) ok = ::fchmod(fd, 0644) == 0;
    const int writeError = errno;
    if (ok && file.Commit()) {
        struct stat info {};
        std::lock_guard lock(g_savedLock);
        g_saved = SavedImage{};
        if (!alpha && ::stat(path.c_str(), &info) == 0) {
            g_saved = SavedImage{path, info.st_dev, info.st_ino, info.st_size, info.st_ctim, image};
        }
        return;
    }
    throw Error(ReasonFromErrno(ok ? file.error() : writeError));
}

}  // namespace ornavel::platform
