#include <QImageReader>
#include <QPixmap>

#include "platform/linux/runtime.hpp"

// The pictures are compiled into a static library, whose resources must be registered by hand.
static void RegisterArt() { Q_INIT_RESOURCE(ornavel); }

namespace {

// Decodes one of the program's own PNG pictures with Qt's built-in PNG reader. Left to guess the
// format, the reader would first load every image-format plugin to ask it, which costs the start.
QPixmap Png(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

}  // namespace

namespace ornavel::platform::linux_qt {

QPixmap ArtPixmap(layout::Art art) {
    static const bool registered = (RegisterArt(), true);
    (void)registered;
    switch (art) {
        case layout::Art::ProgramIcon:
            return Png(":/ornavel/ornavel.png");
        case layout::Art::FolderGlyph:
            return Png(":/ornavel/folder.png");
        case layout::Art::SettingsFace:
            return Png(":/ornavel/settings-face.png");
        case layout::Art::DialogsFace:
            return Png(":/ornavel/dialogs-face.png");
        case layout::Art::None:
            break;
    }
    return {};
}

}  // namespace ornavel::platform::linux_qt
