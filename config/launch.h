// What this run was started with: the command line's options and the
// folders the environment names. The shell fills them at start-up; every
// layer above the settings reads them.
#pragma once

#include <cstdint>

struct LaunchOptions {
    uint8_t start_level;    // level row for a direct game, 0 = none
    int8_t skill;           // 0 = the configured difficulty
    uint8_t record;         // 0xFF: play one game and save its demo
    uint8_t play;           // 0xFF: replay demo_file and stop
    uint8_t no_sound;       // 0xFF: no effects and no music
    uint16_t fps;           // 0 until set; the first level makes it 72
    uint8_t no_stat;        // 0xFF: normal HUD during a replay
    const char* demo_file;  // borrowed from argv
    int32_t card;           // row of gfx_driver_table, -1 = none
    const char* mod_file;   // borrowed from argv, or null
    uint32_t start_frame;   // ticks to fast-forward a replay
    uint16_t mode;          // 1..3, 0 = the configured mode
    uint8_t no_joystick;    // 0xFF: leave the joystick alone
};

// Environment rules: NWD_ALL sets both prefixes, NWD_DAT and NWD_AMC win.
void choose_dir_prefixes(const char* all, const char* dat, const char* amc);
