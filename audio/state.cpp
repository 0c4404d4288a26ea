#include "audio/state.h"

AudioState audio;

void audio_state_reset()
{
    for (SAMPLE*& s : audio.sfx_samples)
        s = nullptr;
    for (SfxVoiceSlot& v : audio.sfx_voice_slots)
        v = {};
    audio.sfx_voice_count = 0;
    audio.sfx_voice_ops = &allegro_voice_ops;
    for (MusicSlot& m : audio.music_slots)
        m = {};
    audio.music_ops = &dumb_music_ops;
    audio.player = nullptr;
    audio.player_name = nullptr;
    audio.music_volume = 144;
    audio.window_out.store(false);
    audio.paused_for_switch = false;
    for (auto& name : audio.playlist_names)
        name[0] = '\0';
    for (auto& file : audio.playlist_files)
        file[0] = '\0';
    audio.playlist_count = 0;
    audio.playlist_current = 0;
}
