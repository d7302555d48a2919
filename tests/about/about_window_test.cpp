#include "about/about_window.hpp"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <vector>

#include "about/identity.hpp"
#include "support/qt.hpp"

// Stands in for the desktop's handlers of the link targets: records what would be opened.
class LinkRecorder : public QObject {
    Q_OBJECT
  public:
    QStringList opened;
  public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

namespace ornavel {
namespace {

using testing::App;
using testing::Child;
using testing::WhenModal;

// Presses `key` on the About window's focused control, which should close the window; a window
// left open fails the test and is closed, so that the test goes on.
void PressToClose(QWidget* window, Qt::Key key) {
    QTest::keyClick(window->focusWidget(), key);
    if (window->isVisible()) {
        ADD_FAILURE() << "the key left the About window open";
        window->close();
    }
}

class AboutWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* scheme : {"mailto", "http", "https"}) {
            QDesktopServices::setUrlHandler(scheme, &recorder, "open");
        }
        owner.resize(350, 240);
        owner.show();
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    }
    void TearDown() override {
        for (const char* scheme : {"mailto", "http", "https"}) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }

    QApplication& app = App();
    LinkRecorder recorder;
    QWidget owner;
};

TEST_F(AboutWindowTest, IsModalCentredAndClosedByEscapeItsButtonOrCloseBox) {
    About about;
    QWidget* shown = nullptr;
    bool blocked = false;
    auto watch = WhenModal([&](QWidget* window) {
        shown = window;
        EXPECT_EQ(window->windowTitle(), "О программе");
        EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
        ASSERT_NE(window->windowHandle(), nullptr);
        EXPECT_EQ(window->windowHandle()->transientParent(), owner.windowHandle());
        blocked = QApplication::activeModalWidget() == window;
        const QPoint centre = window->frameGeometry().center();
        const QPoint screen = QApplication::primaryScreen()->availableGeometry().center();
        EXPECT_LE(std::abs(centre.x() - screen.x()), 2);
        EXPECT_LE(std::abs(centre.y() - screen.y()), 2);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(window->focusWidget(), Child<QWidget>(window, "Command1"));
        PressToClose(window, Qt::Key_Escape);
    });
    about.Show();
    EXPECT_NE(shown, nullptr);
    EXPECT_TRUE(blocked);
    EXPECT_EQ(about.window(), nullptr) << "the window exists only while shown";

    // Return presses the focused «Закрыть».
    watch = WhenModal([&](QWidget* window) { PressToClose(window, Qt::Key_Return); });
    about.Show();
    EXPECT_EQ(about.window(), nullptr);

    // The close box closes it too, and each showing builds it anew.
    bool fresh = false;
    watch = WhenModal([&](QWidget* window) {
        fresh = window->findChild<QLabel*>("Label3") != nullptr && window->isVisible();
        window->close();
    });
    about.Show();
    EXPECT_TRUE(fresh);
    EXPECT_EQ(about.window(), nullptr);
}

TEST_F(AboutWindowTest, EachLinkOpensItsOwnTargetWithTheDesktopHandler) {
    About about;
    QStringList tips;
    auto watch = WhenModal([&](QWidget* window) {
        for (const char* name : {"Label3", "Label6", "Label8"}) {
            auto* link = Child<QLabel>(window, name);
            tips << link->toolTip();
            EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
            EXPECT_TRUE(link->font().bold() && link->font().underline());
            QTest::mouseClick(link, Qt::LeftButton);
        }
        // A press that leaves the link before the release is no click.
        auto* mail = Child<QLabel>(window, "Label3");
        QTest::mousePress(mail, Qt::LeftButton);
        QTest::mouseRelease(mail, Qt::LeftButton, {}, QPoint(-5, -5));
        window->close();
    });
    about.Show();
    // The build's settings name the address and the site; the rest is the program's own.
    EXPECT_EQ(
        recorder.opened,
        (QStringList{"mailto:" ORNAVEL_DEVELOPER_EMAIL "?subject=Ornavel message",
                     "http://" ORNAVEL_SITE_HOST, "http://" ORNAVEL_SITE_HOST "/forum/index.php"}));
    EXPECT_EQ(tips, (QStringList{"Отправить письмо автору программы", "Посетить сайт программы",
                                 "Обсудить программу на форуме"}));
}

TEST_F(AboutWindowTest, TheLinksAreReachedWithTabAndOpenedWithReturnOrSpace) {
    // A focus frame shows only in the active window: no other window competes for that here.
    owner.hide();
    About about;
    std::vector<QString> order;
    bool framed = false;
    auto watch = WhenModal([&](QWidget* window) {
        if (!QTest::qWaitForWindowActive(window)) {
            ADD_FAILURE() << "the About window never became active";
            window->close();
            return;
        }
        auto* mail = Child<QLabel>(window, "Label3");
        const QImage unfocused = mail->grab().toImage();
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
            order.push_back(window->focusWidget()->objectName());
        }
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(window->focusWidget(), mail);
        // Drawn as before, with a focus frame.
        EXPECT_TRUE(mail->hasFocus()) << "the About window lost the activation";
        framed = mail->grab().toImage() != unfocused;
        QTest::keyClick(mail, Qt::Key_Return);
        QTest::keyClick(mail, Qt::Key_Tab);
        QTest::keyClick(window->focusWidget(), Qt::Key_Space);
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(window->focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        PressToClose(window, Qt::Key_Escape);
    });
    about.Show();
    EXPECT_EQ(order, (std::vector<QString>{"Label3", "Label6", "Label8", "Command1"}));
    EXPECT_TRUE(framed) << "a focused link shows the focus";
    EXPECT_EQ(
        recorder.opened,
        (QStringList{"mailto:" ORNAVEL_DEVELOPER_EMAIL "?subject=Ornavel message",
                     "http://" ORNAVEL_SITE_HOST, "http://" ORNAVEL_SITE_HOST "/forum/index.php"}));
}

}  // namespace
}  // namespace ornavel

#include "about_window_test.moc"
