// Sound effects played for actors: one sample per effect number, at most one
// sound per owner at a time.
#pragma once

struct SAMPLE;

constexpr int SFX_ROWS = 64;         // effect table rows, 0 the unused placeholder
constexpr int SFX_MOD_FIRST = 31;    // rows 31..62 take modders' own effects, when present
constexpr int SFX_VOICE_SLOTS = 32;  // owners that can be followed at once
constexpr int SFX_VOICES = 12;       // digital voices reserved from the driver
constexpr int SFX_REQUIRED = 14;     // effects 1..14 must load; later ones may be missing
constexpr int SFX_THUD = 7;          // a body hitting the ground
constexpr int SFX_BOSSDIE = 25;      // a boss beaten
constexpr int SFX_CRASH = 33;        // a wreck or a quake landing
constexpr int SFX_MENU_MOVE = 29;    // the menus' cursor moving
constexpr int SFX_MENU_SELECT = 30;  // ... and a choice made

// Effect number -> WAV file in the data directory; the first empty name ends it.
extern const char* const sfx_files[SFX_ROWS];

// An owner (an actor's slot, 0 for the menus) and the voice it sounds on. An
// entry stays in use after its sound has ended and is reused from then on.
struct SfxVoiceSlot {
    int owner;
    int voice;  // -1 when the driver had no voice to give
};

// The library's voice calls; tests replace them to follow voices without a device.
struct SfxVoiceOps {
    int (*allocate)(const SAMPLE* sample);  // a voice, or -1
    void (*deallocate)(int voice);
    void (*reallocate)(int voice, const SAMPLE* sample);
    void (*start)(int voice);
    void (*set_volume)(int voice, int volume);
    void (*set_pan)(int voice, int pan);
    int (*position)(int voice);  // -1 once the sound has ended
};
extern const SfxVoiceOps allegro_voice_ops;

// 0 ok; 1 no sound device; 2 one of effects 1..SFX_REQUIRED cannot be loaded (a
// later one that cannot is left silent); 3 table without end.
int sfx_init(const char* data_dir);
// Effect 1..62 for `owner` at pan 0 left .. 255 right, at the effects volume;
// replaces the owner's sound if it still plays. Unknown effects are ignored.
void sfx_play(int owner, int effect, int pan);
void sfx_stop_all();
void sfx_shutdown();
// The effects volume is the configuration's "soundvolume", changed in steps of 5.
void sfx_volume_up();
void sfx_volume_down();
