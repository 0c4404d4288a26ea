#include "tests/modding/modding_fixture.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <list>

namespace modtest {

std::string scratch()
{  // gone when the tests end, with the copies of data/ made in them
    static std::list<testfiles::Scratch> made;
    return made.emplace_back().dir;
}

std::string copy_data(const std::string& dir)
{
    std::string data = dir + "/data";
    std::system(("cp -r " NWD_SOURCE_DIR "/data " + dir + " && rm -rf " + data + "/mods").c_str());
    return data;
}

std::string tool(const char* name) { return std::string(NWD_BUILD_DIR) + "/" + name; }

bool read_png(const std::string& path, Picture& p)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGBA;
    p.w = (int)img.width;
    p.h = (int)img.height;
    p.rgba.resize(PNG_IMAGE_SIZE(img));
    return png_image_finish_read(&img, nullptr, p.rgba.data(), 0, nullptr) != 0;
}

bool write_png(const std::string& path, const Picture& p)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = p.w;
    img.height = p.h;
    img.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&img, path.c_str(), 0, p.rgba.data(), 0, nullptr) != 0;
}

bool write_png_indexed(const std::string& path, int w, int h, const std::vector<uint8_t>& index,
                       const RGB* pal)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = w;
    img.height = h;
    img.format = PNG_FORMAT_RGB_COLORMAP;
    img.colormap_entries = 256;
    uint8_t map[256 * 3];
    for (int i = 0; i < 256; ++i) {
        map[3 * i] = pal[i].r * 255 / 63;
        map[3 * i + 1] = pal[i].g * 255 / 63;
        map[3 * i + 2] = pal[i].b * 255 / 63;
    }
    return png_image_write_to_file(&img, path.c_str(), 0, index.data(), 0, map) != 0;
}

DATAFILE* load_dat(const std::string& path)
{
    datatest::start_allegro();
    packfile_password(datatest::kPassword);
    DATAFILE* d = load_datafile(path.c_str());
    packfile_password(nullptr);
    return d;
}

const RGB* game_palette()
{
    DATAFILE* d = datatest::main_datafile();
    return d ? (const RGB*)d[23].dat : nullptr;
}

bool shows(const RGB* pal, int c, const uint8_t* px)
{
    return pal[c].r == px[0] >> 2 && pal[c].g == px[1] >> 2 && pal[c].b == px[2] >> 2;
}

int colour_distance(const RGB* pal, int c, const uint8_t* px)
{
    int v[3] = {pal[c].r, pal[c].g, pal[c].b}, d = 0;
    for (int k = 0; k < 3; ++k)
        d = std::max(d, std::abs(v[k] * 255 / 63 - px[k]));
    return d;
}

}  // namespace modtest
