#include "game/session.h"

#include <allegro.h>

#include <cstdio>
#include <ctime>

#include "audio/music.h"
#include "audio/sfx.h"
#include "config/state.h"
#include "demo/state.h"
#include "engine/diag.h"
#include "engine/world.h"
#include "game/clock.h"
#include "game/level_loop.h"
#include "game/scores.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/objects.h"
#include "gfx/state.h"
#include "input/state.h"

namespace {

constexpr int16_t STORY_LEVEL = FIRST_INTERLUDE;  // a new game starts with its story
constexpr int16_t FIRST_WON_OUTCOME = GAME_WON;
constexpr int LEVEL_NOT_LOADED = -2;  // run_level: load_level failed

// Main datafile objects used here.
constexpr int ENDING_PICTURE = 345;
constexpr int ENDING_BACKGROUND = 62;
constexpr int REPLAY_ENDING_MS = 6000;  // the ending of a replayed won game
// All keys up this long before the name entry: longer than the gaps of a
// hand still mashing at GAME OVER, shorter than a player's pause to read.
constexpr int KEYS_QUIET_MS = 600;
constexpr int KEYS_MOST_MS = 2000;      // ... or, after a game with no name to enter, at most this

struct PlacedText {
    const char* text;
    int x, y;
};
constexpr PlacedText STORY_LINES[] = {
    {"THE POLICE CANNOT STOP", 72, 64},
    {"THE STREET GANGS...", 88, 80},
    {"AS A NIGHTWARD YOU MUST DEFEND", 40, 96},
    {"YOUR PEOPLE'S TURF!!!", 80, 112},
};
const char* const FIRST_GAME_HINT = "ESC IN PLAY: PAUSE MENU AND MOVES";
constexpr int FIRST_GAME_HINT_Y = 200;
constexpr PlacedText ENDING_LINES[] = {
    {"WAY TO GO DUDE !!!", 88, 40},        {"YOU SAVED ROSALIE", 88, 56},
    {"LAW AND ORDER FAILED BUT,", 64, 74}, {"THE NIGHTWARD PREVAILED.", 64, 88},
    {"THE NIGHTWARD RULES", 80, 104},      {"THE CITY !!!", 112, 120},
};

void draw_lines(FONT* f, const PlacedText* lines, int count)
{
    if (!f || !gfx.back_buffer)
        return;
    for (int i = 0; i < count; i++)
        textout_ex(gfx.back_buffer, f, lines[i].text, lines[i].x, lines[i].y, -1, -1);
}

bool sound_on() { return !config.launch.no_sound; }

// The module named by a playlist key, or the "-mod" file for the game music.
void play_music(int slot, const char* playlist_name, bool game_music)
{
    if (game_music && config.launch.mod_file)
        music_play(slot, "", config.launch.mod_file);
    else
        music_play(slot, config.data_dir, playlist_name);
}

void show_story(int with_music)
{
    clear_picture(gfx.back_buffer);
    FONT* captions = main_objects().font(FONT_SMALL);
    draw_lines(captions, STORY_LINES, sizeof STORY_LINES / sizeof STORY_LINES[0]);
    // A new player is told where the moves are before the first street.
    if (captions && gfx.back_buffer && game.furthest_level < 2)
        textout_centre_ex(gfx.back_buffer, captions, FIRST_GAME_HINT, PICTURE_W / 2,
                          FIRST_GAME_HINT_Y, -1, -1);
    if (sound_on() && with_music)
        play_music(0, config.playlist_keys[PLAYLIST_LEVEL1], true);
    present_all();
    menu_wait_or_select(4000);
}

// The carried values as the shared level passage sees them, and back.
WorldStart carried(int16_t level)
{
    const CurrentGame& g = game.current;
    return {level, g.mode, g.skill, (int16_t)g.score, g.item, g.item_count, g.stars, g.lives};
}

void keep(const WorldStart& w)
{
    CurrentGame& g = game.current;
    g.score = (uint16_t)w.score;
    g.item = w.item;
    g.item_count = w.item_count;
    g.stars = w.stars;
    g.lives = w.lives;
}

// Releases what the level loaded, carries its values into game.current and
// returns the next row, as the headless simulator does between levels.
int16_t end_level(int16_t level, int outcome)
{
    game.level_ops->stop_clock();
    const LevelDesc* row = level_desc(level);
    if (row && row->map_name[0])
        unload_level_map();
    if (row && row->band_height)
        release_band_strip();
    sfx_stop_all();
    WorldStart w = carried(level);
    world_end_level(w, outcome);
    keep(w);
    return w.level;
}

void enter_high_score()
{
    CurrentGame& g = game.current;
    if (sound_on())
        play_music(1, config.playlist_keys[PLAYLIST_SCORES], false);
    MainObjects m = main_objects();
    FONT *rows = m.font(FONT_ITEM), *title = m.font(FONT_SELECTED), *header = m.font(FONT_HEADING),
         *highlight = m.font(FONT_HIGHLIGHT);
    clear_picture(gfx.back_buffer);
    int row = score_insert(g.mode, g.score, g.skill);
    bool fonts = rows && title && header && highlight;
    if (fonts)
        draw_score_table(g.mode, row, gfx.back_buffer, 56, 50, rows, title, header, highlight);
    wipe_in(music_poll);
    // Keys still mashed from the fight must not spell the name: the entry
    // starts once every key has been let go for a moment.
    wait_keys_released(KEYS_QUIET_MS);
    clear_keybuf();
    if (fonts && row < 10) {
        enter_name(g.mode, 56, 50, highlight, row);
        // Highlighted glyphs are wider than the plain ones: start again from
        // a clear picture rather than print over them.
        clear_picture(gfx.back_buffer);
        draw_score_table(g.mode, -1, gfx.back_buffer, 56, 50, rows, title, header, highlight);
    }
    present_all();
    input.menu_input.store(0);
    if (input.close_requested.load())
        return;
    menu_wait(1000);
    // Keys do nothing for that second, nor while they are still mashed (a
    // mashed punch went on to start a new game from the title); then the
    // table says what ends it, as the name's own prompt did (without it a
    // player took the wait for a missed key).
    wait_keys_released(KEYS_QUIET_MS);
    if (fonts && gfx.back_buffer) {
        textout_centre_ex(gfx.back_buffer, highlight, "ENTER: GO ON", gfx.back_buffer->w / 2,
                          score_table_foot(50), -1, 0);
        present_all();
    }
    menu_wait_or_select(60000);
}

}  // namespace

void note_progress(int16_t start_level, int reached)
{
    const CurrentGame& g = game.current;
    // Only a whole game counts: one begun with the story or the first street.
    bool fair_start = start_level == 0 || start_level == STORY_LEVEL || start_level == 1;
    if (g.replaying || g.cheated || g.skill < 5 || !fair_start || reached < 2 || reached > 5 ||
        reached <= game.furthest_level)
        return;
    game.furthest_level = (int16_t)reached;
    snprintf(config.settings.lastlevel, sizeof config.settings.lastlevel, "%s",
             progress_code(reached));
}

const char* progress_code(int n)
{
    // Each code is built from n by a small mixing generator, so no code is
    // written anywhere in the program for a hand to copy into the file.
    static char codes[6][8];
    if (n < 1 || n > 5)
        return "";
    static const char alphabet[] = "BCDFGHJKLMNPQRSTVWXZ23456789";
    constexpr unsigned letters = sizeof alphabet - 1;
    uint32_t x = 0x6E77u * (uint32_t)n + 0x2545F491u;
    char* out = codes[n];
    for (int i = 0; i < 7; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = alphabet[(x >> 8) % letters];
    }
    out[7] = 0;
    return out;
}

void show_ending()
{
    if (sound_on())
        play_music(0, config.playlist_keys[PLAYLIST_ENDING], false);
    if (!gfx.back_buffer)
        return;
    MainObjects m = main_objects();
    FONT* f = m.font(FONT_SELECTED);
    clear_to_color(gfx.back_buffer, ENDING_BACKGROUND);
    draw_lines(f, ENDING_LINES, sizeof ENDING_LINES / sizeof ENDING_LINES[0]);
    if (BITMAP* pic = m.bitmap(ENDING_PICTURE))
        draw_sprite(gfx.back_buffer, pic, 133, 132);
    if (f)
        textprintf_ex(gfx.back_buffer, f, 88, 220, -1, -1, "YOUR SCORE: %d0", game.current.score);
    present_all();
    if (game.current.replaying) {
        // A replay ends as it plays: on its own after a few seconds, or at
        // once on any control or Escape, and never waits for a select.
        input.menu_input.store(0);
        for (int ms = 0; ms < REPLAY_ENDING_MS && !input.close_requested.load(); ms += 10) {
            input.wait_ops->wait(10);
            if (input.menu_input.load() & (CTRL_ALL | MENU_ESCAPE))
                break;
        }
        input.menu_input.store(0);
        return;
    }
    menu_wait(2000);
    menu_wait_or_select(120000);
}

int run_game(DemoImage* demo, uint32_t start_frame, int16_t mode, int16_t level, int16_t skill,
             int with_music)
{
    CurrentGame& g = game.current;
    const int16_t level_asked = level;
    game.level_failed = false;
    input.menu_input.store(0);
    g.frames_run = 0;
    g.cheated = 0;
    g.with_music = with_music;
    clear_keybuf();

    if (demo) {
        demo_play_start(demo);
        DemoHeader h = demo_header(demo);
        level = h.level;
        mode = h.mode;
        skill = h.skill;
        g.seed = h.seed;
        g.replaying = 0xFF;
        game.frame_ticks.store(start_frame);  // a head start fast-forwards the replay
    } else {
        game.frame_ticks.store(0);
        g.seed = (uint32_t)time(nullptr);
        if (level == 0) {
            show_story(with_music);
            level = STORY_LEVEL;
        }
        g.replaying = 0;
        if (skill == 0)
            skill = config.settings.difficulty;
        if (mode == 0)
            mode = config.settings.mode;
        if (level != LEVEL_CREDITS || config.launch.record) {
            // The recording takes over as the replay menu's current demo.
            bool builtin = false;
            for (DemoImage* b : demos.builtin)
                builtin = builtin || (b && b == demos.last_game);
            if (!builtin)
                demo_free(demos.last_game);
            demos.last_game = demo_create(g.seed, skill, level, mode);
            if (!demos.last_game) {
                diag("error allocating demo memory\n");
                return 0;
            }
        }
    }
    g.skill = skill;
    g.mode = mode;
    keep(world_new_game(level, mode, skill, g.seed));
    demo_trace_game(level, mode, skill, g.seed, sound_on());
    // A demo file names any mode it likes; only the three modes have tables.
    g.top_score = mode >= 1 && mode <= 3 ? best_score(mode) : 0;

    int r = 0;
    while (world_row_playable(level)) {
        g.level = level;
        r = run_level(mode, level);
        int16_t next = end_level(level, r);
        if (r == LEVEL_NOT_LOADED) {
            // The game ends as lost; the player learns why, not only stderr.txt.
            game.level_failed = true;
            if (game.screens.show_notice)
                game.screens.show_notice(level_error());
        }
        level = next;
        note_progress(level_asked, r);
    }
    g.level = level;

    demos.state &= ~DEMO_RECORDING;
    demo_trace_end((int16_t)g.score, level, g.frames_run);
    if (level >= FIRST_WON_OUTCOME)
        show_ending();
    if (g.replaying)
        return 1;
    if (g.cheated || g.mode < 1 || g.mode > 3 || !score_qualifies(g.mode, g.score)) {
        // Keys mashed through the last fight must not pick the rows of the
        // menus that come next (a new game began that way): they are let go
        // first, as before the name entry, for two seconds at most. The
        // title's own guard is not enough: it ignores only a key held as it
        // appears, and a mashed key up at that moment is a fresh press the
        // next. END GAME was chosen from a menu: the title's guard does.
        if (r != -1)
            wait_keys_released(KEYS_QUIET_MS, KEYS_MOST_MS);
        clear_keybuf();
        return 1;
    }
    enter_high_score();
    return 1;
}
