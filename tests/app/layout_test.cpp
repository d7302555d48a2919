#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "about/about_layout.hpp"
#include "app/event_table.hpp"
#include "app/main_layout.hpp"
#include "platform/window.hpp"
#include "support/qt.hpp"

namespace ornavel {
namespace {

using testing::App;

struct NoEvents : platform::WindowEvents {
    void Click(std::string_view) override {}
};

struct RecordedEvents : platform::WindowEvents {
    void Click(std::string_view control) override { clicked.emplace_back(control); }
    std::vector<std::string> clicked;
};

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), text.size()); }

class LayoutTest : public ::testing::TestWithParam<const layout::Window*> {};

// Every control of the table is there, where the table puts it, as the table says it looks.
TEST_P(LayoutTest, TheWindowIsBuiltAsItsTableSays) {
    App();
    const layout::Window& table = *GetParam();
    NoEvents events;
    auto window = platform::LoadWindow(table, events);
    auto* top = reinterpret_cast<QWidget*>(window->NativeHandle());
    window->Show();
    EXPECT_EQ(top->windowTitle(), QString::fromUtf8(table.caption.data(), table.caption.size()));
    EXPECT_EQ(bool(top->windowFlags() & Qt::WindowMinimizeButtonHint), table.minimizeBox);
    EXPECT_FALSE(top->windowFlags() & Qt::WindowMaximizeButtonHint);
    QWidget* client = top->findChild<QWidget*>("client");
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->size(), QSize(table.clientWidth, table.clientHeight));

    for (const layout::Control& c : table.controls) {
        const QString name = QString::fromUtf8(c.name.data(), c.name.size());
        SCOPED_TRACE(name.toStdString());
        QWidget* w = top->findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr);
        const QWidget* container =
            c.container.empty() ? client
                                : top->findChild<QWidget*>(QString::fromUtf8(c.container.data()));
        EXPECT_EQ(w->parentWidget(), container);
        EXPECT_EQ(w->pos(), QPoint(c.left, c.top));
        if (!c.autoSize) {
            EXPECT_EQ(w->size(), QSize(c.width, c.height));
        }
        const bool shown =
            c.visible && c.kind != layout::Kind::Component && c.kind != layout::Kind::FileList;
        EXPECT_EQ(w->isVisible(), shown);
        EXPECT_EQ(w->isEnabled(), c.enabled);
        EXPECT_EQ(w->focusPolicy() != Qt::NoFocus, c.tabIndex >= 0);
        if (c.font.bold) {
            EXPECT_TRUE(w->font().bold());
        }
        if (c.font.underline) {
            EXPECT_TRUE(w->font().underline());
        }
        if (c.kind == layout::Kind::Label) {
            EXPECT_EQ(static_cast<QLabel*>(w)->text(),
                      QString::fromUtf8(c.caption.data(), c.caption.size()));
            if (!c.tooltip.empty()) {
                EXPECT_FALSE(w->toolTip().isEmpty());
            }
            if (c.link) {
                EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor);
            }
        }
        if (c.kind == layout::Kind::Button) {
            auto* button = static_cast<QAbstractButton*>(w);
            EXPECT_EQ(button->text(), QString::fromUtf8(c.caption.data(), c.caption.size()));
            EXPECT_EQ(button->icon().isNull(), c.art == layout::Art::None);
        }
        if (c.foreground) {
            EXPECT_EQ(w->palette().color(QPalette::WindowText),
                      QColor(c.foreground->red, c.foreground->green, c.foreground->blue));
        }
    }
    // Within a container the first control listed is drawn on top: later in the stacking order.
    for (std::size_t i = 0; i < table.controls.size(); ++i) {
        for (std::size_t j = i + 1; j < table.controls.size(); ++j) {
            const auto& upper = table.controls[i];
            const auto& lower = table.controls[j];
            if (upper.container != lower.container) continue;
            QWidget* a =
                top->findChild<QWidget*>(QString::fromUtf8(upper.name.data(), upper.name.size()));
            QWidget* b =
                top->findChild<QWidget*>(QString::fromUtf8(lower.name.data(), lower.name.size()));
            const auto& siblings = a->parentWidget()->children();
            EXPECT_GT(siblings.indexOf(a), siblings.indexOf(b))
                << upper.name << " should lie above " << lower.name;
        }
    }
    // Menus: every entry with its caption and state, no shortcuts.
    for (const layout::MenuEntry& entry : table.menu) {
        if (entry.parent.empty() || entry.caption == "-") continue;
        auto* action =
            top->findChild<QAction*>(QString::fromUtf8(entry.name.data(), entry.name.size()));
        ASSERT_NE(action, nullptr) << entry.name;
        EXPECT_EQ(action->text(), QString::fromUtf8(entry.caption.data(), entry.caption.size()));
        EXPECT_EQ(action->isEnabled(), entry.enabled);
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
    EXPECT_EQ(top->findChild<QMenuBar*>() != nullptr, !table.menu.empty());
}

// The front end raises clicks exactly for the controls that a window's handler table must bind:
// a click on any other control, a menu title or a separator line raises none.
TEST_P(LayoutTest, OnlyTheClickableControlsRaiseClicks) {
    App();
    const layout::Window& table = *GetParam();
    RecordedEvents events;
    auto window = platform::LoadWindow(table, events);
    auto* top = reinterpret_cast<QWidget*>(window->NativeHandle());
    window->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
    const auto clicksOf = [&](const std::function<void()>& click) {
        events.clicked.clear();
        click();
        testing::Settle();  // a list's change is raised once the queued input has been handled
        return events.clicked;
    };
    for (const layout::Control& c : table.controls) {
        SCOPED_TRACE(std::string(c.name));
        QWidget* w = top->findChild<QWidget*>(Q(c.name));
        ASSERT_NE(w, nullptr);
        w->setEnabled(true);
        QPoint at = w->rect().center();
        if (c.kind == layout::Kind::ListBox) {
            window->GetListBox(c.name).Append("entry");
            at = QPoint(5, 5);
            w = static_cast<QAbstractScrollArea*>(w)->viewport();
        }
        const auto clicked = clicksOf([&] { QTest::mouseClick(w, Qt::LeftButton, {}, at); });
        EXPECT_EQ(clicked, Clickable(c) ? std::vector<std::string>{std::string(c.name)}
                                        : std::vector<std::string>{});
    }
    for (const layout::MenuEntry& entry : table.menu) {
        SCOPED_TRACE(std::string(entry.name));
        QAction* action = nullptr;
        if (auto* menu = top->findChild<QMenu*>(Q(entry.name))) {
            action = menu->menuAction();
        } else {
            action = top->findChild<QAction*>(Q(entry.name));
        }
        ASSERT_NE(action, nullptr);
        action->setEnabled(true);
        const auto clicked = clicksOf([&] { action->trigger(); });
        EXPECT_EQ(clicked, Clickable(entry) ? std::vector<std::string>{std::string(entry.name)}
                                            : std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, LayoutTest, ::testing::Values(&kMainLayout, &kAboutLayout),
                         [](const auto& info) { return std::string(info.param->name); });

}  // namespace
}  // namespace ornavel
