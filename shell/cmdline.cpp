#include <allegro.h>

#include <strings.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/state.h"
#include "demo/state.h"
#include "gfx/display.h"
#include "shell/options.h"
#include "shell/startup.h"

namespace {

const char USAGE[] =
    "Nightward v%s (%s build)\n"
    "Syntaxe : NWD [options]\n"
    "\n"
    "   Options :  -?              this screen\n"
    "              -level  <n>     starting level (1 to 5)\n"
    "              -skill  <n>     skill level (defaut 5)\n"
    "              -arcade         game mode: arcade\n"
    "              -survival       game mode: survival\n"
    "              -record <file>  record a demo named <file>\n"
    "              -maxdemo <n>    set demo buffer size, in bytes\n"
    "              -play   <file>  play a demo named <file>\n"
    "              -nostat         draw the energy bar during demo playback\n"
    "              -start  <n>     fast-forward n frames when playing\n"
    "              -card <driver>  choose graphics adapter - \"?\" for list\n"
    "              -nosound        disable sound routines\n"
    "              -fps    <n>     game speed in frames per second (default 72)\n"
    "              -mod    <file>  use alternate music file\n";

// Leading digits with an optional sign, else 0; saturates rather than
// overflowing on absurd input.
long long number(const char* s)
{
    long long v = std::strtoll(s, nullptr, 10);
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    return v;
}

struct Args {
    int argc;
    char** argv;
    // Index of the first argument equal to `opt` ignoring case, 0 if none.
    int find(const char* opt) const
    {
        for (int i = 1; i < argc; i++)
            if (strcasecmp(argv[i], opt) == 0)
                return i;
        return 0;
    }
    // The argument after `i`, whatever it looks like, or null.
    const char* value(int i) const { return i > 0 && i + 1 < argc ? argv[i + 1] : nullptr; }
};

CmdlineResult say(char* message, size_t size, CmdlineResult r, const char* text)
{
    std::snprintf(message, size, "%s", text);
    return r;
}

// What the process ends with once the parser has said stop.
int stop_status(CmdlineResult r) { return r == CMDLINE_STOP ? 0 : r == CMDLINE_VALUE ? 1 : 2; }

}  // namespace

CmdlineResult cmdline_parse(int argc, char** argv, LaunchOptions& out, uint32_t& demo_size,
                            char* message, size_t message_size)
{
    Args a{argc, argv};
    // A "?" anywhere (or --help) asks for the text; otherwise showing it
    // means the command line was wrong.
    bool asked = false;
    for (int k = 1; k < argc; k++)
        if (std::strchr(argv[k], '?') || strcasecmp(argv[k], "--help") == 0)
            asked = true;
    out = LaunchOptions{};
    out.card = -1;
    if (message_size)
        message[0] = '\0';
    int counted = 1;
    int i;
    const char* v;

    // The values are judged whole, before they are narrowed to their fields:
    // 257 is no level 1, nor 65537 a rate of 1.
    if ((i = a.find("-level"))) {
        counted += 2;
        long long n = (v = a.value(i)) ? number(v) : 0;
        out.start_level = static_cast<uint8_t>(n);
        if (n < 0 || n > 11)
            return say(message, message_size, CMDLINE_VALUE,
                       "The -level <n> parameter needs a value beetwen 1 and 5\n");
    }
    if ((i = a.find("-skill"))) {
        counted += 2;
        long long n = (v = a.value(i)) ? number(v) : 0;
        out.skill = static_cast<int8_t>(n);
        if (n < 1 || n > 100)
            return say(message, message_size, CMDLINE_VALUE,
                       "The -skill <n> parameter needs a value beetwen 0 and 100\n");
    }
    if ((v = a.value(a.find("-mod")))) {
        out.mod_file = v;
        counted += 2;
    }
    if ((v = a.value(a.find("-record")))) {
        out.demo_file = v;
        out.record = 0xFF;
        counted += 2;
    }
    if ((v = a.value(a.find("-play"))) && !out.record) {
        out.demo_file = v;
        out.play = 0xFF;
        counted += 2;
    }
    if ((v = a.value(a.find("-start"))) && out.play) {
        // Judged unsaturated: the frame clock counts in 31 bits, and a
        // larger head start (or a negative one) would stall the replay.
        long long n = std::strtoll(v, nullptr, 10);
        counted += 2;
        if (n < 0 || n > INT32_MAX)
            return say(message, message_size, CMDLINE_VALUE,
                       "The -start <n> parameter must be between 0 and 2147483647\n");
        out.start_frame = static_cast<uint32_t>(n);
    }
    if ((i = a.find("-card"))) {
        if ((v = a.value(i))) {
            for (int row = 0; row < GFX_DRIVER_COUNT; row++)
                if (strcasecmp(v, gfx_driver_table[row].short_name) == 0) {
                    out.card = row;
                    counted += 2;
                    break;
                }
        }
        if (out.card == -1) {
            size_t n = std::snprintf(message, message_size, "Graphics drivers for -card :\n\n");
            for (int row = 0; row < GFX_DRIVER_COUNT && n < message_size; row++)
                n += std::snprintf(message + n, message_size - n, "%8s = %s\n",
                                   gfx_driver_table[row].short_name, gfx_driver_table[row].label);
            return asked ? CMDLINE_STOP : CMDLINE_BAD;
        }
    }
    if (a.find("-nosound")) {
        out.no_sound = 0xFF;
        counted++;
    }
    if (a.find("-nojoy")) {
        out.no_joystick = 0xFF;
        counted++;
    }
    if ((v = a.value(a.find("-fps")))) {
        long long n = number(v);
        out.fps = static_cast<uint16_t>(n);
        counted += 2;
        if (n < 1 || n > 65535)
            return say(message, message_size, CMDLINE_VALUE,
                       "The -fps <n> argument must be between 1 and 65535\n");
    }
    if ((v = a.value(a.find("-maxdemo")))) {
        long long n = number(v);
        counted += 2;
        // A negative size would turn into a 4 GB request: refuse it too.
        if (n <= 100)
            return say(message, message_size, CMDLINE_VALUE,
                       "The -maxdemo parameter must be > 100\n");
        demo_size = static_cast<uint32_t>(n);
    }
    if (a.find("-nostat")) {
        out.no_stat = 0xFF;
        counted++;
    }
    if (a.find("-arcade")) {
        out.mode = 1;
        counted++;
    }
    if (a.find("-survival")) {
        out.mode = 2;
        counted++;
    }
    if (a.find("-vampire")) {
        out.mode = 3;
        counted++;
    }

    if (asked || counted != argc) {
        std::snprintf(message, message_size, USAGE, NWD_VERSION, NWD_BUILD);
        return asked ? CMDLINE_STOP : CMDLINE_BAD;
    }
    return CMDLINE_GO;
}

int cmdline_check(int argc, char** argv)
{
    static char message[2048];
    LaunchOptions options;
    uint32_t demo_size = demos.buffer_size;
    CmdlineResult r = cmdline_parse(argc, argv, options, demo_size, message, sizeof message);
    if (r == CMDLINE_GO)
        return -1;
    // Asked for: the standard output; a mistake: the error stream.
    std::fputs(message, r == CMDLINE_STOP ? stdout : stderr);
    std::fflush(stdout);
    show_message_box(message);
    return stop_status(r);
}

int parse_command_line(int argc, char** argv)
{
    static char message[2048];
    CmdlineResult r =
        cmdline_parse(argc, argv, config.launch, demos.buffer_size, message, sizeof message);
    if (r == CMDLINE_GO)
        return 1;
    startup_message(message);
    if (r != CMDLINE_STOP)
        std::exit(stop_status(r));
    return 0;
}

bool cmdline_version(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Nightward %s\n", NWD_VERSION);
            return true;
        }
    return false;
}
