// One channel for every diagnostic line the program writes.
#pragma once

#include <cstddef>

// printf-like; writes to the standard error stream unless a sink is installed.
void diag(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A tool names itself once: every line then reads "TOOL: message", as in
// "nwd-gfxgen: lev1.png: is 10 x 10; ...". The game names nothing.
void diag_set_program(const char* name);

// A sink receives each formatted message (with its newline) instead of stderr.
// Pass nullptr to restore stderr.
using DiagSink = void (*)(const char* text, size_t len, void* user);
void diag_set_sink(DiagSink sink, void* user);
