#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "about/about_layout.hpp"
#include "app/main_layout.hpp"
#include "platform/window.hpp"
#include "support/qt.hpp"

// What a screen reader learns of the windows through Qt's accessibility interfaces, the ones the
// AT-SPI bridge hands on, and what the keyboard alone reaches.
namespace ornavel {
namespace {

using testing::App;
using testing::Child;

struct Recorder : platform::WindowEvents {
    std::vector<std::string> clicks;
    void Click(std::string_view control) override { clicks.emplace_back(control); }
};

QWidget* Top(platform::Window& window) { return reinterpret_cast<QWidget*>(window.NativeHandle()); }

QAccessibleInterface* Told(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

struct Expected {
    QAccessible::Role role;
    QString name;
};

class AccessibilityTest : public ::testing::Test {
  protected:
    void SetUp() override { App(); }
    Recorder events;
};

TEST_F(AccessibilityTest, EveryControlHasARoleAndARussianNameAndOnlyTheWindowsAreWindows) {
    auto main = platform::LoadWindow(kMainLayout, events);
    auto about = platform::LoadWindow(kAboutLayout, events);
    const std::map<QString, Expected> mainControls{
        {"List1", {QAccessible::List, "Список"}},
        {"Command1", {QAccessible::Button, "Установить"}},
        {"Command2", {QAccessible::Button, "Выбрать папку"}},
        {"Image1", {QAccessible::Graphic, "Предпросмотр"}},
        {"Label1", {QAccessible::StaticText, "Предпросмотр"}},
        {"Label2", {QAccessible::StaticText, "Список"}},
        {"Stat", {QAccessible::StaticText, "Папка"}},
    };
    const std::map<QString, Expected> aboutControls{
        {"Command1", {QAccessible::Button, "Закрыть"}},
        {"Label10", {QAccessible::StaticText, "Ornavel"}},
        {"Label11", {QAccessible::StaticText, "Разработчик:"}},
        {"Label4", {QAccessible::StaticText, "E-mail:"}},
        {"Label5", {QAccessible::StaticText, "Сайт программы:"}},
        {"Label7", {QAccessible::StaticText, "Форум сайта:"}},
    };
    for (const auto& [window, controls, role, title] :
         {std::tuple{main.get(), &mainControls, QAccessible::Window, QString("Ornavel")},
          std::tuple{about.get(), &aboutControls, QAccessible::Dialog, QString("О программе")}}) {
        QWidget* top = Top(*window);
        EXPECT_EQ(Told(top)->role(), role) << title.toStdString();
        EXPECT_EQ(Told(top)->text(QAccessible::Name), title);
        for (const auto& [name, expected] : *controls) {
            SCOPED_TRACE(name.toStdString());
            QAccessibleInterface* told = Told(Child(top, name.toUtf8().constData()));
            ASSERT_NE(told, nullptr);
            EXPECT_EQ(told->role(), expected.role);
            EXPECT_EQ(told->text(QAccessible::Name), expected.name);
        }
        // A screen reader takes a "frame" inside a window for an inactive window of its own.
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            for (int i = 0; i < node->childCount(); ++i) {
                QAccessibleInterface* child = node->child(i);
                ASSERT_NE(child, nullptr);
                EXPECT_NE(child->role(), QAccessible::Window)
                    << child->object()->objectName().toStdString();
                EXPECT_NE(child->role(), QAccessible::Border)
                    << child->object()->objectName().toStdString();
                walk(child);
            }
        };
        walk(Told(top));
    }

    // The links are links, named by their text, described by their tooltip, and can be pressed.
    for (const char* name : {"Label3", "Label6", "Label8"}) {
        QAccessibleInterface* link = Told(Child(Top(*about), name));
        EXPECT_EQ(link->role(), QAccessible::Link) << name;
        EXPECT_FALSE(link->text(QAccessible::Name).isEmpty()) << name;
        EXPECT_FALSE(link->text(QAccessible::Description).isEmpty()) << name;
        EXPECT_TRUE(link->state().focusable) << name;
        ASSERT_NE(link->actionInterface(), nullptr);
        EXPECT_TRUE(link->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
        link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"Label3", "Label6", "Label8"}));

    // The shadow copy of the size text and the program's icon are drawn only.
    for (auto [window, name] :
         {std::pair{main.get(), "Label4"}, std::pair{about.get(), "Image1"}}) {
        QAccessibleInterface* told = Told(Child(Top(*window), name));
        EXPECT_TRUE(told->state().invisible) << name;
        EXPECT_TRUE(told->text(QAccessible::Name).isEmpty()) << name;
    }
    // The status line is the folder, and says which.
    main->GetLabel("Stat").SetCaption("/home/user/Картинки");
    EXPECT_EQ(Told(Child(Top(*main), "Stat"))->text(QAccessible::Description),
              "/home/user/Картинки");
}

TEST_F(AccessibilityTest, MovingTheSelectionTellsTheEntryAndThenThePicturesSize) {
    auto window = platform::LoadWindow(kMainLayout, events);
    QWidget* top = Top(*window);
    window->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
    auto& box = window->GetListBox("List1");
    for (const char* name : {"лес.jpg", "море.bmp"}) box.Append(name);
    auto* list = Child<QListWidget>(top, "List1");
    ASSERT_EQ(QApplication::focusWidget(), list);

    // The focus follows the selection to the entry, which a screen reader speaks by its name.
    // (The events themselves go out over AT-SPI: atspi_test.py listens to them.)
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_NE(Told(list)->focusChild(), nullptr);
    EXPECT_EQ(Told(list)->focusChild()->text(QAccessible::Name), "лес.jpg");
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_NE(Told(list)->focusChild(), nullptr);
    EXPECT_EQ(Told(list)->focusChild()->text(QAccessible::Name), "море.bmp");
    EXPECT_TRUE(Told(list)->focusChild()->state().focused);

    // Once the picture is shown, its size is the entry's and the preview's description.
    window->GetLabel("Label3").SetCaption("640 x 480");
    window->GetLabel("Label4").SetCaption("640 x 480");
    EXPECT_EQ(Told(list)->child(1)->text(QAccessible::Description), "640 x 480");
    EXPECT_EQ(Told(Child(top, "Image1"))->text(QAccessible::Description), "640 x 480");
    EXPECT_TRUE(Told(list)->child(0)->text(QAccessible::Description).isEmpty());
}

TEST_F(AccessibilityTest, ReturnInstallsFromTheListAndPressesTheFocusedButtonAndF10OpensTheMenu) {
    auto window = platform::LoadWindow(kMainLayout, events);
    QWidget* top = Top(*window);
    window->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
    window->GetListBox("List1").Append("a.jpg");
    auto* list = Child<QListWidget>(top, "List1");
    // Nothing previewed yet: the install button is disabled, so Return does nothing.
    QTest::keyClick(list, Qt::Key_Return);
    window->GetButton("Command1").SetEnabled(true);
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"Command1", "Command1"}));

    events.clicks.clear();
    QTest::keyClick(list, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Child(top, "Command2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Child(top, "Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"Command2", "Command1"}));

    // F10 opens the first menu; the arrows and Return choose from it.
    events.clicks.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << "F10 opened no menu";
    EXPECT_EQ(menu->objectName(), "file");
    while (menu->activeAction() == nullptr ||
           menu->activeAction()->objectName() != "select_folder") {
        QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_NE(menu->activeAction(), nullptr);
    }
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(events.clicks, (std::vector<std::string>{"select_folder"}));
}

}  // namespace
}  // namespace ornavel
