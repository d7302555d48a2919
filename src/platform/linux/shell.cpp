#include "platform/shell.hpp"

#include <QDesktopServices>
#include <QUrl>

#include "platform/linux/runtime.hpp"

namespace ornavel::platform {

void OpenInShell(const std::string& target) {
    QDesktopServices::openUrl(QUrl(linux_qt::Q(target)));
}

}  // namespace ornavel::platform
