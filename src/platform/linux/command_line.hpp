#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string_view>

// The Linux program's command line. Every option does its work and ends the program without a
// window; with no arguments the program shows its window.
namespace ornavel::platform::linux_qt {

// The work of options that lies outside the command line itself, given by the program's entry.
struct CommandLineActions {
    // Sets the last installed wallpaper again; returns the exit status.
    std::function<int()> restore;
};

struct CommandLineOption {
    std::string_view name;   // "--version"
    std::string_view alias;  // a short form such as "-h", or empty
    // What --help says of it, in English and in Russian; lines after the first are indented.
    std::string_view help_en;
    std::string_view help_ru;
    // Does the option's work and returns the program's exit status.
    int (*run)(const CommandLineActions&);
};

// Every option the program takes, in the order --help lists them.
std::span<const CommandLineOption> CommandLineOptions();

// Handles the arguments after the program's name. Empty when there are none, so the window is
// to be shown; otherwise the exit status: the option's own, or 2 after a line on the standard
// error for anything the program does not take (an unknown option, more than one option).
std::optional<int> RunCommandLine(int argc, char** argv, const CommandLineActions& actions);

}  // namespace ornavel::platform::linux_qt
