#pragma once

#include <QImage>
#include <string>

#include "platform/picture.hpp"

namespace ornavel::platform::linux_qt {

// A picture on Linux: the decoded image, shared by every control that shows it.
class QtPicture final : public Picture {
  public:
    explicit QtPicture(QImage image) : image_(std::move(image)) {}
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    const QImage& image() const { return image_; }

  private:
    QImage image_;
};

// Reads the picture file at `path` (any bytes), EXIF orientation applied. Throws platform::Error
// with the reason when it cannot be read, is damaged, is no picture or would decode too large.
QImage ReadImage(const std::string& path);

}  // namespace ornavel::platform::linux_qt
