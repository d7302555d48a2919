#include "platform/linux/autostart.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/environment.hpp"
#include "platform/error.hpp"
#include "platform/linux/desktop_session.hpp"
#include "platform/linux/replacement_file.hpp"

namespace ornavel::platform::linux_desktop {
namespace {

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

// The escapes of a Desktop Entry string value: the reader turns them back first.
std::string StringValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    if (!out.empty() && out.front() == ' ') out.replace(0, 1, "\\s");
    return out;
}

// One argument of Exec: in double quotes, with ", `, $ and \ escaped by a backslash, and '%'
// doubled, since Exec gives it to field codes.
std::string ExecArgument(std::string_view argument) {
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
        if (c == '%') out += '%';
    }
    return out + "\"";
}

// The program as Exec starts it. A path with '%' is handed to env: GLib, which most session
// managers start entries with, looks for Exec's program before it reads "%%" as '%', and would
// find none.
std::string Command(std::string_view program) {
    const std::string word = ExecArgument(program);
    return program.find('%') == std::string_view::npos ? word : "env " + word;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            throw Error("не удалось создать папку «" + part + "»: " + ReasonFromErrno(errno));
        }
        if (slash == std::string::npos) return;
    }
}

}  // namespace

std::string RestoreEntryPath() {
    // The program's settings folder is $XDG_CONFIG_HOME/ornavel: autostart/ is beside it.
    return DirectoryOf(SettingsDirectory()) + "/autostart/ornavel-restore.desktop";
}

std::string RestoreEntry(const std::string& program) {
    if (!IsUtf8(program)) throw Error("путь к программе не в кодировке UTF-8");
    for (const char c : program) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\n' && c != '\t') || u == 0x7F) {
            throw Error("в пути к программе есть управляющие символы");
        }
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Ornavel\n"
           "Comment=Возвращает обои рабочего стола, установленные в Ornavel\n"
           "Exec=" +
           StringValue(Command(program)) + " --restore\n" + "TryExec=" + StringValue(program) +
           "\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

void WriteRestoreEntry(const std::string& program) {
    const std::string path = RestoreEntryPath();
    const std::string text = RestoreEntry(program);
    if (ReadAll(path) == text) return;
    MakeDirectories(DirectoryOf(path));
    ReplacementFile file(path);
    bool written = file.fd() >= 0;
    int error = file.error();
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = write(file.fd(), text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            error = errno;
            written = false;
        }
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    if (written && !file.Commit()) {
        error = file.error();
        written = false;
    }
    if (!written) throw Error("не удалось записать «" + path + "»: " + ReasonFromErrno(error));
}

void RemoveRestoreEntry() {
    const std::string path = RestoreEntryPath();
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw Error("не удалось удалить «" + path + "»: " + ReasonFromErrno(errno));
    }
}

std::string RunningProgram() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return "";
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace ornavel::platform::linux_desktop
