#pragma once

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/picture.hpp"

// The widgets of the Linux window runtime that Qt does not have as such.
namespace ornavel::platform::linux_qt {

// Shows a picture inside its border: stretched to fill the inside exactly (an image), or at its
// own size with the box taking that size (a self-sizing picture box). The stretched copy is made
// once, when the picture is set, not at every repaint.
class PictureWidget : public QFrame {
  public:
    PictureWidget(QWidget* parent, bool stretch, bool autoSize);
    void setPicture(PicturePtr picture);
    const PicturePtr& picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void rescale();

    bool stretch_;
    bool autoSize_;
    PicturePtr picture_;
    QPixmap scaled_;
};

// A label that raises an event when clicked, or when Return, Enter or Space is pressed while it
// has the focus; it draws a focus frame then.
class LinkLabel : public QLabel {
  public:
    LinkLabel(QWidget* parent, std::function<void()> clicked);
    void activate() { clicked_(); }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<void()> clicked_;
};

// A push button that Return and Enter press as well as Space.
class ReturnButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A list whose click event fires after a change of the selection, by mouse or keyboard, and after
// a click on the entry already selected; not when the list is cleared. It fires once the input
// already queued has been handled, so a burst of changes (a held arrow key) fires once, for the
// entry it ended on.
class ClickList : public QListWidget {
  public:
    ClickList(QWidget* parent, std::function<void()> clicked);
    void clearQuietly();
    // Return and Enter call this.
    void setReturned(std::function<void()> returned) { returned_ = std::move(returned); }
    // Gives the selected entry a description that a screen reader tells with it, and tells it.
    void describeSelected(const QString& description);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::function<void()> clicked_;
    std::function<void()> returned_;
    QTimer idle_;
    bool pressedOnSelected_ = false;
};

}  // namespace ornavel::platform::linux_qt
