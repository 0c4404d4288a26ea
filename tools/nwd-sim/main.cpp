// nwd-sim: runs AMC programs headless and prints a per-tick trace of the world.
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/sim.h"
#if NWD_HAVE_DEMO
#include "input/demo.h"
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static const char usage[] =
    "usage: nwd-sim --amc PATH [--level N] [--mode N] [--skill N] [--seed N]\n"
    "               [--controls FILE | --demo FILE] [--ticks N] [--trace FILE] [--hash]\n"
    "\n"
    "Runs the AMC programs at PATH with no display, sound or data and writes a\n"
    "trace of the world after every tick (default: standard output).\n"
    "  --level N     level number given to the director (default 1)\n"
    "  --mode N      game mode, 1 arcade (default 1)\n"
    "  --skill N     skill level (default 5)\n"
    "  --seed N      random seed (default 1)\n"
    "  --controls F  one Controls word per line, decimal or 0x-hex; # comments\n"
    "  --demo F      take level, mode, skill, seed and controls from a demo file;\n"
    "                the run ends when the demo has ended\n"
    "  --ticks N     ticks to run at most (default 1000, with --demo too: give\n"
    "                a larger N to play a long demo to its end)\n"
    "  --trace F     write the trace to F\n"
    "  --hash        print only HASH <FNV-1a 64 of the trace>\n";

static int bad_usage(const char* msg, const char* arg)
{
    fprintf(stderr, "nwd-sim: %s%s%s\n", msg, arg ? ": " : "", arg ? arg : "");
    fprintf(stderr, "Try 'nwd-sim --help'.\n");
    return 2;
}

static bool parse_long(const char* s, long long lo, long long hi, long long* out)
{
    if (!s || !*s)
        return false;
    char* end;
    errno = 0;
    long long v;
    if ((s[0] == '0' && (s[1] == 'x' || s[1] == 'X')))
        v = strtoll(s + 2, &end, 16);
    else
        v = strtoll(s, &end, 10);
    if (errno || *end || end == s || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

// Reads the controls file; a bad line is reported as file:line: message.
static bool read_controls(const char* path, std::vector<int16_t>& out)
{
    FILE* f = fopen(path, "r");
    if (!f) {
        fprintf(stderr, "nwd-sim: %s: %s\n", path, strerror(errno));
        return false;
    }
    char line[256];
    int lineno = 0;
    bool ok = true;
    while (fgets(line, sizeof line, f)) {
        lineno++;
        char* p = line;
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            p++;
        if (*p == 0 || *p == '#')
            continue;
        char* e = p + strlen(p);
        while (e > p && (e[-1] == ' ' || e[-1] == '\t' || e[-1] == '\r' || e[-1] == '\n'))
            *--e = 0;
        long long v;
        if (!parse_long(p, -32768, 65535, &v)) {
            fprintf(stderr, "%s:%d: not a Controls word: %s\n", path, lineno, p);
            ok = false;
            break;
        }
        out.push_back((int16_t)(uint16_t)v);
    }
    fclose(f);
    return ok;
}

int main(int argc, char** argv)
{
    const char* amc = nullptr;
    const char* controls_path = nullptr;
    const char* demo_path = nullptr;
    const char* trace_path = nullptr;
    bool hash = false;
    long long ticks = -1;
    SimOptions o;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
            fputs(usage, stdout);
            return 0;
        }
        if (!strcmp(a, "--hash")) {
            hash = true;
            continue;
        }
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n;
        if (!strcmp(a, "--amc") || !strcmp(a, "--controls") || !strcmp(a, "--demo") ||
            !strcmp(a, "--trace")) {
            if (!v)
                return bad_usage("missing value for", a);
            if (!strcmp(a, "--amc")) amc = v;
            else if (!strcmp(a, "--controls")) controls_path = v;
            else if (!strcmp(a, "--demo")) demo_path = v;
            else trace_path = v;
            i++;
        } else if (!strcmp(a, "--level") || !strcmp(a, "--mode") || !strcmp(a, "--skill")) {
            if (!parse_long(v, -32768, 32767, &n))
                return bad_usage("expected a number from -32768 to 32767 after", a);
            (a[2] == 'l' ? o.level : a[2] == 'm' ? o.mode : o.skill) = (int16_t)n;
            i++;
        } else if (!strcmp(a, "--seed")) {
            if (!parse_long(v, -2147483648LL, 4294967295LL, &n))
                return bad_usage("expected a 32-bit number after", a);
            o.seed = (int32_t)(uint32_t)n;
            i++;
        } else if (!strcmp(a, "--ticks")) {
            if (!parse_long(v, 0, 4294967295LL, &n))
                return bad_usage("expected a tick count after", a);
            ticks = n;
            i++;
        } else {
            return bad_usage("unknown argument", a);
        }
    }
    if (!amc)
        return bad_usage("--amc PATH is required", nullptr);
    if (controls_path && demo_path)
        return bad_usage("--controls and --demo exclude each other", nullptr);
#if NWD_HAVE_DEMO
    // Held for the whole run, like the game's attract demos.
    static DemoImage* demo = nullptr;
    if (demo_path) {
        demo = demo_load(demo_path);
        if (!demo) {
            fprintf(stderr, "error in demo_load()\n");
            return 2;
        }
        DemoHeader h = demo_header(demo);
        o.level = h.level;
        o.mode = h.mode;
        o.skill = h.skill;
        o.seed = (int32_t)h.seed;
    }
#else
    if (demo_path) {
        fprintf(stderr, "nwd-sim: --demo is not supported by this build\n");
        return 2;
    }
#endif
    if (ticks < 0)
        ticks = 1000;
    std::vector<int16_t> controls;
    if (controls_path && !read_controls(controls_path, controls))
        return 2;

    amc_unload_all();
    amc_vm_reset();
    int16_t r = amc_load(amc);
    if (r != 0) {
        fprintf(stderr, "amc_load failed: %d\n", r);
        return 2;
    }

    static SimTrace trace;
    FILE* out = stdout;
    if (trace_path) {
        out = fopen(trace_path, "w");
        if (!out) {
            fprintf(stderr, "nwd-sim: %s: %s\n", trace_path, strerror(errno));
            return 2;
        }
    }
    trace.out = hash ? nullptr : out;
    trace.hash = hash;
    sim_start(o);
#if NWD_HAVE_DEMO
    if (demo)
        demo_play_start(demo);
#endif
    for (long long t = 1; t <= ticks; t++) {
        int16_t c = (size_t)(t - 1) < controls.size() ? controls[(size_t)(t - 1)] : 0;
#if NWD_HAVE_DEMO
        // As in the game: the tick that finds the demo out of frames still
        // runs with controls 0; the one after it does not.
        if (demo) {
            if (demo_state & DEMO_ENDED)
                break;
            c = (int16_t)demo_play_next();
        }
#endif
        if (sim_tick(trace, (uint32_t)t, c))
            break;
    }
    sim_trace_flush(trace);
    if (hash)
        fprintf(out, "HASH %016llx\n", (unsigned long long)trace.fnv);
    amc_unload_all();
#if NWD_HAVE_DEMO
    demo_free(demo);
#endif
    if (out != stdout && fclose(out) != 0) {
        fprintf(stderr, "nwd-sim: %s: write failed\n", trace_path);
        return 1;
    }
    if (out == stdout && fflush(stdout) != 0)
        return 1;
    return 0;
}
