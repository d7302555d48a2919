#include "components/dialogs/common_dialog.hpp"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <filesystem>

#include "support/qt.hpp"
#include "support/temp_dir.hpp"

namespace ornavel {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::WhenModal;

// The dialogs run over a real owner window, driven from inside their own event loop.
class CommonDialogTest : public testing::TempDirTest {
  protected:
    void SetUp() override {
        owner = std::make_unique<QWidget>();
        owner->resize(200, 100);
        owner->show();
        previous = QDir::currentPath();
    }
    void TearDown() override {
        QDir::setCurrent(previous);
        EXPECT_EQ(driven, expected) << "a dialog the test drives never came up";
    }

    platform::WindowHandle handle() {
        return reinterpret_cast<platform::WindowHandle>(owner.get());
    }

    // Runs `drive` on the dialog the call opens, checking that it is modal over the owner.
    void Drive(std::function<void(QFileDialog*)> drive) {
        ++expected;
        watch = WhenModal([this, drive = std::move(drive)](QWidget* modal) {
            ++driven;
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->parentWidget(), owner.get());
            EXPECT_TRUE(dialog->isModal());
            drive(dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog did not close";
                dialog->reject();
            }
        });
    }

    QApplication& app = App();
    std::unique_ptr<QWidget> owner;
    QString previous;
    std::unique_ptr<QTimer> watch;
    // Dialogs the test set out to drive, and those that came up and were driven.
    int expected = 0, driven = 0;
    CommonDialog CD;
};

TEST_F(CommonDialogTest, TheFolderBrowserReturnsTheChosenFolderWithoutATrailingSeparator) {
    const fs::path folder = dir.path() / "Фото 2024";
    fs::create_directories(folder);
    QString title;
    QFileDialog::FileMode mode{};
    Drive([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        mode = dialog->fileMode();
        dialog->setDirectory(QString::fromStdString(folder.string()) + "/");
        dialog->findChild<QLineEdit*>("fileNameEdit")->clear();  // the folder shown is chosen
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(CD.OpenFolder("Выберите папку", handle()), folder.string());
    EXPECT_EQ(title, "Выберите папку");
    EXPECT_EQ(mode, QFileDialog::Directory) << "only folders can be chosen";
}

TEST_F(CommonDialogTest, TheRootFolderKeepsItsSeparatorAndCancelGivesNothing) {
    Drive([](QFileDialog* dialog) {
        dialog->setDirectory("/");
        dialog->findChild<QLineEdit*>("fileNameEdit")->clear();
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(CD.OpenFolder("t", handle()), "/");

    Drive([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(CD.OpenFolder("t", handle()), "");
}

TEST_F(CommonDialogTest, TheFileDialogOffersTheMaskInOrderAndStartsInTheCurrentFolder) {
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    testing::WriteFile(dir.file("a.bmp"), "x");
    using namespace std::string_literals;
    const std::string mask = "Рисунки (*.bmp;*.jpg)\0*.bmp;*.jpg\0Все файлы\0*.*\0"s;
    QStringList filters;
    QString selected, start, title;
    Drive([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        selected = dialog->selectedNameFilter();
        start = dialog->directory().absolutePath();
        title = dialog->windowTitle();
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("a.bmp");
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(CD.OpenFile("Открыть", mask, handle()), dir.file("a.bmp"));
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters[0].startsWith("Рисунки (*.bmp;*.jpg)")) << filters[0].toStdString();
    EXPECT_TRUE(filters[0].contains("*.bmp *.jpg")) << filters[0].toStdString();
    EXPECT_TRUE(filters[1].contains("*.*"));
    EXPECT_EQ(selected, filters[0]);
    EXPECT_EQ(start.toStdString(), dir.path().string());
    EXPECT_EQ(title, "Открыть");
}

TEST_F(CommonDialogTest, ATypedNameOfAMissingFileIsAcceptedAsAFullPath) {
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    Drive([](QFileDialog* dialog) {
        EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile) << "single selection, any name";
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText("новый.bmp");
        static_cast<QDialog*>(dialog)->accept();
    });
    using namespace std::string_literals;
    EXPECT_EQ(CD.OpenFile("t", "Bitmap\0*.bmp\0"s, handle()), dir.file("новый.bmp"));

    Drive([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(CD.OpenFile("t", "Bitmap\0*.bmp\0"s, handle()), "");
}

TEST_F(CommonDialogTest, AMalformedMaskStillOpensWithItsWholePairs) {
    using namespace std::string_literals;
    struct Case {
        std::string mask;
        QStringList expected;
    };
    const Case cases[] = {
        {"Bitmap\0*.bmp\0Lonely"s, {"Bitmap (*.bmp)"}},
        {"Empty\0\0JPEG\0*.jpg\0"s, {"JPEG (*.jpg)"}},
        {""s, {}},
    };
    for (const Case& c : cases) {
        QStringList filters;
        bool opened = false;
        Drive([&](QFileDialog* dialog) {
            opened = true;
            filters = dialog->nameFilters();
            dialog->reject();
        });
        EXPECT_EQ(CD.OpenFile("t", c.mask, handle()), "");
        EXPECT_TRUE(opened);
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(filters, c.expected);
        }
    }
}

}  // namespace
}  // namespace ornavel
