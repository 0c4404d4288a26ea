// The three high-score tables and the "SCORES" file.
#pragma once

#include <cstdint>

struct BITMAP;
struct FONT;

struct ScoreEntry {
    uint16_t score;  // tens of points
    char name[4];
    int16_t skill;
};
static_assert(sizeof(ScoreEntry) == 8, "ScoreEntry is stored as is");

extern ScoreEntry score_tables[3][10];

void scores_load();
void scores_save();
uint16_t best_score(int mode);
bool score_qualifies(int mode, uint16_t score);
int score_insert(int mode, uint16_t score, int16_t skill);  // row 0..9, 10 = no place
void draw_score_table(int mode, int highlight, BITMAP* bitmap, int x, int y, FONT* font_rows,
                      FONT* font_title, FONT* font_header, FONT* font_highlight);
void enter_name(int mode, int x, int y, FONT* font, int row);
void draw_skill_label(int skill, BITMAP* bitmap, FONT* font_a, FONT* font_b, int x, int y);
