// Sound effects and music as the game loads them.
#include <aldumb.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>

#include "audio/sfx.h"
#include "tests/data/data_fixture.h"
#include "tools/sfxgen/wav.h"

using namespace datatest;

TEST(Effects, EveryEffectFileLoadsAndIsAudible)
{
    start_allegro();
    std::map<std::string, int> peaks;
    int loaded = 0;
    // The game's own rows; those from 31 on are played only when present.
    for (int row = 1; row < SFX_ROWS; ++row) {
        const char* f = sfx_files[row];
        SAMPLE* s = load_sample(game_path((std::string("DATA/") + f).c_str()).c_str());
        if (row >= 31 && !s)
            continue;
        ASSERT_NE(s, nullptr) << f;
        ++loaded;
        EXPECT_GT(s->len, 1000u) << f;
        EXPECT_LT(s->len, (unsigned long)s->freq * 3) << f << " is too long for an effect";
        // Allegro keeps samples unsigned: silence is the midpoint.
        auto at = [s](unsigned long i) {
            return s->bits == 16 ? ((unsigned short*)s->data)[i] - 32768
                                 : (((unsigned char*)s->data)[i] - 128) * 256;
        };
        int peak = 0;
        for (unsigned long i = 0; i < s->len; ++i)
            peak = std::max(peak, std::abs(at(i)));
        EXPECT_GT(peak, 3000) << f;  // about -21 dBFS at its loudest
        // A sound that starts or stops away from silence clicks.
        EXPECT_LT(std::abs(at(0)), 500) << f;
        EXPECT_LT(std::abs(at(s->len - 1)), 500) << f;
        peaks[f] = peak;
        destroy_sample(s);
    }
    EXPECT_EQ(loaded, 50) << "an effect the sound sources make is missing";
    // Nothing spikes over the blows by more than the loudest level any
    // effect is given (+3 dB): a slam or a crunch peaking far over them
    // sets the mix's peaks without sounding louder.
    for (auto& [f, peak] : peaks)
        EXPECT_LE(peak, peaks["VHIT.wav"] * 1.42) << f;
}

// Mixed by loudness: normalised to one peak, the held beeps of GO and the
// alarm of TIME UP sounded two or three times louder than a blow.
TEST(Effects, AnnouncementsAndVoicesSoundAsLoudAsTheBlowsAndMenusLess)
{
    auto loudness = [](const char* f) {
        std::vector<double> s;
        std::string error;
        EXPECT_TRUE(read_sound_file(game_path((std::string("DATA/") + f).c_str()), s, error)) << f;
        return sfx_loudness(s);
    };
    double blow = loudness("VHIT.wav");
    EXPECT_NEAR(loudness("03.wav"), blow, 1.0);
    for (const char* f : {"GO.wav", "TIMEUP.wav", "CLEAR.wav", "VHURT.wav", "COMEON.wav"})
        EXPECT_NEAR(loudness(f), blow, 1.5) << f;
    // The cues that start and end a fight are heard over blows, never above them.
    for (const char* f : {"GO.wav", "TIMEUP.wav"})
        EXPECT_LE(loudness(f), std::min(blow, loudness("03.wav"))) << f;
    EXPECT_LT(loudness("MENU2.wav"), blow - 3);
}

// A blow heard in a row of blows is one of three takes: each as loud as
// the others, no two the same sound (brightness, weight or length differs).
TEST(Effects, TakesOfABlowDifferAtOneLoudness)
{
    struct Heard {
        double loudness, crossings, low;  // crossings a second, share below 150 Hz
        size_t length;
    };
    auto hear = [](const std::string& f) {
        std::vector<double> s;
        std::string error;
        EXPECT_TRUE(read_sound_file(game_path(("DATA/" + f).c_str()), s, error)) << f << ": " << error;
        Heard h{sfx_loudness(s), 0, 0, s.size()};
        double a = 1 - std::exp(-2 * M_PI * 150 / kEffectRate), y = 0, low = 0, all = 1e-12;
        for (size_t i = 0; i < s.size(); ++i) {
            h.crossings += i > 0 && (s[i - 1] < 0) != (s[i] < 0);
            y += a * (s[i] - y);
            low += y * y;
            all += s[i] * s[i];
        }
        h.crossings *= double(kEffectRate) / std::max<size_t>(1, s.size());
        h.low = low / all;
        return h;
    };
    const char* takes[][3] = {{"VHIT.wav", "47.wav", "55.wav"}, {"VHIT.wav", "48.wav", "56.wav"},
                              {"03.wav", "49.wav", "57.wav"},   {"VHIT2.wav", "50.wav", "58.wav"},
                              {"05.wav", "51.wav", "59.wav"},   {"VHURT.wav", "52.wav", "60.wav"},
                              {"07.wav", "53.wav", "61.wav"}};
    for (auto& t : takes) {
        Heard h[3] = {hear(t[0]), hear(t[1]), hear(t[2])};
        for (int a = 0; a < 3; ++a)
            for (int b = a + 1; b < 3; ++b) {
                EXPECT_NEAR(h[a].loudness, h[b].loudness, 1.5) << t[a] << " and " << t[b];
                bool brighter = std::abs(h[a].crossings - h[b].crossings) > 0.03 * h[a].crossings;
                bool heavier = std::abs(h[a].low - h[b].low) > 0.02;
                bool longer = std::abs(double(h[a].length) - double(h[b].length)) > 0.03 * h[a].length;
                EXPECT_TRUE(brighter || heavier || longer) << t[a] << " and " << t[b] << " sound alike";
            }
    }
}

namespace {

// The game's loader order.
DUH* load_module(const std::string& path)
{
    DUH* d = dumb_load_it(path.c_str());
    if (!d)
        d = dumb_load_xm(path.c_str());
    if (!d)
        d = dumb_load_s3m(path.c_str());
    if (!d)
        d = dumb_load_mod(path.c_str());
    return d;
}

std::set<std::string> playlist_modules(const char* list, std::set<std::string>* keys)
{
    std::set<std::string> mods;
    std::ifstream in(game_path(list));
    std::string k, eq, v;
    while (in >> k >> eq >> v) {
        mods.insert(v);
        if (keys)
            keys->insert(k);
    }
    return mods;
}

}  // namespace

TEST(Music, PlaylistsCoverEveryMomentWithLongModulesAtTheMusicLevel)
{
    start_allegro();
    dumb_register_stdfiles();
    std::set<std::string> keys, mods = playlist_modules("TECHNO.lst", &keys);
    EXPECT_EQ(keys, (std::set<std::string>{"title", "level1", "level2", "level3", "level4",
                                           "level5", "ending", "scores", "boss"}));
    auto more = playlist_modules("CALM.lst", nullptr);
    mods.insert(more.begin(), more.end());
    EXPECT_EQ(mods.size(), 18u);  // no moment borrows another's music
    sample_t** buf = allocate_sample_buffer(2, 4096);
    double loudest_fight = -100;
    for (const std::string& m : mods) {
        DUH* d = load_module(game_path(("DATA/" + m).c_str()));
        ASSERT_NE(d, nullptr) << m;
        long length = duh_get_length(d);
        EXPECT_GE(length, 90L * 65536) << m << " repeats before 90 s";
        // The whole song as the game plays it at the options' loudest music
        // volume (255 of 256), which it renders into 16 bits before its
        // mixer: never past full scale, and at the default volume (5 dB
        // lower) loud enough that the mix is not quiet. A fight's song is
        // limited, its peaks not far over its body: it could not be that
        // loud under the same ceiling otherwise.
        DUH_SIGRENDERER* r = duh_start_sigrenderer(d, 0, 2, 0);
        double peak = 0, energy = 0;
        long total = 0;
        for (long n;
             total < length / 65536 * 22050 &&
             (n = duh_sigrenderer_generate_samples(r, 255 / 256.0f, 65536.0f / 22050, 4096,
                                                   (std::fill(buf[0], buf[0] + 8192, 0), buf))) > 0;
             total += n)
            for (long i = 0; i < 2 * n; ++i) {
                double v = buf[0][i] / 8388608.0;
                peak = std::max(peak, std::fabs(v));
                energy += v * v;
            }
        double rms_db = 10 * std::log10(energy / (2 * total));
        EXPECT_LT(20 * std::log10(peak), -0.5) << m << " clips, or nearly";
        EXPECT_GT(rms_db, -16.5) << m << " is too quiet";
        bool fight = m.find("level") != std::string::npos || m.find("boss") != std::string::npos;
        if (fight && m.find("tech") == 0) {
            EXPECT_LT(20 * std::log10(peak) - rms_db, 12.5) << m << " peaks too far over its body";
        }
        if (fight)
            loudest_fight = std::max(loudest_fight, rms_db);
        EXPECT_LT(rms_db, -10) << m << " is too loud";
        duh_end_sigrenderer(r);
        unload_duh(d);
    }
    destroy_sample_buffer(buf);
    // A blow's loudest moment stands well over the music of any fight (the
    // game plays both at fixed gains, so the files' figures compare): a song
    // much louder would bury them (docs/sound.md).
    std::vector<double> blow;
    std::string error;
    ASSERT_TRUE(read_sound_file(game_path("DATA/VHIT.wav"), blow, error)) << error;
    EXPECT_GT(sfx_loudness(blow), loudest_fight - 5);
}
