// Counts the heap allocations that the main thread makes while a level plays
// and while a menu waits, in the real game with -nosound under a virtual
// display; both must be 0. Allocations of the libraries' own threads (the
// display's input thread, the timers) in the same windows are printed for
// information. Run in a scratch folder with NWD_DAT and NWD_AMC set.
#include <allegro.h>

#include <execinfo.h>
#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "config/state.h"
#include "frontend/menu.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "game/state.h"
#include "input/state.h"
#include "shell/startup.h"

// Every allocation of the process passes here.
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void* __libc_memalign(size_t, size_t);

namespace {

std::atomic<bool> window{false};    // a counting window is open
std::atomic<long> others{0};        // allocations of other threads in it
thread_local bool watched = false;  // set on the main thread only
long main_count = 0;
// The first few main-thread allocations' call stacks, to say where they were.
constexpr int STACKS = 3, DEPTH = 16;
void* stacks[STACKS][DEPTH];
int depths[STACKS];
thread_local bool inside = false;

void note()
{
    if (!window.load(std::memory_order_relaxed))
        return;
    if (!watched) {
        others.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (main_count < STACKS && !inside) {
        inside = true;
        depths[main_count] = backtrace(stacks[main_count], DEPTH);
        inside = false;
    }
    main_count++;
}

}  // namespace

extern "C" {
void* malloc(size_t n)
{
    note();
    return __libc_malloc(n);
}
void* calloc(size_t k, size_t n)
{
    note();
    return __libc_calloc(k, n);
}
void* realloc(void* p, size_t n)
{
    note();
    return __libc_realloc(p, n);
}
void* memalign(size_t a, size_t n)
{
    note();
    return __libc_memalign(a, n);
}
void* aligned_alloc(size_t a, size_t n)
{
    note();
    return __libc_memalign(a, n);
}
int posix_memalign(void** p, size_t a, size_t n)
{
    note();
    *p = __libc_memalign(a, n);
    return *p ? 0 : 12;
}
}

namespace {

constexpr uint32_t WARM_TICKS = 100, COUNTED_TICKS = 300;
constexpr int WARM_POLLS = 50, COUNTED_POLLS = 200;

// Opens or closes a counting window; returns what the main thread made.
long count(bool open)
{
    if (open) {
        main_count = 0;
        others = 0;
        watched = true;
        window = true;
        return 0;
    }
    window = false;
    watched = false;
    return main_count;
}

void report(const char* what, long n)
{
    printf("%s: %ld allocations on the main thread, %ld on the libraries' own threads\n", what, n,
           others.load());
    for (int i = 0; i < n && i < STACKS; i++) {
        printf("  allocation %d from:\n", i + 1);
        fflush(stdout);
        backtrace_symbols_fd(stacks[i], depths[i], 1);
    }
}

LevelLoopOps ops;
long level_count = -1;

// The level loop's own present, and around it the counting window over
// ticks WARM_TICKS .. WARM_TICKS + COUNTED_TICKS, with the hero walking
// right and punching; then the window's close button ends the game.
void present_and_count()
{
    default_level_ops.present();
    const uint32_t t = game.current.frames_run;
    key[KEY_RIGHT] = t % 200 < 150;
    key[config.settings.keypunch] = t % 40 < 5;
    if (t >= WARM_TICKS && level_count < 0 && !window)
        count(true);
    if (t >= WARM_TICKS + COUNTED_TICKS && window) {
        level_count = count(false);
        key[KEY_RIGHT] = key[config.settings.keypunch] = 0;
        input.close_requested = true;
    }
}

}  // namespace

int main()
{
    watched = false;
    static char arg0[] = "nwd", arg1[] = "-level", arg2[] = "1", arg3[] = "-nosound",
                arg4[] = "-nojoy";
    char* argv[] = {arg0, arg1, arg2, arg3, arg4, nullptr};
    if (!startup(5, argv)) {
        fprintf(stderr, "start-up failed\n");
        return 1;
    }
    ops = default_level_ops;
    ops.present = present_and_count;
    game.level_ops = &ops;
    run_game(nullptr, 0, 1, 1, 5, 0);
    game.level_ops = &default_level_ops;
    input.close_requested = false;
    if (level_count < 0) {
        fprintf(stderr, "the level ended before %u ticks\n", WARM_TICKS + COUNTED_TICKS);
        return 1;
    }
    report("level 1, 300 ticks", level_count);

    // A menu waiting for input: the banner's flames and the copy to the screen.
    for (int i = 0; i < WARM_POLLS; i++)
        menu_poll();
    count(true);
    for (int i = 0; i < COUNTED_POLLS; i++)
        menu_poll();
    menu_wait(200);
    long menu_count = count(false);
    report("menu wait, 200 polls", menu_count);

    shutdown_program();
    return level_count == 0 && menu_count == 0 ? 0 : 1;
}
