#include "platform/picture.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cerrno>
#include <cstdint>

#include "platform/bitmap_file.hpp"
#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/replacement_file.hpp"
#include "platform/picture_data.hpp"

namespace ornavel::platform {
namespace {

// Writes all of `data` to `fd`.
void WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error(ReasonFromErrno(errno));
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
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

PicturePtr LoadPicture(const std::string& path, ShownSize shown) {
    // In device pixels, at the scale of the sharpest screen.
    const qreal scale = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    const QSize pixels = QSize(shown.width, shown.height) * scale;
    return linux_qt::PictureFromBytes(ReadPictureFile(path), pixels.isEmpty() ? QSize() : pixels);
}

PicturePtr WholePicture(const PicturePtr& picture) {
    if (!picture) return picture;
    const auto& qt = linux_qt::QtPictureOf(*picture);
    QImage whole = qt.Whole();
    if (whole.constBits() == qt.Shown().constBits()) return picture;
    return std::make_shared<linux_qt::QtPicture>(std::move(whole));
}

void SavePicture(const Picture& picture, const std::string& path) {
    const QImage image = linux_qt::QtPictureOf(picture).Whole();
    const BitmapFile bitmap(image.width(), image.height());

    // Written beside the old file and moved over it only when complete.
    ReplacementFile file(path);
    const int fd = file.fd();
    if (fd < 0) throw Error(ReasonFromErrno(file.error()));
    // Rows are read in place where the image is already 32-bit, which in memory is blue, green,
    // red, alpha; other formats are converted one row at a time, so no second copy of the whole
    // picture is made.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "32-bit pixels are read as bytes");
    const bool direct =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32;
    QImage converted;
    bitmap.Write(
        [&](int y) {
            if (direct) return image.constScanLine(y);
            converted = image.copy(0, y, image.width(), 1).convertToFormat(QImage::Format_ARGB32);
            return converted.constScanLine(0);
        },
        [fd](const std::uint8_t* data, std::size_t size) { WriteAll(fd, data, size); });
    if (::fchmod(fd, 0644) != 0) throw Error(ReasonFromErrno(errno));
    if (!file.Commit()) throw Error(ReasonFromErrno(file.error()));
}

}  // namespace ornavel::platform
