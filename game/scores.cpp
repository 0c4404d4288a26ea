#include "game/scores.h"

#include <allegro.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/music.h"
#include "engine/diag.h"
#include "fileio/byteorder.h"
#include "fileio/fileio.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/state.h"
#include "input/state.h"

const char name_alphabet[NAME_ALPHABET_SIZE + 1] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ-*!&. ";
static_assert(sizeof name_alphabet == NAME_ALPHABET_SIZE + 1, "32 letters and the NUL");

namespace {

constexpr int ENTRY_SIZE = 8;
constexpr int TABLE_SIZE = SCORE_ROWS * ENTRY_SIZE;
constexpr int NAME_LENGTH = 3;
constexpr char UNNAMED[] = "---";  // the built-in tables' name for nobody in particular

constexpr ScoreEntry INITIAL_TABLES[SCORE_TABLES][SCORE_ROWS] = {
    {{21670, "NWD", 8},
     {10000, "ZEK", 9},
     {8000, "T.K", 9},
     {7000, "D.L", 8},
     {6000, "---", 8},
     {5000, "---", 7},
     {4000, "---", 7},
     {3000, "---", 6},
     {2000, "---", 6},
     {1000, "---", 5}},
    {{17174, "NWD", 7},
     {10000, "ZEK", 7},
     {8000, "T.K", 7},
     {7000, "D.L", 7},
     {6000, "---", 6},
     {5000, "---", 6},
     {4000, "---", 5},
     {3000, "---", 5},
     {2000, "---", 4},
     {1000, "---", 4}},
    {{15855, "NWD", 7},
     {10000, "ZEK", 7},
     {8000, "T.K", 7},
     {7000, "D.L", 7},
     {6000, "---", 6},
     {5000, "---", 6},
     {4000, "---", 5},
     {3000, "---", 5},
     {2000, "---", 4},
     {1000, "---", 4}},
};

const char* const TITLES[SCORE_TABLES] = {
    "BEST 10 SCORES - ARCADE",
    "BEST 10 SCORES - SURVIVAL",
    "BEST 10 SCORES - VAMPIRE",
};
const char* const SKILL_BANDS[] = {"EASIEST", "EASY", "NORMAL", "HARD", "HARDEST"};
constexpr int FIRST_BANDED_SKILL = 3, FIRST_MASTER_SKILL = 8, LAST_MASTER_SKILL = 12;
// The MASTER grades' marks: thin bars a little apart from the word, so the
// label reads "MASTER" and a count and ends within eight letters, where
// every other skill label does.
constexpr int MASTER_MARKS_X = 48, MASTER_MARK_PITCH = 3;

// The tables hold the built-in contents from the start of the run.
const struct ResetAtStart {
    ResetAtStart() { scores_reset(); }
} reset_at_start;

// The file is little-endian whatever the machine is.
void decode_entry(const unsigned char* p, ScoreEntry& e)
{
    e.score = get_le16(p);
    std::memcpy(e.name, p + 2, 4);
    e.skill = (int16_t)get_le16(p + 6);
}

void encode_entry(const ScoreEntry& e, unsigned char* p)
{
    put_le16(p, e.score);
    std::memcpy(p + 2, e.name, 4);
    put_le16(p + 6, (uint16_t)e.skill);
}

// A name as it may be shown: at most three characters, and only printable
// ASCII, since a file's bytes could form anything (the fonts read UTF-8).
void printable_name(const ScoreEntry& e, char out[NAME_LENGTH + 1])
{
    int n = 0;
    for (; n < NAME_LENGTH && e.name[n]; n++) {
        unsigned char c = (unsigned char)e.name[n];
        out[n] = c >= 32 && c < 127 ? (char)c : '?';
    }
    out[n] = 0;
}

void put_text(BITMAP* b, FONT* f, const char* text, int x, int y)
{
    if (b && f)
        textout_ex(b, f, text, x, y, -1, -1);
}

// The letter-by-letter entry: the letter shown and the place it goes to.
struct NameEntry {
    int letter;    // index into name_alphabet
    int position;  // 0..2, 3 when the name is complete
};

// Acts on the first of right, left, select that `input` holds.
void name_entry_apply(NameEntry& entry, char name[4], uint16_t events)
{
    if (events & CTRL_RIGHT) {
        entry.letter = (entry.letter + 1) % NAME_ALPHABET_SIZE;
    } else if (events & CTRL_LEFT) {
        entry.letter = (entry.letter + NAME_ALPHABET_SIZE - 1) % NAME_ALPHABET_SIZE;
    } else if ((events & MENU_SELECT) && entry.position < NAME_LENGTH) {
        name[entry.position++] = name_alphabet[entry.letter];
    }
}

}  // namespace

int score_table_index(int mode) { return mode == 2 ? 1 : mode == 3 ? 2 : 0; }

void scores_reset() { std::memcpy(game.score_tables, INITIAL_TABLES, sizeof game.score_tables); }

int scores_read(const char* path)
{
    char* bytes;
    long size = 0;
    const char* why = "";
    int r = file_read_all(path, SCORES_FILE_SIZE, &bytes, &size, &why);
    if (r == FILE_MISSING)
        return 1;
    if (r == FILE_OK && size != SCORES_FILE_SIZE && size != SCORES_OLD_FILE_SIZE) {
        std::free(bytes);
        r = FILE_UNREADABLE;
        why = "not 240 or 160 bytes";
    }
    if (r != FILE_OK) {
        diag("%s: not a scores file (%s)\n", path, why);
        return 2;
    }
    // An old file has no VAMPIRE table: that one keeps what it has.
    for (int t = 0; t < (int)size / TABLE_SIZE; t++)
        for (int r = 0; r < SCORE_ROWS; r++)
            decode_entry(reinterpret_cast<unsigned char*>(bytes) + t * TABLE_SIZE + r * ENTRY_SIZE,
                         game.score_tables[t][r]);
    std::free(bytes);
    return 0;
}

int scores_write(const char* path)
{
    unsigned char bytes[SCORES_FILE_SIZE];
    for (int t = 0; t < SCORE_TABLES; t++)
        for (int r = 0; r < SCORE_ROWS; r++)
            encode_entry(game.score_tables[t][r], bytes + t * TABLE_SIZE + r * ENTRY_SIZE);
    char why[160];
    if (!file_write_all(path, bytes, sizeof bytes, why, sizeof why)) {
        diag("%s: %s, scores not saved\n", path, why);
        return 1;
    }
    return 0;
}

bool scores_load_from(const char* path, char* kept, size_t kept_size)
{
    kept[0] = '\0';
    if (scores_read(path) != 2)
        return true;
    // Never written over: the player's file goes aside, whatever it holds.
    if (!file_keep_aside(path, kept, kept_size)) {
        diag("%s: cannot be kept aside; scores will not be saved\n", path);
        return false;
    }
    diag("%s: kept as %s; the scores start afresh\n", path, kept);
    return true;
}

bool scores_load(char* kept, size_t kept_size)
{
    return scores_load_from("SCORES", kept, kept_size);
}
int scores_save() { return scores_write("SCORES"); }

uint16_t best_score(int mode) { return game.score_tables[score_table_index(mode)][0].score; }

bool score_qualifies(int mode, uint16_t score)
{
    return score > game.score_tables[score_table_index(mode)][SCORE_ROWS - 1].score;
}

int score_insert(int mode, uint16_t score, int16_t skill)
{
    ScoreEntry* table = game.score_tables[score_table_index(mode)];
    int place = SCORE_NO_PLACE;
    // Strictly less: an old entry with the same score stays above the new one.
    for (int r = SCORE_ROWS - 1; r >= 0 && table[r].score < score; r--) {
        if (r + 1 < SCORE_ROWS)
            table[r + 1] = table[r];
        place = r;
    }
    if (place == SCORE_NO_PLACE)
        return place;
    ScoreEntry& e = table[place];
    e.score = score;
    std::memset(e.name, 0, sizeof e.name);
    e.skill = skill;
    return place;
}

void draw_skill_label(int skill, BITMAP* bitmap, FONT* font_a, FONT* font_b, int x, int y)
{
    if (skill >= FIRST_BANDED_SKILL && skill < FIRST_MASTER_SKILL) {
        put_text(bitmap, font_a, SKILL_BANDS[skill - FIRST_BANDED_SKILL], x, y);
    } else if (skill >= FIRST_MASTER_SKILL && skill <= LAST_MASTER_SKILL) {
        put_text(bitmap, font_a, "MASTER", x, y);
        for (int k = FIRST_MASTER_SKILL; k <= skill; k++)
            put_text(bitmap, font_b, "|",
                     x + MASTER_MARKS_X + MASTER_MARK_PITCH * (k - FIRST_MASTER_SKILL), y);
    } else {
        // Above the menus' range (the command line), or a value no game
        // plays at (1, 2, or whatever a file holds): the number itself.
        char text[16];
        std::snprintf(text, sizeof text, "(%d)", skill);
        put_text(bitmap, font_b, text, x, y);
    }
}

void draw_score_table(int mode, int highlight, BITMAP* bitmap, int x, int y, FONT* font_rows,
                      FONT* font_title, FONT* font_header, FONT* font_highlight)
{
    int t = score_table_index(mode);
    put_text(bitmap, font_title, TITLES[t], x, y);
    put_text(bitmap, font_header, "NO.  SCORES   NAME   SKILL", x, y + 16);
    for (int i = 0; i < SCORE_ROWS; i++) {
        const ScoreEntry& e = game.score_tables[t][i];
        int line = y + 32 + 10 * i;
        FONT* f = i == highlight ? font_highlight : font_rows;
        char text[16];
        std::snprintf(text, sizeof text, "%2d", i + 1);
        put_text(bitmap, font_header, text, x, line);
        std::snprintf(text, sizeof text, "%5u0", (unsigned)e.score);
        put_text(bitmap, f, text, x + 40, line);
        printable_name(e, text);
        put_text(bitmap, f, text, x + 120, line);
        draw_skill_label(e.skill, bitmap, font_rows, font_title, x + 168, line);
    }
}

int score_table_foot(int y) { return y + 32 + 10 * SCORE_ROWS + 8; }

void enter_name(int mode, int x, int y, FONT* font, int row)
{
    if (row < 0 || row >= SCORE_ROWS)
        return;
    char* name = game.score_tables[score_table_index(mode)][row].name;
    std::memset(name, 0, 4);
    if (!font || !gfx.back_buffer) {
        std::memcpy(name, UNNAMED, sizeof UNNAMED);
        return;
    }
    const int top = y + 32 + 10 * row;
    const int bottom = top + (text_height(font) > 9 ? text_height(font) : 9) - 1;
    // Each shown letter must hide the one before, however wide either is.
    int cell = 8;
    for (int i = 0; i < NAME_ALPHABET_SIZE; i++) {
        char one[2] = {name_alphabet[i], 0};
        if (text_length(font, one) > cell)
            cell = text_length(font, one);
    }
    // Nothing else on the screen tells the keys: say them under the table
    // while the name is spelt.
    const int help = score_table_foot(y);
    const int help_bottom = help + text_height(font) - 1;
    textout_centre_ex(gfx.back_buffer, font, "LEFT RIGHT: LETTER   ENTER: TAKE IT",
                      gfx.back_buffer->w / 2, help, -1, 0);
    mark_dirty(help, help_bottom);
    constexpr uint16_t ACTED_ON = CTRL_RIGHT | CTRL_LEFT | MENU_SELECT;
    NameEntry entry = {0, 0};
    while (entry.position < NAME_LENGTH) {
        input.menu_input.store(0);
        int cx = x + 120 + 8 * entry.position;
        rectfill(gfx.back_buffer, cx, top, cx + cell - 1, bottom, 0);
        textprintf_ex(gfx.back_buffer, font, cx, top, -1, 0, "%c", name_alphabet[entry.letter]);
        mark_dirty(top, bottom);
        uint16_t events;
        while (!((events = input.menu_input.load()) & ACTED_ON)) {
            if (input.close_requested.load()) {
                // The window is going away mid-entry: keep what was chosen.
                if (entry.position == 0)
                    std::memcpy(name, UNNAMED, sizeof UNNAMED);
                return;
            }
            present_dirty();
            music_poll();
            rest(5);
        }
        name_entry_apply(entry, name, events);
    }
    rectfill(gfx.back_buffer, 0, help, gfx.back_buffer->w - 1, help_bottom, 0);
    mark_dirty(help, help_bottom);
}
