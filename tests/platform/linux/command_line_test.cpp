#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <fstream>
#include <sstream>
#include <string>

#include "about/identity.hpp"
#include "platform/linux/command_line.hpp"

namespace ornavel {
namespace {

using platform::linux_qt::CommandLineOptions;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// The real program with `arguments`, in `lang`, and with no display it could open a window on:
// what an option does must not need one.
Result RunWith(const QStringList& arguments, const QString& lang = "C.UTF-8") {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_MESSAGES", "LANGUAGE"}) {
        env.remove(name);
    }
    env.insert("LANG", lang);
    program.setProcessEnvironment(env);
    program.start(ORNAVEL_BINARY_DIR "/ornavel", arguments);
    EXPECT_TRUE(program.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    return {program.exitCode(), program.readAllStandardOutput().toStdString(),
            program.readAllStandardError().toStdString()};
}

std::string ReadSource(const std::string& path) {
    std::ifstream in(std::string(ORNAVEL_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CommandLine, VersionAndHelpPrintWithoutAWindowOrADisplay) {
    const Result version = RunWith({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("ornavel ") + ORNAVEL_VERSION + "\n");
    EXPECT_EQ(version.err, "");

    for (const char* name : {"--help", "-h"}) {
        const Result help = RunWith({name});
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_EQ(help.err, "") << name;
        EXPECT_TRUE(help.out.starts_with("Usage: ornavel")) << help.out;
        for (const auto& option : CommandLineOptions()) {
            EXPECT_NE(help.out.find(std::string(option.name) + "\n"), std::string::npos)
                << option.name << " is not in the help:\n"
                << help.out;
        }
    }
    const Result russian = RunWith({"--help"}, "ru_RU.UTF-8");
    EXPECT_EQ(russian.status, 0);
    EXPECT_TRUE(russian.out.starts_with("Использование: ornavel")) << russian.out;
}

TEST(CommandLine, AnythingElseIsOneLineOnTheStandardErrorAndStatusTwo) {
    const struct {
        QStringList arguments;
        const char* named;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--Help"}, "unknown option '--Help'"},
        {{"picture.jpg"}, "unexpected argument 'picture.jpg'"},
        {{""}, "unexpected argument ''"},
        {{"--version", "--help"}, "one option at most"},
        {{"--help", "extra"}, "one option at most"},
    };
    for (const auto& c : cases) {
        const Result result = RunWith(c.arguments);
        const std::string given = c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.status, 2) << given;
        EXPECT_EQ(result.out, "") << given;
        EXPECT_TRUE(result.err.starts_with("ornavel: ")) << result.err;
        EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
    }
    const Result russian = RunWith({"--bogus"}, "ru_RU.UTF-8");
    EXPECT_EQ(russian.status, 2);
    EXPECT_EQ(russian.err, "ornavel: неизвестный параметр «--bogus»; см. «ornavel --help»\n");
}

// The manual pages describe every option the program takes, each under a heading of its own.
TEST(CommandLine, BothManualPagesDescribeEveryOption) {
    for (const char* page : {"packaging/linux/ornavel.1.in", "packaging/linux/ornavel.ru.1.in"}) {
        const std::string text = ReadSource(page);
        ASSERT_FALSE(text.empty()) << page;
        // The first line of each tagged paragraph: the option (or options) it describes.
        std::string headings;
        for (size_t at = text.find(".TP\n"); at != std::string::npos;
             at = text.find(".TP\n", at + 1)) {
            const size_t start = at + 4;
            headings += text.substr(start, text.find('\n', start) - start) + " \n";
        }
        for (const auto& option : CommandLineOptions()) {
            std::string troff;
            for (const char c : option.name)
                troff += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(headings.find(" " + troff + " "), std::string::npos)
                << page << ": " << option.name;
        }
    }
}

}  // namespace
}  // namespace ornavel
