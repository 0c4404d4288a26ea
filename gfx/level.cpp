#include "gfx/level.h"

#include <allegro.h>

#include <strings.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "datafile/datcheck.h"
#include "datafile/level_objects.h"
#include "engine/diag.h"
#include "gfx/display.h"
#include "gfx/hud.h"
#include "gfx/main_data.h"
#include "gfx/scene.h"
#include "gfx/state.h"
#include "nwd_datafile_key.h"

// clang-format off
constexpr LevelDesc level_catalogue[LEVEL_ROWS] = {
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level5", nullptr,       nullptr},
    {"lev1.bin", "lev1.pcx", "",            16, 255, 13, 32, 0,    0, 1, 1,   "level1", nullptr,       nullptr},
    {"lev2.bin", "lev2.pcx", "dif2.pcx",    16, 255, 13, 32, 111,  8, 1, 128, "level2", nullptr,       draw_parallax_band},
    {"lev3.bin", "lev3.pcx", "dif3.pcx",    16, 255, 13, 32, 128, 23, 1, 384, "level3", nullptr,       draw_parallax_band},
    {"lev4.bin", "lev4.pcx", "",            16, 255, 13, 32, 0,    0, 1, 1,   "level4", nullptr,       nullptr},
    {"lev5.bin", "lev5.pcx", "dif5.pcx",    16, 255, 13, 32, 208, 23, 7, 768, "level5", nullptr,       draw_parallax_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level1", type_captions, draw_van_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level2", type_captions, draw_van_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level3", type_captions, draw_van_band},
    {"van.bin",  "van.pcx",  "dif2.pcx",    16, 0,   7,  48, 111,  8, 1, 128, "level4", type_captions, draw_van_band},
    {"high.bin", "high.pcx", "",            16, 0,   11, 32, 0,    0, 1, 128, "level5", type_captions, nullptr},
    {"",         "",         "CREDITS.PCX", 16, 0,   13, 0,  111,  8, 1, 128, "ending", nullptr,       draw_credits},
};
// clang-format on

namespace {
constexpr bool same_text(const char* a, const char* b)
{
    return *a == *b && (*a == 0 || same_text(a + 1, b + 1));
}
constexpr bool rows_agree()
{
    for (int i = 0; i < LEVEL_ROWS; i++) {
        const LevelDesc& r = level_catalogue[i];
        const LevelObjects& o = level_objects[i];
        if (!same_text(r.map_name, o.map) || !same_text(r.tile_sheet_name, o.sheet) ||
            !same_text(r.band_height ? r.backdrop_name : "", o.backdrop))
            return false;
    }
    return true;
}
}  // namespace
static_assert(LEVEL_ROWS == LEVEL_OBJECT_ROWS && rows_agree(),
              "the catalogue and level_objects.h name the same objects");

namespace {

constexpr int SHEET_WIDTH = 640;  // tiles are numbered in rows of 640 pixels
constexpr int MAX_CELLS = 65535;
// Why the level cannot be played: one line in stderr.txt, kept for the
// screen as well.
void level_fail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void level_fail(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(gfx.level_error, sizeof gfx.level_error, fmt, ap);
    va_end(ap);
    diag("%s\n", gfx.level_error);
}

// data_dir + "LEVELS.DAT"; false (and a diagnostic) when it does not fit.
bool levels_path(const char* dir, char* out, size_t size)
{
    int n = snprintf(out, size, "%sLEVELS.DAT", dir ? dir : "");
    if (n < 0 || (size_t)n >= size) {
        level_fail("Unable to find LEVELS.DAT in %s", dir ? dir : "");
        return false;
    }
    return true;
}

void index_object(const DatObject& o, void*)
{
    LevelsIndex& x = gfx.levels_index;
    if (o.depth != 0 || x.count >= LEVELS_INDEX_SIZE)
        return;
    snprintf(x.objects[x.count].name, sizeof x.objects[x.count].name, "%s", o.name);
    x.objects[x.count++].type = o.type;
}

bool check_levels_file(const char* path)
{
    gfx.levels_index.count = 0;
    DatCheckReport report;
    int r = datcheck_file(path, DATAFILE_PASSWORD, index_object, nullptr, &report);
    gfx.levels_index.passed = r == DATCHECK_OK;
    if (r == DATCHECK_DAMAGED)  // a missing file needs no more than its "Unable to find"
        diag("%s: %s\n", path, report.message);
    return gfx.levels_index.passed;
}

// The type of the object `name` in the checked file, 0 when it is not there
// (the library compares names ignoring case).
uint32_t indexed_type(const char* name)
{
    for (int i = 0; gfx.levels_index.passed && i < gfx.levels_index.count; i++)
        if (strcasecmp(gfx.levels_index.objects[i].name, name) == 0)
            return gfx.levels_index.objects[i].type;
    return 0;
}

DATAFILE* load_level_object(const char* path, const char* name)
{
    if (!indexed_type(name))
        return nullptr;
    packfile_password(DATAFILE_PASSWORD);
    DATAFILE* obj = load_datafile_object(path, name);
    packfile_password(nullptr);
    return obj;
}

// A picture object usable as 8-bit pixels, or null after unloading it.
DATAFILE* load_picture(const char* path, const char* name)
{
    DATAFILE* obj = indexed_type(name) == DATCHECK_BITMAP ? load_level_object(path, name) : nullptr;
    if (obj &&
        (obj->type != DAT_BITMAP || !obj->dat || bitmap_color_depth((BITMAP*)obj->dat) != 8)) {
        unload_datafile_object(obj);
        obj = nullptr;
    }
    if (!obj)
        level_fail("Unable to find %s in %s", name, path);
    return obj;
}

// Objects the library turns into structures: their data are not the bytes
// of the file, so they can never serve as a map.
bool is_structured(int type)
{
    return type == DAT_BITMAP || type == DAT_RLE_SPRITE || type == DAT_C_SPRITE ||
           type == DAT_XC_SPRITE || type == DAT_FONT || type == DAT_SAMPLE || type == DAT_MIDI ||
           type == DAT_FILE;
}

}  // namespace

const char* level_error() { return gfx.level_error; }

const LevelDesc* level_desc(int level)
{
    return level >= 0 && level < LEVEL_ROWS ? &level_catalogue[level] : nullptr;
}

int build_band_strip(BITMAP* picture, int wrap)
{
    release_band_strip();
    if (!picture || wrap <= 0)
        return 0;
    gfx.band_strip = create_bitmap_ex(8, wrap + PICTURE_W, picture->h);
    if (!gfx.band_strip)
        return 0;
    // A picture narrower than the period would leave garbage between copies.
    clear_to_color(gfx.band_strip, 0);
    for (int x = 0; x < gfx.band_strip->w; x += wrap)
        blit(picture, gfx.band_strip, 0, 0, x, 0, picture->w, picture->h);
    return 1;
}

void release_band_strip()
{
    if (gfx.band_strip)
        destroy_bitmap(gfx.band_strip);
    gfx.band_strip = nullptr;
}

int load_level_map(const char* dir, const char* sheet_name, const char* map_name, int size)
{
    unload_level_map();
    gfx.level_map.tile_size = (int8_t)size;
    char path[1024];
    if (!levels_path(dir, path, sizeof path))
        return 0;

    DATAFILE* obj = check_levels_file(path) ? load_level_object(path, map_name) : nullptr;
    if (obj && (is_structured(obj->type) || (!obj->dat && obj->size > 0))) {
        unload_datafile_object(obj);
        obj = nullptr;
    }
    if (!obj) {
        level_fail("Unable to find %s in %s", map_name, path);
        return 0;
    }
    gfx.level_map.object = obj;
    gfx.level_map.cells = (const uint8_t*)obj->dat;
    long cells = obj->size / 2;
    gfx.level_map.length = (uint16_t)(cells > MAX_CELLS ? MAX_CELLS : cells);
    int32_t max_tile = 0;
    for (unsigned c = 0; c < gfx.level_map.length; c++) {
        unsigned t = map_cell(gfx.level_map, c);
        if ((int32_t)t > max_tile)
            max_tile = t;
    }

    RLE_SPRITE** tiles = new (std::nothrow) RLE_SPRITE*[max_tile + 1]();
    if (!tiles)
        return 0;
    gfx.level_map.tiles = tiles;
    gfx.level_map.max_tile = max_tile;

    if (size <= 0 || size > SHEET_WIDTH) {
        level_fail("Tile size %d of %s cannot cut %s", size, map_name, sheet_name);
        return 0;
    }
    DATAFILE* sheet_obj = load_picture(path, sheet_name);
    if (!sheet_obj)
        return 0;
    BITMAP* sheet = (BITMAP*)sheet_obj->dat;
    // Every tile the map uses must lie inside the sheet: refuse the map rather
    // than cut tiles from outside it.
    int per_row = SHEET_WIDTH / size;
    int last_col = max_tile < per_row - 1 ? max_tile : per_row - 1;
    if (size * (last_col + 1) > sheet->w || size * (max_tile / per_row + 1) > sheet->h) {
        level_fail("Unable to find tile %d of %s in %s (%s is %dx%d)", (int)max_tile, map_name,
                   path, sheet_name, sheet->w, sheet->h);
        unload_datafile_object(sheet_obj);
        return 0;
    }
    int ok = 1;
    for (int32_t t = 0; t <= max_tile && ok; t++) {
        BITMAP* sub =
            create_sub_bitmap(sheet, size * (t % per_row), size * (t / per_row), size, size);
        if (sub) {
            tiles[t] = get_rle_sprite(sub);
            destroy_bitmap(sub);
        }
        ok = tiles[t] != nullptr;
    }
    unload_datafile_object(sheet_obj);
    return ok;
}

void unload_level_map()
{
    if (gfx.level_map.tiles) {
        for (int32_t t = 0; t <= gfx.level_map.max_tile; t++)
            if (gfx.level_map.tiles[t])
                destroy_rle_sprite(gfx.level_map.tiles[t]);
        delete[] gfx.level_map.tiles;
    }
    if (gfx.level_map.object)
        unload_datafile_object(gfx.level_map.object);
    gfx.level_map.tiles = nullptr;
    gfx.level_map.object = nullptr;
    gfx.level_map.cells = nullptr;
    gfx.level_map.length = 0;
    gfx.level_map.max_tile = -1;
}

int load_level_graphics(int16_t level, const char* dir)
{
    const LevelDesc* r = level_desc(level);
    if (!r || !gfx.back_buffer) {
        level_fail("No level %d to draw", level);
        return 0;
    }
    char path[1024];
    if (!levels_path(dir, path, sizeof path))
        return 0;

    gfx.level_error[0] = 0;
    if (r->band_height != 0) {
        DATAFILE* pic = check_levels_file(path) ? load_picture(path, r->backdrop_name) : nullptr;
        if (!pic && !gfx.level_error[0])
            level_fail("Unable to find %s in %s", r->backdrop_name, path);
        if (!pic)
            return 0;
        int ok = build_band_strip((BITMAP*)pic->dat, r->band_wrap);
        unload_datafile_object(pic);
        if (!ok) {
            level_fail("Unable to build the background of level %d", level);
            return 0;
        }
    }

    clear_picture(gfx.back_buffer);
    mark_dirty(0, PICTURE_H - 1);

    if (r->map_name[0] && !load_level_map(dir, r->tile_sheet_name, r->map_name, r->tile_size))
        return 0;

    if (gfx.main_data && gfx.main_data[MAIN_PALETTE].type == DAT_PALETTE) {
        set_palette((RGB*)gfx.main_data[MAIN_PALETTE].dat);
        scene_use_palette((RGB*)gfx.main_data[MAIN_PALETTE].dat);
    } else {
        PALETTE pal;
        get_palette(pal);
        scene_use_palette(pal);
    }

    if (r->has_hud)
        draw_hud(gfx.back_buffer, 1, FULL_ENERGY, FULL_ENERGY, 0, 0, 0, 0, 0, 0, 0);
    else
        rectfill(gfx.back_buffer, 0, 0, PICTURE_W, PICTURE_H, 0);
    gfx.stage = {level, 0, false, 0};
    return 1;
}
