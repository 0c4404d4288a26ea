#include "gfx/main_data.h"

#include <cstdint>
#include <cstdlib>

#include "datafile/datcheck.h"
#include "engine/diag.h"
#include "gfx/state.h"
#include "nwd_datafile_key.h"

namespace {

struct Recolour {
    uint8_t row, from, to;
};

constexpr Recolour RECOLOURS[] = {
    {1, 1, 38},   {1, 2, 41},    {1, 10, 95},   {1, 13, 80},   {1, 14, 81},   {1, 38, 1},
    {1, 40, 62},  {1, 41, 2},    {1, 46, 44},   {1, 47, 43},   {1, 48, 42},   {1, 49, 172},
    {1, 50, 171}, {1, 51, 173},  {1, 55, 78},   {1, 56, 75},   {1, 57, 76},   {1, 62, 40},
    {1, 75, 56},  {1, 76, 57},   {1, 78, 55},   {2, 75, 111},  {2, 76, 11},   {2, 78, 1},
    {2, 123, 82}, {2, 124, 126}, {2, 125, 99},  {3, 75, 49},   {3, 76, 51},   {3, 78, 50},
    {4, 38, 59},  {4, 41, 120},  {4, 116, 119}, {4, 117, 121}, {4, 118, 122},
};
static_assert(sizeof RECOLOURS / sizeof RECOLOURS[0] == 35, "35 recoloured entries");

int datafile_count(const DATAFILE* d)
{
    int n = 0;
    while (d[n].type != DAT_END)
        n++;
    return n;
}

}  // namespace

bool main_data_load(const char* path)
{
    DatCheckReport report;
    if (datcheck_file(path, DATAFILE_PASSWORD, nullptr, nullptr, &report) == DATCHECK_OK) {
        packfile_password(DATAFILE_PASSWORD);
        gfx.main_data = load_datafile(path);
        packfile_password(nullptr);
    } else {
        diag("%s: %s\n", path, report.message);
    }
    if (gfx.main_data && !main_data_complete(gfx.main_data)) {
        diag("%s: no palette at %d or no pictures at %d..%d\n", path, MAIN_PALETTE,
             FIRST_HOTSPOT_OBJECT, LAST_HOTSPOT_OBJECT);
        unload_datafile(gfx.main_data);
        gfx.main_data = nullptr;
    }
    return gfx.main_data != nullptr;
}

bool main_data_complete(const DATAFILE* data)
{
    if (datafile_count(data) <= LAST_HOTSPOT_OBJECT)
        return false;
    if (data[MAIN_PALETTE].type != DAT_PALETTE)
        return false;
    for (int i = FIRST_HOTSPOT_OBJECT; i <= LAST_HOTSPOT_OBJECT; i++)
        if (data[i].type != DAT_BITMAP)
            return false;
    return true;
}

void build_recolour_table(COLOR_MAP* map)
{
    for (int r = 0; r < PAL_SIZE; r++)
        for (int k = 0; k < PAL_SIZE; k++)
            map->data[r][k] = static_cast<unsigned char>(k);
    for (const Recolour& c : RECOLOURS)
        map->data[c.row][c.from] = c.to;
}

void apply_hot_spots(DATAFILE* data)
{
    for (int i = FIRST_HOTSPOT_OBJECT; i <= LAST_HOTSPOT_OBJECT; i++) {
        BITMAP* bmp = static_cast<BITMAP*>(data[i].dat);
        bmp->x_ofs = std::atoi(get_datafile_property(&data[i], DAT_ID('X', 'H', 'O', 'T')));
        bmp->y_ofs = std::atoi(get_datafile_property(&data[i], DAT_ID('Y', 'H', 'O', 'T')));
    }
}
