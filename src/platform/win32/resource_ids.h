// The ids of the program's resources, shared by ornavel.rc.in and the code that loads them; only
// #define lines, since the resource compiler reads this file too.
#pragma once

// The program icon, shared by both windows; resource 1 is also the icon Explorer shows.
#define ORNAVEL_ICON_PROGRAM 1
// The folder button's glyph, one entry per common display scale.
#define ORNAVEL_ICON_FOLDER 2
