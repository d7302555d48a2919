#include "app/main_window.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "support/qt.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::Child;
using testing::ReadFile;
using testing::SetEnv;
using testing::Settle;
using testing::WhenModal;
using testing::WriteFile;

class MainWindowTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        App();
        fs::create_directories(dir.path() / "config" / "ornavel");
        fs::create_directories(dir.path() / "windows");
        fs::create_directories(dir.path() / "bin");
        SetEnv("XDG_CONFIG_HOME", dir.file("config"));
        SetEnv("windir", dir.file("windows"));
        // The desktop is a recorder: installing must not change the real one.
        SetEnv("XDG_CURRENT_DESKTOP", "LXDE");
        const std::string recorder = dir.file("bin/pcmanfm");
        WriteFile(recorder,
                  "#!/bin/sh\nprintf '%s|' \"$@\" >> \"$ORNAVEL_TEST_LOG\"\necho >> "
                  "\"$ORNAVEL_TEST_LOG\"\n");
        fs::permissions(recorder, fs::perms::owner_all);
        SetEnv("ORNAVEL_TEST_LOG", dir.file("desktop.log"));
        oldPath_ = std::getenv("PATH");
        SetEnv("PATH", dir.file("bin") + ":" + oldPath_);
    }
    void TearDown() override {
        SetEnv("PATH", oldPath_);
        SetEnv("XDG_CURRENT_DESKTOP", "");
        SetEnv("windir", "");
    }

    std::string Pictures() {
        const fs::path folder = dir.path() / "pictures";
        fs::create_directories(folder);
        QImage wide(800, 600, QImage::Format_RGB32);
        wide.fill(QColor(20, 80, 200));
        wide.save(QString::fromStdString((folder / "img10.jpg").string()), "JPEG");
        QImage small(31, 17, QImage::Format_RGB32);
        small.fill(Qt::red);
        small.save(QString::fromStdString((folder / "img2.bmp").string()), "BMP");
        WriteFile((folder / "broken.JPG").string(), "not a picture");
        WriteFile((folder / "notes.txt").string(), "text");
        fs::create_directories(folder / "folder.jpg");
        return folder.string();
    }

    void SaveFolder(const std::string& folder) {
        WriteFile(settings(), "[Main]\r\nPath=" + folder + "\r\n");
    }
    std::string settings() const { return dir.file("config/ornavel/options.ini"); }

    QWidget* Start() {
        main_ = std::make_unique<Main>();
        main_->Start();
        return reinterpret_cast<QWidget*>(main_->window().NativeHandle());
    }

    QStringList Entries(QWidget* window) {
        QStringList names;
        auto* list = Child<QListWidget>(window, "List1");
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        return names;
    }

    bool InstallEnabled(QWidget* window) {
        const bool button = Child<QPushButton>(window, "Command1")->isEnabled();
        EXPECT_EQ(button, Child<QAction>(window, "Set_select")->isEnabled());
        return button;
    }

    // Selects an entry as a click does and returns the text of the message box it raised, if any.
    QString Select(QWidget* window, int row) {
        QString message;
        auto watch1 = WhenModal([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                message = box->text();
                box->accept();
            }
        });
        Child<QListWidget>(window, "List1")->setCurrentRow(row);
        Settle();
        return message;
    }

    std::unique_ptr<Main> main_;
    std::string oldPath_;
};

TEST_F(MainWindowTest, ASavedFolderIsListedInNaturalOrderWithInstallDisabled) {
    const std::string folder = Pictures();
    SaveFolder(folder);
    QWidget* window = Start();
    EXPECT_EQ(window->windowTitle(), "Ornavel");
    EXPECT_EQ(Child<QLabel>(window, "Stat")->text().toStdString(), folder);
    EXPECT_EQ(Entries(window), (QStringList{"broken.JPG", "img2.bmp", "img10.jpg"}));
    EXPECT_EQ(main_->fileCount(), 3);
    EXPECT_FALSE(InstallEnabled(window));
    EXPECT_EQ(window->focusWidget(), Child<QWidget>(window, "List1"));
}

TEST_F(MainWindowTest, ChoosingAnEntryPreviewsItWithItsOwnSizeAndEnablesInstall) {
    SaveFolder(Pictures());
    QWidget* window = Start();
    EXPECT_EQ(Select(window, 2), "");
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "800 x 600");
    EXPECT_EQ(Child<QLabel>(window, "Label4")->text(), "800 x 600");
    EXPECT_TRUE(InstallEnabled(window));
    auto& image = main_->window().GetPictureBox("Image1");
    auto& measure = main_->window().GetPictureBox("Picture2");
    EXPECT_EQ(image.Picture(), measure.Picture()) << "one picture, shared";
    EXPECT_EQ(measure.OuterWidth(), 804.0f);
    EXPECT_TRUE(main_->selectedPath().ends_with("/img10.jpg"));

    // The keyboard previews as a click does.
    auto* list = Child<QListWidget>(window, "List1");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    Settle();
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "31 x 17");
}

TEST_F(MainWindowTest, APictureThatCannotBeReadIsReportedAndLeavesNothingToInstall) {
    SaveFolder(Pictures());
    QWidget* window = Start();
    Select(window, 2);
    const QString message = Select(window, 0);
    EXPECT_TRUE(message.contains("broken.JPG")) << message.toStdString();
    EXPECT_TRUE(message.startsWith("Не удалось открыть изображение")) << message.toStdString();
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "");
    EXPECT_EQ(Child<QLabel>(window, "Label4")->text(), "");
    EXPECT_FALSE(InstallEnabled(window));
    EXPECT_EQ(main_->window().GetPictureBox("Image1").Picture(), nullptr);
}

TEST_F(MainWindowTest, AVanishedSavedFolderIsReportedAndTheProgramGoesOn) {
    const std::string gone = dir.file("gone");
    SaveFolder(gone);
    QString message;
    auto watch2 = WhenModal([&](QWidget* modal) {
        message = qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    QWidget* window = Start();
    EXPECT_TRUE(message.contains(QString::fromStdString(gone))) << message.toStdString();
    EXPECT_TRUE(message.startsWith("Не удалось прочитать папку"));
    EXPECT_EQ(Child<QLabel>(window, "Stat")->text().toStdString(), gone);
    EXPECT_TRUE(Entries(window).isEmpty());
    EXPECT_FALSE(InstallEnabled(window));
}

TEST_F(MainWindowTest, FirstRunAsksForAFolderAndSavesItBeforeListing) {
    const std::string folder = Pictures();
    auto watch3 = WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Выберите папку с изображениями (.jpg, .gif, .bmp)");
        dialog->setDirectory(QString::fromStdString(folder));
        static_cast<QDialog*>(dialog)->accept();
    });
    QWidget* window = Start();
    EXPECT_EQ(ReadFile(settings()), "[Main]\r\nPath=" + folder + "\r\n");
    EXPECT_EQ(Entries(window).size(), 3);
}

TEST_F(MainWindowTest, FirstRunWithTheBrowserCancelledWritesNothing) {
    bool asked = false;
    auto watch4 = WhenModal([&](QWidget* modal) {
        asked = qobject_cast<QFileDialog*>(modal) != nullptr;
        qobject_cast<QDialog*>(modal)->reject();
    });
    QWidget* window = Start();
    EXPECT_TRUE(asked) << "no folder browser came up";
    EXPECT_FALSE(fs::exists(settings()));
    EXPECT_EQ(main_->currentFolder(), "");
    EXPECT_TRUE(Entries(window).isEmpty());
    EXPECT_FALSE(InstallEnabled(window));
}

TEST_F(MainWindowTest, InstallWritesTheBitmapAndSetsTheDesktop) {
    SaveFolder(Pictures());
    QWidget* window = Start();
    Select(window, 2);
    QTest::mouseClick(Child<QPushButton>(window, "Command1"), Qt::LeftButton);
    const std::string bmp = ReadFile(dir.file("windows/wallpaper.bmp"));
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(bmp.size(), 54u + 800u * 3u * 600u);
    const std::string log = ReadFile(dir.file("desktop.log"));
    EXPECT_EQ(log.rfind("--set-wallpaper=" + dir.file("windows/wallpaper-"), 0), 0u) << log;

    // The menu entry does the same.
    fs::remove(dir.file("windows/wallpaper.bmp"));
    Child<QAction>(window, "Set_select")->trigger();
    EXPECT_TRUE(fs::exists(dir.file("windows/wallpaper.bmp")));
}

TEST_F(MainWindowTest, AnotherFolderAfterAPreviewEmptiesThePreviewAndInstallsNothing) {
    const std::string folder = Pictures();
    SaveFolder(folder);
    QWidget* window = Start();
    Select(window, 2);
    const fs::path other = dir.path() / "other";
    fs::create_directories(other);
    fs::copy_file(fs::path(folder) / "img2.bmp", other / "only.bmp");
    auto watch5 = WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        dialog->setDirectory(QString::fromStdString(other.string()));
        static_cast<QDialog*>(dialog)->accept();
    });
    Child<QAction>(window, "select_folder")->trigger();
    EXPECT_EQ(Entries(window), QStringList{"only.bmp"});
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "800 x 600") << "the old size stays";
    EXPECT_TRUE(InstallEnabled(window));
    EXPECT_NE(ReadFile(settings()).find("Path=" + other.string()), std::string::npos);

    QString message;
    auto watch6 = WhenModal([&](QWidget* modal) {
        message = qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    QTest::mouseClick(Child<QPushButton>(window, "Command1"), Qt::LeftButton);
    EXPECT_TRUE(message.startsWith("Нет изображения")) << message.toStdString();
    EXPECT_FALSE(fs::exists(dir.file("windows/wallpaper.bmp")));
}

// The window keeps its folder and its picture itself: the controls only show them, and what they
// show changing underneath changes neither what a click loads nor what is installed.
TEST_F(MainWindowTest, TheFolderAndThePictureAreTheWindowsOwnNotReadBackFromItsControls) {
    const std::string folder = Pictures();
    SaveFolder(folder);
    QWidget* window = Start();
    const fs::path other = dir.path() / "other";
    fs::create_directories(other);
    fs::copy_file(fs::path(folder) / "img2.bmp", other / "img10.jpg");
    main_->window().GetFileList("File1").SetFolder(other.string());
    EXPECT_EQ(Select(window, 2), "");
    EXPECT_EQ(main_->selectedPath(), folder + "/img10.jpg");
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "800 x 600");

    main_->window().GetPictureBox("Image1").SetPicture(nullptr);
    QString message;
    auto watch = WhenModal([&](QWidget* modal) {
        message = qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    QTest::mouseClick(Child<QPushButton>(window, "Command1"), Qt::LeftButton);
    EXPECT_EQ(message, "");
    ASSERT_TRUE(fs::exists(dir.file("windows/wallpaper.bmp")));
    EXPECT_EQ(fs::file_size(dir.file("windows/wallpaper.bmp")), 54u + 800u * 3u * 600u);
}

TEST_F(MainWindowTest, TheFolderButtonMovesTheFocusToInstallFirstWhenItIsEnabled) {
    SaveFolder(Pictures());
    QWidget* window = Start();
    QWidget* focused = nullptr;
    auto watch7 = WhenModal([&](QWidget* modal) {
        focused = window->focusWidget();
        qobject_cast<QFileDialog*>(modal)->reject();
    });
    Child<QAction>(window, "select_folder")->trigger();
    EXPECT_EQ(focused, Child<QWidget>(window, "List1")) << "disabled install takes no focus";

    Select(window, 2);
    auto watch8 = WhenModal([&](QWidget* modal) {
        focused = window->focusWidget();
        qobject_cast<QFileDialog*>(modal)->reject();
    });
    Child<QAction>(window, "select_folder")->trigger();
    EXPECT_EQ(focused, Child<QWidget>(window, "Command1"));
    EXPECT_EQ(Entries(window).size(), 3) << "cancel changes nothing";

    auto watch99 = WhenModal([&](QWidget* modal) {
        focused = window->focusWidget();
        qobject_cast<QFileDialog*>(modal)->reject();
    });
    QTest::mouseClick(Child<QPushButton>(window, "Command2"), Qt::LeftButton);
    EXPECT_EQ(focused, Child<QWidget>(window, "Command1"));
}

TEST_F(MainWindowTest, AboutOpensModallyWithItsLinksAndClosesOnItsButton) {
    SaveFolder(Pictures());
    QWidget* window = Start();
    for (int round = 0; round < 2; ++round) {
        bool modal = false;
        QPoint position;
        auto watch9 = WhenModal([&](QWidget* about) {
            modal = about->windowModality() == Qt::ApplicationModal;
            position = about->pos();
            EXPECT_EQ(about->windowTitle(), "О программе");
            QTest::mouseClick(Child<QPushButton>(about, "Command1"), Qt::LeftButton);
        });
        Child<QAction>(window, "about_mnu")->trigger();
        EXPECT_TRUE(modal);
    }
}

TEST_F(MainWindowTest, ABurstOfSelectionChangesLoadsOnlyTheEntryItEndsOn) {
    const fs::path folder = dir.path() / "burst";
    fs::create_directories(folder);
    QImage first(800, 600, QImage::Format_RGB32);
    first.fill(Qt::blue);
    first.save(QString::fromStdString((folder / "a.jpg").string()), "JPEG");
    // Loading any of the entries passed over would raise a message.
    for (const char* name : {"b.jpg", "c.jpg", "d.jpg", "e.jpg"}) {
        WriteFile((folder / name).string(), "not a picture");
    }
    QImage last(31, 17, QImage::Format_RGB32);
    last.fill(Qt::red);
    last.save(QString::fromStdString((folder / "f.bmp").string()), "BMP");
    SaveFolder(folder.string());
    QWidget* window = Start();
    // Every message that comes up is noted and closed.
    QStringList messages;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            messages << box->text();
            box->accept();
        }
    });
    closer.start(20);
    auto* list = Child<QListWidget>(window, "List1");
    list->setFocus();
    // Six key presses handled before the event loop turns again, as a held key's repeats are.
    for (int i = 0; i < 6; ++i) QTest::keyClick(list, Qt::Key_Down);
    Settle();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_TRUE(main_->selectedPath().ends_with("/f.bmp")) << main_->selectedPath();
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "31 x 17");
    EXPECT_EQ(Child<QLabel>(window, "Label4")->text(), "31 x 17");
    ASSERT_NE(main_->window().GetPictureBox("Image1").Picture(), nullptr);
    EXPECT_EQ(main_->window().GetPictureBox("Image1").Picture()->Width(), 31);
    EXPECT_TRUE(InstallEnabled(window));
}

TEST_F(MainWindowTest, APhotosSizeTextIsItsWholeUprightSize) {
    const fs::path folder = dir.path() / "photos";
    fs::create_directories(folder);
    const QByteArray jpeg = testing::TurnedJpeg(3000, 2000);
    WriteFile((folder / "photo.jpg").string(), jpeg.toStdString());
    SaveFolder(folder.string());
    QWidget* window = Start();
    EXPECT_EQ(Select(window, 0), "");
    EXPECT_EQ(Child<QLabel>(window, "Label3")->text(), "2000 x 3000");
    EXPECT_EQ(Child<QLabel>(window, "Label4")->text(), "2000 x 3000");
    EXPECT_EQ(main_->window().GetPictureBox("Picture2").OuterWidth(), 2004.0f);
    EXPECT_EQ(main_->window().GetPictureBox("Picture2").OuterHeight(), 3004.0f);
}

TEST_F(MainWindowTest, InstallWritesTheWholePictureAsReadAtTheClickThoughTheFileChangedSince) {
    const std::string folder = Pictures();
    SaveFolder(folder);
    QWidget* window = Start();
    Select(window, 2);
    QImage other(31, 17, QImage::Format_RGB32);
    other.fill(Qt::red);
    other.save(QString::fromStdString(folder + "/img10.jpg"), "JPEG");
    QTest::mouseClick(Child<QPushButton>(window, "Command1"), Qt::LeftButton);
    const std::string bmp = ReadFile(dir.file("windows/wallpaper.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 800u * 3u * 600u);
    // The previewed picture's colour (20, 80, 200), stored blue green red.
    EXPECT_NEAR(static_cast<unsigned char>(bmp[54]), 200, 8);
    EXPECT_NEAR(static_cast<unsigned char>(bmp[55]), 80, 8);
    EXPECT_NEAR(static_cast<unsigned char>(bmp[56]), 20, 8);
}

}  // namespace
}  // namespace ornavel
