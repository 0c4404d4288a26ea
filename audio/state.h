// Everything the sound layer holds for the run: the effects and their
// voices, the cached music modules and the player, the playlists.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/music.h"
#include "audio/sfx.h"

struct AudioState {
    SAMPLE* sfx_samples[SFX_ROWS] = {};  // loaded by sfx_init, null elsewhere
    SfxVoiceSlot sfx_voice_slots[SFX_VOICE_SLOTS] = {};
    int sfx_voice_count = 0;
    const SfxVoiceOps* sfx_voice_ops = &allegro_voice_ops;

    MusicSlot music_slots[MUSIC_SLOTS] = {};
    const MusicOps* music_ops = &dumb_music_ops;
    AL_DUH_PLAYER* player = nullptr;
    const char* player_name = nullptr;  // the name of the slot that started the player
    uint8_t music_volume = 144;
    // The display-switch callbacks come from the library's own thread, where
    // the player may be half torn down: they only note the window's state,
    // and the next poll on the main thread pauses or resumes.
    std::atomic<bool> window_out{false};
    bool paused_for_switch = false;

    char playlist_names[PLAYLIST_MAX][PLAYLIST_NAME_LEN] = {};
    // The file each name came from, as the directory spells it: the names
    // are shown in upper case, but the file system may not ignore case.
    char playlist_files[PLAYLIST_MAX][PLAYLIST_NAME_LEN + 4] = {};
    int playlist_count = 0;
    int playlist_current = 0;
};
extern AudioState audio;

// As at start-up: no effect, module or player, the library's own calls, the
// default music volume, no playlist. What was loaded must have been
// released first (sfx_shutdown, music_init); this only forgets.
void audio_state_reset();
