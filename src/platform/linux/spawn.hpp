#pragma once

#include <string>
#include <vector>

namespace ornavel::platform::linux_desktop {

struct Finished {
    int exitCode = -1;  // -1 when it did not end normally
    std::string output;
    std::string errors;
};

// Runs argv[0], found on PATH, with exactly these argument bytes — no shell in between — and
// waits at most `timeoutMs` for it to exit. What it printed until then is returned; a child it
// left running with its output still open is not waited for. Throws platform::Error when it
// cannot be started or does not exit in time.
Finished Spawn(const std::vector<std::string>& argv, int timeoutMs = 15000);

// Runs argv as Spawn does and returns what it printed; throws platform::Error naming the program
// when it is missing, hangs or fails, with the first line of its complaint.
std::string Run(const std::vector<std::string>& argv, int timeoutMs = 15000);

}  // namespace ornavel::platform::linux_desktop
