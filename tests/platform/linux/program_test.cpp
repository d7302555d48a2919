#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/main_layout.hpp"
#include "app/main_window.hpp"
#include "platform/window.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::SetEnv;
using testing::WriteFile;

char kName[] = "ornavel-test";
char* kArgv[] = {kName, nullptr};

int RunWith(const std::function<std::shared_ptr<void>()>& start) {
    return platform::RunProgram(1, kArgv, start);
}

// Runs `act` once, as soon as the event loop runs.
void Soon(std::function<void()> act) { QTimer::singleShot(0, qApp, std::move(act)); }

// Runs `act` once every timer already due has run: a list raises its click from a timer of no
// delay, and a timer of no delay started later fires after it.
void AfterDueTimers(std::function<void()> act) {
    auto* timer = new QTimer(qApp);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        timer->deleteLater();
        act();
    });
    timer->start(0);
}

// Runs `act` on the next modal window to appear.
void OnModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start(20);
}

struct Handlers : platform::WindowEvents {
    std::function<void(std::string_view)> click;
    void Click(std::string_view control) override { click(control); }
};

QWidget* Top(platform::Window& window) { return reinterpret_cast<QWidget*>(window.NativeHandle()); }

// The real program, started without anything it could show its windows on: the environment it
// gets, and a text its one line of complaint must hold.
struct NoDisplay {
    const char* name;
    std::vector<std::pair<const char*, const char*>> env;
    const char* named;
};
void PrintTo(const NoDisplay& param, std::ostream* out) { *out << param.name; }

class NoDisplayTest : public ::testing::TestWithParam<NoDisplay> {};

TEST_P(NoDisplayTest, TheProgramSaysSoInOneLineAndFails) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY", "XDG_SESSION_TYPE",
                             "XDG_CURRENT_DESKTOP"}) {
        env.remove(name);
    }
    testing::TempDir runtime;
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
    for (const auto& [name, value] : GetParam().env) env.insert(name, value);
    program.setProcessEnvironment(env);
    program.start(ORNAVEL_BINARY_DIR "/ornavel", {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "no abort";
    EXPECT_NE(program.exitCode(), 0);
    const QString error = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(error.startsWith("ornavel: нет дисплея: ")) << error.toStdString();
    EXPECT_EQ(error.count('\n'), 1) << error.toStdString();
    EXPECT_TRUE(error.contains(GetParam().named)) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Program, NoDisplayTest,
    ::testing::Values(
        NoDisplay{"Unset", {}, "DISPLAY"}, NoDisplay{"Unreachable", {{"DISPLAY", ":97"}}, ":97"},
        // Outside a Wayland session Qt uses X11 whatever WAYLAND_DISPLAY says.
        NoDisplay{"WaylandOutsideAWaylandSession", {{"WAYLAND_DISPLAY", "wayland-7"}}, "DISPLAY"},
        NoDisplay{"NoCompositor",
                  {{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-7"}},
                  "Wayland wayland-7"},
        NoDisplay{"NoCompositorNamed", {{"QT_QPA_PLATFORM", "wayland"}}, "Wayland wayland-0"}),
    [](const auto& info) { return info.param.name; });

TEST(ProgramTest, AnExceptionInAHandlerIsReportedAndEndsTheProgramWithFailure) {
    Handlers events;
    int calls = 0;
    events.click = [&](std::string_view) {
        ++calls;
        throw std::runtime_error("диск исчез");
    };
    QString report;
    QMessageBox::Icon icon{};
    const int status = RunWith([&] {
        auto window = std::shared_ptr<platform::Window>(platform::LoadWindow(kMainLayout, events));
        window->Show();
        Soon([&, w = window.get()] {
            OnModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                report = box->text();
                icon = box->icon();
                // A second event while the report is up reaches no handler.
                Top(*w)->findChild<QPushButton*>("Command2")->click();
                box->accept();
            });
            Top(*w)->findChild<QPushButton*>("Command2")->click();
        });
        return window;
    });
    EXPECT_NE(status, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(report.contains("диск исчез")) << report.toStdString();
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(ProgramTest, EndProgramEndsAtOnceWithSuccessAndNoFurtherHandlerRuns) {
    Handlers events;
    std::vector<std::string> clicks;
    events.click = [&](std::string_view control) {
        clicks.emplace_back(control);
        if (control == "Command2") platform::EndProgram();
    };
    const int status = RunWith([&] {
        auto window = std::shared_ptr<platform::Window>(platform::LoadWindow(kMainLayout, events));
        window->Show();
        Soon([&, w = window.get()] {
            QAction* about = Top(*w)->findChild<QAction*>("about_mnu");
            Top(*w)->findChild<QPushButton*>("Command2")->click();
            about->trigger();
        });
        return window;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(clicks, std::vector<std::string>{"Command2"});
}

// On a screen of another scale the whole window scales with it, while the size text still gives
// the picture's own pixels.
TEST(ProgramTest, AtOneAndAHalfTimesTheWindowScalesAndThePictureKeepsItsPixels) {
    testing::TempDir dir;
    fs::create_directories(dir.path() / "config" / "ornavel");
    fs::create_directories(dir.path() / "pictures");
    SetEnv("XDG_CONFIG_HOME", dir.file("config"));
    SetEnv("QT_SCALE_FACTOR", "1.5");
    WriteFile(dir.file("config/ornavel/options.ini"),
              "[Main]\nPath=" + dir.file("pictures") + "\n");
    QSize picture, shot, client;
    qreal ratio = 0;
    QString size;
    const int status = RunWith([&] {
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        image.save(QString::fromStdString(dir.file("pictures/green.bmp")), "BMP");
        auto main = std::make_shared<Main>();
        main->Start();
        Soon([&, m = main.get()] {
            QWidget* top = Top(m->window());
            top->findChild<QListWidget*>("List1")->setCurrentRow(0);
            // The selection is loaded once the queued events have been handled.
            AfterDueTimers([&, top] {
                QWidget* preview = top->findChild<QWidget*>("Image1");
                ratio = preview->devicePixelRatioF();
                shot = preview->grab().size();
                client = top->findChild<QWidget*>("client")->size();
                size = top->findChild<QLabel*>("Label3")->text();
                platform::EndProgram();
            });
        });
        return main;
    });
    SetEnv("QT_SCALE_FACTOR", "");
    EXPECT_EQ(status, 0);
    EXPECT_DOUBLE_EQ(ratio, 1.5);
    EXPECT_EQ(client, QSize(350, 240)) << "positions stay in 96-dpi units";
    EXPECT_EQ(shot, QSize(302, 233)) << "drawn with the screen's pixels";
    EXPECT_EQ(size, "300 x 200");
}

// At the first start the folder browser is Qt's own dialog where the desktop offers none; it
// speaks Russian like the rest of the window.
TEST(ProgramTest, QtsOwnFolderBrowserSpeaksRussian) {
    testing::TempDir dir;
    fs::create_directories(dir.path() / "config" / "ornavel");
    SetEnv("XDG_CONFIG_HOME", dir.file("config"));
    QStringList texts;
    const int status = RunWith([&] {
        OnModal([&](QWidget* modal) {
            for (const QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
                if (button->isVisible() && !button->text().isEmpty()) texts << button->text();
            }
            for (const QLabel* label : modal->findChildren<QLabel*>()) {
                if (label->isVisible() && !label->text().isEmpty()) texts << label->text();
            }
            static_cast<QDialog*>(modal)->reject();
        });
        auto main = std::make_shared<Main>();
        main->Start();
        Soon([] { platform::EndProgram(); });
        return main;
    });
    EXPECT_EQ(status, 0);
    ASSERT_FALSE(texts.isEmpty()) << "the folder browser was shown";
    for (const char* english : {"Look in:", "Directory:", "&Choose", "Choose", "Cancel"}) {
        EXPECT_FALSE(texts.contains(english))
            << english << " in " << texts.join(" | ").toStdString();
    }
    EXPECT_TRUE(texts.contains("Отмена")) << texts.join(" | ").toStdString();
}

// The real main window: Выход and the close box end the program and leave options.ini alone.
class EndTest : public testing::TempDirTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EndTest, ExitAndTheCloseBoxEndWithSuccessLeavingTheSettingsAsTheyWere) {
    fs::create_directories(dir.path() / "config" / "ornavel");
    fs::create_directories(dir.path() / "pictures");
    SetEnv("XDG_CONFIG_HOME", dir.file("config"));
    const std::string settings = dir.file("config/ornavel/options.ini");
    const std::string bytes = "; mine\n[Main]\nPath=" + dir.file("pictures") + "\n\n";
    WriteFile(settings, bytes);
    const bool closeBox = GetParam();
    const int status = RunWith([&] {
        auto main = std::make_shared<Main>();
        main->Start();
        Soon([&, m = main.get()] {
            QWidget* top = Top(m->window());
            if (closeBox) {
                top->close();
            } else {
                top->findChild<QAction*>("exit")->trigger();
            }
        });
        return main;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(settings), bytes);
}

INSTANTIATE_TEST_SUITE_P(Program, EndTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "CloseBox" : "Exit"; });

}  // namespace
}  // namespace ornavel
