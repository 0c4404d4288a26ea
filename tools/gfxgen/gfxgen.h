// Picture generator for the game's datafiles: shared declarations.
#pragma once

#include <allegro.h>

#include <string>
#include <vector>

namespace gg {

// One datafile object to pack, in index order (see manifest.cpp).
struct Entry {
    int index;
    std::string type;  // BMP, FONT, PAL, DATA
    std::string file;  // file name inside the output folder
    int xhot, yhot;    // -1: no hot-spot properties
};

// Include-file constants naming sprite frames.
struct Name {
    std::string name;
    int value;
};

struct Out {
    std::string dir;            // output folder for picture files
    std::vector<Entry> main;    // NIGHTWAR.DAT
    std::vector<Entry> levels;  // LEVELS.DAT
    std::vector<Name> names;
    bool failed = false;  // a picture could not be written
};

extern PALETTE game_pal;
extern PALETTE menu_pal;

// Sources; each returns false after reporting "file:line: message".
bool load_palettes(const std::string& path);
bool load_font(const std::string& path);
bool load_art(const std::string& path);
bool load_poses(const std::string& path);
bool load_map(const std::string& path, int& rows, std::vector<unsigned short>& cells);

// Drawing helpers.
void draw_text(BITMAP* b, const char* s, int x, int y, const int rows[7], int shadow,
               int scale = 1);
int text_width(const char* s, int scale = 1);
BITMAP* art(const std::string& name);  // owned by the art table
void font_sheet(BITMAP* b, const int rows[7], int shadow);

bool save(Out& o, BITMAP* b, const std::string& file, const RGB* pal = nullptr);

// Producers.
void make_hud(Out& o);       // objects 0..15
void make_fonts(Out& o);     // objects 16..22
void make_palettes(Out& o);  // objects 23..25
void make_sprites(Out& o);   // objects 26..557
bool make_levels(Out& o, const std::string& src);
bool make_icons(const std::string& dir, const std::string& header);  // PNGs and window icon

}  // namespace gg
