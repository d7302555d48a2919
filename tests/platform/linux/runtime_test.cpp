#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <array>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/main_layout.hpp"
#include "platform/linux/qt_picture.hpp"
#include "platform/linux/runtime.hpp"
#include "platform/window.hpp"
#include "support/qt.hpp"

namespace ornavel {
namespace {

using layout::Border;
using layout::Control;
using layout::Kind;
using testing::App;
using testing::Child;

struct Recorder : platform::WindowEvents {
    std::vector<std::string> clicks;
    std::function<void()> onClick;
    void Click(std::string_view control) override {
        clicks.emplace_back(control);
        if (onClick) onClick();
    }
};

QWidget* Top(platform::Window& window) { return reinterpret_cast<QWidget*>(window.NativeHandle()); }

class RuntimeTest : public ::testing::Test {
  protected:
    void SetUp() override { App(); }
    Recorder events;
};

TEST_F(RuntimeTest, TheMainWindowTakesTheDefaultFontFocusOrderAndBorders) {
    auto window = platform::LoadWindow(kMainLayout, events);
    QWidget* top = Top(*window);
    window->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(top));

    // MS Sans Serif where the system has it, else a sans-serif face, always at 8.25 points.
    for (const char* name : {"Stat", "Label1", "Command1", "List1"}) {
        const QFont font = Child<QWidget>(top, name)->font();
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25) << name;
        EXPECT_FALSE(QFontInfo(font).fixedPitch()) << name;
    }
    EXPECT_TRUE(Child<QWidget>(top, "Command1")->font().bold());
    EXPECT_FALSE(Child<QWidget>(top, "Stat")->font().bold());

    // List1 first; Tab then goes to Command2 and past the disabled Command1 back to List1.
    auto* list = Child<QWidget>(top, "List1");
    auto* folder = Child<QWidget>(top, "Command2");
    EXPECT_EQ(QApplication::focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), folder);
    QTest::keyClick(folder, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), list);
    window->GetButton("Command1").SetEnabled(true);
    QTest::keyClick(list, Qt::Key_Tab);
    QTest::keyClick(folder, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(top, "Command1"));
    for (const char* hidden : {"Picture1", "Picture2", "File1", "CD", "INI", "Image1", "Stat"}) {
        EXPECT_EQ(Child<QWidget>(top, hidden)->focusPolicy(), Qt::NoFocus) << hidden;
    }

    EXPECT_EQ(Child<QFrame>(top, "Image1")->frameWidth(), 2);
    EXPECT_EQ(Child<QFrame>(top, "Picture2")->frameWidth(), 2);
    EXPECT_EQ(Child<QFrame>(top, "Stat")->frameWidth(), 1);
    auto* glyph = Child<QPushButton>(top, "Command2");
    EXPECT_TRUE(glyph->text().isEmpty());
    EXPECT_EQ(glyph->icon().availableSizes().value(0), QSize(15, 13));
    EXPECT_TRUE(glyph->icon().pixmap(15, 13).toImage().hasAlphaChannel());

    // The size text is two-tone: black over white, both over the preview.
    auto* black = Child<QLabel>(top, "Label4");
    auto* white = Child<QLabel>(top, "Label3");
    EXPECT_EQ(black->pos() + QPoint(1, 1), white->pos());
    EXPECT_FALSE(black->autoFillBackground());
    EXPECT_FALSE(white->autoFillBackground());
    EXPECT_EQ(black->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
}

// The program's pictures are read with the PNG reader named outright; they come out as any
// reader would decode their files.
TEST_F(RuntimeTest, ThePicturesThatComeWithTheProgramAreTheirFilesDecoded) {
    const std::array<std::pair<layout::Art, const char*>, 4> pictures{{
        {layout::Art::ProgramIcon, ":/ornavel/ornavel.png"},
        {layout::Art::FolderGlyph, ":/ornavel/folder.png"},
        {layout::Art::SettingsFace, ":/ornavel/settings-face.png"},
        {layout::Art::DialogsFace, ":/ornavel/dialogs-face.png"},
    }};
    for (const auto& [art, file] : pictures) {
        const QImage picture = platform::linux_qt::ArtPixmap(art).toImage();
        EXPECT_FALSE(picture.isNull()) << file;
        EXPECT_EQ(picture, QPixmap(file).toImage()) << file;
    }
    EXPECT_TRUE(platform::linux_qt::ArtPixmap(layout::Art::None).isNull());
}

TEST_F(RuntimeTest, AskingForAControlThatIsNotThereIsAProgrammingError) {
    auto window = platform::LoadWindow(kMainLayout, events);
    EXPECT_THROW(window->GetLabel("Nothing"), std::logic_error);
    EXPECT_THROW(window->GetButton("List1"), std::logic_error) << "a list is no button";
    EXPECT_THROW(window->Focus("Nothing"), std::logic_error);
    EXPECT_NO_THROW(window->GetPictureBox("Image1"));
    EXPECT_NO_THROW(window->GetPictureBox("Picture2"));
}

TEST_F(RuntimeTest, AWindowWhoseControlsCannotBeMadeIsNotLeftBehind) {
    constexpr std::array broken{
        Control{.name = "Orphan",
                .kind = Kind::Label,
                .container = "Missing",
                .left = 0,
                .top = 0,
                .width = 10,
                .height = 10},
    };
    layout::Window table = kMainLayout;
    table.controls = broken;
    table.menu = {};
    const auto before = QApplication::topLevelWidgets().size();
    EXPECT_THROW(platform::LoadWindow(table, events), std::logic_error);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
}

TEST_F(RuntimeTest, TheListRaisesItsClickAfterEachSelectionChangeButNotWhenCleared) {
    auto window = platform::LoadWindow(kMainLayout, events);
    QWidget* top = Top(*window);
    window->Show();
    auto& box = window->GetListBox("List1");
    auto* list = Child<QListWidget>(top, "List1");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) box.Append(name);
    const std::string invalid = "\xff\xfe.bmp";
    box.Append(invalid);
    EXPECT_EQ(box.Count(), 5);
    EXPECT_EQ(box.SelectedText(), "");

    std::vector<std::string> seen;
    events.onClick = [&] { seen.push_back(box.SelectedText()); };
    // Each change is raised once the events queued before it have been handled.
    const auto settle = testing::Settle;
    // The first arrow key in a list with nothing selected selects the first entry.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(seen.empty()) << "not while input may still be queued";
    settle();
    EXPECT_EQ(seen, std::vector<std::string>{"a.jpg"});
    seen.clear();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    settle();
    list->setFocus();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Home}) {
        QTest::keyClick(list, key);
        settle();
    }
    QTest::keyClick(list, Qt::Key_Up);  // already at the top: nothing changes
    settle();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    settle();
    EXPECT_EQ(seen, (std::vector<std::string>{"b.jpg", "c.jpg", invalid, "a.jpg", "a.jpg"}));

    // A burst of changes handled before the queue empties raises one click, for where it ended.
    seen.clear();
    for (int i = 0; i < 3; ++i) QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Up);
    settle();
    EXPECT_EQ(seen, std::vector<std::string>{"c.jpg"});

    // A name that is not UTF-8 keeps its bytes and shows replacement characters.
    EXPECT_EQ(list->item(4)->text(), QString::fromUtf8("\uFFFD\uFFFD.bmp"));

    // A change still waiting when the list is cleared is dropped with it.
    seen.clear();
    QTest::keyClick(list, Qt::Key_Down);
    box.Clear();
    settle();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(box.Count(), 0);
    EXPECT_EQ(box.SelectedText(), "");
}

// A window of its own for the picture controls, with the preview's size and border.
constexpr std::array kPictureControls{
    Control{.name = "Stretched",
            .kind = Kind::Image,
            .container = "",
            .left = 8,
            .top = 8,
            .width = 201,
            .height = 155,
            .border = Border::Sunken},
    Control{.name = "Sized",
            .kind = Kind::PictureBox,
            .container = "",
            .left = 220,
            .top = 8,
            .width = 57,
            .height = 57,
            .border = Border::Sunken,
            .autoSize = true},
};
const layout::Window kPictures{.name = "Pictures",
                               .caption = "Pictures",
                               .clientWidth = 320,
                               .clientHeight = 200,
                               .minimizeBox = false,
                               .font = {},
                               .icon = layout::Art::None,
                               .initialFocus = "",
                               .controls = kPictureControls,
                               .menu = {}};

platform::PicturePtr TwoColours(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            image.setPixelColor(x, y, x < width / 2 ? QColor(Qt::red) : QColor(Qt::blue));
        }
    }
    return std::make_shared<platform::linux_qt::QtPicture>(image);
}

TEST_F(RuntimeTest, AnImageStretchesItsPictureToFillItsInsideExactly) {
    auto window = platform::LoadWindow(kPictures, events);
    QWidget* top = Top(*window);
    window->Show();
    auto& image = window->GetPictureBox("Stretched");
    QWidget* widget = Child<QWidget>(top, "Stretched");

    image.SetPicture(TwoColours(40, 4));  // far less wide than high once stretched
    const QImage shot = widget->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(201, 155));
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::red)) << "the inside starts after the border";
    EXPECT_EQ(shot.pixelColor(90, 152), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(110, 2), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(198, 152), QColor(Qt::blue));
    EXPECT_NE(shot.pixelColor(0, 0), QColor(Qt::red)) << "the border is not painted over";
    EXPECT_NE(shot.pixelColor(200, 154), QColor(Qt::blue));
    EXPECT_EQ(image.OuterWidth(), 201.0f) << "an image keeps its size";

    image.SetPicture(nullptr);
    const QImage empty = widget->grab().toImage();
    EXPECT_NE(empty.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_NE(empty.pixelColor(150, 50), QColor(Qt::blue));
    EXPECT_EQ(image.Picture(), nullptr);
}

TEST_F(RuntimeTest, ASelfSizingPictureBoxTakesItsPicturesSizePlusTheBorder) {
    auto window = platform::LoadWindow(kPictures, events);
    auto& box = window->GetPictureBox("Sized");
    EXPECT_EQ(box.OuterWidth(), 57.0f);
    const platform::PicturePtr picture = TwoColours(640, 480);
    box.SetPicture(picture);
    EXPECT_EQ(box.OuterWidth(), 644.0f);
    EXPECT_EQ(box.OuterHeight(), 484.0f);
    EXPECT_EQ(box.Picture(), picture) << "the same object, not a copy";
    const QImage shot = Child<QWidget>(Top(*window), "Sized")->grab().toImage();
    EXPECT_EQ(shot.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(641, 481), QColor(Qt::blue));
}

TEST_F(RuntimeTest, ButtonsAndMenuEntriesRaiseTheirEventsOnlyWhenEnabled) {
    auto window = platform::LoadWindow(kMainLayout, events);
    QWidget* top = Top(*window);
    window->Show();
    auto* install = Child<QPushButton>(top, "Command1");
    QTest::mouseClick(install, Qt::LeftButton);
    window->GetButton("Command1").SetEnabled(true);
    EXPECT_TRUE(window->GetButton("Command1").Enabled());
    QTest::mouseClick(install, Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(top, "Command2"), Qt::LeftButton);
    auto& entry = window->GetMenuEntry("Set_select");
    EXPECT_FALSE(entry.Enabled());
    Child<QAction>(top, "Set_select")->trigger();
    entry.SetEnabled(true);
    Child<QAction>(top, "Set_select")->trigger();
    Child<QAction>(top, "about_mnu")->trigger();
    EXPECT_EQ(events.clicks,
              (std::vector<std::string>{"Command1", "Command2", "Set_select", "about_mnu"}));
}

}  // namespace
}  // namespace ornavel
