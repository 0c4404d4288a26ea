// The one 320x240 8-bit picture and its way to the display: modes, whole
// scaling, dirty rows, the reveal wipe and screenshots.
#pragma once

#include <allegro.h>

constexpr int PICTURE_W = 320;
constexpr int PICTURE_H = 240;

struct DisplayFit {
    int scale;  // 0 = plain copy, otherwise 2 or more
    int x_offset, y_offset;
};

struct DirtyRows {
    int first;  // -1 = nothing pending
    int last;   // inclusive
};

struct GfxDriverDesc {
    const char* label;       // shown in the options menu
    const char* short_name;  // accepted by -card
    int windowed;
    int driver;
    const char* platform_label;  // what the row opens on this platform
};

struct ScreenSizeDesc {
    int width, height;  // -1: chosen automatically
    const char* label;
    int fullscreen, windowed;  // offered for that kind of driver
};

constexpr int GFX_DRIVER_COUNT = 6;
constexpr int SCREEN_SIZE_COUNT = 6;
extern const GfxDriverDesc gfx_driver_table[GFX_DRIVER_COUNT];
extern const ScreenSizeDesc screen_size_table[SCREEN_SIZE_COUNT];

DisplayFit compute_fit(int screen_w, int screen_h);

int set_display_mode(int driver, int width, int height, int windowed);  // 0 ok, -1 failed
// Start-up's mode: row `card` of the driver table at width x height, else
// an automatic window. Returns the row to keep in the configuration, which
// is `card` even when the window runs instead: a refusal at one start must
// not lose the player's choice for every later one. -1 when neither opens.
int open_display(int card, int width, int height);
// When the X display goes away, `hook` runs on the main thread (it may only
// write files) and the process ends with status 1 without going back into
// the libraries, whose locks the dying call holds. Call from the main
// thread, which it takes as the one that owns what `hook` saves.
void display_on_loss(void (*hook)());
// Around the main thread's calls that may reach the X server (they nest):
// a loss flagged before is acted on at the entry; one flagged while inside
// lets the X thread save, and the main thread never comes back.
void display_enter_library();
void display_leave_library();
// Acts on a loss flagged by another thread; returns when there was none.
void display_check_lost();
// The handler the X library is given (for tests that play the X thread).
using DisplayLossHandler = int (*)(struct _XDisplay*);
DisplayLossHandler display_loss_handler();
struct DisplayCall {
    DisplayCall() { display_enter_library(); }
    ~DisplayCall() { display_leave_library(); }
    DisplayCall(const DisplayCall&) = delete;
    DisplayCall& operator=(const DisplayCall&) = delete;
};
void fit_display();
void release_display();
void present_all();
void mark_dirty(int top, int bottom);
void present_dirty();
void wipe_in(void (*callback)());
void save_screenshot();
void clear_picture(BITMAP* bitmap);

// Waits for the next display period by sleeping (vsync spins under X11).
// Call once per drawn frame instead of vsync.
void display_wait_retrace();

// Test hooks: replace set_gfx_mode, and the copy to the screen.
using GfxModeFn = int (*)(int card, int w, int h, int v_w, int v_h);
void display_set_mode_fn(GfxModeFn fn);  // null restores set_gfx_mode
// The file name of screenshot n, "nwd%.3d.bmp".
void screenshot_name(char* out, int size, int n);
