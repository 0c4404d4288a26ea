// Everything start-up and shutdown hold for the run.
#pragma once

struct ShellState {
    // The terminal's error stream, kept before stderr goes to "stderr.txt",
    // for the one failure the player must see before any window exists.
    int console_error_fd = 2;
    // The settings file: "default.cfg" in the working folder, or behind the
    // prefix that NWD_CFG gives (the launcher's XDG config folder).
    char config_path[512] = "default.cfg";
    char amc_path[512] = {};   // the programs start-up loaded
    char data_path[512] = {};  // the main datafile start-up loaded
    // Which player files were read (SAVE_ bits), and so may be written
    // back: a run that ends before reading one (a lost display, a signal)
    // must not write the built-in contents over it.
    int loaded_player_files = 0;
};
extern ShellState shell;

// As before start-up: the terminal's stream as standard error, the
// settings file in the working folder, nothing loaded or read.
void shell_state_reset();
