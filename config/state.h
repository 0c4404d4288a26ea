// Everything the settings layer holds for the run: the settings of
// default.cfg and the playlist, what the command line asked for and the
// folders the environment names.
#pragma once

#include "config/config.h"
#include "config/launch.h"

struct ConfigState {
    GameConfig settings;  // game_config_table reads and writes it
    char playlist_keys[PLAYLIST_KEYS][PLAYLIST_NAME_SIZE];  // the playlist's modules (playlist_table)
    LaunchOptions launch;
    const char* data_dir = "DATA/";  // prefix of the data files, used as is
    const char* amc_dir = "AMC/";    // prefix of the AMC programs
};
extern ConfigState config;

// As at start-up before anything was read: the built-in settings, an empty
// playlist, no options, the default folders.
void config_state_reset();
