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
std::string slurp(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// Share of frames that differ from the one before. Compared as 16-bit
// differences, so it does not matter whether the device took signed or
// unsigned samples; silence is a constant in both.
double moving_share(const std::string& wav) {
    size_t data = wav.find("data");
    if (data == std::string::npos || wav.size() < data + 8 + 4) return 0;
    const char* p = wav.data() + data + 8;
    size_t n = (wav.size() - data - 8) / 2, moving = 0;
    uint16_t prev = uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
    for (size_t i = 1; i < n; i++) {
        uint16_t s = uint16_t(uint8_t(p[2 * i]) | uint8_t(p[2 * i + 1]) << 8);
        if (std::abs(int16_t(uint16_t(s - prev))) > 16) moving++;
        prev = s;
    }
    return n ? double(moving) / n : 0;
}

// Starts the first street with `cfg` as default.cfg, data from `data`,
// presses punch `punches` times, ends it; gives the WAV the device wrote.
std::string play(const std::string& name, const std::string& cfg, const std::string& data,
                 int punches) {
    std::string dir = work + "/" + name;
    sh("mkdir -p " + dir + " && cp " + game + "/TECHNO.lst " + dir);
    std::ofstream(dir + "/default.cfg") << cfg;
    std::ofstream(dir + "/allegro.cfg") << "[sound]\ndigi_card = ALSA\n";
    std::ofstream(dir + "/asound.conf") << "pcm.!default {\n type file\n slave.pcm { type null }\n"
                                        << " file \"" << dir << "/out.wav\"\n format \"wav\"\n}\n";
    std::ofstream(dir + "/run.sh")
        << "cd " << dir << "\n" << NWD_PATH << " -level 1 -nojoy &\npid=$!\n"
        << "win=$(xdotool search --sync --name Nightward | head -n 1)\n"
        << "xdotool windowfocus --sync \"$win\" 2>/dev/null\nsleep 2\n"
        << "for i in $(seq " << punches << "); do\n"
        << "  xdotool keydown Shift_L; sleep 0.2; xdotool keyup Shift_L; sleep 0.4\ndone\n"
        << "sleep 1\nkill $pid\nwait $pid\n";
    sh("cd " + dir + " && ALSA_CONFIG_PATH=" + dir + "/asound.conf ALLEGRO=" + dir +
       " NWD_DAT=" + data + "/ NWD_AMC=" + game + "/AMC/ timeout 25 xvfb-run -a -s "
       "'-screen 0 640x480x8' sh run.sh >/dev/null 2>&1");
    return dir;
}

class Sound : public testing::Test {
protected:
    static void SetUpTestSuite() {
        char d[] = "/tmp/nwd-sound-XXXXXX";
        work = mkdtemp(d) ? d : "";
    }
    static void TearDownTestSuite() { sh("rm -rf " + work); }
    void SetUp() override {
        if (sh("command -v xvfb-run xdotool aplay sox >/dev/null") != 0)
            GTEST_SKIP() << "needs xvfb-run, xdotool, aplay and sox";
        if (access((game + "/DATA/NIGHTWAR.DAT").c_str(), R_OK) != 0)
            GTEST_SKIP() << "the game folder is not built";
        // The plugin must take a plain tone before the game is blamed.
        std::ofstream(work + "/probe.conf") << "pcm.!default { type file slave.pcm { type null } file \""
                                            << work << "/probe.wav\" format \"wav\" }\n";
        if (sh("cd " + work + " && sox -n -r 22050 -b 16 tone.wav synth 0.2 sine 440 && "
               "ALSA_CONFIG_PATH=probe.conf timeout 10 aplay -q tone.wav 2>/dev/null") != 0 ||
            moving_share(slurp(work + "/probe.wav")) < 0.5)
            GTEST_SKIP() << "ALSA's file plugin is not usable here";
    }
};

TEST_F(Sound, MusicAndPunchesAreHeard) {
    std::string music = play("music", "soundvolume = 0\n", game + "/DATA", 0);
    EXPECT_GT(moving_share(slurp(music + "/out.wav")), 0.2) << slurp(music + "/stderr.txt");
    std::string punch = play("punch", "musicvolume = 0\nsoundvolume = 255\n", game + "/DATA", 3);
    EXPECT_GT(moving_share(slurp(punch + "/out.wav")), 0.01) << slurp(punch + "/stderr.txt");
}

TEST_F(Sound, AMissingEffectLeavesTheGameSilentWithoutMusic) {
    std::string data = work + "/partial";
    sh("mkdir -p " + data + " && ln -s " + game + "/DATA/* " + data + " && rm " + data +
       "/BDIE.wav");
    std::string dir = play("missing", "", data, 2);
    EXPECT_NE(slurp(dir + "/stderr.txt").find("Unable to load sample " + data + "/BDIE.wav\n"),
              std::string::npos);
    EXPECT_EQ(moving_share(slurp(dir + "/out.wav")), 0);
    EXPECT_NE(slurp(dir + "/default.cfg").find("music = TECHNO"), std::string::npos);
}

}  // namespace
