// The command line, parsed once at start-up into `config.launch`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/launch.h"
#include "nwd_version.h"  // NWD_VERSION, NWD_BUILD

// Outcome of cmdline_parse.
enum CmdlineResult {
    CMDLINE_GO = 0,    // start-up goes on
    CMDLINE_STOP = 1,  // usage text or driver list asked for, in `message`; exit status 0
    CMDLINE_BAD = 2,   // bad usage (an unknown argument or driver), the usage text or
                       // the driver list in `message`; status 2
    CMDLINE_VALUE = 3, // a bad option value, its message in `message`; status 1
};

// Pure parser: fills `out` and `demo_size` (left alone unless -maxdemo),
// writes what must be shown into `message` (always NUL-terminated).
CmdlineResult cmdline_parse(int argc, char** argv, LaunchOptions& out, uint32_t& demo_size,
                            char* message, size_t message_size);

// Before anything starts, so that no display is needed to read the usage:
// -1 when the command line is good; otherwise its message has been printed
// (asked for on the standard output, a mistake on the error stream) and
// shown in a box where there is a display, and this is the exit status.
int cmdline_check(int argc, char** argv);

// Start-up's parser: 1 go on, 0 stop quietly after showing the message;
// a bad value ends the process with status 1, other bad usage with 2.
int parse_command_line(int argc, char** argv);

// "--version" anywhere on the command line: prints the version on standard
// output and returns true, before anything else starts.
bool cmdline_version(int argc, char** argv);
