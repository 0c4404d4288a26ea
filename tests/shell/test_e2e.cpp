// Runs the real program in its own X server, with a stand-in xmessage that
// records what would have been shown.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <allegro.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/files.h"

namespace {

using namespace std::chrono_literals;
using Env = std::map<std::string, std::string>;

using testfiles::slurp;
bool present(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
int sh(const std::string& cmd) { return std::system(cmd.c_str()); }

// Ends a process the test started when an assertion leaves early; one
// already waited for is left alone.
struct Reaper {
    pid_t pid;
    ~Reaper()
    {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0)
            kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
    }
};

class Program : public testing::Test {
protected:
    static inline pid_t xvfb = -1;
    static inline std::string display, root;
    static inline bool real_game = false;

    static void SetUpTestSuite()
    {
        char d[] = "/tmp/nwd-e2e-XXXXXX";
        ASSERT_TRUE(mkdtemp(d));
        root = d;
        sh("mkdir -p " + root + "/game/AMC " + root + "/game/DATA " + root + "/bin");
        std::ofstream(root + "/bin/xmessage")
            << "#!/bin/sh\nfor a; do last=\"$a\"; done\nprintf '%s' \"$last\" > \"$XMSG_LOG\"\n";
        sh("chmod +x " + root + "/bin/xmessage");
        std::string game = NWD_GAME_DIR;
        real_game = present(game + "/DATA/NIGHTWAR.DAT") && present(game + "/AMC/GAME.AMC");
        sh("cp -r " + game + "/AMC " + game + "/DATA " + root + "/game/ 2>/dev/null");
        // The configured playlist must exist, or the game records "<NONE>".
        std::ofstream(root + "/game/TECHNO.lst") << "title = title.mod\n";
        start_xvfb();
    }
    static void TearDownTestSuite()
    {
        if (xvfb > 0)
            kill(xvfb, SIGTERM), waitpid(xvfb, nullptr, 0);
        sh("rm -rf " + root);
    }

    // A server on a display number it picks itself (so that servers started
    // at the same moment never race for one), once it answers.
    static pid_t launch_xvfb(std::string& name)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return -1;
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1), dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            // -noreset: the probe below is the last client to leave, and a
            // server resetting then turns the next one away.
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-screen", "0",
                   "1280x1024x24", "-nolisten", "tcp", (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        // The number comes as a line, perhaps a byte at a time.
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        name = ":" + number;
        for (int i = 0; !number.empty() && i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; i++) {
            if (Display* d = XOpenDisplay(name.c_str())) {
                XCloseDisplay(d);
                return pid;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
        return -1;
    }
    static void start_xvfb()
    {
        xvfb = launch_xvfb(display);
        if (xvfb < 0)
            FAIL() << "no X server could be started";
    }

    std::string dir;  // the working folder of this run
    void SetUp() override
    {
        if (!real_game)
            GTEST_SKIP() << "needs the built game folder";
        dir = root + "/run-" + testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(sh("cp -r " + root + "/game " + dir), 0);
    }

    pid_t start(const std::vector<std::string>& args, const Env& env = {}, bool with_x = true)
    {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0)
                _exit(126);
            setenv("PATH", (root + "/bin:" + getenv("PATH")).c_str(), 1);
            setenv("XMSG_LOG", (dir + "/xmessage.txt").c_str(), 1);
            for (const char* v : {"NWD_ALL", "NWD_DAT", "NWD_AMC", "DISPLAY"})
                unsetenv(v);
            if (with_x)
                setenv("DISPLAY", display.c_str(), 1);
            for (auto& [k, v] : env)
                setenv(k.c_str(), v.c_str(), 1);
            int out = open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1), dup2(out, 2);
            std::vector<char*> argv{const_cast<char*>(NWD_PATH)};
            for (auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(NWD_PATH, argv.data());
            _exit(127);
        }
        return pid;
    }
    // Exit status, or -1 for a run killed after `seconds` or by a signal.
    int finish(pid_t pid, int seconds = 10)
    {
        int status = 0;
        for (int i = 0; waitpid(pid, &status, WNOHANG) == 0; i++) {
            if (i == seconds * 50)
                kill(pid, SIGKILL), waitpid(pid, &status, 0);
            std::this_thread::sleep_for(20ms);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int run(const std::vector<std::string>& args, const Env& env = {})
    {
        unlink((dir + "/xmessage.txt").c_str());
        return finish(start(args, env));
    }
    // The message box runs on its own after the program ended: its words,
    // once it has them.
    std::string shown()
    {
        for (int i = 0; i < 150 && !present(dir + "/xmessage.txt"); i++)
            std::this_thread::sleep_for(20ms);
        std::this_thread::sleep_for(20ms);
        return slurp(dir + "/xmessage.txt");
    }
    std::string file(const char* name) { return slurp(dir + "/" + name); }
    // Started, its window waited for and closed: the exit status, or -2
    // when no window came; the window's size in *w and *h.
    int open_and_close(const std::vector<std::string>& args, const Env& env = {}, int* w = nullptr,
                       int* h = nullptr);
};

// Finds and drives the game window on the test's X server.
struct XClient {
    Display* dpy;
    explicit XClient(const std::string& name) : dpy(XOpenDisplay(name.c_str()))
    {
        // A window gone between lookup and use shows up as a failed check.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XClient()
    {
        if (dpy)
            XCloseDisplay(dpy);
    }
    Window find(Window w)
    {
        char* name = nullptr;
        if (XFetchName(dpy, w, &name) && name) {
            bool match = std::string(name) == "Nightward";
            XFree(name);
            if (match)
                return w;
        }
        Window r, p, *kids = nullptr, found = 0;
        unsigned n = 0;
        if (XQueryTree(dpy, w, &r, &p, &kids, &n))
            for (unsigned i = 0; i < n && !found; i++)
                found = find(kids[i]);
        if (kids)
            XFree(kids);
        return found;
    }
    // The mapped "Nightward" window and its size, waiting up to 10 s.
    Window wait_window(int* w = nullptr, int* h = nullptr)
    {
        for (int i = 0; dpy && i < 200; i++, std::this_thread::sleep_for(50ms)) {
            XWindowAttributes a;
            Window win = find(DefaultRootWindow(dpy));
            if (win && XGetWindowAttributes(dpy, win, &a) && a.map_state == IsViewable) {
                if (w)
                    *w = a.width, *h = a.height;
                return win;
            }
        }
        return 0;
    }
    void press(Window w, KeySym sym)
    {
        for (int type : {KeyPress, KeyRelease}) {
            XEvent e{};
            e.xkey = XKeyEvent{type, 0, True, dpy, w, DefaultRootWindow(dpy),     0,   CurrentTime,
                               0,    0, 0,    0,   0, XKeysymToKeycode(dpy, sym), True};
            XSendEvent(dpy, w, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
            XFlush(dpy);
            std::this_thread::sleep_for(60ms);
        }
    }
    // What a window manager sends for the close button.
    void close(Window w)
    {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        XSendEvent(dpy, w, False, NoEventMask, &e);
        XFlush(dpy);
    }
};

int Program::open_and_close(const std::vector<std::string>& args, const Env& env, int* w, int* h)
{
    pid_t pid = start(args, env);
    Reaper game{pid};
    XClient x(display);
    Window win = x.wait_window(w, h);
    if (!win)
        return -2;
    x.close(win);
    return finish(pid);
}

}  // namespace

TEST_F(Program, MessagesAndExitStatusOfStoppedStartUps)
{
    EXPECT_EQ(run({"-?"}), 0);
    EXPECT_EQ(shown().rfind("Nightward v1.12 (Linux build)\nSyntaxe : NWD [options]\n\n", 0), 0u);
    EXPECT_EQ(file("console.txt").rfind("Nightward v1.12 (Linux build)\n", 0), 0u);
    EXPECT_EQ(run({"-level", "12"}), 1);
    EXPECT_EQ(shown(), "The -level <n> parameter needs a value beetwen 1 and 5\n");
    EXPECT_EQ(run({"-play", "missing.dem", "-nosound"}), 1);
    EXPECT_NE(file("stderr.txt").find("error in demo_load()\n"), std::string::npos);
    EXPECT_NE(file("console.txt").find("cannot play the demo missing.dem"), std::string::npos);
    EXPECT_FALSE(present(dir + "/default.cfg")) << "a stopped start-up writes nothing";
}

TEST_F(Program, DirectoryPrefixesComeFromTheEnvironmentUnchanged)
{
    // The message box ends every text with a line end.
    sh("cd " + dir +
       " && mkdir empty X Y && mv DATA/NIGHTWAR.DAT X/ && mv AMC/GAME.AMC Y/ && "
       "echo junk > Y/NIGHTWAR.DAT");
    // Each failed start ends with status 1, its words on the terminal too.
    EXPECT_EQ(run({}, {{"NWD_AMC", "Y/"}, {"NWD_DAT", "empty/"}}), 1);
    EXPECT_EQ(shown(), "Data file empty/NIGHTWAR.DAT not found. Exiting\n");
    EXPECT_EQ(file("console.txt"), "Data file empty/NIGHTWAR.DAT not found. Exiting\n");
    EXPECT_EQ(run({}, {{"NWD_ALL", "Y/"}, {"NWD_DAT", "X"}}), 1);
    EXPECT_EQ(shown(), "Data file XNIGHTWAR.DAT not found. Exiting\n");
    EXPECT_EQ(run({}, {{"NWD_ALL", "X/"}}), 1);
    EXPECT_EQ(shown(), "Error loading AMC program X/GAME.AMC\n");
    EXPECT_EQ(run({}, {{"NWD_ALL", "Y/"}}), 1);
    EXPECT_EQ(shown(), "Data file Y/NIGHTWAR.DAT unreadable. Exiting\n");
    EXPECT_EQ(open_and_close({"-nosound"}, {{"NWD_ALL", "X/"}, {"NWD_AMC", "Y/"}}), 0)
        << file("stderr.txt");
}

TEST_F(Program, ClosingTheWindowSavesTheDefaultsAndTheCardOption)
{
    int width = 0, height = 0;
    EXPECT_EQ(open_and_close({"-nosound"}, {}, &width, &height), 0);
    EXPECT_EQ(width, 960);  // the first automatic window size
    EXPECT_EQ(height, 720);
    EXPECT_EQ(file("default.cfg").rfind("difficulty = 5\n", 0), 0u);

    std::ofstream(dir + "/default.cfg")
        << "card = 3\nscreen_width = 640\nscreen_height = 480\ncheatkeys = 4\n";
    EXPECT_EQ(open_and_close({"-card", "gdi", "-nosound"}, {}, &width, &height), 0);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    std::string cfg = file("default.cfg");
    EXPECT_NE(cfg.find("\ncard = 2\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("\ncheatkeys = 0\n"), std::string::npos) << "level 5 never reached";
}

TEST_F(Program, ScreenshotsMatchTheWindowEnlarged)
{
    std::ofstream(dir + "/default.cfg") << "window_width = 640\nwindow_height = 480\n";
    pid_t pid = start({"-level", "1", "-nosound"});
    XClient x(display);
    int width = 0, height = 0;
    Window w = x.wait_window(&width, &height);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    std::this_thread::sleep_for(2500ms);  // start-up's pause and the level's first pictures
    x.press(w, XK_F1);
    XImage* img = XGetImage(x.dpy, w, 0, 0, 640, 480, AllPlanes, ZPixmap);
    x.press(w, XK_F1);
    x.close(w);
    EXPECT_EQ(finish(pid), 0);
    ASSERT_TRUE(img);
    EXPECT_TRUE(present(dir + "/nwd001.bmp"));
    EXPECT_FALSE(present(dir + "/nwd002.bmp"));

    install_allegro(SYSTEM_NONE, &errno, atexit);
    PALETTE pal;
    BITMAP* shot = load_bmp((dir + "/nwd000.bmp").c_str(), pal);
    ASSERT_TRUE(shot);
    // The game moves on between the key and the grab, so a few pixels may differ.
    int differ = 0;
    for (int y = 0; y < 240; y++)
        for (int x1 = 0; x1 < 320; x1++) {
            unsigned long p = XGetPixel(img, x1 * 2, y * 2);
            RGB c = pal[getpixel(shot, x1, y)];
            int want[3] = {c.r * 255 / 63, c.g * 255 / 63, c.b * 255 / 63};
            for (int ch = 0; ch < 3; ch++)
                if (std::abs(int((p >> (16 - 8 * ch)) & 0xFF) - want[ch]) > 4) {
                    differ++;
                    break;
                }
        }
    EXPECT_LT(differ, 320 * 240 / 20) << "the window should show the saved picture";
    destroy_bitmap(shot);
    XDestroyImage(img);
}

// What a normal exit writes when nothing was changed: a run that fails must
// leave these as they were, whether it writes them again or not.
const char DEFAULT_CFG[] =
    "difficulty = 5\nmode = 1\nmusicvolume = 144\nsoundvolume = 190\nkeyup = 84\nkeydown = 85\n"
    "keyleft = 82\nkeyright = 83\nkeypunch = 115\nkeykick = 117\njoypunch = 1\njoykick = 0\n"
    "joypause = 2\njoyesc = 3\nmusic = TECHNO\ncard = 0\nlastlevel = @\ncheatkeys = 0\n"
    "powersaving = 5\nscreen_width = -1\nscreen_height = -1\nwindow_width = -1\n"
    "window_height = -1\n";

TEST_F(Program, DamagedDataFilesAreRefusedWithTheirMessage)
{
    std::ofstream(dir + "/default.cfg") << DEFAULT_CFG;
    sh("head -c 240 /dev/urandom > " + dir + "/SCORES");
    const std::string scores = file("SCORES");
    auto untouched = [&] {
        EXPECT_EQ(file("default.cfg"), DEFAULT_CFG);
        EXPECT_EQ(file("SCORES"), scores);
    };
    sh("cp " + dir + "/DATA/NIGHTWAR.DAT " + dir + "/whole.dat");
    long size = static_cast<long>(file("whole.dat").size());
    for (long cut : {0L, 37L, size / 2, size - 1}) {
        sh("head -c " + std::to_string(cut) + " " + dir + "/whole.dat > " + dir +
           "/DATA/NIGHTWAR.DAT");
        EXPECT_EQ(run({"-nosound"}), 1) << cut;
        EXPECT_EQ(shown(), "Data file DATA/NIGHTWAR.DAT unreadable. Exiting\n") << cut;
        EXPECT_NE(file("console.txt").find("unreadable"), std::string::npos);
        untouched();
    }
    sh("cp " + dir + "/whole.dat " + dir + "/DATA/NIGHTWAR.DAT");

    // A level cut from its file: said on screen and in stderr.txt, status 1.
    sh("cd " + dir +
       "/DATA && head -c $(($(wc -c < LEVELS.DAT) / 2)) LEVELS.DAT > cut && mv cut LEVELS.DAT");
    pid_t pid = start({"-level", "1", "-nosound"});
    Reaper game{pid};
    XClient x(display);
    Window w = x.wait_window();
    ASSERT_NE(w, 0u);
    std::this_thread::sleep_for(2000ms);  // the notice is up
    XImage* img = XGetImage(x.dpy, w, 0, 0, 960, 720, AllPlanes, ZPixmap);
    x.press(w, XK_Return);
    EXPECT_EQ(finish(pid), 1);
    EXPECT_NE(file("stderr.txt").find("Unable to find lev1.bin in DATA/LEVELS.DAT\n"),
              std::string::npos)
        << file("stderr.txt");
    ASSERT_TRUE(img);
    int lit = 0;
    for (int y = 0; y < 720; y += 3)
        for (int x1 = 0; x1 < 960; x1 += 3)
            lit += XGetPixel(img, x1, y) != XGetPixel(img, 0, 0);
    XDestroyImage(img);
    EXPECT_GT(lit, 200) << "the notice is written in the window";
    untouched();
}

TEST_F(Program, WhatCannotBeSavedIsSaidAndTheOldFileKept)
{
    std::ofstream(dir + "/default.cfg") << "mode = 3\n";
    sh("mkdir " + dir + "/default.cfg.tmp " + dir + "/SCORES.tmp");  // neither can be written
    EXPECT_EQ(open_and_close({"-level", "1", "-record", "no/such/folder.dem", "-nosound"}), 1);
    std::string console = file("console.txt");
    EXPECT_NE(console.find("cannot save the demo to no/such/folder.dem"), std::string::npos)
        << console;
    EXPECT_NE(console.find("default.cfg cannot be written"), std::string::npos);
    EXPECT_NE(console.find("SCORES cannot be written"), std::string::npos);
    EXPECT_NE(file("stderr.txt").find("cannot save the demo"), std::string::npos);
    EXPECT_EQ(file("default.cfg"), "mode = 3\n");
    EXPECT_FALSE(present(dir + "/SCORES"));
}

// A display lost before the player's files were read writes nothing over
// them; one lost later, or once the window is up (-1), saves what was read
// and ends the run, not hangs it.
TEST_F(Program, LosingTheDisplayKeepsThePlayersFiles)
{
    const std::string cfg = "difficulty = 9\nmode = 2\n";
    std::string scores(240, '\0');
    scores[0] = 7;
    for (int ms : {0, 30, 60, 120, 250, 500, -1}) {
        std::ofstream(dir + "/default.cfg") << cfg;
        std::ofstream(dir + "/SCORES", std::ios::binary) << scores;
        std::string other;
        pid_t server = launch_xvfb(other);
        ASSERT_GT(server, 0);
        Reaper x_server{server};
        pid_t pid = start({"-nosound"}, {{"DISPLAY", other}});
        Reaper game{pid};
        if (ms >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        } else {
            XClient x(other);
            ASSERT_NE(x.wait_window(), 0u);
        }
        kill(server, SIGKILL), waitpid(server, nullptr, 0);
        EXPECT_EQ(finish(pid), 1) << ms;
        if (ms < 0) {
            EXPECT_NE(file("console.txt").find("the display was lost"), std::string::npos);
        }
        EXPECT_NE(file("default.cfg").find("difficulty = 9\nmode = 2\n"), std::string::npos) << ms;
        EXPECT_EQ(file("SCORES"), scores) << ms;
    }
}

// An interrupt from the terminal is shut down in order like the rest.
TEST_F(Program, EverySignalThatWouldEndTheGameSavesFirst)
{
    for (int sig : {SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGPIPE}) {
        unlink((dir + "/default.cfg").c_str());
        pid_t pid = start({"-nosound"});
        Reaper game{pid};
        XClient x(display);
        ASSERT_NE(x.wait_window(), 0u);
        kill(pid, sig);
        EXPECT_EQ(finish(pid), 0) << strsignal(sig);
        EXPECT_EQ(file("default.cfg").rfind("difficulty = 5\n", 0), 0u) << strsignal(sig);
    }
}

TEST_F(Program, SpecialFilesAreUnreadableNeverWaitedOn)
{
    for (const char* name : {"default.cfg", "SCORES", "DEMO1", "TECHNO.lst", "fifo.dem"}) {
        unlink((dir + "/" + name).c_str());
        ASSERT_EQ(mkfifo((dir + "/" + name).c_str(), 0600), 0) << name;
    }
    std::ofstream(dir + "/default.cfg.bad") << "an older one";
    EXPECT_EQ(open_and_close({"-nosound"}, {{"NWD_DEMO_TRACE", dir + "/fifo.dem"}}), 0)
        << file("stderr.txt");
    EXPECT_EQ(file("default.cfg.bad"), "an older one");
    struct stat st;
    EXPECT_TRUE(stat((dir + "/default.cfg.bad2").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(stat((dir + "/SCORES.bad").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(file("default.cfg").rfind("difficulty = 5\n", 0), 0u);
    EXPECT_NE(file("console.txt").find("SCORES could not be read; kept as SCORES.bad"),
              std::string::npos);

    EXPECT_EQ(run({"-play", "fifo.dem", "-nosound"}), 1);
}

TEST_F(Program, OneCopyAFolderAndMessagesThatDoNotWait)
{
    pid_t first = start({"-nosound"});
    Reaper game{first};
    XClient x(display);
    Window w = x.wait_window();
    ASSERT_NE(w, 0u);
    EXPECT_EQ(run({"-nosound"}), 1);
    EXPECT_EQ(shown(), "Another copy of Nightward is running in this folder.\n");
    EXPECT_NE(file("console.txt").find("Another copy"), std::string::npos);
    x.close(w);
    EXPECT_EQ(finish(first), 0);

    // A message box nobody clicks holds up nothing.
    std::ofstream(root + "/bin/xmessage") << "#!/bin/sh\nsleep 30\n";
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(run({"-level", "12"}), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);
    std::ofstream(root + "/bin/xmessage")
        << "#!/bin/sh\nfor a; do last=\"$a\"; done\nprintf '%s' \"$last\" > \"$XMSG_LOG\"\n";
}

// No display, or one that accepts the connection and never answers:
// start-up gives up with the no-display message, and a stop signal
// meanwhile ends it cleanly (no core).
TEST_F(Program, NoDisplayOrOneThatNeverAnswersIsGivenUpOn)
{
    EXPECT_EQ(finish(start({}, {}, false)), 1);
    EXPECT_NE(file("console.txt").find("no display could be opened"), std::string::npos);
    EXPECT_FALSE(present(dir + "/default.cfg"));
    std::string sock = "/tmp/.X11-unix/X" + std::to_string(900 + getpid() % 90);
    sh("mkdir -p /tmp/.X11-unix");
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", sock.c_str());
    unlink(sock.c_str());
    ASSERT_EQ(bind(fd, (sockaddr*)&a, sizeof a), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    std::string name = ":" + sock.substr(sock.rfind('X') + 1);
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(finish(start({"-nosound"}, {{"DISPLAY", name}}), 20), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 15s);
    EXPECT_NE(file("console.txt").find("no display could be opened"), std::string::npos);
    pid_t pid = start({"-nosound"}, {{"DISPLAY", name}});
    std::this_thread::sleep_for(1s);
    kill(pid, SIGTERM);
    EXPECT_EQ(finish(pid), 1);
    EXPECT_NE(file("console.txt").find("stopped before the display answered"), std::string::npos);
    close(fd);
    unlink(sock.c_str());
}

TEST_F(Program, ChangedShippedDataIsSaidOnceAndPlays)
{
    sh("cd " + dir + " && printf X | dd of=DATA/LEVELS.DAT bs=1 seek=100 conv=notrunc 2>/dev/null");
    EXPECT_EQ(open_and_close({"-nosound"}), 0);
    std::string log = file("stderr.txt");
    EXPECT_NE(log.find("DATA/LEVELS.DAT: differs from the shipped file"), std::string::npos) << log;
    EXPECT_EQ(log.find("NIGHTWAR.DAT: differs"), std::string::npos);
}
