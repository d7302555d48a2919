// Pictures from a file's bytes: bitmaps through the program's own reader, everything else through
// Qt's image reader. Needs only Qt GUI, so that the fuzz target can run it alone.
#include <QBuffer>
#include <QImageReader>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/bmp_reader.hpp"
#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/orientation.hpp"
#include "platform/picture_data.hpp"

namespace ornavel::platform::linux_qt {
namespace {

// Pixels decoded by the program's own code, as a Qt image over their own buffer: the rows are
// already in QImage's 32-bit layout, and a copy would double the memory a large picture takes.
QImage ImageOf(Pixels&& pixels) {
    auto held = std::make_unique<std::vector<std::uint8_t>>(std::move(pixels.bgra));
    QImage image(
        held->data(), pixels.width, pixels.height, qsizetype{4} * pixels.width,
        QImage::Format_RGB32,
        [](void* buffer) { delete static_cast<std::vector<std::uint8_t>*>(buffer); }, held.get());
    if (image.isNull()) throw Error("недостаточно памяти");
    // The image frees the buffer from here on.
    static_cast<void>(held.release());
    return image;
}

// Decodes `bytes` (not a bitmap) with Qt, whole or for showing at `shown` pixels, upright, and
// gives the picture's own upright size in `size`.
QImage DecodeWithQt(const QByteArray& bytes, QSize shown, QSize* size) {
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::string refusal = picture_data::Refusal(view);
    if (!refusal.empty()) throw Error(refusal);
    // The orientation is read by the program itself, as on every platform.
    const int orientation = orientation::Read(view);
    const bool turned = orientation::Quarter(orientation);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(static_cast<int>(picture_data::kMaxPixels * 4 >> 20));
    const QSize stored = reader.size();
    if (stored.isValid() &&
        std::uint64_t(stored.width()) * std::uint64_t(stored.height()) > picture_data::kMaxPixels) {
        throw Error(picture_data::TooLarge(stored.width(), stored.height()));
    }
    const QSize upright = turned ? stored.transposed() : stored;
    bool reduced = false;
    if (stored.isValid() && shown.isValid() && reader.format() == "jpeg") {
        // The decoder scales by 1/2, 1/4 or 1/8 as it decodes: the smallest of these that
        // still covers what is shown. Asking for that size exactly leaves nothing to resample.
        const QSize want = turned ? shown.transposed() : shown;
        for (int d : {8, 4, 2}) {
            const QSize scaled((stored.width() + d - 1) / d, (stored.height() + d - 1) / d);
            if (scaled.width() >= want.width() && scaled.height() >= want.height()) {
                reader.setScaledSize(scaled);
                reduced = true;
                break;
            }
        }
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        if (reader.error() == QImageReader::InvalidDataError && stored.isValid() &&
            std::uint64_t(stored.width()) * std::uint64_t(stored.height()) >
                picture_data::kMaxPixels / 4) {
            throw Error(picture_data::TooLarge(stored.width(), stored.height()));
        }
        throw Error(reader.error() == QImageReader::UnsupportedFormatError
                        ? picture_data::kNotAPicture
                        : picture_data::kDamaged);
    }
    if (orientation != 1) {
        // Only JPEGs carry an orientation, and they have no transparency.
        if (image.format() != QImage::Format_RGB32) image.convertTo(QImage::Format_RGB32);
        image = ImageOf(orientation::Upright(image.constBits(), image.width(), image.height(),
                                             static_cast<std::size_t>(image.bytesPerLine()),
                                             orientation));
    }
    *size = reduced ? upright : image.size();
    return image;
}

// Decodes `bytes`, whole or for showing at `shown` pixels, and gives the picture's own upright
// size in `size`.
QImage Decode(const QByteArray& bytes, QSize shown, QSize* size) {
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (!bmp::IsBitmap(view)) return DecodeWithQt(bytes, shown, size);
    QImage image = ImageOf(bmp::Decode(view));
    *size = image.size();
    return image;
}

}  // namespace

QImage QtPicture::Whole() const {
    if (bytes_.isEmpty() || shown_.size() == size_) return shown_;
    QSize size;
    return Decode(bytes_, QSize(), &size);
}

std::shared_ptr<const QtPicture> PictureFromBytes(QByteArray bytes, QSize shown) {
    QSize size;
    QImage image = Decode(bytes, shown, &size);
    // A picture larger than what is shown is kept at the shown size only; a smaller one whole.
    if (shown.isValid() && (size.width() > shown.width() || size.height() > shown.height())) {
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return std::make_shared<QtPicture>(std::move(bytes), size, std::move(image));
}

}  // namespace ornavel::platform::linux_qt
