// The incremental HUD of the street levels and the statistics overlay shown
// while a demo file is replayed.
#pragma once

#include <cstdint>

struct BITMAP;

// Draws what changed since the last call (everything when force != 0);
// 1 if anything was drawn.
int draw_hud(BITMAP* bmp, int force, int energy, int second_bar, int item, int item_count,
             int timer, int score, int top_score, int lives, int stars);
// draw_hud on the BackBuffer with the current game values; marks rows 0..31.
void draw_hud_now(int force);

struct StatsLine {
    uint32_t played, total;  // demo frames played in all / in the header
    unsigned skill, fps, volume;
};
// The overlay from explicit values (rows 0..47, marked dirty).
void draw_statistics_values(BITMAP* bmp, uint16_t controls, const StatsLine& s);
// The overlay from the demo being replayed, the frame rate and the music.
void draw_statistics(BITMAP* bmp, uint16_t controls);
