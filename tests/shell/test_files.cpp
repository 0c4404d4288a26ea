// The one way the game and its tools read and write their files, and the
// places that rely on it: nothing waits on a special file, nothing replaces
// a device or follows a planted name, nothing escapes the working folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "audio/modcheck.h"
#include "audio/wav.h"
#include "config/state.h"
#include "fileio/fileio.h"
#include "frontend/menu.h"
#include "gfx/display.h"
#include "shell/options.h"
#include "tests/files.h"

namespace {

using testfiles::slurp;

class Files : public testing::Test {
protected:
    testfiles::Scratch scratch;
    const std::string dir = scratch.dir;
    std::string at(const char* name) { return scratch / name; }
};

}  // namespace

TEST_F(Files, OnlyRegularFilesOfBoundedSizeAreRead)
{
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);  // no writer: opening would block
    std::ofstream(at("big")) << std::string(100, 'x');
    FILE* f;
    long size;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(file_open_read(at("fifo").c_str(), 100, &f, &size), FILE_UNREADABLE);
    EXPECT_EQ(file_open_read("/dev/zero", 100, &f, &size), FILE_UNREADABLE);
    EXPECT_EQ(file_open_read(dir.c_str(), 100, &f, &size), FILE_UNREADABLE);
    EXPECT_EQ(file_open_read(at("big").c_str(), 99, &f, &size), FILE_UNREADABLE);
    EXPECT_EQ(file_open_read(at("none").c_str(), 99, &f, &size), FILE_MISSING);
    ASSERT_EQ(file_open_read(at("big").c_str(), 100, &f, &size), FILE_OK);
    EXPECT_EQ(size, 100);
    std::fclose(f);
    // The settings reader too: defaults, at once.
    EXPECT_EQ(config_read(game_config_table, at("fifo").c_str()), FILE_UNREADABLE);
    symlink("/dev/zero", at("zero.cfg").c_str());
    EXPECT_EQ(config_read(game_config_table, at("zero.cfg").c_str()), FILE_UNREADABLE);
    EXPECT_EQ(config.settings.mode, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(Files, WritesReplaceFilesButNeverDevicesLinksOrPlantedNames)
{
    // A link is followed and its target replaced; the link stays.
    std::ofstream(at("target")) << "old";
    chmod(at("target").c_str(), 0640);
    symlink("target", at("link").c_str());
    ASSERT_TRUE(file_write_all(at("link").c_str(), "new", 3));
    struct stat st;
    ASSERT_EQ(lstat(at("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(slurp(at("target")), "new");
    stat(at("target").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the old file's permissions";

    // A planted NAME.tmp link is removed, never written through.
    std::ofstream(at("victim")) << "keep";
    symlink("victim", at("out.tmp").c_str());
    ASSERT_TRUE(file_write_all(at("out").c_str(), "data", 4));
    EXPECT_EQ(slurp(at("victim")), "keep");
    EXPECT_EQ(slurp(at("out")), "data");

    // Devices and FIFOs are written as they are, not replaced.
    ASSERT_TRUE(file_write_all("/dev/null", "x", 1));
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
    char why[160];
    EXPECT_FALSE(file_write_all(at("fifo").c_str(), "x", 1, why, sizeof why));  // nobody reads
    EXPECT_STREQ(why, "a FIFO that nobody reads");
    stat(at("fifo").c_str(), &st);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    symlink("nowhere", at("dangling").c_str());
    EXPECT_FALSE(file_write_all(at("dangling").c_str(), "x", 1));
    EXPECT_FALSE(file_write_all(dir.c_str(), "x", 1));
}

TEST(ReplayNames, OnlyPlainNamesOfTheWorkingFolderThatAreNotTheGames)
{
    for (const char* ok : {"MYGAME", "RUN.DEM", "DEMO4", "nwd000.bmp"})
        EXPECT_TRUE(demo_name_allowed(ok, true)) << ok;
    for (const char* bad : {"", "../X", "/tmp/X", "AMC/GAME.AMC", "DATA/LEVELS.DAT", ".hidden",
                            "..", "SCORES", "SCORES.BAD", "DEFAULT.CFG", "STDERR.TXT", "GAME.AMC",
                            "LEVELS.DAT", "TECHNO.LST", "VHIT.WAV", "X.TMP", "DEMO1", "demo3"})
        EXPECT_FALSE(demo_name_allowed(bad, true)) << bad;
    EXPECT_TRUE(demo_name_allowed("DEMO2", false)) << "an attract demo may be loaded";
    EXPECT_FALSE(demo_name_allowed("../DEMO2", false));
}

// The X library reports a lost display on its own thread while the main
// thread plays on: the main thread saves (what it saves is its own), or
// the X thread does while the main thread waits inside the library.
namespace {
pthread_t main_id;
int recorded;  // main thread state that a save reads
void save_hook()
{
    char line[32];
    int n = std::snprintf(line, sizeof line, "%s %d\n",
                          pthread_equal(pthread_self(), main_id) ? "main" : "other", recorded);
    int fd = open("saved.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0 && write(fd, line, n) == n)
        close(fd);
}
}  // namespace

TEST_F(Files, LosingTheDisplayIsSavedByTheThreadThatOwnsTheState)
{
    for (bool in_library : {false, true}) {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0)
                _exit(3);
            main_id = pthread_self();
            display_on_loss(save_hook);
            recorded = 7;
            if (in_library) {  // the main thread waits inside the library
                DisplayCall call;
                std::thread x([] { display_loss_handler()(nullptr); });
                x.detach();
                std::this_thread::sleep_for(std::chrono::seconds(10));
            }
            std::thread x([] { display_loss_handler()(nullptr); });
            x.detach();
            for (int tick = 0; tick < 200000; tick++) {
                recorded = tick;  // what a world tick does between frames
                display_check_lost();
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            _exit(2);  // never noticed
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        std::string saved = slurp(at("saved.txt"));
        EXPECT_EQ(saved.substr(0, 5), in_library ? "other" : "main ") << saved;
    }
}

// Sounds and modules are looked at before the library's readers, which
// trust every size they are given.
TEST(SoundFiles, ChunksAndPatternsMustLieWithinTheFile)
{
    std::string wav(
        "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x22\x56\0\0\x22\x56\0\0\1\0\x08\0"
        "data\4\0\0\0\x80\x80\x80\x80",
        48);
    auto ok = [](const std::string& b) {
        return wav_check(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    };
    EXPECT_TRUE(ok(wav));
    EXPECT_FALSE(ok(wav.substr(0, 47))) << "samples cut short";
    std::string lying = wav;
    lying[40] = '\x7f';  // a data chunk claiming more than there is
    EXPECT_FALSE(ok(lying));
    std::string float_wav = wav;
    float_wav[20] = 3;  // not PCM
    EXPECT_FALSE(ok(float_wav));
    // the library sizes the sample from the first data chunk: an empty one
    // ahead of the samples made it ask for gigabytes
    std::string empty_first = wav.substr(0, 36) + std::string("data\0\0\0\0", 8) + wav.substr(36);
    EXPECT_FALSE(ok(empty_first));
    std::string two = wav + wav.substr(36);  // a second data chunk
    EXPECT_FALSE(ok(two));

    std::string mod(1084 + 1024, '\0');
    mod[950] = 1;  // one order, pattern 0
    mod.replace(1080, 4, "M.K.");
    auto kind = [](const std::string& b) {
        return module_check(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    };
    EXPECT_EQ(kind(mod), MODULE_MOD);
    EXPECT_EQ(kind(mod.substr(0, mod.size() - 1)), MODULE_NONE) << "a pattern cut short";
    mod[952] = 5;  // an order naming a pattern that is not there
    EXPECT_EQ(kind(mod), MODULE_NONE);
    std::string xm = "Extended Module: ";
    xm.resize(80, '\0');
    xm[60] = 20, xm[68] = 4, xm[70] = 1;  // a header of 20 bytes, 4 channels, one pattern
    EXPECT_EQ(kind(xm), MODULE_NONE) << "its pattern is missing";
    xm += std::string("\x09\0\0\0\0\x40\0\0\0", 9);
    EXPECT_EQ(kind(xm), MODULE_XM);
}
