#include "gfx_fixture.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "config/state.h"
#include "engine/actor.h"
#include "engine/amc.h"
#include "engine/amc_vm.h"
#include "engine/diag.h"
#include "fileio/byteorder.h"
#include "game/level_loop.h"
#include "game/session.h"
#include "game/state.h"
#include "gfx/display.h"
#include "gfx/level.h"
#include "gfx/main_data.h"
#include "gfx/state.h"
#include "nwd_datafile_key.h"

std::string GfxTest::levels_dir;
uint16_t started_clock_rate;

namespace {

DATAFILE fake_main[600];
COLOR_MAP fake_map;
PALETTE palette;

void no_rest(unsigned) {}
void no_draw(int) {}
void nothing() {}
const LevelLoopOps CLOCK_RATE_OPS = {no_rest, no_draw, nothing,
                                     [](uint16_t rate) { started_clock_rate = rate; }, nothing};

BITMAP* solid(int w, int h, int colour)
{
    BITMAP* b = create_bitmap_ex(8, w, h);
    clear_to_color(b, colour);
    return b;
}

void build_main_data()
{
    for (auto& o : fake_main)
        o = {nullptr, DAT_DATA, 0, nullptr};
    fake_main[599].type = DAT_END;
    auto put = [](int i, BITMAP* b) { fake_main[i] = {b, DAT_BITMAP, 0, nullptr}; };
    put(0, solid(320, 32, 5));  // HUD background
    put(1, solid(1, 7, 40));    // bar columns
    put(2, solid(1, 7, 41));
    put(3, solid(8, 16, 42));           // life
    BITMAP* modes = solid(48, 24, 71);  // mode labels: 71 ARCADE, 72 SURVIVAL, 73 VAMPIRE
    rectfill(modes, 0, 8, 47, 15, 72);
    rectfill(modes, 0, 16, 47, 23, 73);
    put(4, modes);
    put(5, solid(1, 7, 43));  // the draining tip of the energy bar
    for (int i = 8; i <= 15; i++)
        put(i, solid(30, 16, 200 + i));
    put(9, solid(6, 2, 209));  // gauge segment
    for (int f : {16, 18, 19, 21, 22})
        fake_main[f] = {font, DAT_FONT, 0, nullptr};
    fake_main[23] = {palette, DAT_PALETTE, 0, nullptr};
    put(SPRITE_A, solid(40, 20, 100));
    ((BITMAP*)fake_main[SPRITE_A].dat)->x_ofs = 10;
    ((BITMAP*)fake_main[SPRITE_A].dat)->y_ofs = 20;
    put(SPRITE_B, solid(8, 8, 101));
    for (int i = 308; i <= 313; i++)
        put(i, solid(9, 9, i - 200));
    put(557, solid(8, 8, 104));
}

void write_file(const std::string& path, const std::vector<uint16_t>& cells, bool odd = false)
{
    FILE* f = fopen(path.c_str(), "wb");
    std::vector<uint8_t> bytes(2 * cells.size());
    for (size_t i = 0; i < cells.size(); i++)
        put_le16(&bytes[2 * i], cells[i]);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fwrite("\x7F", 1, odd, f);
    fclose(f);
}

// Sheets of 80 tiles (640x32); backgrounds whose colour at x is 1 + x % 250.
// lev1 has tile c % 42 in column c; lev2 1456 cells of tile 1 then a
// foreground of tile 50; lev4 is 2913 bytes; big needs tile 80.
void build_levels(const std::string& dir)
{
    BITMAP* sheet = create_bitmap_ex(8, 640, 32);
    for (int t = 0; t < 80; t++)
        rectfill(sheet, t % 40 * 16, t / 40 * 16, t % 40 * 16 + 15, t / 40 * 16 + 15, 10 + t);
    for (const char* s : {"lev1", "lev2", "lev3", "lev4", "lev5", "van", "high"})
        save_pcx((dir + s + ".pcx").c_str(), sheet, palette);
    destroy_bitmap(sheet);
    for (int w : {128, 768, 256}) {
        BITMAP* b = create_bitmap_ex(8, w, w == 128 ? 111 : w == 768 ? 208 : 240);
        for (int x = 0; x < w; x++)
            vline(b, x, 0, b->h - 1, 1 + x % 250);
        save_pcx((dir + (w == 128   ? "dif2.pcx"
                         : w == 768 ? "dif5.pcx"
                                    : "CREDITS.PCX"))
                     .c_str(),
                 b, palette);
        destroy_bitmap(b);
    }
    std::vector<uint16_t> lev1(13 * 45), lev2(1456, 1), small(13 * 4, 2);
    for (size_t k = 0; k < lev1.size(); k++)
        lev1[k] = (k / 13) % 42;
    lev2.resize(1456 + 7 * 22, 50);
    write_file(dir + "lev1.bin", lev1);
    write_file(dir + "lev2.bin", lev2);
    write_file(dir + "lev4.bin", std::vector<uint16_t>(1456, 4), true);
    write_file(dir + "van.bin", std::vector<uint16_t>(7 * 30, 3));
    for (const char* s : {"lev3.bin", "lev5.bin", "high.bin"})
        write_file(dir + s, small);
    write_file(dir + "big.bin", {0, 80});
    std::string dat = std::string(NWD_DAT_TOOL) + " -k -007 '" + DATAFILE_PASSWORD + "' LEVELS.DAT";
    for (std::string add : {" -a -t DATA *.bin", " -a -bpp 8 -t BMP *.pcx *.PCX"})
        ASSERT_EQ(system(("cd " + dir + " && " + dat + add + " >/dev/null").c_str()), 0);
}

}  // namespace

void GfxTest::SetUp()
{
    static char root[] = "/tmp/nwd-gfx-XXXXXX";
    static BITMAP *picture, *scratch;
    if (!picture) {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        picture = create_bitmap_ex(8, 320, 240);
        scratch = create_bitmap_ex(8, 128, 128);
        for (int r = 0; r < 256; r++)
            for (int c = 0; c < 256; c++)
                fake_map.data[r][c] = (r == 1 && c == LIT_FROM) ? LIT_TO : c;
        color_map = &fake_map;
        build_main_data();
        ASSERT_NE(mkdtemp(root), nullptr);
        atexit([] { system((std::string("rm -rf ") + root).c_str()); });
        levels_dir = std::string(root) + "/";
        build_levels(levels_dir);
    }
    gfx_state_reset();
    gfx.back_buffer = picture;
    gfx.scratch_bitmap = scratch;
    gfx.main_data = fake_main;
    clear_to_color(gfx.back_buffer, 0);
    actor_table_reset();
    static int16_t idle[1] = {0};
    for (int i = 0; i <= PROGRAM_DIRECTOR; i++)
        program_table[i] = {idle, 1};
    program_count = PROGRAM_DIRECTOR + 1;
    game_state_reset();
    config_state_reset();
    config.data_dir = levels_dir.c_str();
    // No timer driver without a system: the clock's rate is all we check.
    game.level_ops = &CLOCK_RATE_OPS;
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

int pixel(int x, int y) { return getpixel(gfx.back_buffer, x, y); }

int count_colour(int c, int x1, int y1, int x2, int y2)
{
    int n = 0;
    for (int y = y1; y <= y2; y++)
        for (int x = x1; x <= x2; x++)
            n += getpixel(gfx.back_buffer, x, y) == c;
    return n;
}

void set_actor(int slot, int frame, int x, int y, int sort_key)
{
    while (actor_table.slots[0].regs[REG_PREV] < slot)
        ASSERT_GT(actor_spawn(0), 0);
    int16_t* r = actor_table.slots[slot].regs;
    r[REG_FRAME] = (int16_t)frame;
    r[REG_X] = (int16_t)x;
    r[REG_Y] = (int16_t)y;
    r[REG_SORT_KEY] = (int16_t)sort_key;
}
