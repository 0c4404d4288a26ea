// Effects, music and playlists without a sound device: the library's voice
// and player calls are replaced by fakes that record what was asked.
#include <aldumb.h>
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sfx.h"
#include "audio/state.h"
#include "config/state.h"
#include "engine/diag.h"
#include "tests/files.h"

namespace {

std::string diags;
std::vector<std::string> calls, loads;
std::map<int, bool> playing;  // voice -> still sounding
int next_voice, free_voices, starts, stops;
float player_volume;

void note(const char* what, int v, int arg = -2)
{
    calls.push_back(what + (" " + std::to_string(v)) +
                    (arg == -2 ? "" : " " + std::to_string(arg)));
}
const SfxVoiceOps fake_voices = {
    [](const SAMPLE*) {
        return free_voices-- > 0 ? (playing[next_voice] = true, next_voice++) : -1;
    },
    [](int v) { note("free", v); },
    [](int v, const SAMPLE*) { note("realloc", v); },
    [](int v) { note("start", v); },
    [](int v, int vol) { note("vol", v, vol); },
    [](int v, int pan) { note("pan", v, pan); },
    [](int v) { return playing.at(v) ? 0 : -1; },
};
const MusicOps fake_music = {
    [](const char* p) {  // only files under D/ exist, and none named "bad"
        loads.push_back(p);
        bool there = std::string(p).rfind("D/", 0) == 0 && !std::strstr(p, "bad");
        return there ? reinterpret_cast<DUH*>(0x1000 + loads.size()) : nullptr;
    },
    [](DUH*) {},
    [](DUH*, int, long, float, long, int) {
        return reinterpret_cast<AL_DUH_PLAYER*>(0x100 + ++starts);
    },
    [](AL_DUH_PLAYER*) { stops++; },
    [](AL_DUH_PLAYER*) {},
    [](AL_DUH_PLAYER*) {},
    [](AL_DUH_PLAYER*) { return 0; },
    [](AL_DUH_PLAYER*, float v) { player_volume = v; },
};

class Audio : public testing::Test {
protected:
    static void SetUpTestSuite() { install_allegro(SYSTEM_NONE, &errno, atexit); }
    void SetUp() override
    {
        diag_set_sink([](const char* t, size_t n, void*) { diags.append(t, n); }, nullptr);
        diags.clear(), calls.clear(), playing.clear(), loads.clear();
        next_voice = starts = stops = 0, free_voices = 12;
        audio_state_reset();
        audio.sfx_voice_ops = &fake_voices;
        audio.music_ops = &fake_music;
        music_init();
        config_state_reset();
        for (int e = 1; e <= 14; e++)
            audio.sfx_samples[e] = create_sample(8, 0, 11025, 100);
    }
    void TearDown() override
    {
        sfx_shutdown();
        diag_set_sink(nullptr, nullptr);
    }
};

TEST_F(Audio, OneSoundPerOwnerAndFinishedEntriesReused)
{
    sfx_play(5, 3, 10);
    sfx_play(5, 4, 200);  // replaces the first from its start, on the same voice
    EXPECT_EQ(calls, (std::vector<std::string>{"vol 0 190", "pan 0 10", "start 0", "realloc 0",
                                               "vol 0 190", "pan 0 200", "start 0"}));
    sfx_play(6, 3, 128), sfx_play(7, 3, 128);
    playing[0] = playing[1] = playing[2] = false;
    sfx_play(9, 1, 0);  // the first finished entry, its old voice freed
    EXPECT_EQ(audio.sfx_voice_count, 3);
    EXPECT_EQ(audio.sfx_voice_slots[0].owner, 9);
    EXPECT_EQ(calls[calls.size() - 4], "free 0");
    free_voices = 0;  // none left: a silent entry, never a call with voice -1
    sfx_play(10, 3, 0), sfx_play(10, 3, 0), sfx_play(1, 0, 0), sfx_play(1, 15, 0);
    EXPECT_EQ(audio.sfx_voice_slots[1].voice, -1);
    for (const std::string& c : calls)
        EXPECT_EQ(c.find("-1"), std::string::npos) << c;
    sfx_stop_all();
    EXPECT_EQ(audio.sfx_voice_count, 0);
}

TEST_F(Audio, VolumeStepsLandOnTheEnds)
{
    const int cases[][3] = {
        {252, 255, 247}, {255, 255, 250}, {190, 195, 185}, {3, 8, 0}, {0, 5, 0}};
    for (auto [from, up, down] : cases) {
        config.settings.soundvolume = uint8_t(from), sfx_volume_up();
        music_set_volume(from), music_volume_up();
        EXPECT_EQ(config.settings.soundvolume, up);
        EXPECT_EQ(music_get_volume(), up);
        config.settings.soundvolume = uint8_t(from), sfx_volume_down();
        music_set_volume(from), music_volume_down();
        EXPECT_EQ(config.settings.soundvolume, down);
        EXPECT_EQ(music_get_volume(), down);
    }
}

TEST_F(Audio, SongsAreCachedPerSlotAndNeverRestartedWhilePlaying)
{
    music_set_volume(144);
    EXPECT_EQ(music_play(2, "D/", "title.mod"), 0);
    EXPECT_EQ(player_volume, 0.5625f);
    EXPECT_EQ(music_play(0, "D/", "street.mod"), 0);
    EXPECT_EQ(music_play(0, "D/", "street.mod"), 0);  // plays on
    music_set_volume(255);
    EXPECT_EQ(player_volume, 0.99609375f);
    EXPECT_EQ(music_play(2, "D/", "title.mod"), 0);  // from its start, not reloaded
    EXPECT_EQ(loads, (std::vector<std::string>{"D/title.mod", "D/street.mod"}));
    EXPECT_EQ(starts, 3);
    EXPECT_EQ(music_play(1, "D/", ""), 0);  // silence, also for a slot already empty
    EXPECT_EQ(music_play(1, "D/", ""), 0);
    EXPECT_EQ(music_player(), nullptr);
    EXPECT_EQ(stops, 3);
}

TEST_F(Audio, ModulesAreLookedForInTheDirectoryThenAsGiven)
{
    EXPECT_EQ(music_play(0, "X/", "D/own.xm"), 0);
    EXPECT_EQ(loads, (std::vector<std::string>{"X/D/own.xm", "D/own.xm"}));
    EXPECT_EQ(music_play(0, "D/", "bad.mod"), 1);
    EXPECT_EQ(diags, "Unsupported Mod type or file not found : <D/bad.mod>\n");
    diags.clear(), loads.clear();
    EXPECT_EQ(music_play(0, "D/", "bad.mod"), 1);  // the failed name stays: no new load
    EXPECT_TRUE(loads.empty());
    EXPECT_EQ(diags, "Error : Unable to play a loaded song\n");
    EXPECT_EQ(music_play(3, "D/", std::string(200, 'a').c_str()), 1);
}

TEST_F(Audio, NoDeviceMeansSilence)
{
    audio.sfx_voice_ops = &allegro_voice_ops;
    remove_sound();  // the driver of no device has no voices to reserve
    EXPECT_EQ(sfx_init("DATA/"), 1);
    EXPECT_EQ(diags.rfind("Error initializing sound system\n", 0), 0u) << diags;
    sfx_play(1, 1, 128);
    EXPECT_EQ(audio.sfx_voice_count, 0);
    EXPECT_EQ(music_load_module("/nonexistent.mod"), nullptr);
}

TEST_F(Audio, ModulesAreReadWholeWithinTheirCap)
{
    char path[] = "/tmp/nwd-module-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    // No module at all, then one byte past the cap: both refused unread.
    ASSERT_EQ(write(fd, "not a module at all", 19), 19);
    EXPECT_EQ(music_load_module(path), nullptr);
    ASSERT_EQ(ftruncate(fd, MUSIC_MAX_FILE + 1), 0);
    EXPECT_EQ(music_load_module(path), nullptr);
    close(fd);
    std::remove(path);
    auto seed = [](const char* name) {
        std::ifstream f(std::string(NWD_SOURCE_DIR) + "/fuzz/corpus/fuzz_module/" + name,
                        std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), {});
    };
    std::string good = seed("tiny.mod");
    DUH* duh = music_load_module_bytes(good.data(), long(good.size()));
    ASSERT_NE(duh, nullptr);
    unload_duh(duh);
    // This one kills the library's reader: refused, and the game lives on.
    std::string bad = seed("crashes-the-reader.mod");
    ASSERT_FALSE(bad.empty());
    EXPECT_EQ(music_load_module_bytes(bad.data(), long(bad.size())), nullptr);
}

TEST_F(Audio, PlaylistsFromTheWorkingDirectory)
{
    testfiles::ScratchCwd here;
    ASSERT_TRUE(here.entered);
    std::ofstream("techno.lst") << "title = t.xm\n";
    std::ofstream("ROCK.LST") << "title = r.it\nlevel2 = s.mod\n";  // any case is a playlist
    std::ofstream("notes.txt") << "title = n.it\n";
    std::ofstream("a_name_far_too_long_to_keep.lst") << "title = x.xm\n";
    char music[20] = "techno";
    playlist_init(playlist_table, music);
    ASSERT_EQ(audio.playlist_count, 3);
    EXPECT_STREQ(audio.playlist_names[0], "<NONE>");
    EXPECT_STREQ(audio.playlist_names[audio.playlist_current], "TECHNO");
    EXPECT_STREQ(config.playlist_keys[PLAYLIST_TITLE], "t.xm");
    while (audio.playlist_current != 2)
        playlist_next(playlist_table, music);
    playlist_next(playlist_table, music);  // wraps to silence
    EXPECT_STREQ(music, "<NONE>");
    EXPECT_STREQ(config.playlist_keys[PLAYLIST_TITLE], "");
    playlist_prev(playlist_table, music);  // back to the last, read under its own spelling
    EXPECT_STREQ(music, audio.playlist_names[2]);
    EXPECT_STRNE(config.playlist_keys[PLAYLIST_TITLE], "");
    strcpy(music, "DISCO");
    playlist_init(playlist_table, music);
    EXPECT_STREQ(music, "<NONE>");
}

}  // namespace
