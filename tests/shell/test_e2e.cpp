// Runs the real program in its own X server, with a stand-in xmessage that
// records what would have been shown.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <allegro.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string slurp(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool present(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

int sh(const std::string& cmd) { return std::system(cmd.c_str()); }

using Env = std::map<std::string, std::string>;

class Program : public testing::Test {
protected:
    static pid_t xvfb;
    static std::string display, assets, bin;
    static bool real_game;

    static void SetUpTestSuite() {
        char dir[] = "/tmp/nwd-e2e-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        assets = std::string(dir) + "/assets";
        bin = std::string(dir) + "/bin";
        ASSERT_EQ(sh("mkdir -p " + assets + "/AMC " + assets + "/DATA " + bin), 0);
        std::ofstream(bin + "/xmessage") << "#!/bin/sh\nfor a; do last=\"$a\"; done\n"
                                            "printf '%s' \"$last\" > \"$XMSG_LOG\"\n";
        chmod((bin + "/xmessage").c_str(), 0755);
        make_game_files();
        start_xvfb();
    }
    static void TearDownTestSuite() {
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
        sh("rm -rf " + assets.substr(0, assets.rfind('/')));
    }

    // The built game's files when they exist, otherwise a program that
    // does nothing and a datafile holding just a palette at index 23.
    static void make_game_files() {
        std::string game = NWD_GAME_DIR;
        real_game = present(game + "/DATA/NIGHTWAR.DAT") && present(game + "/AMC/GAME.AMC");
        if (real_game) {
            sh("cp -r " + game + "/AMC " + game + "/DATA " + assets + "/");
            return;
        }
        std::ofstream amc(assets + "/AMC/GAME.AMC", std::ios::binary);
        amc << "AMC";
        for (int i = 0; i < 14; i++) amc.write("\001\000\022\000", 4);
        amc.write("\007\000\001\000\003\001\145\000\002\000\031\000\160\000\022\000\000\000", 18);
        amc.close();
        install_allegro(SYSTEM_NONE, &errno, atexit);
        PALETTE pal;
        for (int i = 0; i < 256; i++) pal[i] = RGB{uint8_t(i & 63), uint8_t((i * 7) & 63), uint8_t(63 - (i & 63)), 0};
        BITMAP* b = create_bitmap_ex(8, 8, 8);
        clear_to_color(b, 5);
        std::string objs;
        for (int i = 0; i < 23; i++) {
            char name[64];
            std::snprintf(name, sizeof name, "%s/o%02d.pcx", assets.c_str(), i);
            save_pcx(name, b, pal);
            objs += std::string(" ") + name;
        }
        save_pcx((assets + "/pal.pcx").c_str(), b, pal);
        destroy_bitmap(b);
        std::string dat = "cd " + assets + " && dat -007 'k3 Rw;t#' -n0 -a DATA/NIGHTWAR.DAT ";
        ASSERT_EQ(sh(dat + "-t BMP" + objs + " >/dev/null 2>&1"), 0);
        ASSERT_EQ(sh(dat + "-t PAL pal.pcx >/dev/null 2>&1"), 0);
    }

    // A display number nobody holds, tried until a server answers on it.
    static void start_xvfb() {
        for (int n = 100 + getpid() % 700, tries = 0; tries < 20; n++, tries++) {
            if (present("/tmp/.X" + std::to_string(n) + "-lock") ||
                present("/tmp/.X11-unix/X" + std::to_string(n)))
                continue;
            std::string name = ":" + std::to_string(n);
            xvfb = fork();
            if (xvfb == 0) {
                int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                       "tcp", (char*)nullptr);
                _exit(127);
            }
            for (int i = 0; i < 200; i++) {
                if (waitpid(xvfb, nullptr, WNOHANG) == xvfb) break;  // lost the number
                if (Display* d = XOpenDisplay(name.c_str())) {
                    XCloseDisplay(d);
                    display = name;
                    return;
                }
                std::this_thread::sleep_for(50ms);
            }
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
        xvfb = -1;
        FAIL() << "no X server could be started";
    }

    std::string dir;  // the working folder of this run

    void SetUp() override {
        char d[] = "/tmp/nwd-run-XXXXXX";
        ASSERT_TRUE(mkdtemp(d));
        dir = d;
        ASSERT_EQ(sh("cp -r " + assets + "/AMC " + assets + "/DATA " + dir), 0);
    }
    void TearDown() override { sh("rm -rf " + dir); }

    pid_t start(const std::vector<std::string>& args, const Env& env = {}, bool with_x = true) {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            setenv("PATH", (bin + ":" + getenv("PATH")).c_str(), 1);
            setenv("XMSG_LOG", (dir + "/xmessage.txt").c_str(), 1);
            unsetenv("NWD_ALL");
            unsetenv("NWD_DAT");
            unsetenv("NWD_AMC");
            if (with_x)
                setenv("DISPLAY", display.c_str(), 1);
            else
                unsetenv("DISPLAY");
            for (auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
            int out = open((dir + "/console.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<char*> argv{const_cast<char*>(NWD_PATH)};
            for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(NWD_PATH, argv.data());
            _exit(127);
        }
        return pid;
    }

    // Exit status, or -1 after killing a run that did not end in time.
    int finish(pid_t pid, std::chrono::milliseconds limit = 10s) {
        auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int run(const std::vector<std::string>& args, const Env& env = {}) {
        return finish(start(args, env));
    }

    std::string shown() { return slurp(dir + "/xmessage.txt"); }
    std::string file(const char* name) { return slurp(dir + "/" + name); }
};
pid_t Program::xvfb = -1;
bool Program::real_game = false;
std::string Program::display, Program::assets, Program::bin;

// A connection to the test's X server that finds and drives the game window.
class XClient {
public:
    explicit XClient(const std::string& name) : dpy(XOpenDisplay(name.c_str())) {
        // A window that went away between lookup and use is the test's
        // business to report, not a reason to abort the whole suite.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    explicit operator bool() const { return dpy != nullptr; }
    ~XClient() {
        if (dpy) XCloseDisplay(dpy);
    }
    // The window titled "Nightward", waiting for it to be mapped.
    Window wait_window(std::chrono::milliseconds limit = 10s) {
        if (!dpy) return 0;
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (Window w = find(DefaultRootWindow(dpy))) {
                XWindowAttributes a;
                if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable) return w;
            }
            std::this_thread::sleep_for(50ms);
        }
        return 0;
    }
    void size(Window w, int& width, int& height) {
        XWindowAttributes a;
        XGetWindowAttributes(dpy, w, &a);
        width = a.width;
        height = a.height;
    }
    void press(Window w, KeySym sym) {
        for (int type : {KeyPress, KeyRelease}) {
            XKeyEvent e{};
            e.type = type;
            e.display = dpy;
            e.window = w;
            e.root = DefaultRootWindow(dpy);
            e.same_screen = True;
            e.keycode = XKeysymToKeycode(dpy, sym);
            XSendEvent(dpy, w, True, type == KeyPress ? KeyPressMask : KeyReleaseMask,
                       reinterpret_cast<XEvent*>(&e));
            XFlush(dpy);
            std::this_thread::sleep_for(60ms);
        }
    }
    // What the window manager sends for the close button.
    void close(Window w) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(dpy, w, False, NoEventMask, &e);
        XFlush(dpy);
    }
    XImage* grab(Window w) {
        int width, height;
        size(w, width, height);
        return XGetImage(dpy, w, 0, 0, width, height, AllPlanes, ZPixmap);
    }
    Display* dpy;

private:
    Window find(Window w) {
        char* name = nullptr;
        if (XFetchName(dpy, w, &name) && name) {
            bool match = std::string(name) == "Nightward";
            XFree(name);
            if (match) return w;
        }
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        Window found = 0;
        if (XQueryTree(dpy, w, &root, &parent, &kids, &n))
            for (unsigned i = 0; i < n && !found; i++) found = find(kids[i]);
        if (kids) XFree(kids);
        return found;
    }
};

const std::string USAGE_FIRST = "Nightward v1.12 (Linux build)\nSyntaxe : NWD [options]\n\n";

}  // namespace

TEST_F(Program, UsageAndDriverListAreShownExactly) {
    EXPECT_EQ(run({"-?"}), 0);
    std::string usage = shown();
    EXPECT_EQ(usage.rfind(USAGE_FIRST, 0), 0u) << usage;
    EXPECT_NE(usage.find("              -mod    <file>  use alternate music file\n"), std::string::npos);
    EXPECT_EQ(run({"-card", "XYZ"}), 0);
    EXPECT_EQ(shown(),
              "Graphics drivers for -card :\n\n     WIN = Window - Auto\n"
              "      DW = Window - DirectX\n     GDI = Window - GDI\n"
              "    FULL = Fullscreen - Auto\n      DS = Fullscreen - DirectX\n"
              "      DX = Fullscreen - DX Soft\n");
    EXPECT_FALSE(present(dir + "/default.cfg")) << "a stopped start-up writes nothing";
}

TEST_F(Program, BadValuesExitWithStatusOne) {
    struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"-level", "12"}, "The -level <n> parameter needs a value beetwen 1 and 5\n"},
        {{"-skill", "0"}, "The -skill <n> parameter needs a value beetwen 0 and 100\n"},
        {{"-fps", "65536"}, "The -fps <n> argument must be between 1 and 65535\n"},
        {{"-maxdemo", "100"}, "The -maxdemo parameter must be > 100\n"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(run(c.args), 1) << c.args[0];
        EXPECT_EQ(shown(), c.message);
    }
    EXPECT_FALSE(present(dir + "/default.cfg"));
}

TEST_F(Program, DirectoryPrefixesComeFromTheEnvironmentUnchanged) {
    // The message box ends every text with a line end.
    sh("mkdir " + dir + "/empty");
    EXPECT_EQ(run({}, {{"NWD_DAT", "empty/"}}), 0);
    EXPECT_EQ(shown(), "Data file empty/NIGHTWAR.DAT not found. Exiting\n");
    EXPECT_EQ(run({}, {{"NWD_ALL", "empty/"}, {"NWD_DAT", "data"}, {"NWD_AMC", "AMC/"}}), 0);
    EXPECT_EQ(shown(), "Data file dataNIGHTWAR.DAT not found. Exiting\n");
    EXPECT_EQ(run({}, {{"NWD_ALL", "DATA/"}}), 0);
    EXPECT_EQ(shown(), "Error loading AMC program DATA/GAME.AMC\n");
    std::ofstream(dir + "/bad.dat") << "not a datafile";
    sh("mkdir " + dir + "/X && mv " + dir + "/DATA/NIGHTWAR.DAT " + dir + "/X/");
    sh("mkdir " + dir + "/Y && mv " + dir + "/AMC/GAME.AMC " + dir + "/Y/");
    std::ofstream(dir + "/Y/NIGHTWAR.DAT") << "not a datafile";
    EXPECT_EQ(run({}, {{"NWD_ALL", "Y/"}}), 0);
    EXPECT_EQ(shown(), "Data file Y/NIGHTWAR.DAT unreadable. Exiting\n");
    EXPECT_FALSE(present(dir + "/default.cfg"));

    // X/ for the data and Y/ for the programs: the game starts.
    pid_t pid = start({}, {{"NWD_ALL", "X/"}, {"NWD_AMC", "Y/"}});
    XClient x(display);
    Window w = x.wait_window();
    ASSERT_NE(w, 0u) << file("stderr.txt");
    x.close(w);
    EXPECT_EQ(finish(pid), 0) << file("stderr.txt") << file("console.txt");
}

TEST_F(Program, ClosingTheWindowSavesTheDefaultsInOrder) {
    pid_t pid = start({});
    XClient x(display);
    Window w = x.wait_window();
    ASSERT_NE(w, 0u);
    int width, height;
    x.size(w, width, height);
    EXPECT_EQ(width, 960);  // the first automatic window size
    EXPECT_EQ(height, 720);
    x.close(w);
    EXPECT_EQ(finish(pid), 0);
    std::string cfg = file("default.cfg");
    EXPECT_EQ(cfg.rfind("difficulty = 5\nmode = 1\nmusicvolume = 144\n", 0), 0u) << cfg;
    EXPECT_NE(cfg.find("music = TECHNO\ncard = 0\nlastlevel = @\ncheatkeys = 0\n"),
              std::string::npos);
    EXPECT_NE(cfg.find("window_width = -1\nwindow_height = -1\n"), std::string::npos);
}

TEST_F(Program, CardOptionOpensItsWindowAndIsSaved) {
    std::ofstream(dir + "/default.cfg")
        << "card = 3\nscreen_width = 640\nscreen_height = 480\ncheatkeys = 4\n";
    pid_t pid = start({"-card", "gdi"});
    XClient x(display);
    Window w = x.wait_window();
    ASSERT_NE(w, 0u);
    int width, height;
    x.size(w, width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    x.close(w);
    EXPECT_EQ(finish(pid), 0);
    std::string cfg = file("default.cfg");
    EXPECT_NE(cfg.find("\ncard = 2\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("\ncheatkeys = 0\n"), std::string::npos) << "level 5 never reached";
}

TEST_F(Program, ScreenshotsMatchTheWindowEnlarged) {
    if (!real_game) GTEST_SKIP() << "needs the built game folder to play a level";
    std::ofstream(dir + "/default.cfg") << "window_width = 960\nwindow_height = 720\n";
    pid_t pid = start({"-level", "1", "-nosound"});
    XClient x(display);
    Window w = x.wait_window();
    ASSERT_NE(w, 0u);
    std::this_thread::sleep_for(2500ms);  // start-up's pause and the level's first pictures
    x.press(w, XK_F1);
    XImage* img = x.grab(w);
    x.press(w, XK_F1);
    x.close(w);
    EXPECT_EQ(finish(pid), 0);
    ASSERT_TRUE(img);
    ASSERT_TRUE(present(dir + "/nwd000.bmp"));
    EXPECT_TRUE(present(dir + "/nwd001.bmp"));
    EXPECT_FALSE(present(dir + "/nwd002.bmp"));

    install_allegro(SYSTEM_NONE, &errno, atexit);
    PALETTE pal;
    BITMAP* shot = load_bmp((dir + "/nwd000.bmp").c_str(), pal);
    ASSERT_TRUE(shot);
    ASSERT_EQ(img->width, 960);
    ASSERT_EQ(img->height, 720);
    // Every 3x3 block of the window is one pixel of the picture; the game
    // moves on between the key and the grab, so a few blocks may differ.
    int uneven = 0, differ = 0;
    for (int y = 0; y < 240; y++)
        for (int x1 = 0; x1 < 320; x1++) {
            unsigned long p = XGetPixel(img, x1 * 3, y * 3);
            for (int k = 0; k < 9; k++)
                if (XGetPixel(img, x1 * 3 + k % 3, y * 3 + k / 3) != p) uneven++;
            RGB c = pal[getpixel(shot, x1, y)];
            int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (std::abs(r - c.r * 255 / 63) > 4 || std::abs(g - c.g * 255 / 63) > 4 ||
                std::abs(b - c.b * 255 / 63) > 4)
                differ++;
        }
    EXPECT_EQ(uneven, 0);
    EXPECT_LT(differ, 320 * 240 / 20) << "the window should show the saved picture";
    destroy_bitmap(shot);
    XDestroyImage(img);
}

TEST_F(Program, NoDisplaySaysHowToGetOne) {
    int status = finish(start({}, {}, false));
    EXPECT_EQ(status, 0);
    EXPECT_NE(file("console.txt").find("no display could be opened"), std::string::npos);
    EXPECT_FALSE(present(dir + "/default.cfg"));
}
