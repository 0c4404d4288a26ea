// One game: story, levels, ending and score entry; the level loop.
#pragma once

#include <cstdint>

struct DemoImage;

struct CurrentGame {
    int16_t skill;
    int16_t stars;
    int16_t lives;
    int16_t item;
    int16_t item_count;
    int16_t level;
    uint16_t score;
    uint16_t top_score;
    int16_t mode;
    uint8_t replaying;
    uint32_t seed;
    uint32_t frames_run;
    int32_t cheated;
    int32_t with_music;
};

// The menus' screens that a game opens. They belong to the layer above:
// start-up hands them down, and a game without them (a test) goes on.
struct GameScreens {
    int (*pause_menu)();                    // Escape on a street: 0 go on, -1 end the game
    void (*show_notice)(const char* text);  // a message the player must not miss
};

int run_game(DemoImage* demo, uint32_t start_frame, int16_t mode, int16_t level, int16_t skill,
             int with_music);
int run_level(int16_t mode, int16_t level);
void show_ending();
// The code kept in the configuration for furthest level n ("" for 0).
const char* progress_code(int n);
// After a level of a game begun at `start_level` (the run_game argument)
// led to row `reached`: raises game.furthest_level and `lastlevel` when earned.
void note_progress(int16_t start_level, int reached);
