#include "platform/file_dialog.hpp"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "platform/linux/runtime.hpp"

namespace ornavel::platform {
namespace {

// The mask's description and pattern pairs, each text ended by a NUL, as the dialog's filters
// ("Pictures (*.jpg *.bmp)"). A pair without its pattern, or with an empty one, is left out.
QStringList Filters(const std::string& mask) {
    QStringList texts;
    std::size_t start = 0;
    while (start < mask.size()) {
        std::size_t end = mask.find('\0', start);
        if (end == std::string::npos) end = mask.size();
        texts << linux_qt::Q(mask.substr(start, end - start));
        start = end + 1;
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < texts.size(); i += 2) {
        QString patterns = texts[i + 1];
        patterns.replace(';', ' ');
        if (patterns.trimmed().isEmpty()) continue;
        filters << texts[i] + " (" + patterns.simplified() + ")";
    }
    return filters;
}

}  // namespace

std::string BrowseForFile(const std::string& title, const std::string& mask, WindowHandle owner) {
    QFileDialog dialog(linux_qt::WidgetFromHandle(owner), linux_qt::Q(title), QDir::currentPath());
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = Filters(mask);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.front());
    }
    if (dialog.exec() != QDialog::Accepted) return "";
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return "";
    return QFile::encodeName(files.front()).toStdString();
}

}  // namespace ornavel::platform
