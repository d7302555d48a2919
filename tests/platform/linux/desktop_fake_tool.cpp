// A stand-in for a desktop's command-line tool: appends its name and arguments, each ended by a
// NUL byte and the whole call by a newline, to the file named by ORNAVEL_DESKTOP_RECORD. With
// ORNAVEL_DESKTOP_FAIL set it complains on stderr and exits with status 2; with
// ORNAVEL_DESKTOP_WARN it complains and succeeds. It prints ORNAVEL_DESKTOP_OUTPUT, when set, as
// what the tool answers.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (const char* record = std::getenv("ORNAVEL_DESKTOP_RECORD")) {
        if (std::FILE* out = std::fopen(record, "ab")) {
            const char* name = std::strrchr(argv[0], '/');
            name = name ? name + 1 : argv[0];
            std::fwrite(name, 1, std::strlen(name) + 1, out);
            for (int i = 1; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, out);
            std::fputc('\n', out);
            std::fclose(out);
        }
    }
    if (const char* output = std::getenv("ORNAVEL_DESKTOP_OUTPUT")) std::fputs(output, stdout);
    if (const char* fail = std::getenv("ORNAVEL_DESKTOP_FAIL")) {
        std::fprintf(stderr, "%s\nsecond line\n", fail);
        return 2;
    }
    if (const char* warn = std::getenv("ORNAVEL_DESKTOP_WARN")) std::fprintf(stderr, "%s\n", warn);
    return 0;
}
