#include "platform/picture.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/replacement_file.hpp"
#include "platform/picture_data.hpp"

namespace ornavel::platform {
namespace {

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

// The bytes of the picture file at `path`, read whole. The file is opened so that nothing can
// block (a FIFO would wait for a writer) and checked to be a plain file of a sane size first.
QByteArray ReadPictureFile(const std::string& path) {
    // Opened by its bytes: a name that is not valid UTF-8 has no faithful QString form.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw Error(ReasonFromErrno(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) throw Error(ReasonFromErrno(errno));
    if (S_ISDIR(info.st_mode)) throw Error(picture_data::kFolder);
    if (!S_ISREG(info.st_mode)) throw Error(picture_data::kNotAFile);
    if (static_cast<std::uint64_t>(info.st_size) > picture_data::kMaxFileBytes) {
        throw Error(picture_data::kTooLarge);
    }
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(info.st_size));
    qsizetype done = 0;
    // A file that shrank since is read to its new end; one that grew, to the size it had.
    while (done < bytes.size()) {
        const ssize_t n =
            ::read(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(ReasonFromErrno(errno));
        }
        if (n == 0) break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

}  // namespace

PicturePtr LoadPicture(const std::string& path) {
    return linux_qt::PictureFromBytes(ReadPictureFile(path), linux_qt::ShownSize());
}

PicturePtr WholePicture(const PicturePtr& picture) {
    if (!picture) return picture;
    const auto& qt = static_cast<const linux_qt::QtPicture&>(*picture);
    QImage whole = qt.Whole();
    if (whole.constBits() == qt.Shown().constBits()) return picture;
    return std::make_shared<linux_qt::QtPicture>(std::move(whole));
}

void SavePicture(const Picture& picture, const std::string& path) {
    const QImage image = static_cast<const linux_qt::QtPicture&>(picture).Whole();
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
    if (ok && file.Commit()) return;
    throw Error(ReasonFromErrno(ok ? file.error() : writeError));
}

}  // namespace ornavel::platform
