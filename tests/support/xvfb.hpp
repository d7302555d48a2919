#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace ornavel::testing {

// An X server of the test's own (Xvfb, which picks a free display number), for tests that change
// what the whole screen is: its monitors, its pixel format. DISPLAY names it while it lives.
class Xvfb {
  public:
    // `screen` as Xvfb takes it: WIDTHxHEIGHTxDEPTH.
    explicit Xvfb(const std::string& screen) {
        const char* old = std::getenv("DISPLAY");
        saved_ = old ? old : "";
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0) return;
        std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(pipe_fds[1]),
                                         "-screen",   "0",          screen,
                                         "-nolisten", "tcp",        "-noreset"};
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, args.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        std::string number;
        char c;
        while (pid_ > 0 && read(pipe_fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipe_fds[0]);
        if (!number.empty()) {
            display_ = ":" + number;
            setenv("DISPLAY", display_.c_str(), 1);
        }
    }
    ~Xvfb() {
        if (saved_.empty()) {
            unsetenv("DISPLAY");
        } else {
            setenv("DISPLAY", saved_.c_str(), 1);
        }
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // ":N", or "" when the server did not start.
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = 0;
    std::string display_, saved_;
};

}  // namespace ornavel::testing
