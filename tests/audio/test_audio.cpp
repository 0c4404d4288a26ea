// Effects, music and playlists without a sound device: the library's voice
// and player calls are replaced by fakes that record what was asked.
#include <aldumb.h>
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sfx.h"
#include "engine/diag.h"
#include "shell/config.h"

namespace {

std::string diags;
std::map<int, bool> playing;  // voice -> still sounding
std::vector<std::string> calls;
int next_voice, free_voices;

const SfxVoiceOps fake_voices = {
    [](const SAMPLE*) { return free_voices-- > 0 ? (playing[next_voice] = true, next_voice++) : -1; },
    [](int v) { calls.push_back("free " + std::to_string(v)); },
    [](int v, const SAMPLE*) { calls.push_back("realloc " + std::to_string(v)); },
    [](int v) { calls.push_back("start " + std::to_string(v)); },
    [](int v, int vol) { calls.push_back("vol " + std::to_string(v) + " " + std::to_string(vol)); },
    [](int v, int pan) { calls.push_back("pan " + std::to_string(v) + " " + std::to_string(pan)); },
    [](int v) { return playing.at(v) ? 0 : -1; },
};

std::vector<std::string> loads;
int starts, stops;
float player_volume;
const MusicOps fake_music = {
    [](const char* p) {  // only files under D/ exist, and none named "bad"
        loads.push_back(p);
        bool there = std::string(p).rfind("D/", 0) == 0 && !std::strstr(p, "bad");
        return there ? reinterpret_cast<DUH*>(uintptr_t(0x1000 + loads.size())) : nullptr;
    },
    [](DUH*) {},
    [](DUH*, int, long pos, float, long, int) {
        EXPECT_EQ(pos, 0);
        return reinterpret_cast<AL_DUH_PLAYER*>(uintptr_t(0x2000 + ++starts));
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
    void SetUp() override {
        diag_set_sink([](const char* t, size_t n, void*) { diags.append(t, n); }, nullptr);
        diags.clear(), calls.clear(), playing.clear(), loads.clear();
        next_voice = starts = stops = 0, free_voices = 12;
        sfx_voice_ops = &fake_voices;
        music_ops = &fake_music;
        music_init();
        config_reset(game_config_table);
        for (int e = 1; e <= 14; e++) sfx_samples[e] = create_sample(8, 0, 11025, 100);
    }
    void TearDown() override {
        sfx_shutdown();
        diag_set_sink(nullptr, nullptr);
    }
};

TEST_F(Audio, OneSoundPerOwnerAndFinishedEntriesReused) {
    sfx_play(5, 3, 10);
    sfx_play(5, 4, 200);  // replaces the first from its start, on the same voice
    EXPECT_EQ(calls, (std::vector<std::string>{"vol 0 190", "pan 0 10", "start 0", "realloc 0",
                                               "vol 0 190", "pan 0 200", "start 0"}));
    sfx_play(6, 3, 128), sfx_play(7, 3, 128);
    EXPECT_EQ(sfx_voice_count, 3);
    playing[0] = playing[1] = playing[2] = false;
    calls.clear();
    sfx_play(9, 1, 0);  // the first finished entry, with a fresh voice
    EXPECT_EQ(sfx_voice_count, 3);
    EXPECT_EQ(sfx_voice_slots[0].owner, 9);
    EXPECT_EQ(calls.front(), "free 0");
    sfx_stop_all();
    EXPECT_EQ(sfx_voice_count, 0);
    EXPECT_EQ(calls.size(), 4u + 3u);
}

TEST_F(Audio, EffectRequestsBeyondTheTablesAreDropped) {
    for (int bad : {0, 15, -1, 99}) sfx_play(1, bad, 0);
    EXPECT_EQ(sfx_voice_count, 0);
    free_voices = 1;
    sfx_play(1, 3, 0), sfx_play(2, 3, 0);  // no voice left: a silent entry, never a voice -1
    sfx_play(2, 3, 0);
    EXPECT_EQ(sfx_voice_slots[1].voice, -1);
    for (const std::string& c : calls) EXPECT_EQ(c.find("-1"), std::string::npos) << c;
    for (int owner = 3; owner <= SFX_VOICE_SLOTS + 5; owner++) free_voices = 1, sfx_play(owner, 3, 0);
    EXPECT_EQ(sfx_voice_count, SFX_VOICE_SLOTS);
}

TEST_F(Audio, VolumeStepsLandOnTheEnds) {
    const int up[][2] = {{252, 255}, {255, 255}, {190, 195}, {250, 255}, {0, 5}};
    const int down[][2] = {{3, 0}, {0, 0}, {190, 185}, {5, 0}, {255, 250}};
    for (auto [from, to] : up) {
        game_config.soundvolume = uint8_t(from), sfx_volume_up();
        music_set_volume(from), music_volume_up();
        EXPECT_EQ(game_config.soundvolume, to);
        EXPECT_EQ(music_get_volume(), to);
    }
    for (auto [from, to] : down) {
        game_config.soundvolume = uint8_t(from), sfx_volume_down();
        music_set_volume(from), music_volume_down();
        EXPECT_EQ(game_config.soundvolume, to);
        EXPECT_EQ(music_get_volume(), to);
    }
}

TEST_F(Audio, SongsAreCachedPerSlotAndNeverRestartedWhilePlaying) {
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
    EXPECT_STREQ(music_slots[2].name, "title.mod");
}

TEST_F(Audio, ModulesAreLookedForInTheDirectoryThenAsGiven) {
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

TEST_F(Audio, NoDeviceMeansSilence) {
    sfx_voice_ops = &allegro_voice_ops;
    remove_sound();  // the driver of no device has no voices to reserve
    EXPECT_EQ(sfx_init("DATA/"), 1);
    EXPECT_EQ(diags.rfind("Error initializing sound system\n", 0), 0u) << diags;
    EXPECT_EQ(sfx_samples[1], nullptr);
    sfx_play(1, 1, 128);
    EXPECT_EQ(sfx_voice_count, 0);
}

// A real module file, the smallest the loaders take: one pattern, no samples.
TEST_F(Audio, ModuleLoaderTakesModAndRefusesMissingFiles) {
    std::string mod(20 + 31 * 30, '\0');
    mod += std::string("\1\0", 2) + std::string(128, '\0') + "M.K." + std::string(1024, '\0');
    std::ofstream("/tmp/nwd-audio-test.mod", std::ios::binary) << mod;
    DUH* d = music_load_module("/tmp/nwd-audio-test.mod");
    EXPECT_NE(d, nullptr);
    if (d) unload_duh(d);
    EXPECT_EQ(music_load_module("/tmp/nwd-no-such.mod"), nullptr);
    unlink("/tmp/nwd-audio-test.mod");
}

TEST_F(Audio, PlaylistsFromTheWorkingDirectory) {
    char dir[] = "/tmp/nwd-lists-XXXXXX", old[512];
    ASSERT_TRUE(mkdtemp(dir) && getcwd(old, sizeof old) && chdir(dir) == 0);
    std::ofstream("techno.lst") << "title = t.xm\n";
    std::ofstream("rock.lst") << "title = r.it\nlevel2 = s.mod\n";
    std::ofstream("a_name_far_too_long_to_keep.lst") << "title = x.xm\n";
    mkdir("dir.lst", 0700);
    char music[20] = "techno";
    playlist_init(playlist_table, music);
    ASSERT_EQ(playlist_count, 3);
    EXPECT_STREQ(playlist_names[0], "<NONE>");
    EXPECT_STREQ(playlist_names[playlist_current], "TECHNO");
    EXPECT_STREQ(playlist_keys[PLAYLIST_TITLE], "t.xm");
    int last = playlist_count - 1;
    while (playlist_current != last) playlist_next(playlist_table, music);
    playlist_next(playlist_table, music);  // wraps to silence
    EXPECT_STREQ(music, "<NONE>");
    EXPECT_STREQ(playlist_keys[PLAYLIST_TITLE], "");
    playlist_prev(playlist_table, music);  // back to the last, read under its own spelling
    EXPECT_STREQ(music, playlist_names[last]);
    EXPECT_STRNE(playlist_keys[PLAYLIST_TITLE], "");
    strcpy(music, "DISCO");
    playlist_init(playlist_table, music);
    EXPECT_STREQ(music, "<NONE>");
    EXPECT_STREQ(playlist_keys[PLAYLIST_TITLE], "");
    ASSERT_EQ(chdir(old), 0);
    std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
