#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <QWidget>
#include <cstdio>
#include <exception>

#include "platform/linux/font_setup.hpp"
#include "platform/linux/runtime.hpp"
#include "platform/window.hpp"

namespace ornavel::platform {
namespace {

bool ending = false;
int exitStatus = 0;

void ReportAndEnd(const char* what) {
    ending = true;
    exitStatus = 1;
    QMessageBox box(QMessageBox::Critical, "Ornavel",
                    "Ошибка выполнения: " + QString::fromUtf8(what) + "\nПрограмма будет закрыта.",
                    QMessageBox::Ok);
    box.exec();
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    QCoreApplication::exit(1);
}

// Qt's own dialogs and standard buttons speak the program's language. Without the translations
// installed they stay English, and the program runs all the same.
void LoadQtTranslations(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Russian), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

}  // namespace

namespace linux_qt {

bool Ending() { return ending; }

void RunReportingErrors(const std::function<void()>& handler) {
    if (ending) return;
    try {
        handler();
    } catch (const std::exception& e) {
        ReportAndEnd(e.what());
    } catch (...) {
        ReportAndEnd("неизвестная ошибка");
    }
}

}  // namespace linux_qt

int RunProgram(int argc, char** argv, const std::function<std::shared_ptr<void>()>& start) {
    linux_qt::FontSetup fonts;
    std::string problem;
    if (!linux_qt::CanReachDisplay(problem)) {
        std::fprintf(stderr, "ornavel: нет дисплея: %s\n", problem.c_str());
        return 1;
    }
    ending = false;
    exitStatus = 0;
    QApplication app(argc, argv);
    LoadQtTranslations(app);
    QApplication::setApplicationName("ornavel");
    QApplication::setWindowIcon(linux_qt::ArtPixmap(layout::Art::ProgramIcon));
    fonts.Wait();
    std::shared_ptr<void> program;
    linux_qt::RunReportingErrors([&] { program = start(); });
    const int status = ending ? exitStatus : QApplication::exec();
    program.reset();
    return status;
}

void EndProgram() {
    ending = true;
    exitStatus = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    QCoreApplication::exit(0);
}

}  // namespace ornavel::platform
