// Pictures from a file's bytes, through Qt's image reader. Needs only Qt GUI, so that the fuzz
// target can run it alone.
#include <QBuffer>
#include <QImageReader>

#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/picture_data.hpp"

namespace ornavel::platform::linux_qt {
namespace {

// A decoded picture larger than this is refused before it is decoded.
constexpr qint64 kMaxDecodedBytes = qint64{1} << 30;

// The largest inside of an image control noted so far.
QSize g_shown;

std::string SizeText(QSize size) {
    return std::to_string(size.width()) + " x " + std::to_string(size.height());
}

// Decodes `bytes`, whole or for showing at `shown` pixels, and gives the picture's own upright
// size in `size`.
QImage Decode(const QByteArray& bytes, QSize shown, QSize* size) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(static_cast<int>(kMaxDecodedBytes >> 20));
    const QSize stored = reader.size();
    if (stored.isValid() && qint64(stored.width()) * stored.height() * 4 > kMaxDecodedBytes) {
        throw Error("изображение слишком велико (" + SizeText(stored) + ")");
    }
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
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
            qint64(stored.width()) * stored.height() * 4 > (kMaxDecodedBytes >> 2)) {
            throw Error("изображение слишком велико");
        }
        throw Error(picture_data::kNotAPicture);
    }
    *size = reduced ? upright : image.size();
    return image;
}

}  // namespace

QImage QtPicture::Whole() const {
    if (bytes_.isEmpty() || shown_.size() == size_) return shown_;
    QSize size;
    return Decode(bytes_, QSize(), &size);
}

std::shared_ptr<const QtPicture> PictureFromBytes(QByteArray bytes, QSize shown) {
    if (picture_data::CutShort(std::string_view(bytes.constData(), bytes.size()))) {
        throw Error(picture_data::kCutShort);
    }
    QSize size;
    QImage image = Decode(bytes, shown, &size);
    // A picture larger than what is shown is kept at the shown size only; a smaller one whole.
    if (shown.isValid() && (size.width() > shown.width() || size.height() > shown.height())) {
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return std::make_shared<QtPicture>(std::move(bytes), size, std::move(image));
}

void NoteShownSize(QSize pixels) { g_shown = g_shown.expandedTo(pixels); }

QSize ShownSize() { return g_shown.isEmpty() ? QSize() : g_shown; }

}  // namespace ornavel::platform::linux_qt
