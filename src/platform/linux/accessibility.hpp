#pragma once

#include <QAccessible>
#include <QWidget>

// What assistive technology is told of the window runtime's widgets where Qt's guess from the
// widget's class is wrong: a plain QWidget window is a "filler", and a QFrame (a frame, a picture)
// a "frame", the role of a top-level window, which makes a screen reader take it for an inactive
// window and drop the focus events inside it.
namespace ornavel::platform::linux_qt {

// Gives the widget this role. A link takes its text as its name and can be pressed.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// The widget is drawn only: a screen reader passes it by (the shadow copy of a text).
void SetDecorative(QWidget* widget);

}  // namespace ornavel::platform::linux_qt
