// Headless drawing: memory bitmaps, a main datafile built in memory and a
// small LEVELS.DAT (without "dif3.pcx") made with the datafile tool.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

// Frames of the fake main datafile. A: 40x20, hot spot (10, 20), colour 100;
// B: 8x8 colour 101; 31 is no picture. Objects 308..313 have colour i - 200.
constexpr int SPRITE_A = 27, SPRITE_B = 28;
constexpr int LIT_FROM = 100, LIT_TO = 150;  // recolour scheme 1
// Tile t of every test sheet is a solid square of colour 10 + t.
inline int tile_colour(int t) { return 10 + t; }

class GfxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string diagnostics;  // filled once capture_diag() was called
    void capture_diag();
    static std::string levels_dir;  // ends in "/"
};

extern uint16_t started_clock_rate;  // what load_level started the clock at
int pixel(int x, int y);             // of the BackBuffer
int count_colour(int c, int x1, int y1, int x2, int y2);
// Fills slots 1..slot of a fresh table and sets the slot's registers.
void set_actor(int slot, int frame, int x, int y, int sort_key = 0);
