#include "audio/sfx.h"

#include <allegro.h>

#include <cstdio>

#include "audio/state.h"
#include "audio/volume.h"
#include "audio/wav.h"
#include "config/state.h"
#include "engine/diag.h"

const char* const sfx_files[SFX_ROWS] = {
    "*dummy*",
    "VHIT.wav",
    "VHIT.wav",
    "03.wav",
    "VHIT2.wav",
    "05.wav",
    "VHURT.wav",
    "07.wav",
    "VDIE.wav",
    "BDIE.wav",
    "LAUGH.wav",
    "11.wav",
    "VESCAPE.wav",
    "DOOR.wav",
    "COMEON.wav",
    "SLASH.wav",
    "CLANG.wav",
    "BAT.wav",
    "BREAK.wav",
    "EAT.wav",
    "POWER.wav",
    "GRAB.wav",
    "THROW.wav",
    "GRUNT.wav",
    "BOSS.wav",
    "BOSSDIE.wav",
    "GO.wav",
    "TIMEUP.wav",
    "CLEAR.wav",
    "MENU1.wav",
    "MENU2.wav",
    // Rows for modders' own effects: "31.wav" to "62.wav", played when present.
    "31.wav",
    "32.wav",
    "33.wav",
    "34.wav",
    "35.wav",
    "36.wav",
    "37.wav",
    "38.wav",
    "39.wav",
    "40.wav",
    "41.wav",
    "42.wav",
    "43.wav",
    "44.wav",
    "45.wav",
    "46.wav",
    "47.wav",
    "48.wav",
    "49.wav",
    "50.wav",
    "51.wav",
    "52.wav",
    "53.wav",
    "54.wav",
    "55.wav",
    "56.wav",
    "57.wav",
    "58.wav",
    "59.wav",
    "60.wav",
    "61.wav",
    "62.wav",
    "",
};

namespace {

int al_allocate(const SAMPLE* s) { return allocate_voice(s); }
void al_deallocate(int v) { deallocate_voice(v); }
void al_reallocate(int v, const SAMPLE* s) { reallocate_voice(v, s); }
void al_start(int v) { voice_start(v); }
void al_set_volume(int v, int volume) { voice_set_volume(v, volume); }
void al_set_pan(int v, int pan) { voice_set_pan(v, pan); }
int al_position(int v) { return voice_get_position(v); }

void free_samples()
{
    for (int i = 1; i < SFX_ROWS; i++) {
        if (audio.sfx_samples[i])
            destroy_sample(audio.sfx_samples[i]);
        audio.sfx_samples[i] = nullptr;
    }
}

// A voice the driver never gave counts as ended.
bool still_playing(const SfxVoiceSlot& e)
{
    return e.voice >= 0 && audio.sfx_voice_ops->position(e.voice) != -1;
}

void start_voice(int voice, int pan)
{
    if (voice < 0)
        return;
    audio.sfx_voice_ops->set_volume(voice, config.settings.soundvolume);
    audio.sfx_voice_ops->set_pan(voice, pan);
    audio.sfx_voice_ops->start(voice);
}

}  // namespace

const SfxVoiceOps allegro_voice_ops = {al_allocate,   al_deallocate, al_reallocate, al_start,
                                       al_set_volume, al_set_pan,    al_position};

int sfx_init(const char* data_dir)
{
    free_samples();
    audio.sfx_voice_count = 0;
    reserve_voices(SFX_VOICES, 0);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) {
        diag("Error initializing sound system\n%s\n", allegro_error);
        return 1;
    }
    for (int i = 1; i < SFX_ROWS; i++) {
        if (!sfx_files[i][0])
            return 0;
        char path[512];
        int n = std::snprintf(path, sizeof path, "%s%s", data_dir, sfx_files[i]);
        // A modder's row that is not there is the usual case: no word of it.
        if (i >= SFX_MOD_FIRST && !exists(path))
            continue;
        audio.sfx_samples[i] = n < (int)sizeof path ? wav_load(path) : nullptr;
        if (!audio.sfx_samples[i]) {
            diag("Unable to load sample %s\n", path);
            // An older data folder lacks the later effects: only those go quiet.
            if (i > SFX_REQUIRED)
                continue;
            free_samples();  // a silent run never uses them
            return 2;
        }
    }
    diag("Too many SFX: max=%d\n", SFX_ROWS);
    free_samples();
    return 3;
}

void sfx_play(int owner, int effect, int pan)
{
    if (effect < 1 || effect >= SFX_ROWS || !audio.sfx_samples[effect])
        return;
    const SAMPLE* sample = audio.sfx_samples[effect];
    const SfxVoiceOps& ops = *audio.sfx_voice_ops;

    SfxVoiceSlot* free_entry = nullptr;
    for (int i = 0; i < audio.sfx_voice_count; i++) {
        SfxVoiceSlot& e = audio.sfx_voice_slots[i];
        if (still_playing(e)) {
            if (e.owner == owner) {  // cut the owner's sound off from its start
                ops.reallocate(e.voice, sample);
                start_voice(e.voice, pan);
                return;
            }
        } else if (!free_entry) {
            free_entry = &e;
        }
    }
    if (!free_entry) {
        // Every entry busy: the request is dropped rather than stealing a sound.
        if (audio.sfx_voice_count == SFX_VOICE_SLOTS)
            return;
        free_entry = &audio.sfx_voice_slots[audio.sfx_voice_count++];
        free_entry->voice = -1;
    }
    free_entry->owner = owner;
    if (free_entry->voice >= 0)
        ops.deallocate(free_entry->voice);
    free_entry->voice = ops.allocate(sample);
    start_voice(free_entry->voice, pan);
}

void sfx_stop_all()
{
    for (int i = 0; i < audio.sfx_voice_count; i++)
        if (audio.sfx_voice_slots[i].voice >= 0)
            audio.sfx_voice_ops->deallocate(audio.sfx_voice_slots[i].voice);
    audio.sfx_voice_count = 0;
}

void sfx_shutdown()
{
    sfx_stop_all();
    free_samples();
}

void sfx_volume_up() { config.settings.soundvolume = volume_raised(config.settings.soundvolume); }
void sfx_volume_down()
{
    config.settings.soundvolume = volume_lowered(config.settings.soundvolume);
}
