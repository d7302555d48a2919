#include "platform/window.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <map>
#include <stdexcept>
#include <vector>

#include "platform/linux/accessibility.hpp"
#include "platform/linux/controls.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/runtime.hpp"
#include "platform/linux/widgets.hpp"

namespace ornavel::platform {
namespace linux_qt {

namespace {

// The named face where the system has it, else the closest one of the same kind, at the size
// given in points.
QFont MakeFont(const layout::Font& font, const QFont& fallback) {
    if (font.face.empty()) return fallback;
    QFont f{Q(font.face)};
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    f.setUnderline(font.underline);
    const bool fixed = font.face.find("Courier") != std::string_view::npos;
    f.setStyleHint(fixed ? QFont::TypeWriter : QFont::SansSerif);
    return f;
}

// The window's own widget: the close box unloads the window. It is offered the keys its
// controls leave alone.
class TopLevel final : public QWidget {
  public:
    std::function<void()> closing;
    std::function<bool(int key)> key;  // true when the key was handled

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (closing) closing();
        event->accept();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->modifiers() == Qt::NoModifier && key && key(event->key())) {
            event->accept();
            return;
        }
        QWidget::keyPressEvent(event);
    }
};

class QtWindow final : public Window {
  public:
    QtWindow(const layout::Window& layout, WindowEvents& events)
        : layout_(layout), events_(events) {
        top_ = new TopLevel;
        // A window whose controls cannot all be made is not left behind.
        try {
            BuildWindow();
        } catch (...) {
            delete top_;
            throw;
        }
    }

    ~QtWindow() override {
        if (loop_) loop_->quit();
        delete top_;
    }

  private:
    void BuildWindow() {
        const layout::Window& layout = layout_;
        top_->setObjectName(Q(layout.name));
        top_->setAttribute(Qt::WA_DeleteOnClose, false);
        top_->closing = [this] { Closed(); };
        Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (layout.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
        top_->setWindowFlags(flags);
        top_->setWindowTitle(Q(layout.caption));
        top_->setWindowIcon(ArtPixmap(layout.icon));
        QFont font = MakeFont(layout.font, QApplication::font());
        top_->setFont(font);
        SetAccessibleRole(top_, layout.dialog ? QAccessible::Dialog : QAccessible::Window);
        top_->key = [this](int key) { return Key(key); };

        auto* column = new QVBoxLayout(top_);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        if (!layout.menu.empty()) {
            auto* bar = new QMenuBar(top_);
            bar->setObjectName("menu");
            BuildMenu(bar);
            column->setMenuBar(bar);
        }
        client_ = new QWidget(top_);
        client_->setObjectName("client");
        client_->setFixedSize(layout.clientWidth, layout.clientHeight);
        column->addWidget(client_);
        column->setSizeConstraint(QLayout::SetFixedSize);

        for (const layout::Control& control : layout.controls) Build(control, font);
        for (const layout::Control& control : layout.controls) Relate(control);
        // The first control listed in a container is drawn on top.
        for (auto it = layout.controls.rbegin(); it != layout.controls.rend(); ++it) {
            Widget(it->name)->raise();
        }
        std::vector<const layout::Control*> order;
        for (const layout::Control& control : layout.controls) {
            if (control.tabIndex >= 0) order.push_back(&control);
        }
        std::sort(order.begin(), order.end(),
                  [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
        for (std::size_t i = 1; i < order.size(); ++i) {
            QWidget::setTabOrder(Widget(order[i - 1]->name), Widget(order[i]->name));
        }
    }

  public:
    WindowHandle NativeHandle() const override { return HandleFromWidget(top_); }
    Label& GetLabel(std::string_view name) override { return Find(labels_, name); }
    Button& GetButton(std::string_view name) override { return Find(buttons_, name); }
    MenuEntry& GetMenuEntry(std::string_view name) override { return Find(menuEntries_, name); }
    ListBox& GetListBox(std::string_view name) override { return Find(lists_, name); }
    FileList& GetFileList(std::string_view name) override { return Find(fileLists_, name); }
    PictureBox& GetPictureBox(std::string_view name) override { return Find(pictures_, name); }
    void Focus(std::string_view name) override { Widget(name)->setFocus(Qt::OtherFocusReason); }

    void Show() override {
        Center();
        top_->show();
        FocusFirst();
    }

    void ShowModal() override {
        top_->setWindowModality(Qt::ApplicationModal);
        // Kept above the window it was opened from, as a dialog of that window.
        if (QWidget* owner = QApplication::activeWindow(); owner && owner != top_) {
            top_->winId();
            if (QWindow* handle = top_->windowHandle()) {
                handle->setTransientParent(owner->window()->windowHandle());
            }
        }
        Center();
        top_->show();
        FocusFirst();
        QEventLoop loop;
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
    }

    void Unload() override { top_->close(); }

  private:
    template <typename T>
    static T& Find(std::map<std::string, std::unique_ptr<T>, std::less<>>& map,
                   std::string_view name) {
        const auto it = map.find(name);
        if (it == map.end()) throw std::logic_error("no such control: " + std::string(name));
        return *it->second;
    }

    QWidget* Widget(std::string_view name) const {
        const auto it = widgets_.find(name);
        if (it == widgets_.end()) throw std::logic_error("no such control: " + std::string(name));
        return it->second;
    }

    void RaiseClick(std::string name) {
        RunReportingErrors([&] { events_.Click(name); });
    }

    // Escape closes a dialog; F10 opens the first menu, as Alt does.
    bool Key(int key) {
        if (key == Qt::Key_Escape && layout_.dialog) {
            Unload();
            return true;
        }
        auto* bar = top_->findChild<QMenuBar*>("menu");
        if (key == Qt::Key_F10 && bar != nullptr && !bar->actions().isEmpty()) {
            bar->setActiveAction(bar->actions().first());
            return true;
        }
        return false;
    }

    void Closed() {
        top_->hide();
        if (loop_) loop_->quit();
    }

    void Center() {
        top_->adjustSize();
        QScreen* screen = QApplication::primaryScreen();
        if (!screen) return;
        const QRect area = screen->availableGeometry();
        const QSize frame = top_->frameGeometry().size().expandedTo(top_->size());
        top_->move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }

    void FocusFirst() {
        if (!layout_.initialFocus.empty()) {
            top_->activateWindow();
            Widget(layout_.initialFocus)->setFocus(Qt::ActiveWindowFocusReason);
        }
    }

    void BuildMenu(QMenuBar* bar) {
        std::map<std::string_view, QMenu*> menus;
        for (const layout::MenuEntry& entry : layout_.menu) {
            if (entry.parent.empty()) {
                QMenu* menu = bar->addMenu(Q(entry.caption));
                menu->setObjectName(Q(entry.name));
                menus[entry.name] = menu;
                continue;
            }
            QMenu* menu = menus.at(entry.parent);
            if (entry.caption == "-") {
                menu->addSeparator()->setObjectName(Q(entry.name));
                continue;
            }
            QAction* action = menu->addAction(Q(entry.caption));
            action->setObjectName(Q(entry.name));
            action->setEnabled(entry.enabled);
            const std::string name(entry.name);
            QObject::connect(action, &QAction::triggered, top_, [this, name] { RaiseClick(name); });
            menuEntries_.emplace(name, std::make_unique<QtMenuEntry>(action));
        }
    }

    void Build(const layout::Control& c, const QFont& windowFont) {
        QWidget* parent = c.container.empty() ? client_ : Widget(c.container);
        const std::string name(c.name);
        QWidget* widget = nullptr;
        switch (c.kind) {
            case layout::Kind::Label: {
                QLabel* label = c.link ? new LinkLabel(parent, [this, name] { RaiseClick(name); })
                                       : new QLabel(parent);
                if (c.link) SetAccessibleRole(label, QAccessible::Link);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(AlignmentOf(c.align) | Qt::AlignTop);
                if (c.border == layout::Border::Single) {
                    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                }
                if (!c.tooltip.empty()) label->setToolTip(Q(c.tooltip));
                auto adapter = std::make_unique<QtLabel>(label, c.autoSize);
                labels_.emplace(name, std::move(adapter));
                widget = label;
                break;
            }
            case layout::Kind::Button: {
                auto* button = new ReturnButton(parent);
                button->setAutoDefault(false);
                if (c.art != layout::Art::None) {
                    const QPixmap glyph = ArtPixmap(c.art);
                    button->setIcon(glyph);
                    button->setIconSize(glyph.size());
                } else {
                    button->setText(Q(c.caption));
                }
                QObject::connect(button, &QPushButton::clicked, top_,
                                 [this, name] { RaiseClick(name); });
                buttons_.emplace(name, std::make_unique<QtButton>(button));
                widget = button;
                break;
            }
            case layout::Kind::Frame: {
                auto* frame = new QFrame(parent);
                frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
                SetAccessibleRole(frame, QAccessible::Grouping);
                widget = frame;
                break;
            }
            case layout::Kind::ListBox: {
                auto* list = new ClickList(parent, [this, name] { RaiseClick(name); });
                if (!c.returnClicks.empty()) {
                    list->setReturned([this, button = std::string(c.returnClicks)] {
                        if (GetButton(button).Enabled()) RaiseClick(button);
                    });
                }
                lists_.emplace(name, std::make_unique<QtListBox>(list));
                widget = list;
                break;
            }
            case layout::Kind::FileList: {
                widget = new QWidget(parent);
                fileLists_.emplace(name, std::make_unique<FileList>(std::string(c.pattern)));
                break;
            }
            case layout::Kind::Image:
            case layout::Kind::PictureBox: {
                auto* picture =
                    new PictureWidget(parent, c.kind == layout::Kind::Image, c.autoSize);
                SetAccessibleRole(picture, QAccessible::Graphic);
                if (c.border == layout::Border::Sunken) {
                    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                    picture->setLineWidth(2);
                }
                pictures_.emplace(name, std::make_unique<QtPictureBox>(picture));
                widget = picture;
                break;
            }
            case layout::Kind::Component: {
                auto* face = new QLabel(parent);
                face->setPixmap(ArtPixmap(c.art));
                widget = face;
                break;
            }
        }
        widget->setObjectName(Q(c.name));
        widget->setGeometry(c.left, c.top, c.width, c.height);
        if (!c.accessibleName.empty()) widget->setAccessibleName(Q(c.accessibleName));
        if (c.decorative) SetDecorative(widget);
        widget->setFont(MakeFont(c.font, windowFont));
        if (c.foreground) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::WindowText,
                             QColor(c.foreground->red, c.foreground->green, c.foreground->blue));
            widget->setPalette(palette);
        }
        // Labels draw no background of their own, so what lies beneath shows through.
        widget->setAutoFillBackground(false);
        widget->setEnabled(c.enabled);
        // A click on a link opens it without taking the focus, as on Windows.
        const Qt::FocusPolicy focus = c.link ? Qt::TabFocus : Qt::StrongFocus;
        widget->setFocusPolicy(c.tabIndex >= 0 && c.visible ? focus : Qt::NoFocus);
        widget->setVisible(c.visible && c.kind != layout::Kind::Component &&
                           c.kind != layout::Kind::FileList);
        widgets_.emplace(name, widget);
        if (c.kind == layout::Kind::Label) GetLabel(c.name).SetCaption(std::string(c.caption));
        if (c.kind == layout::Kind::Image && c.art != layout::Art::None) {
            GetPictureBox(c.name).SetPicture(
                std::make_shared<linux_qt::QtPicture>(ArtPixmap(c.art).toImage()));
        }
    }

    // Ties a control to the labels that name and describe it.
    void Relate(const layout::Control& c) {
        QWidget* widget = Widget(c.name);
        if (!c.labelledBy.empty()) {
            auto* label = qobject_cast<QLabel*>(Widget(c.labelledBy));
            if (label == nullptr) throw std::logic_error("no such label: " + std::string(c.name));
            label->setBuddy(widget);
            if (c.accessibleName.empty()) widget->setAccessibleName(label->text());
        }
        if (!c.describedBy.empty()) {
            QtLabel& label = Find(labels_, c.describedBy);
            if (c.kind == layout::Kind::ListBox) {
                QtListBox& list = Find(lists_, c.name);
                label.Describes([&list](const QString& text) { list.DescribeSelected(text); });
            } else {
                label.Describes(
                    [widget](const QString& text) { widget->setAccessibleDescription(text); });
            }
        }
    }

    static Qt::Alignment AlignmentOf(layout::Align align) {
        switch (align) {
            case layout::Align::Center:
                return Qt::AlignHCenter;
            case layout::Align::Right:
                return Qt::AlignRight;
            case layout::Align::Left:
                break;
        }
        return Qt::AlignLeft;
    }

    const layout::Window& layout_;
    WindowEvents& events_;
    TopLevel* top_ = nullptr;
    QWidget* client_ = nullptr;
    QEventLoop* loop_ = nullptr;
    std::map<std::string, QWidget*, std::less<>> widgets_;
    std::map<std::string, std::unique_ptr<QtLabel>, std::less<>> labels_;
    std::map<std::string, std::unique_ptr<Button>, std::less<>> buttons_;
    std::map<std::string, std::unique_ptr<MenuEntry>, std::less<>> menuEntries_;
    std::map<std::string, std::unique_ptr<QtListBox>, std::less<>> lists_;
    std::map<std::string, std::unique_ptr<FileList>, std::less<>> fileLists_;
    std::map<std::string, std::unique_ptr<PictureBox>, std::less<>> pictures_;
};

}  // namespace
}  // namespace linux_qt

std::unique_ptr<Window> LoadWindow(const layout::Window& layout, WindowEvents& events) {
    return std::make_unique<linux_qt::QtWindow>(layout, events);
}

}  // namespace ornavel::platform
