// Shared helpers of the modding tests: scratch copies of data/, the tools
// run as commands, PNG and WAV files written and read, datafiles opened.
#pragma once

#include <allegro.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/data/data_fixture.h"
#include "tests/files.h"

namespace modtest {

using datatest::start_allegro;

using testfiles::Outcome;
using testfiles::slurp;
using testfiles::spit;
inline Outcome run(const std::string& cmd) { return testfiles::errors_of(cmd); }

std::string scratch();                          // a fresh folder under /tmp
std::string copy_data(const std::string& dir);  // copy of data/ with no mods/: its path
std::string tool(const char* name);             // a built tool's path

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[4 * ((size_t)y * w + x)]; }
};
bool read_png(const std::string& path, Picture& p);
bool write_png(const std::string& path, const Picture& p);
// A palette PNG whose colour map is `pal` (6-bit, as the game's).
bool write_png_indexed(const std::string& path, int w, int h, const std::vector<uint8_t>& index,
                       const RGB* pal);

DATAFILE* load_dat(const std::string& path);  // with the game's password
const RGB* game_palette();                    // of the built game
// Does game colour `c` show the picture's pixel at the palette's precision?
bool shows(const RGB* pal, int c, const uint8_t* px);
int colour_distance(const RGB* pal, int c, const uint8_t* px);  // largest channel gap, 8-bit

}  // namespace modtest
