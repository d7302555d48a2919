// The main window and its settings file: a settings file that is not one is refused with a
// message, and a chosen folder is either remembered exactly or the user is told at once.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <filesystem>

#include "app/main_window.hpp"
#include "support/qt.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::Child;
using testing::ReadFile;
using testing::SetEnv;
using testing::WhenModal;
using testing::WriteFile;

class FolderSettingsTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        App();
        fs::create_directories(dir.path() / "config" / "ornavel");
        SetEnv("XDG_CONFIG_HOME", dir.file("config"));
        // A settings file that blocks would hang the test: it fails instead.
        alarm(120);
    }
    void TearDown() override { alarm(0); }

    std::string settings() const { return dir.file("config/ornavel/options.ini"); }

    // A folder with one picture in it.
    std::string Folder(const std::string& name) {
        const fs::path folder = dir.path() / name;
        fs::create_directories(folder);
        WriteFile((folder / "a.jpg").string(), "");
        return folder.string();
    }

    // Starts the program; the folder browser, if it opens, chooses `choose` (or is cancelled
    // when it is ""), and every message box is answered and kept.
    void Start(const std::string& choose = "") {
        messages.clear();
        browsed = false;
        auto watch = WhenModal([&](QWidget* modal) { Answer(modal, choose); });
        main = std::make_unique<Main>();
        main->Start();
        next_.reset();
    }

    // Chooses `folder` through the folder button.
    void ChooseFolder(const std::string& folder) {
        messages.clear();
        auto watch = WhenModal([&](QWidget* modal) { Answer(modal, folder); });
        main->Command2_Click();
        next_.reset();
    }

    int Listed() {
        return Child<QListWidget>(reinterpret_cast<QWidget*>(main->window().NativeHandle()),
                                  "List1")
            ->count();
    }

    std::unique_ptr<Main> main;
    QStringList messages;
    bool browsed = false;

  private:
    // Answers one modal window and watches for the next.
    void Answer(QWidget* modal, const std::string& choose) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            browsed = true;
            if (choose.empty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(QString::fromStdString(choose));
                static_cast<QDialog*>(dialog)->accept();
            }
        }
        next_ = WhenModal([this, choose](QWidget* m) { Answer(m, choose); });
    }
    std::unique_ptr<QTimer> next_;
};

TEST_F(FolderSettingsTest, ASettingsFileThatIsNoFileIsRefusedWithAMessageAndTheWindowShows) {
    const std::string big = dir.file("big.ini");
    WriteFile(big, "[Main]\r\nPath=/\r\n");
    ASSERT_EQ(truncate(big.c_str(), off_t{64} << 20), 0);
    struct Case {
        std::string make;
        std::string reason;
    };
    for (const Case& c :
         {Case{"fifo", "это не обычный файл"}, Case{"/dev/zero", "это не обычный файл"},
          Case{"/dev/urandom", "это не обычный файл"}, Case{big, "файл больше 4 МиБ"}}) {
        fs::remove(settings());
        if (c.make == "fifo") {
            ASSERT_EQ(mkfifo(settings().c_str(), 0644), 0);
        } else {
            fs::create_symlink(c.make, settings());
        }
        Start();
        ASSERT_FALSE(messages.isEmpty()) << c.make;
        EXPECT_EQ(messages.front().toStdString(),
                  "Файл настроек «" + settings() + "» не прочитан: " + c.reason + ".");
        EXPECT_TRUE(browsed) << "no folder was read, so one is asked for";
        EXPECT_TRUE(reinterpret_cast<QWidget*>(main->window().NativeHandle())->isVisible())
            << c.make;
    }
}

TEST_F(FolderSettingsTest, FoldersWithBlanksAndQuotesAtTheirEndsComeBackExactly) {
    for (const std::string name : {"  two blanks before", "blank after ", "'single quoted'",
                                   "\"double quote", "tab\tafter\t"}) {
        fs::remove(settings());
        const std::string folder = Folder(name);
        Start(folder);
        EXPECT_TRUE(messages.isEmpty()) << name << ": " << messages.join(" | ").toStdString();
        EXPECT_EQ(main->currentFolder(), folder);

        Start();
        EXPECT_FALSE(browsed) << name;
        EXPECT_EQ(main->currentFolder(), folder) << ReadFile(settings());
        EXPECT_EQ(Listed(), 1) << name;
    }
    // A folder that needs no quotes is written as it is.
    fs::remove(settings());
    const std::string plain = Folder("plain");
    Start(plain);
    EXPECT_EQ(ReadFile(settings()), "[Main]\r\nPath=" + plain + "\r\n");
}

TEST_F(FolderSettingsTest, AFolderThatWillNotComeBackIsToldAtOnceAndStillListed) {
    const std::string first = Folder("first");
    Start(first);
    ASSERT_TRUE(messages.isEmpty());
    const std::string before = ReadFile(settings());
    const std::string tail =
        "»: путь длиннее 254 знаков, а больше файл настроек не хранит. До "
        "выхода из программы она остаётся открытой.";

    // Too long for the settings file: told, not cut, and the last folder stays saved.
    std::string name = "long";
    while ((dir.path() / name).string().size() < 300) name += "/folder";
    const std::string longFolder = Folder(name);
    ChooseFolder(longFolder);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(
        messages.front().toStdString(),
        "Папка «" + longFolder +
            "» не будет запомнена: путь "
            "длиннее 254 знаков, а больше файл настроек не хранит. До выхода из программы она "
            "остаётся открытой.");
    EXPECT_EQ(main->currentFolder(), longFolder);
    EXPECT_EQ(Listed(), 1);
    EXPECT_EQ(ReadFile(settings()), before);

    // A read-only settings file (no write permission at all, which holds for the superuser too).
    ASSERT_EQ(chmod(settings().c_str(), 0444), 0);
    const std::string second = Folder("second");
    ChooseFolder(second);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.front().toStdString(),
              "Папка «" + second + "» не будет запомнена: файл настроек «" + settings() +
                  "» не записан: файл только для чтения. До выхода из программы она остаётся "
                  "открытой.");
    EXPECT_EQ(Listed(), 1);

    // A folder in the settings file's place.
    fs::remove(settings());
    fs::create_directory(settings());
    ChooseFolder(first);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(
        messages.front().endsWith("» не записан: это папка. До выхода из программы она "
                                  "остаётся открытой."))
        << messages.front().toStdString();
}

// A fresh account has no settings folder: starting and cancelling leaves none behind (the Qt
// folder browser keeps its own state beside it), and the first folder chosen is remembered all
// the same.
TEST_F(FolderSettingsTest, TheFirstFolderChosenOnAFreshAccountIsRemembered) {
    SetEnv("XDG_CONFIG_HOME", dir.file("fresh"));
    Start();
    EXPECT_TRUE(browsed);
    EXPECT_FALSE(fs::exists(dir.file("fresh/ornavel")));

    const std::string folder = Folder("pictures");
    Start(folder);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();
    EXPECT_EQ(ReadFile(dir.file("fresh/ornavel/options.ini")), "[Main]\r\nPath=" + folder + "\r\n");
    Start();
    EXPECT_FALSE(browsed);
    EXPECT_EQ(main->currentFolder(), folder);
}

TEST_F(FolderSettingsTest, EveryPictureOfAFolderOfFortyThousandIsListed) {
    const fs::path folder = dir.path() / "many";
    fs::create_directories(folder);
    for (int i = 0; i < 40000; ++i) {
        WriteFile((folder / ("p" + std::to_string(i) + ".jpg")).string(), "");
    }
    WriteFile(settings(), "[Main]\r\nPath=" + folder.string() + "\r\n");
    Start();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(main->fileCount(), 40000);
    EXPECT_EQ(Listed(), 40000);
}

}  // namespace
}  // namespace ornavel
