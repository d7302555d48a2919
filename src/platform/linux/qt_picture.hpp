#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <memory>
#include <string>

#include "platform/picture.hpp"

namespace ornavel::platform::linux_qt {

// A picture on Linux, shared by every control that shows it. A picture read from a file keeps the
// file's bytes and holds its pixels only as large as the controls show them; the whole picture is
// decoded from those bytes when it is saved. A picture made in memory (the program's own art)
// holds its whole image.
class QtPicture final : public Picture {
  public:
    explicit QtPicture(QImage image) : size_(image.size()), shown_(std::move(image)) {}
    QtPicture(QByteArray bytes, QSize size, QImage shown)
        : bytes_(std::move(bytes)), size_(size), shown_(std::move(shown)) {}
    int Width() const override { return size_.width(); }
    int Height() const override { return size_.height(); }
    // What controls draw, stretched to their size: the picture decoded at the size of the
    // largest image control, or whole.
    const QImage& Shown() const { return shown_; }
    // The whole picture at its own size. Throws platform::Error when the bytes cannot be decoded
    // (the memory for it is lacking).
    QImage Whole() const;

  private:
    QByteArray bytes_;
    QSize size_;
    QImage shown_;
};

// The Linux picture behind `picture`: every picture on Linux is a QtPicture.
inline const QtPicture& QtPictureOf(const Picture& picture) {
    return dynamic_cast<const QtPicture&>(picture);
}

// Makes a picture of a file's bytes (a bitmap, or any format Qt reads): checks that they hold a
// whole picture of a size that can be decoded, reads its size from its header, EXIF orientation
// applied, and decodes it for showing at `shown` device pixels (a JPEG at a reduced scale), or
// whole when `shown` is empty. Throws platform::Error with the reason when it is damaged, cut
// short, of a variant the program does not show, no picture or would decode too large.
std::shared_ptr<const QtPicture> PictureFromBytes(QByteArray bytes, QSize shown);

}  // namespace ornavel::platform::linux_qt
