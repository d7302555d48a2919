#include "platform/folder_dialog.hpp"

#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "platform/linux/runtime.hpp"

namespace ornavel::platform {

std::string BrowseForFolder(const std::string& title, WindowHandle owner) {
    const QString chosen =
        QFileDialog::getExistingDirectory(linux_qt::WidgetFromHandle(owner), linux_qt::Q(title),
                                          QDir::currentPath(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return "";
    std::string path = QFile::encodeName(QDir::cleanPath(chosen)).toStdString();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace ornavel::platform
