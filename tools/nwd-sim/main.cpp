// nwd-sim: runs AMC programs headless and prints a per-tick trace of the
// world; plays whole games as the game does, and checks a game's trace.
#include "demo/demo.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "expected.h"
#include "fileio/fileio.h"
#include "run.h"

#include "datafile/datcheck.h"
#include "datafile/level_objects.h"
#include "nwd_datafile_key.h"
#include "nwd_version.h"

#include <getopt.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static const char usage[] =
    "usage: nwd-sim --amc PATH [--level N] [--mode N] [--skill N] [--seed N] [--nosound]\n"
    "               [--plain]\n"
    "               [--controls FILE | --demo FILE] [--game] [--ticks N]\n"
    "               [--trace FILE | --hash | --verify TRACE]\n"
    "\n"
    "Runs the AMC programs at PATH with no display, sound or data and writes a\n"
    "trace of the world after every tick (default: standard output).\n"
    "  --level N       level row given to the director (default 1)\n"
    "  --mode N        game mode, 1 arcade (default 1)\n"
    "  --skill N       skill level (default 5)\n"
    "  --seed N        random seed (default 1)\n"
    "  --nosound       leave sound requests in the actors' registers, as the\n"
    "                  game does when it runs without sound\n"
    "  --plain         run every instruction on the interpreter's plain path, which\n"
    "                  gives the same world as the default, pre-decoded one, slower\n"
    "  --controls F    one Controls word per line, decimal or 0x-hex; # comments\n"
    "  --demo F        take level, mode, skill, seed and controls from a demo file;\n"
    "                  the run ends when the demo has ended\n"
    "  --game          play the whole game: a level that the scripts end with a row\n"
    "                  from 1 to 11 is followed by that row, as in the game (L lines);\n"
    "                  the last line is 'end score=S outcome=R ticks=N'. With\n"
    "                  --controls the run ends when the words do, as with a demo\n"
    "  --ticks N       ticks to run at most (default 1000; with --game unlimited)\n"
    "  --trace F       write the trace to F\n"
    "  --hash          print only HASH <FNV-1a 64 of the trace>\n"
    "  --verify T      with --game: compare the world after every tick and the end\n"
    "                  with T, what the game wrote through NWD_DEMO_TRACE; exit\n"
    "                  status 1 at the first difference\n"
    "  --levels F      with --game: the level datafile; a row whose map or pictures\n"
    "                  it lacks ends the game as the game does (outcome -2)\n"
    "  -h, --help      this text;  --version  the version\n";

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
        fprintf(stderr, "nwd-sim: %s: cannot read: %s\n", path, strerror(errno));
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
            fprintf(stderr, "nwd-sim: %s:%d: not a Controls word: %s\n", path, lineno, p);
            ok = false;
            break;
        }
        out.push_back((int16_t)(uint16_t)v);
    }
    fclose(f);
    return ok;
}

// The demo file, or a message saying why it cannot be one.
static DemoImage* load_demo(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "nwd-sim: %s: cannot read: %s\n", path, strerror(errno));
        return nullptr;
    }
    fclose(f);
    DemoImage* d = demo_load(path);
    if (!d)
        fprintf(stderr,
                "nwd-sim: %s: not a demo (shorter than its %u-byte header, or unreadable)\n", path,
                (unsigned)DEMO_HEADER_SIZE);
    return d;
}

// The objects of a level file, as the game finds them. A file that cannot
// be opened is bad usage; a damaged one holds nothing the game would load.
static bool read_levels(const char* path, SimLevels& levels)
{
    levels.given = true;
    DatCheckReport report;
    auto keep = [](const DatObject& o, void* user) {
        if (o.depth == 0 && o.name[0])
            ((SimLevels*)user)->names.push_back(o.name);
    };
    int r = datcheck_file(path, DATAFILE_PASSWORD, keep, &levels, &report);
    if (r == DATCHECK_NO_FILE) {
        fprintf(stderr, "nwd-sim: %s: cannot read: %s\n", path, strerror(errno ? errno : ENOENT));
        return false;
    }
    if (r != DATCHECK_OK) {
        fprintf(stderr, "nwd-sim: %s: %s (no level will load)\n", path, report.message);
        levels.names.clear();
    }
    return true;
}

static bool load_programs(const char* amc)
{
    amc_unload_all();
    amc_vm_reset();
    int err = errno = 0;
    int16_t r = amc_load(amc);
    err = errno;
    if (r == 0) {
        demo_note_programs();
        return true;
    }
    const char* reason = amc_load_reason(r);
    if (r == AMC_ERR_OPEN && err)
        fprintf(stderr, "nwd-sim: %s: %s: %s\n", amc, reason, strerror(err));
    else
        fprintf(stderr, "nwd-sim: %s: %s\n", amc, reason);
    return false;
}

int main(int argc, char** argv)
{
    enum {
        O_AMC = 256,
        O_LEVEL,
        O_MODE,
        O_SKILL,
        O_SEED,
        O_CONTROLS,
        O_DEMO,
        O_TICKS,
        O_TRACE,
        O_HASH,
        O_GAME,
        O_VERIFY,
        O_NOSOUND,
        O_VERSION,
        O_LEVELS,
        O_PLAIN
    };
    static const option longopts[] = {{"help", no_argument, nullptr, 'h'},
                                      {"amc", required_argument, nullptr, O_AMC},
                                      {"level", required_argument, nullptr, O_LEVEL},
                                      {"mode", required_argument, nullptr, O_MODE},
                                      {"skill", required_argument, nullptr, O_SKILL},
                                      {"seed", required_argument, nullptr, O_SEED},
                                      {"controls", required_argument, nullptr, O_CONTROLS},
                                      {"demo", required_argument, nullptr, O_DEMO},
                                      {"ticks", required_argument, nullptr, O_TICKS},
                                      {"trace", required_argument, nullptr, O_TRACE},
                                      {"hash", no_argument, nullptr, O_HASH},
                                      {"game", no_argument, nullptr, O_GAME},
                                      {"verify", required_argument, nullptr, O_VERIFY},
                                      {"nosound", no_argument, nullptr, O_NOSOUND},
                                      {"version", no_argument, nullptr, O_VERSION},
                                      {"levels", required_argument, nullptr, O_LEVELS},
                                      {"plain", no_argument, nullptr, O_PLAIN},
                                      {nullptr, 0, nullptr, 0}};
    const char* amc = nullptr;
    const char* controls_path = nullptr;
    const char* demo_path = nullptr;
    const char* trace_path = nullptr;
    const char* verify_path = nullptr;
    const char* levels_path = nullptr;
    bool hash = false;
    long long ticks = -1;
    static SimRun r;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, ":h", longopts, nullptr)) != -1;) {
        long long n;
        switch (c) {
        case 'h': fputs(usage, stdout); return 0;
        case O_VERSION: printf("nwd-sim (Nightward) %s\n", NWD_VERSION); return 0;
        case O_AMC: amc = optarg; break;
        case O_CONTROLS: controls_path = optarg; break;
        case O_DEMO: demo_path = optarg; break;
        case O_TRACE: trace_path = optarg; break;
        case O_VERIFY: verify_path = optarg; break;
        case O_HASH: hash = true; break;
        case O_GAME: r.game = true; break;
        case O_NOSOUND: r.o.sound = false; break;
        case O_LEVELS: levels_path = optarg; break;
        case O_PLAIN: amc_set_fast_path(false); break;
        case O_LEVEL:
        case O_MODE:
        case O_SKILL:
            if (!parse_long(optarg, -32768, 32767, &n))
                return bad_usage("expected a number from -32768 to 32767 after",
                                 c == O_LEVEL  ? "--level"
                                 : c == O_MODE ? "--mode"
                                               : "--skill");
            (c == O_LEVEL ? r.o.level : c == O_MODE ? r.o.mode : r.o.skill) = (int16_t)n;
            break;
        case O_SEED:
            if (!parse_long(optarg, -2147483648LL, 4294967295LL, &n))
                return bad_usage("expected a 32-bit number after", "--seed");
            r.o.seed = (int32_t)(uint32_t)n;
            break;
        case O_TICKS:
            if (!parse_long(optarg, 0, 4294967295LL, &n))
                return bad_usage("expected a tick count after", "--ticks");
            ticks = n;
            break;
        case ':': return bad_usage("missing value for", argv[optind - 1]);
        default: return bad_usage("unknown option", argv[optind - 1]);
        }
    }
    if (optind < argc)
        return bad_usage("unexpected argument", argv[optind]);
    if (!amc)
        return bad_usage("--amc PATH is required", nullptr);
    if (controls_path && demo_path)
        return bad_usage("--controls and --demo exclude each other", nullptr);
    if (verify_path && (!r.game || hash || trace_path || ticks >= 0))
        return bad_usage("--verify needs --game and excludes --trace, --hash and --ticks", nullptr);

    if (demo_path) {
        // Held for the whole run, like the game's attract demos.
        r.demo = load_demo(demo_path);
        if (!r.demo)
            return 2;
        DemoHeader h = demo_header(r.demo);
        r.o.level = h.level;
        r.o.mode = h.mode;
        r.o.skill = h.skill;
        r.o.seed = (int32_t)h.seed;
    }
    if (levels_path) {
        if (!r.game)
            return bad_usage("--levels goes with --game", nullptr);
        if (!read_levels(levels_path, r.levels))
            return 2;
    }
    r.max_ticks = ticks >= 0 ? (uint64_t)ticks : r.game ? UINT64_MAX : 1000;
    r.use_controls = controls_path != nullptr;
    if (controls_path && !read_controls(controls_path, r.controls))
        return 2;
    if (!load_programs(amc))
        return 2;

    if (verify_path) {
        static ExpectedGame want;
        if (!read_expected(verify_path, want, stderr))
            return 2;
        int status = sim_verify(amc, verify_path, want, r, stdout, stderr);
        demo_free(r.demo);
        return fflush(stdout) == 0 ? status : 1;
    }

    static SimTrace trace;
    FILE* out = stdout;
    // Aside and renamed, so a failed write keeps the old trace; every
    // write error is a failure.
    static FileWriter w;
    if (trace_path) {
        if (!file_write_begin(w, trace_path)) {
            fprintf(stderr, "nwd-sim: %s: %s\n", trace_path, w.why);
            return 2;
        }
        out = w.f;
    }
    trace.out = hash ? nullptr : out;
    trace.hash = hash;
    SimRunEnd e = sim_run(r, &trace, 1, SimTickCheck{});
    if (r.game)
        sim_tracef(trace, "end score=%d outcome=%d ticks=%u\n", e.score, e.outcome, e.ticks);
    sim_trace_flush(trace);
    if (hash)
        fprintf(out, "HASH %016llx\n", (unsigned long long)trace.fnv);
    amc_unload_all();
    demo_free(r.demo);
    if (trace_path && !file_write_commit(w)) {
        fprintf(stderr, "nwd-sim: %s: %s\n", trace_path, w.why);
        return 1;
    }
    if (out == stdout && fflush(stdout) != 0)
        return 1;
    return 0;
}
