#include "platform/linux/widgets.hpp"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "platform/linux/qt_picture.hpp"

namespace ornavel::platform::linux_qt {

PictureWidget::PictureWidget(QWidget* parent, bool stretch, bool autoSize)
    : QFrame(parent), stretch_(stretch), autoSize_(autoSize) {}

void PictureWidget::setPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    if (autoSize_ && picture_) {
        const int border = 2 * frameWidth();
        resize(picture_->Width() + border, picture_->Height() + border);
    }
    rescale();
    update();
}

void PictureWidget::rescale() {
    scaled_ = QPixmap();
    if (!stretch_ || !picture_) return;
    const QSize inside = contentsRect().size();
    if (inside.isEmpty()) return;
    const QImage& image = QtPictureOf(*picture_).Shown();
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = inside * ratio;
    scaled_ =
        QPixmap::fromImage(image.size() == pixels ? image
                                                  : image.scaled(pixels, Qt::IgnoreAspectRatio,
                                                                 Qt::SmoothTransformation));
    scaled_.setDevicePixelRatio(ratio);
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    rescale();
}

void PictureWidget::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!picture_) return;
    QPainter painter(this);
    const QRect inside = contentsRect();
    if (stretch_) {
        painter.drawPixmap(inside.topLeft(), scaled_);
    } else {
        // At the picture's own size; what is held may be smaller (hidden boxes only measure).
        painter.drawImage(QRect(inside.topLeft(), QSize(picture_->Width(), picture_->Height())),
                          QtPictureOf(*picture_).Shown());
    }
}

LinkLabel::LinkLabel(QWidget* parent, std::function<void()> clicked)
    : QLabel(parent), clicked_(std::move(clicked)) {
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        clicked_();
    }
}

namespace {

// Return, or Enter on the keypad, without a modifier.
bool IsReturn(const QKeyEvent* event) {
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    if (IsReturn(event) ||
        (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)) {
        event->accept();
        clicked_();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    // Only the keyboard gives a link the focus, so the frame always shows.
    option.state |= QStyle::State_KeyboardFocusChange;
    option.backgroundColor = palette().color(backgroundRole());
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void ReturnButton::keyPressEvent(QKeyEvent* event) {
    if (IsReturn(event)) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

ClickList::ClickList(QWidget* parent, std::function<void()> clicked)
    : QListWidget(parent), clicked_(std::move(clicked)) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every name is measured for the list's layout; a folder of thousands is measured a batch at
    // a time between other events, so that the window shows without waiting for the last one.
    setLayoutMode(QListView::Batched);
    // A timer of no delay runs once the window system's queued events have all been handled.
    idle_.setSingleShot(true);
    idle_.setInterval(0);
    connect(&idle_, &QTimer::timeout, this, [this] {
        if (!selectedItems().isEmpty()) clicked_();
    });
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selectedItems().isEmpty()) idle_.start();
    });
    // A click on the entry already selected changes nothing, yet is a click all the same.
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (pressedOnSelected_) idle_.start();
        pressedOnSelected_ = false;
    });
}

void ClickList::mousePressEvent(QMouseEvent* event) {
    const QListWidgetItem* item = itemAt(event->position().toPoint());
    pressedOnSelected_ = item && item->isSelected();
    QListWidget::mousePressEvent(event);
}

// Return is the list's command. With nothing selected yet, the first arrow key selects the entry
// under the focus frame (the first one), instead of moving past it unseen.
void ClickList::keyPressEvent(QKeyEvent* event) {
    if (IsReturn(event)) {
        event->accept();
        if (returned_) returned_();
        return;
    }
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (arrow && event->modifiers() == Qt::NoModifier && selectedItems().isEmpty() && count() > 0) {
        // Made current anew, so that assistive technology hears the focus move to the entry.
        const int row = currentRow() < 0 ? 0 : currentRow();
        setCurrentIndex(QModelIndex());
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void ClickList::describeSelected(const QString& description) {
    QListWidgetItem* item = currentItem();
    if (item == nullptr || !item->isSelected()) return;
    item->setData(Qt::AccessibleDescriptionRole, description);
    if (QAccessible::isActive()) {
        QAccessibleEvent told(this, QAccessible::DescriptionChanged);
        told.setChild(row(item));
        QAccessible::updateAccessibility(&told);
    }
}

void ClickList::clearQuietly() {
    const QSignalBlocker quiet(this);
    idle_.stop();
    clear();
}

}  // namespace ornavel::platform::linux_qt
