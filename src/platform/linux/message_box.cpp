#include "platform/message_box.hpp"

#include <QMessageBox>

#include "platform/linux/runtime.hpp"

namespace ornavel::platform {

void ShowMessage(WindowHandle owner, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, "Ornavel", linux_qt::Q(text), QMessageBox::Ok,
                    linux_qt::WidgetFromHandle(owner));
    box.setObjectName("message");
    box.exec();
}

}  // namespace ornavel::platform
