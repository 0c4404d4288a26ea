// What nwd-datview draws: one object of a checked datafile (bitmap, font,
// palette), a level map with its tile sheet, or the sprite contact sheet.
#pragma once

#include <allegro.h>

#include <string>

// `what` as the tool takes it, enlarged `scale` (1..16) times: an index or name, "sheet" or
// "map:NAME:SHEET:ROWS[:FIRST]" (cells from FIRST on). The picture (8-bit) and its palette, or null with
// `why` ("usage" for a `what` of the wrong form, empty when the picture
// would be too large). Every object is looked at within its bounds; the
// datafiles must have passed the datafile check.
BITMAP* datview_render(DATAFILE* dat, DATAFILE* main_dat, const char* what, int scale,
                       const RGB** pal, std::string& why);
