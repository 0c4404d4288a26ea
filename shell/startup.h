// Start-up and shutdown of the program, and what they hold for the run.
#pragma once

// The main datafile is there: a readable file, read-only ones included.
bool data_file_present(const char* path);

constexpr int STARTUP_FAILED = -1;
// 1 ready; 0 stop (usage text or driver list shown, exit status 0);
// STARTUP_FAILED: its message shown and on the terminal, exit status 1.
int startup(int argc, char** argv);

// Writes default.cfg and SCORES, each through a temporary file so a failed
// write keeps the old one. The files that could not be written, each also
// reported in stderr.txt and on the terminal.
enum { SAVE_SETTINGS = 1, SAVE_SCORES = 2 };
// Reads default.cfg and SCORES (one that cannot be read is kept aside as
// NAME.bad); the SAVE_ bits of those that may be written back.
int load_player_files();
// Only the files that start-up read (or found missing) are written: the
// built-in contents never go over a file that was not read.
int save_player_files();
// A line on the terminal ("Nightward: ...") and in stderr.txt.
void console_say(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// A message that stops the program: on the terminal, and in a message box
// left to wait for its click on its own when there is a display.
void startup_message(const char* text);
// The message box alone, for a text said on the terminal already; needs no
// library, only a DISPLAY.
void show_message_box(const char* text);
// Saves as above (a failure also shown in the window), then releases
// everything. The exit status: 1 when something could not be saved.
int shutdown_program();
