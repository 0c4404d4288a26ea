// The game heard through ALSA's file plugin: the default PCM writes a WAV
// file, Allegro's ALSA driver plays into it, and the file is checked for sound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string game = NWD_GAME_DIR;
std::string work;

int sh(const std::string& cmd) { return std::system(cmd.c_str()); }
std::string slurp(const std::string& path)
{
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}
std::string pcm_to(const std::string& wav)
{
    return "pcm.!default { type file slave.pcm { type null } file \"" + wav + "\" format wav }\n";
}

// Share of 16-bit frames that differ from the one before: silence is a
// constant whether the driver chose signed or unsigned samples.
double moving_share(const std::string& wav)
{
    size_t at = wav.find("data") + 8, n = 0, moving = 0;
    if (at == std::string::npos + 8 || wav.size() < at + 4)
        return 0;
    auto sample = [&](size_t i) {
        return uint16_t(uint8_t(wav[at + 2 * i]) | uint8_t(wav[at + 2 * i + 1]) << 8);
    };
    for (n = 1; at + 2 * n + 1 < wav.size(); n++)
        moving += std::abs(int16_t(uint16_t(sample(n) - sample(n - 1)))) > 16;
    return double(moving) / n;
}

// The first street with `cfg` as default.cfg and the data from `data`,
// punched `punches` times; the run's folder, holding out.wav.
std::string play(const std::string& name, const std::string& cfg, const std::string& data,
                 int punches)
{
    std::string dir = work + "/" + name;
    sh("mkdir -p " + dir + " && cp " + game + "/TECHNO.lst " + dir);
    std::ofstream(dir + "/default.cfg") << cfg;
    std::ofstream(dir + "/allegro.cfg") << "[sound]\ndigi_card = ALSA\n";
    std::ofstream(dir + "/asound.conf") << pcm_to(dir + "/out.wav");
    std::ofstream(dir + "/run.sh")
        << NWD_PATH << " -level 1 -nojoy &\npid=$!\n"
        << "xdotool windowfocus --sync $(xdotool search --sync --name Nightward | head -n 1)\n"
        << "sleep 2\nfor i in $(seq " << punches << "); do\n"
        << "  xdotool keydown Shift_L; sleep 0.2; xdotool keyup Shift_L; sleep 0.4\ndone\n"
        << "sleep 1\nkill $pid\nwait $pid\n";
    sh("cd " + dir + " && ALSA_CONFIG_PATH=asound.conf ALLEGRO=. NWD_DAT=" + data + "/ NWD_AMC=" +
       game + "/AMC/ timeout 25 xvfb-run -a -s '-screen 0 640x480x8' sh run.sh >/dev/null 2>&1");
    return dir;
}

class Sound : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char d[] = "/tmp/nwd-sound-XXXXXX";
        work = mkdtemp(d) ? d : "/tmp";
    }
    static void TearDownTestSuite() { sh("rm -rf " + work); }
    void SetUp() override
    {
        if (access((game + "/DATA/NIGHTWAR.DAT").c_str(), R_OK) != 0)
            GTEST_SKIP() << "game not built";
        // The plugin must take a plain tone before the game is blamed.
        std::ofstream(work + "/probe.conf") << pcm_to(work + "/probe.wav");
        if (sh("command -v xvfb-run xdotool >/dev/null && cd " + work +
               " && sox -n -r 22050 -b 16 "
               "tone.wav synth 0.2 sine 440 && ALSA_CONFIG_PATH=probe.conf aplay -q tone.wav") !=
                0 ||
            moving_share(slurp(work + "/probe.wav")) < 0.5)
            GTEST_SKIP()
                << "no xvfb-run, xdotool, sox or aplay, or ALSA's file plugin is not usable";
    }
};

TEST_F(Sound, MusicAndPunchesAreHeard)
{
    std::string music = play("music", "soundvolume = 0\n", game + "/DATA", 0);
    EXPECT_GT(moving_share(slurp(music + "/out.wav")), 0.2) << slurp(music + "/stderr.txt");
    std::string punch = play("punch", "musicvolume = 0\nsoundvolume = 255\n", game + "/DATA", 3);
    EXPECT_GT(moving_share(slurp(punch + "/out.wav")), 0.01) << slurp(punch + "/stderr.txt");
}

// A run whose data folder lacks `file`; its folder, and the path the game misses.
std::string play_without(const std::string& file, const std::string& cfg, int punches,
                         std::string& missing)
{
    std::string data = work + "/data-" + file;
    sh("mkdir -p " + data + " && ln -s " + game + "/DATA/* " + data + " && rm " + data + "/" +
       file);
    missing = data + "/" + file;
    return play("no-" + file, cfg, data, punches);
}

TEST_F(Sound, AMissingEffectLeavesTheGameSilentWithoutMusic)
{
    std::string missing, dir = play_without("BDIE.wav", "", 2, missing);
    EXPECT_NE(slurp(dir + "/stderr.txt").find("Unable to load sample " + missing + "\n"),
              std::string::npos);
    EXPECT_EQ(moving_share(slurp(dir + "/out.wav")), 0);
}

// An older data folder without the later effects keeps its music and blows.
TEST_F(Sound, AMissingLaterEffectIsOnlyNamed)
{
    std::string missing, dir = play_without("GRUNT.wav", "soundvolume = 0\n", 0, missing);
    EXPECT_NE(slurp(dir + "/stderr.txt").find("Unable to load sample " + missing + "\n"),
              std::string::npos);
    EXPECT_GT(moving_share(slurp(dir + "/out.wav")), 0.2) << slurp(dir + "/stderr.txt");
}

}  // namespace
