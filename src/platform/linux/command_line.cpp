#include "platform/linux/command_line.hpp"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "about/identity.hpp"

namespace ornavel::platform::linux_qt {
namespace {

int PrintHelp(const CommandLineActions&);
int PrintVersion(const CommandLineActions&);
int Restore(const CommandLineActions& actions) { return actions.restore(); }

// clang-format off
constexpr std::array kOptions{
    CommandLineOption{"--restore", "",
        "set the last installed wallpaper again the way the running session\n"
        "keeps it, for use at login; does nothing on desktops that keep their\n"
        "own setting",
        "снова установить последние установленные обои так, как их хранит\n"
        "текущий сеанс, для запуска при входе; на рабочих столах, которые\n"
        "хранят обои сами, ничего не делает",
        Restore},
    CommandLineOption{"--help", "-h",
        "show this help and exit",
        "показать эту справку и выйти",
        PrintHelp},
    CommandLineOption{"--version", "",
        "show the version and exit",
        "показать версию и выйти",
        PrintVersion},
};
// clang-format on

// The language of the help text: Russian when the messages' locale is, as gettext chooses it.
bool Russian() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("ru");
    }
    return false;
}

int PrintHelp(const CommandLineActions&) {
    const bool ru = Russian();
    std::string text = ru ? "Использование: ornavel [ПАРАМЕТР]\n"
                            "Устанавливает обои рабочего стола из папки с изображениями.\n"
                            "Без параметров открывает окно программы.\n\nПараметры:\n"
                          : "Usage: ornavel [OPTION]\n"
                            "Sets the desktop wallpaper from a folder of pictures.\n"
                            "Without an option it opens the program's window.\n\nOptions:\n";
    for (const CommandLineOption& option : kOptions) {
        std::string names(option.alias.empty() ? "    " : std::string(option.alias) + ", ");
        names += option.name;
        text += "  " + names + "\n";
        std::string_view help = ru ? option.help_ru : option.help_en;
        while (!help.empty()) {
            const size_t end = help.find('\n');
            text += "        ";
            text += help.substr(0, end);
            text += '\n';
            help = end == std::string_view::npos ? std::string_view() : help.substr(end + 1);
        }
    }
    text +=
        ru ? "\nДля оконного менеджера без автозапуска XDG добавьте строку «ornavel --restore»\n"
             "в ~/.xsession или ~/.xinitrc перед строкой, которая запускает оконный менеджер.\n"
             "Подробнее: man ornavel\n"
           : "\nFor a window manager started without XDG autostart, add the line\n"
             "'ornavel --restore' to ~/.xsession or ~/.xinitrc before the line that starts\n"
             "the window manager. More: man ornavel\n";
    std::fputs(text.c_str(), stdout);
    return 0;
}

int PrintVersion(const CommandLineActions&) {
    std::printf("ornavel %s\n", ORNAVEL_VERSION);
    return 0;
}

}  // namespace

std::span<const CommandLineOption> CommandLineOptions() { return kOptions; }

std::optional<int> RunCommandLine(int argc, char** argv, const CommandLineActions& actions) {
    if (argc < 2) return std::nullopt;
    const std::string_view given = argv[1];
    for (const CommandLineOption& option : kOptions) {
        if (argc == 2 &&
            (given == option.name || (!option.alias.empty() && given == option.alias))) {
            return option.run(actions);
        }
    }
    const bool ru = Russian();
    if (argc > 2) {
        std::fputs(ru ? "ornavel: допустим только один параметр; см. «ornavel --help»\n"
                      : "ornavel: takes one option at most; see 'ornavel --help'\n",
                   stderr);
    } else {
        const bool option = given.starts_with('-');
        std::fprintf(stderr,
                     ru ? (option ? "ornavel: неизвестный параметр «%s»; см. «ornavel --help»\n"
                                  : "ornavel: лишний аргумент «%s»; см. «ornavel --help»\n")
                        : (option ? "ornavel: unknown option '%s'; see 'ornavel --help'\n"
                                  : "ornavel: unexpected argument '%s'; see 'ornavel --help'\n"),
                     argv[1]);
    }
    return 2;
}

}  // namespace ornavel::platform::linux_qt
