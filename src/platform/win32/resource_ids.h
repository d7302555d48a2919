// The ids of the program's resources, shared by ornavel.rc.in and the code that loads them; only
// #define lines, since the resource compiler reads this file too.
#pragma once

// The program icon, shared by both windows; resource 1 is also the icon Explorer shows.
#define ORNAVEL_ICON_PROGRAM 1
// The folder button's glyph: an .ico file kept as raw data, one image per common display scale.
// It is not an icon resource, so that the program file holds one icon, the program's own, which
// is all Explorer offers for the program's shortcuts.
#define ORNAVEL_FOLDER_GLYPH 2
