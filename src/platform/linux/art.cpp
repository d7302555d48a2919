#include <QPixmap>

#include "platform/linux/runtime.hpp"

// The pictures are compiled into a static library, whose resources must be registered by hand.
static void RegisterArt() { Q_INIT_RESOURCE(ornavel); }

namespace ornavel::platform::linux_qt {

QPixmap ArtPixmap(layout::Art art) {
    static const bool registered = (RegisterArt(), true);
    (void)registered;
    switch (art) {
        case layout::Art::ProgramIcon:
            return QPixmap(":/ornavel/ornavel.png");
        case layout::Art::FolderGlyph:
            return QPixmap(":/ornavel/folder.png");
        case layout::Art::SettingsFace:
            return QPixmap(":/ornavel/settings-face.png");
        case layout::Art::DialogsFace:
            return QPixmap(":/ornavel/dialogs-face.png");
        case layout::Art::None:
            break;
    }
    return {};
}

}  // namespace ornavel::platform::linux_qt
