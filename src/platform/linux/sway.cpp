#include "platform/linux/sway.hpp"

#include <QJsonDocument>
#include <QJsonObject>
#include <vector>

#include "platform/error.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/spawn.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

std::string FileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The blank-separated words of a line, quotes left in place.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::size_t at = 0;;) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos) return words;
        const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
}

std::string_view Unquoted(std::string_view word) {
    if (word.size() >= 2 && (word.front() == '\'' || word.front() == '"') &&
        word.back() == word.front()) {
        word = word.substr(1, word.size() - 2);
    }
    return word;
}

}  // namespace

void SetSwayWallpaper(const std::string& path) {
    Run({"swaymsg", "output", "*", "bg", SwayWord(path), "fill"});
}

std::string SwayRestoreLine(const std::string& program) {
    const bool plain = program.find_first_not_of(
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                           "0123456789/._+-,:@") == std::string::npos;
    std::string word;
    if (plain) {
        word = program;
    } else {
        // One shell single-quoted word. sway reads backslash escapes before the shell sees the
        // line, so a backslash is doubled; a quote leaves the single quotes for a double-quoted
        // one, since sway would read \' itself.
        word = "'";
        for (const char c : program) {
            if (c == '\'') {
                word += "'\"'\"'";
            } else if (c == '\\') {
                word += "\\\\";
            } else {
                word += c;
            }
        }
        word += "'";
    }
    return "exec_always " + word + " --restore";
}

bool HasSwayRestoreLine(std::string_view config, const std::string& program) {
    const std::string exact = SwayRestoreLine(program);
    const std::string name = FileName(program);
    for (std::size_t at = 0; at <= config.size();) {
        const std::size_t end = std::min(config.find('\n', at), config.size());
        std::string_view line = config.substr(at, end - at);
        at = end + 1;
        const std::vector<std::string_view> words = Words(line);
        if (words.size() < 2 || (words[0] != "exec" && words[0] != "exec_always")) continue;
        line.remove_prefix(line.find_first_not_of(" \t"));
        line.remove_suffix(line.size() - 1 - line.find_last_not_of(" \t\r"));
        if (line == exact) return true;
        // A command of plain words: the program, by its path or by its name on PATH.
        if (words.back() == "--restore" && FileName(Unquoted(words[words.size() - 2])) == name) {
            return true;
        }
    }
    return false;
}

std::string SwayRestoreNote(const std::string& program) {
    std::string config;
    try {
        const QJsonDocument reply = QJsonDocument::fromJson(
            QByteArray::fromStdString(Run({"swaymsg", "-t", "get_config", "-r"})));
        const QJsonValue text = reply.object().value("config");
        if (!text.isString()) return "";
        config = text.toString().toStdString();
    } catch (const Error&) {
        return "";
    }
    if (HasSwayRestoreLine(config, program)) return "";
    return "Обои установлены, но sway забудет их при выходе из сеанса. Чтобы они возвращались "
           "при каждом входе, добавьте в файл настроек sway (обычно ~/.config/sway/config) "
           "строку:\n\n" +
           SwayRestoreLine(program);
}

}  // namespace ornavel::platform::linux_desktop
