#include "gfx/display.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "engine/diag.h"
#include "shell/startup.h"

// Several rows share one X11 driver: the labels and short names stay so
// that configurations and command lines carry over between platforms, and
// the options menu says what each row is here. No row asks for the direct
// graphics extension: ordinary users cannot open it.
const GfxDriverDesc gfx_driver_table[GFX_DRIVER_COUNT] = {
    {"Window - Auto", "WIN", 1, GFX_AUTODETECT_WINDOWED, "Window - Auto"},
    {"Window - DirectX", "DW", 1, GFX_XWINDOWS, "Window - X11"},
    {"Window - GDI", "GDI", 1, GFX_XWINDOWS, "Window - X11"},
    {"Fullscreen - Auto", "FULL", 0, GFX_AUTODETECT_FULLSCREEN, "Fullscreen - Auto"},
    {"Fullscreen - DirectX", "DS", 0, GFX_XWINDOWS_FULLSCREEN, "Fullscreen - X11"},
    {"Fullscreen - DX Soft", "DX", 0, GFX_XWINDOWS_FULLSCREEN, "Fullscreen - X11"},
};

const ScreenSizeDesc screen_size_table[SCREEN_SIZE_COUNT] = {
    {-1, -1, "AUTO", 1, 1},         {320, 240, "320*240", 1, 1},  {640, 480, "640*480", 1, 1},
    {800, 600, "800*600", 1, 0},    {1024, 768, "1024*768", 1, 0}, {960, 720, "960*720", 0, 1},
};

BITMAP* back_buffer = nullptr;
DisplayFit display_fit = {0, 0, 0};
DirtyRows dirty_rows = {-1, 0};
int screenshot_counter = 0;

namespace {

GfxModeFn mode_fn = nullptr;

int call_set_gfx_mode(int card, int w, int h) {
    return mode_fn ? mode_fn(card, w, h, 0, 0) : set_gfx_mode(card, w, h, 0, 0);
}

int try_size(int driver, int w, int h) {
    if (call_set_gfx_mode(driver, w, h) != 0) return -1;
    fit_display();
    return 0;
}

// Copies picture rows first..first+n-1 to the screen, scaled and centred.
void copy_rows(int first, int n) {
    if (!back_buffer || !screen || n <= 0) return;
    const DisplayFit& f = display_fit;
    if (f.scale)
        stretch_blit(back_buffer, screen, 0, first, PICTURE_W, n, f.x_offset,
                     f.y_offset + first * f.scale, PICTURE_W * f.scale, n * f.scale);
    else
        blit(back_buffer, screen, 0, first, f.x_offset, f.y_offset + first, PICTURE_W, n);
}

}  // namespace

void display_set_mode_fn(GfxModeFn fn) { mode_fn = fn; }

DisplayFit compute_fit(int w, int h) {
    int scale = w / PICTURE_W < h / PICTURE_H ? w / PICTURE_W : h / PICTURE_H;
    if (scale <= 1) scale = 1;
    DisplayFit f;
    f.x_offset = (w - PICTURE_W * scale) / 2;
    f.y_offset = (h - PICTURE_H * scale) / 2;
    f.scale = scale == 1 ? 0 : scale;
    return f;
}

int set_display_mode(int driver, int width, int height, int windowed) {
    if (width != -1 && height != -1) return try_size(driver, width, height);
    if (windowed) {
        static const int sizes[][2] = {{960, 720}, {640, 480}, {320, 240}};
        for (const auto& s : sizes)
            if (try_size(driver, s[0], s[1]) == 0) return 0;
        return -1;
    }
    if (desktop_width != -1 && desktop_height != -1 &&
        try_size(driver, desktop_width, desktop_height) == 0)
        return 0;
    static const int sizes[][2] = {{320, 240}, {640, 480}, {800, 600}};
    for (const auto& s : sizes)
        if (try_size(driver, s[0], s[1]) == 0) return 0;
    return -1;
}

int open_display(int card, int width, int height) {
    if (card < 0 || card >= GFX_DRIVER_COUNT) card = 0;
    const GfxDriverDesc& d = gfx_driver_table[card];
    if (set_display_mode(d.driver, width, height, d.windowed) == 0) return card;
    if (card == 0 && width == -1 && height == -1) return -1;
    // A driver or size this machine refuses must not stop every start.
    diag("%s at %d x %d refused (%s): trying an automatic window\n", d.label, width, height,
         allegro_error);
    const GfxDriverDesc& w = gfx_driver_table[0];
    return set_display_mode(w.driver, -1, -1, w.windowed) == 0 ? 0 : -1;
}

void fit_display() {
    if (back_buffer) destroy_bitmap(back_buffer);
    back_buffer = create_bitmap_ex(8, PICTURE_W, PICTURE_H);
    display_fit = screen ? compute_fit(screen->w, screen->h) : DisplayFit{0, 0, 0};
}

void release_display() {
    if (back_buffer) destroy_bitmap(back_buffer);
    back_buffer = nullptr;
}

void present_all() {
    copy_rows(0, PICTURE_H);
    dirty_rows.first = -1;
}

void mark_dirty(int top, int bottom) {
    if (dirty_rows.first == -1) {
        dirty_rows.first = top;
        dirty_rows.last = bottom;
        return;
    }
    if (top < dirty_rows.first) dirty_rows.first = top;
    if (bottom > dirty_rows.last) dirty_rows.last = bottom;
}

void present_dirty() {
    if (dirty_rows.first == -1) return;
    // Callers may mark rows outside the picture; only 0..239 are copied.
    if (dirty_rows.last > PICTURE_H - 1) dirty_rows.last = PICTURE_H - 1;
    if (dirty_rows.first < 0) dirty_rows.first = 0;
    if (dirty_rows.first <= dirty_rows.last)
        copy_rows(dirty_rows.first, dirty_rows.last - dirty_rows.first + 1);
    dirty_rows.first = -1;
}

void wipe_in(void (*callback)()) {
    for (int s = 0; s < 32; s += 2) {
        display_wait_retrace();
        if (screen) acquire_bitmap(screen);
        for (int b = 0; b < PICTURE_H; b += 32) {
            dirty_rows.first = dirty_rows.last = s + b;
            present_dirty();
            dirty_rows.first = dirty_rows.last = (s + b + 15) % PICTURE_H;
            present_dirty();
        }
        if (screen) release_bitmap(screen);
        if (callback) callback();
    }
}

void screenshot_name(char* out, int size, int n) { std::snprintf(out, size, "nwd%.3d.bmp", n); }

void save_screenshot() {
    char name[32];
    do {
        if (screenshot_counter >= 999) return;
        screenshot_name(name, sizeof name, screenshot_counter++);
    } while (exists(name));
    if (!back_buffer) return;
    PALETTE pal;
    if (main_data)
        std::memcpy(pal, main_data[MAIN_PALETTE].dat, sizeof pal);
    else
        get_palette(pal);
    BITMAP* sub = create_sub_bitmap(back_buffer, 0, 0, PICTURE_W, PICTURE_H);
    if (sub) {
        save_bitmap(name, sub, pal);
        destroy_bitmap(sub);
    }
    clear_keybuf();
}

void clear_picture(BITMAP* bitmap) {
    if (bitmap) clear_bitmap(bitmap);
}

void display_wait_retrace() {
    using clock = std::chrono::steady_clock;
    static clock::time_point last = clock::now();
    int rate = get_refresh_rate();
    if (rate < 20 || rate > 500) rate = 60;
    const auto period = std::chrono::microseconds(1000000 / rate);
    // Sleep to the next period boundary after the one last returned, so a
    // loop draws at most once per display period without spinning a core.
    auto now = clock::now();
    auto next = last + period;
    if (next < now) next = now + (period - (now - last) % period);
    std::this_thread::sleep_until(next);
    last = next;
}
