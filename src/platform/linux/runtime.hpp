#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/layout.hpp"
#include "platform/window_handle.hpp"

// What the pieces of the Linux window runtime share.
namespace ornavel::platform::linux_qt {

// Runs a handler. An exception that escapes it is shown with the standard error report and ends
// the program; once the program is ending, no handler runs any more.
void RunReportingErrors(const std::function<void()>& handler);

// True once EndProgram or the error report has ended the program.
bool Ending();

// False, with the reason, when there is no display that Qt could connect to.
bool CanReachDisplay(std::string& problem);

// The pictures that come with the program.
QPixmap ArtPixmap(layout::Art art);

// The window behind a handle; null for 0.
inline QWidget* WidgetFromHandle(WindowHandle handle) { return reinterpret_cast<QWidget*>(handle); }
inline WindowHandle HandleFromWidget(QWidget* widget) {
    return reinterpret_cast<WindowHandle>(widget);
}

// Text in the program is UTF-8; bytes that are not valid UTF-8 show as replacement characters.
inline QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string U(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace ornavel::platform::linux_qt
