#pragma once

#include <string>

namespace ornavel::platform {

// Hands `target` (a mailto: or http:// address) to the desktop, which opens it with the user's
// mail program or browser. Returns at once, without waiting for that program; failures are silent.
void OpenInShell(const std::string& target);

}  // namespace ornavel::platform
