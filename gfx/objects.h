// Checked access to the main datafile's objects: drawing code never reads
// past the datafile's end nor treats an object as the wrong type.
#pragma once

struct BITMAP;
struct FONT;
struct DATAFILE;

struct MainObjects {
    DATAFILE* data;
    int count;  // objects before the end marker

    BITMAP* bitmap(int index) const;  // 8-bit bitmap object, else null
    FONT* font(int index) const;      // font object, else null
};

// The main datafile's fonts, by what they write.
enum {
    FONT_SMALL = 16,      // story captions, key and button names, notes
    FONT_HEADING = 17,    // headings and labels
    FONT_CREDITS = 18,    // the credits
    FONT_HIGHLIGHT = 19,  // "CURRENT DEMO" and other highlights
    FONT_VERSION = 20,    // the title's version line
    FONT_ITEM = 21,       // menu items, the HUD's numbers, the statistics overlay
    FONT_SELECTED = 22,   // the selected menu item, the HUD's stars
};

// Counts the objects of gfx.main_data; call once per drawing entry point.
MainObjects main_objects();
