#include "gfx_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"
#include "game/session.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "shell/startup.h"

std::string GfxTest::levels_dir, GfxTest::missing_dir;
uint16_t started_clock_rate;

namespace {

DATAFILE fake_main[600];
PALETTE fake_palette;
COLOR_MAP fake_map;

BITMAP* solid(int w, int h, int colour)
{
    BITMAP* b = create_bitmap_ex(8, w, h);
    clear_to_color(b, colour);
    return b;
}

void put(int index, int type, void* dat)
{
    fake_main[index].type = type;
    fake_main[index].dat = dat;
}

void build_main_data()
{
    for (int i = 0; i < 599; i++)
        put(i, DAT_DATA, nullptr);
    put(599, DAT_END, nullptr);
    put(0, DAT_BITMAP, solid(320, 32, 5));     // HUD background
    put(1, DAT_BITMAP, solid(1, 7, 40));       // energy column
    put(2, DAT_BITMAP, solid(1, 7, 41));       // second bar column
    put(3, DAT_BITMAP, solid(8, 16, 42));      // life
    for (int i = 8; i <= 15; i++)
        put(i, DAT_BITMAP, solid(30, 16, 200 + i));  // item icons
    put(9, DAT_BITMAP, solid(6, 2, 209));
    for (int f : {16, 18, 21, 22})
        put(f, DAT_FONT, font);
    put(23, DAT_PALETTE, fake_palette);
    BITMAP* a = solid(40, 20, 100);
    a->x_ofs = 10;
    a->y_ofs = 20;
    put(SPRITE_A, DAT_BITMAP, a);
    put(SPRITE_B, DAT_BITMAP, solid(8, 8, 101));
    put(SPRITE_WIDE, DAT_BITMAP, solid(130, 4, 102));
    put(30, DAT_BITMAP, solid(8, 8, 103));
    put(31, DAT_DATA, nullptr);  // a frame that is no picture
    for (int i = 308; i <= 313; i++)
        put(i, DAT_BITMAP, solid(9, 9, i - 200));
    put(557, DAT_BITMAP, solid(8, 8, 104));
    main_data = fake_main;
}

void save8(BITMAP* b, const std::string& path)
{
    PALETTE pal;
    for (int i = 0; i < 256; i++)
        pal[i].r = pal[i].g = pal[i].b = i / 4;
    ASSERT_EQ(save_pcx(path.c_str(), b, pal), 0) << path;
    destroy_bitmap(b);
}

// Picture whose colour at x is 1 + x % 250: a blit's offset can be read back.
BITMAP* ramp(int w, int h)
{
    BITMAP* b = create_bitmap_ex(8, w, h);
    for (int x = 0; x < w; x++)
        vline(b, x, 0, h - 1, 1 + x % 250);
    return b;
}

void save_map(const std::string& path, const std::vector<uint16_t>& cells, bool odd = false)
{
    FILE* f = fopen(path.c_str(), "wb");
    for (uint16_t c : cells) {
        fputc(c & 0xFF, f);
        fputc(c >> 8, f);
    }
    if (odd)
        fputc(0x7F, f);
    fclose(f);
}

void run(const std::string& cmd)
{
    ASSERT_EQ(system((cmd + " >/dev/null").c_str()), 0) << cmd;
}

// Tiles: 80 per sheet (640x32), each a square of colour 10 + t. Maps:
// lev1 has tile c % 42 in column c; lev2 has 1456 cells of tile 1 and a
// foreground of tile 50; lev4 is 2913 bytes; big needs tile 80.
std::string build_levels(const std::string& dir, bool with_dif3)
{
    mkdir(dir.c_str(), 0700);
    BITMAP* sheet = create_bitmap_ex(8, 640, 32);
    for (int t = 0; t < 80; t++)
        rectfill(sheet, 16 * (t % 40), 16 * (t / 40), 16 * (t % 40) + 15, 16 * (t / 40) + 15,
                 tile_colour(t));
    const char* sheets[] = {"lev1.pcx", "lev2.pcx", "lev3.pcx", "lev4.pcx",
                            "lev5.pcx", "van.pcx",  "high.pcx"};
    for (const char* s : sheets) {
        BITMAP* copy = create_bitmap_ex(8, 640, 32);
        blit(sheet, copy, 0, 0, 0, 0, 640, 32);
        save8(copy, dir + s);
    }
    destroy_bitmap(sheet);
    save8(ramp(128, 111), dir + "dif2.pcx");
    if (with_dif3)
        save8(ramp(384, 128), dir + "dif3.pcx");
    save8(ramp(768, 208), dir + "dif5.pcx");
    save8(ramp(256, 240), dir + "CREDITS.PCX");

    std::vector<uint16_t> lev1(13 * 45), lev2(1456, 1), small(13 * 4, 2), van(7 * 30, 3);
    for (size_t k = 0; k < lev1.size(); k++)
        lev1[k] = (k / 13) % 42;
    for (int k = 0; k < 7 * 22; k++)
        lev2.push_back(50);
    save_map(dir + "lev1.bin", lev1);
    save_map(dir + "lev2.bin", lev2);
    save_map(dir + "lev3.bin", small);
    save_map(dir + "lev4.bin", std::vector<uint16_t>(1456, 4), true);
    save_map(dir + "lev5.bin", small);
    save_map(dir + "van.bin", van);
    save_map(dir + "high.bin", std::vector<uint16_t>(11 * 21, 5));
    save_map(dir + "big.bin", {0, 80});

    std::string dat = std::string(NWD_DAT_TOOL) + " -k -007 'k3 Rw;t#' " + dir + "LEVELS.DAT";
    run(dat + " -a -t DATA " + dir + "*.bin");
    run(dat + " -a -bpp 8 -t BMP " + dir + "*.pcx " + dir + "*.PCX");
    return dir;
}

}  // namespace

void GfxTest::SetUp()
{
    static bool ready = false;
    if (!ready) {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        set_color_depth(8);
        back_buffer = create_bitmap_ex(8, 320, 240);
        scratch_bitmap = create_bitmap_ex(8, 128, 128);
        for (int r = 0; r < 256; r++)
            for (int c = 0; c < 256; c++)
                fake_map.data[r][c] = (r == 1 && c == LIT_FROM) ? LIT_TO : c;
        color_map = &fake_map;
        // No timer driver without a system: the clock's rate is all we check.
        level_start_clock = [](uint16_t rate) { started_clock_rate = rate; };
        build_main_data();
        static char root[] = "/tmp/nwd-gfx-XXXXXX";
        ASSERT_NE(mkdtemp(root), nullptr);
        atexit([] { system((std::string("rm -rf ") + root).c_str()); });
        levels_dir = build_levels(std::string(root) + "/full/", true);
        missing_dir = build_levels(std::string(root) + "/missing/", false);
        ready = true;
    }
    clear_to_color(back_buffer, 0);
    set_clip_rect(back_buffer, 0, 0, 319, 239);
    dirty_rows = {-1, 0};
    actor_table_reset();
    static int16_t idle[1] = {0};
    for (int i = 0; i < 15; i++)
        program_table[i] = {idle, 1};
    program_count = 15;
    for (int16_t& g : amc_globals)
        g = 0;
    current_game = CurrentGame{};
    data_dir = levels_dir.c_str();
}

void GfxTest::TearDown()
{
    diag_set_sink(nullptr, nullptr);
    unload_level_map();
    release_band_strip();
}

void GfxTest::capture_diag()
{
    diag_set_sink([](const char* t, size_t n, void* u) { ((std::string*)u)->append(t, n); },
                  &diagnostics);
}

int pixel(int x, int y)
{
    return getpixel(back_buffer, x, y);
}

int count_colour(int c, int x1, int y1, int x2, int y2)
{
    int n = 0;
    for (int y = y1; y <= y2; y++)
        for (int x = x1; x <= x2; x++)
            n += getpixel(back_buffer, x, y) == c;
    return n;
}

void set_actor(int slot, int frame, int x, int y, int sort_key)
{
    // Slots are handed out in rising order from a fresh table.
    while (actor_table.slots[0].regs[REG_PREV] < slot)
        ASSERT_GT(actor_spawn(0), 0);
    int16_t* r = actor_table.slots[slot].regs;
    r[REG_FRAME] = (int16_t)frame;
    r[REG_X] = (int16_t)x;
    r[REG_Y] = (int16_t)y;
    r[REG_SORT_KEY] = (int16_t)sort_key;
}
