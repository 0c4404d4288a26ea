// The three high-score tables and the "SCORES" file.
#pragma once

#include <cstddef>
#include <cstdint>

struct BITMAP;
struct FONT;

// One entry; in the file, 8 bytes with little-endian fields.
struct ScoreEntry {
    uint16_t score;  // tens of points
    char name[4];    // up to 3 characters, NUL padded; empty while being entered
    int16_t skill;
};
static_assert(sizeof(ScoreEntry) == 8, "8 bytes a row, as in the file");

constexpr int SCORE_TABLES = 3;  // ARCADE, SURVIVAL, VAMPIRE
constexpr int SCORE_ROWS = 10;
constexpr int SCORE_NO_PLACE = SCORE_ROWS;                       // score_insert: did not fit
constexpr int SCORES_FILE_SIZE = SCORE_TABLES * SCORE_ROWS * 8;  // 240
constexpr int SCORES_OLD_FILE_SIZE = 2 * SCORE_ROWS * 8;         // 160: no VAMPIRE table
constexpr int NAME_ALPHABET_SIZE = 32;
extern const char name_alphabet[NAME_ALPHABET_SIZE + 1];

// The table of a game mode: 2 SURVIVAL, 3 VAMPIRE, anything else ARCADE.
int score_table_index(int mode);
void scores_reset();  // the built-in contents

// Load and save through a named file. Read: 0 loaded, 1 no file, 2 refused
// (wrong size or a short read), tables untouched unless 0. Write: 0 or 1.
int scores_read(const char* path);
int scores_write(const char* path);
// Reads `path`; a file there that is refused is renamed aside (SCORES.bad,
// its name into `kept`, else `kept` is empty) so that saving never writes
// over it. False when it could not be moved: the tables must not be saved.
bool scores_load_from(const char* path, char* kept, size_t kept_size);
bool scores_load(char* kept, size_t kept_size);  // "SCORES" in the working folder, as above
int scores_save();                               // 0 written, 1 not (the old file kept)

uint16_t best_score(int mode);
bool score_qualifies(int mode, uint16_t score);
int score_insert(int mode, uint16_t score, int16_t skill);  // row 0..9, SCORE_NO_PLACE

void draw_score_table(int mode, int highlight, BITMAP* bitmap, int x, int y, FONT* font_rows,
                      FONT* font_title, FONT* font_header, FONT* font_highlight);
void enter_name(int mode, int x, int y, FONT* font, int row);
// The line under a table drawn at y, where its prompts are written.
int score_table_foot(int y);
void draw_skill_label(int skill, BITMAP* bitmap, FONT* font_a, FONT* font_b, int x, int y);
