// Instrument synthesis for nwd-modgen: every instrument of a song is one
// 16-bit sample made here from a named preset, plus the volume envelope and
// vibrato the module gives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mg {

struct Patch {
    std::vector<int16_t> data;
    int loop_start = 0, loop_len = 0;  // in samples; loop_len 0: plays once
    double rate = 22050;               // the rate at which `data` sounds at `pitch`
    double pitch = 261.63;             // Hz of the content at that rate (C4 for drums)
    // Volume envelope in seconds: attack, decay to `sustain` (0..1), then
    // `release` after the key is let go; `hold` false for one-shots.
    double attack = 0, decay = 0, sustain = 1, release = 0.3;
    bool hold = true;
    int vib_depth = 0, vib_rate = 0, vib_sweep = 0;  // the module's auto-vibrato
    int volume = 48, pan = 128;
};

// Knobs a score may set on a preset; negative means the preset's own value.
struct PatchKnobs {
    double attack = -1, decay = -1, sustain = -1, release = -1;
    double bright = 1;  // scales the filter cutoffs
    int volume = -1, pan = -1, vib = -1;
};

// The preset names, for the score's error message.
const char* preset_names();
// False when `preset` is unknown.
bool make_patch(const std::string& preset, const PatchKnobs& knobs, Patch& out);

}  // namespace mg
