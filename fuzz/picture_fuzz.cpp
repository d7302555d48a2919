// Random picture files through the Linux reader and the program's own checks: whatever the bytes,
// the reader either refuses them with a reason or gives a picture whose size, preview and whole
// decode agree, and never accepts a bitmap or JPEG the checks find cut short.
#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/bmp_reader.hpp"
#include "platform/error.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/picture_data.hpp"

namespace {

using ornavel::platform::Error;
using ornavel::platform::linux_qt::PictureFromBytes;

// The preview box of the main window.
const QSize kShown(197, 151);

// Pictures larger than this are skipped, so that every input is decoded in a few milliseconds;
// the reader's own limit is far above it.
constexpr qint64 kMaxPixels = qint64{4} << 20;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// The number of pixels the picture's headers declare, as the reader that will decode it reads
// them; 0 when they do not say.
qint64 DeclaredPixels(const QByteArray& bytes) {
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (ornavel::platform::bmp::IsBitmap(view)) {
        try {
            const auto size = ornavel::platform::bmp::Measure(view);
            return qint64{size.width} * size.height;
        } catch (const Error&) {
            return 0;
        }
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize declared = QImageReader(&buffer).size();
    return declared.isValid() ? qint64{declared.width()} * declared.height() : 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image format plugins (JPEG, GIF) are found through the application's library paths.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (DeclaredPixels(bytes) > kMaxPixels) return 0;
    // Half the inputs are decoded whole, as the reader does before any preview exists.
    const QSize shown = size % 2 ? kShown : QSize();
    try {
        const auto picture = PictureFromBytes(bytes, shown);
        Check(!ornavel::platform::picture_data::CutShort({bytes.constData(), size}),
              "a picture cut short was accepted");
        Check(picture->Width() > 0 && picture->Height() > 0, "an accepted picture has a size");
        const QImage& preview = picture->Shown();
        Check(!preview.isNull(), "an accepted picture has a preview");
        const bool larger =
            picture->Width() > kShown.width() || picture->Height() > kShown.height();
        if (shown.isValid() && larger) {
            Check(preview.size() == kShown, "a large picture's preview is the shown size");
        } else {
            Check(preview.size() == QSize(picture->Width(), picture->Height()),
                  "a small picture is held whole");
        }
        try {
            const QImage whole = picture->Whole();
            Check(whole.size() == QSize(picture->Width(), picture->Height()),
                  "the whole picture has the size the header gave");
        } catch (const Error& e) {
            Check(*e.what() != '\0', "a refusal has a reason");
        }
    } catch (const Error& e) {
        Check(*e.what() != '\0', "a refusal has a reason");
    }
    return 0;
}
