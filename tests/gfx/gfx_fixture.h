// Headless drawing: memory bitmaps, a main datafile built in memory and a
// small LEVELS.DAT made with the datafile tool.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

// Sprite frames of the fake main datafile: frame, size, hot spot, colour.
constexpr int SPRITE_A = 27;  // 40x20, hot spot (10, 20), colour 100
constexpr int SPRITE_B = 28;  // 8x8, hot spot (0, 0), colour 101
constexpr int SPRITE_WIDE = 29;  // 130x4 (wider than the scratch), colour 102
// The recolour scheme 1 maps colour 100 to 150.
constexpr int LIT_FROM = 100, LIT_TO = 150;

// Tiles of the test sheets are solid squares of colour 10 + t.
inline int tile_colour(int t) { return 10 + t; }

class GfxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Captures diag lines.
    std::string diagnostics;
    void capture_diag();

public:
    // Folder (ending in "/") holding the full test LEVELS.DAT; one without
    // "dif3.pcx" in missing_dir.
    static std::string levels_dir, missing_dir;
};

extern uint16_t started_clock_rate;  // what load_level started the clock at

int pixel(int x, int y);  // of the BackBuffer
// Number of BackBuffer pixels of colour c inside the rectangle.
int count_colour(int c, int x1, int y1, int x2, int y2);
void set_actor(int slot, int frame, int x, int y, int sort_key = 0);
