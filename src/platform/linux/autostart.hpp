#pragma once

#include <string>
#include <string_view>

// The freedesktop autostart entry that runs "ornavel --restore" at every login, for a session
// that forgets the wallpaper (the plain X11 root window). Session managers and the session
// scripts of X11 window managers start the entries of $XDG_CONFIG_HOME/autostart/.
namespace ornavel::platform::linux_desktop {

// $XDG_CONFIG_HOME/autostart/ornavel-restore.desktop (default ~/.config/autostart/).
std::string RestoreEntryPath();

// The entry's text for `program`: Exec runs exactly that file with --restore, whatever blanks,
// quotes, backslashes or '%' its path holds (a path with '%' through env), and TryExec makes the
// entry count only while the file is there. Throws platform::Error for a path an entry cannot hold
// (not UTF-8, or with control characters other than line breaks and tabs).
std::string RestoreEntry(const std::string& program);

// Writes the entry for `program` whole (a new version replaces the old one only when complete),
// making its folder when missing; an entry that already says the same is left alone. Throws
// platform::Error with the reason.
void WriteRestoreEntry(const std::string& program);

// Removes the entry; none there is no failure. Throws platform::Error when it stays.
void RemoveRestoreEntry();

// The file of the running program, as the system names it.
std::string RunningProgram();

}  // namespace ornavel::platform::linux_desktop
