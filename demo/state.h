// Everything the demos hold for the run: the game being recorded or
// played and where it stands, the last game's recording, the attract demos
// and the trace file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "demo/demo.h"

struct DemoState {
    DemoImage* active = nullptr;  // being recorded or played, or null
    uint8_t state = 0;            // DEMO_PLAYING ... DEMO_TRUNCATED
    DemoPosition position = {};
    uint32_t buffer_size = DEMO_DEFAULT_BUFFER_SIZE;  // bytes for a recording ("-maxdemo")
    DemoImage* last_game = nullptr;  // the last game recorded, or a loaded file; owned
    DemoImage* builtin[3] = {};      // the attract demos DEMO1..3; owned
    uint64_t programs_hash = 0;      // of the programs as loaded, for the trace
    bool programs_noted = false;
    FILE* trace = nullptr;  // NWD_DEMO_TRACE, opened on first use for the run
    bool trace_tried = false;
};
extern DemoState demos;

// As at start-up: the recording and the attract demos freed, nothing
// played, the default buffer. The trace file stays open.
void demos_state_reset();
