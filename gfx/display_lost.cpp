// The end of the run when the X display goes away under it.
//
// The X library reports the loss from inside whichever call found the
// connection dead, with its locks held, often on the library's own X
// thread. That thread only flags the loss: the main thread, which owns the
// settings, the scores and the demo being recorded, saves them at its next
// call into the display and ends the process. A main thread that is inside
// such a call is waiting for the locks the dying call holds and touches
// nothing else, so then the X thread saves for it.
#include <X11/Xlib.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include "gfx/display.h"
#include "gfx/state.h"

namespace {

enum MainState { MAIN_RUNNING, MAIN_IN_LIBRARY, SAVER_CHOSEN };
static_assert(MAIN_RUNNING == 0, "the state record starts with the main thread running");

// How long the X thread waits for the main thread to come by before it
// takes it to be stuck in a call it does not know of, and saves itself.
constexpr int MAIN_WAIT_MS = 2000;

[[noreturn]] void park()
{
    for (;;)
        pause();
}

// Exactly one thread saves; any other waits for it to end the process.
[[noreturn]] void save_and_end()
{
    if (gfx.saver_taken.exchange(true))
        park();
    if (gfx.loss_hook)
        gfx.loss_hook();
    _exit(1);
}

// The library's own exit handler would wait for the held locks for ever,
// so this never returns.
int on_io_error(Display*)
{
    gfx.lost.store(true);
    if (pthread_equal(pthread_self(), gfx.main_thread))
        save_and_end();
    for (int waited = 0; waited < MAIN_WAIT_MS; waited++) {
        int expected = MAIN_IN_LIBRARY;
        if (gfx.main_state.compare_exchange_strong(expected, SAVER_CHOSEN))
            save_and_end();
        if (expected == SAVER_CHOSEN)  // the main thread is saving
            park();
        usleep(1000);
    }
    int expected = MAIN_RUNNING;
    if (!gfx.main_state.compare_exchange_strong(expected, SAVER_CHOSEN) && expected == SAVER_CHOSEN)
        park();
    save_and_end();
}

}  // namespace

void display_on_loss(void (*hook)())
{
    gfx.main_thread = pthread_self();
    gfx.loss_hook = hook;
    XSetIOErrorHandler(on_io_error);
}

void display_enter_library()
{
    if (gfx.library_depth++ > 0)
        return;
    if (gfx.lost.load()) {
        int expected = MAIN_RUNNING;
        if (!gfx.main_state.compare_exchange_strong(expected, SAVER_CHOSEN))
            park();
        save_and_end();
    }
    gfx.main_state.store(MAIN_IN_LIBRARY);
}

void display_leave_library()
{
    if (--gfx.library_depth > 0)
        return;
    int expected = MAIN_IN_LIBRARY;
    // The X thread saves while this thread waits in the library: it must
    // not come back to the state being saved.
    if (!gfx.main_state.compare_exchange_strong(expected, MAIN_RUNNING))
        park();
    if (gfx.lost.load())
        display_check_lost();
}

void display_check_lost()
{
    if (!gfx.lost.load())
        return;
    int expected = MAIN_RUNNING;
    if (!gfx.main_state.compare_exchange_strong(expected, SAVER_CHOSEN))
        park();
    save_and_end();
}

DisplayLossHandler display_loss_handler() { return on_io_error; }
