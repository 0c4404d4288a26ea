// data/mods/: which drawn material a modder gave, its settings, and the
// sprites and pictures of the main datafile and the level backgrounds that it
// replaces. The level maps themselves are cut in levels.cpp.
#include <dirent.h>
#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/diag.h"
#include "tools/gfxgen/mods.h"

namespace gg {

namespace {

// A picture of sprites/ or pictures/ and what its settings file says.
struct ModPicture {
    std::string png, settings;
    std::string name;  // as the file spells it
    bool has_hot = false;
    int hx = 0, hy = 0;
    int hot_line = 0;
    Matching match;
    bool recolour = false;  // drawn for the gang schemes: inexact colours may land on them
    bool used = false;
};

std::string mods_dir;
std::map<std::string, ModPicture> pictures;  // by lower-case name
std::map<std::string, LevelMod> level_mods;

const char* const kBackdrops[] = {"dif2", "dif3", "dif5", "credits"};
const char* const kGameLevels[] = {"lev1", "lev2", "lev3", "lev4", "lev5", "high", "van"};
// The fighters that scripts draw in the four gang colour schemes.
const char* const kGangSets[] = {"thug_", "kicker_", "knifer_", "heavy_", "thrower_"};

std::string lower(std::string s)
{
    for (char& c : s)
        c = (char)std::tolower((unsigned char)c);
    return s;
}

bool ends_with(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool one_of(const std::string& s, const char* const* list, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (s == list[i])
            return true;
    return false;
}

bool is_backdrop(const std::string& name) { return one_of(name, kBackdrops, 4); }

// The folder's files in name order, so every build takes them alike; a
// missing folder has none. Hidden files and READMEs are the modder's notes.
std::vector<std::string> list_folder(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n[0] == '.' || lower(n).compare(0, 6, "readme") == 0)
                continue;
            names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// "hotspot X Y", "key R G B" or "key none", "recolour"; # starts a comment.
bool read_settings(ModPicture& p)
{
    std::ifstream in(p.settings);
    if (!in) {
        diag("%s: cannot read: %s\n", p.settings.c_str(), std::strerror(errno));
        return false;
    }
    std::string line;
    for (int ln = 1; std::getline(in, line); ++ln) {
        std::istringstream in_line(line.substr(0, line.find('#')));
        std::vector<std::string> w;
        for (std::string s; in_line >> s;)
            w.push_back(s);
        if (w.empty())
            continue;
        // Whole numbers within [lo, hi] from w[1] on.
        auto numbers = [&](int* v, size_t n, int lo, int hi) {
            if (w.size() != n + 1)
                return false;
            for (size_t i = 0; i < n; ++i) {
                char* end;
                long x = std::strtol(w[i + 1].c_str(), &end, 10);
                if (*end || end == w[i + 1].c_str() || x < lo || x > hi)
                    return false;
                v[i] = (int)x;
            }
            return true;
        };
        bool ok = false;
        if (w[0] == "hotspot") {
            int hot[2] = {0, 0};
            ok = numbers(hot, 2, -999, 999);
            p.has_hot = true;
            p.hx = hot[0];
            p.hy = hot[1];
            p.hot_line = ln;
        } else if (w[0] == "key" && w.size() == 2 && w[1] == "none") {
            p.match.key_on = false;
            ok = true;
        } else if (w[0] == "key") {
            ok = numbers(p.match.key, 3, 0, 255);
        } else if (w[0] == "recolour") {
            p.recolour = ok = w.size() == 1;
        }
        if (!ok) {
            diag("%s:%d: expected \"hotspot X Y\", \"key R G B\", \"key none\" or \"recolour\"\n",
                 p.settings.c_str(), ln);
            return false;
        }
    }
    return true;
}

// Pictures of sprites/ and pictures/ with their settings files: the level
// run takes the backgrounds, which only pictures/ holds (so that a new
// sprite draws no level again), the main run all the others, so each
// problem is told once.
bool scan_pictures(const char* folder, bool backdrops)
{
    std::string dir = mods_dir + "/" + folder;
    std::map<std::string, std::string> settings;
    for (const std::string& n : list_folder(dir)) {
        std::string l = lower(n), path = dir + "/" + n;
        bool txt = ends_with(l, ".txt"), png = ends_with(l, ".png");
        std::string key = l.substr(0, l.size() - ((txt || png) ? 4 : 0));
        if (is_backdrop(key) && !std::strcmp(folder, "sprites")) {
            diag("%s: %s is a background picture: it belongs in pictures/\n", path.c_str(),
                 key.c_str());
            return false;
        }
        if (is_backdrop(key) != backdrops)
            continue;
        if (txt) {
            settings[key] = path;
        } else if (!png) {
            diag("%s: not a PNG picture (NAME.png) or a picture's settings (NAME.txt)\n",
                 path.c_str());
            return false;
        } else if (pictures.count(key)) {
            diag("%s: %s gives the same picture already\n", path.c_str(),
                 pictures[key].png.c_str());
            return false;
        } else {
            pictures[key].png = path;
            pictures[key].name = n.substr(0, n.size() - 4);
        }
    }
    for (auto& [key, path] : settings) {
        auto it = pictures.find(key);
        if (it == pictures.end() || it->second.png.compare(0, dir.size() + 1, dir + "/") != 0) {
            diag("%s: settings for %s.png, which is not in this folder\n", path.c_str(),
                 key.c_str());
            return false;
        }
        it->second.settings = path;
        if (!read_settings(it->second))
            return false;
    }
    return true;
}

// A tile map starts with "tile C N" lines or "map"; a street source with "size".
bool is_tile_map(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string w;
        if (!(words >> w) || w[0] == '#')
            continue;
        return w == "tile" || w == "map";
    }
    return false;
}

bool scan_levels()
{
    std::string dir = mods_dir + "/levels";
    for (const std::string& n : list_folder(dir)) {
        std::string l = lower(n), path = dir + "/" + n, name;
        std::string LevelMod::*slot = nullptr;
        for (auto [tail, field] : {std::pair{"-front.png", &LevelMod::front},
                                   {"-tiles.png", &LevelMod::tiles},
                                   {".png", &LevelMod::picture},
                                   {".txt", &LevelMod::source}})
            if (!slot && ends_with(l, tail)) {
                slot = field;
                name = l.substr(0, l.size() - std::strlen(tail));
            }
        if (!slot) {
            diag("%s: not a level map (NAME.txt, NAME.png, NAME-front.png or NAME-tiles.png)\n",
                 path.c_str());
            return false;
        }
        // The game looks maps up by names of at most 12 characters ("name.bin").
        if (name.empty() || name.size() > 8 ||
            name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos) {
            diag("%s: a map's name is 1 to 8 letters, digits or _\n", path.c_str());
            return false;
        }
        if (is_backdrop(name)) {
            diag("%s: %s is a background picture: it belongs in pictures/\n", path.c_str(),
                 name.c_str());
            return false;
        }
        LevelMod& m = level_mods[name];
        if (!(m.*slot).empty()) {
            diag("%s: %s gives the same map again\n", path.c_str(), (m.*slot).c_str());
            return false;
        }
        m.*slot = path;
    }
    for (auto& [name, m] : level_mods) {
        bool known = one_of(name, kGameLevels, 7);
        m.tile_map = !m.source.empty() && is_tile_map(m.source);
        const char* problem = nullptr;
        if (!m.picture.empty() && m.tile_map)
            problem = "both a picture and a tile map: keep one";
        else if (!m.picture.empty() && !m.tiles.empty())
            problem = "a picture is cut into its own tiles: drop the tile sheet";
        else if (!m.front.empty() && (name != "lev2" && name != "lev3"))
            problem = "only lev2 and lev3 have a foreground layer";
        else if (!m.front.empty() && m.tile_map)
            problem = "a tile map has no foreground layer";
        else if (!known && m.picture.empty() && m.source.empty())
            problem =
                "a new map is a picture (NAME.png), or a tile map or street source (NAME.txt)";
        else if (!known && m.tile_map && m.tiles.empty())
            problem = "a new tile map needs its tile sheet, NAME-tiles.png";
        else if (known && m.tile_map && m.tiles.empty() && name != "van")
            problem = "a tile map needs its tile sheet, NAME-tiles.png";
        if (problem) {
            for (const std::string* file : {&m.picture, &m.source, &m.front, &m.tiles})
                if (!file->empty()) {
                    diag("%s: %s\n", file->c_str(), problem);
                    break;
                }
            return false;
        }
    }
    return true;
}

// Replaces one object of the main datafile from its PNG.
bool replace(Out& o, Entry& e, ModPicture& p)
{
    p.used = true;
    std::string drawn_path = o.dir + "/" + e.file;
    BITMAP* drawn = load_pcx(drawn_path.c_str(), nullptr);
    if (!drawn) {
        diag("%s: cannot read the drawn picture back\n", drawn_path.c_str());
        return false;
    }
    int dw = drawn->w, dh = drawn->h;
    destroy_bitmap(drawn);
    Png png;
    if (!read_png(p.png, png))
        return false;
    bool sprite = e.xhot >= 0;
    std::string name = lower(e.file.substr(4, e.file.size() - 8));
    if (name == "ending" && (png.w > 187 || png.h > 88)) {
        // Drawn from (133, 132) under the last caption, above the score at y 220,
        // out to the screen's right edge.
        diag("%s: is %d x %d; the ending picture is at most 187 x 88\n", p.png.c_str(), png.w,
             png.h);
        return false;
    }
    if (!sprite && name != "ending" && (png.w != dw || png.h != dh)) {
        // The program draws these at fixed places and sizes.
        diag("%s: is %d x %d; the picture it replaces is %d x %d\n", p.png.c_str(), png.w, png.h,
             dw, dh);
        return false;
    }
    if (sprite && (png.w > 128 || png.h > 128)) {
        // Mirrored recoloured sprites go through a 128x128 scratch bitmap.
        diag("%s: is %d x %d; sprites are at most 128 x 128\n", p.png.c_str(), png.w, png.h);
        return false;
    }
    if (!sprite && p.has_hot) {
        diag("%s:%d: this picture is drawn at a fixed place and has no hot spot\n",
             p.settings.c_str(), p.hot_line);
        return false;
    }
    Matching m = p.match;
    for (const char* set : kGangSets)
        if (name.compare(0, std::strlen(set), set) == 0)
            m.avoid_recolour = !p.recolour;
    BITMAP* b = to_palette(png, m);
    bool ok = save(o, b, e.file);
    destroy_bitmap(b);
    if (sprite && p.has_hot) {
        e.xhot = p.hx;
        e.yhot = p.hy;
    } else if (sprite) {
        // Feet and bottoms stay put when the picture grew or shrank.
        e.yhot += png.h - dh;
    }
    return ok;
}

}  // namespace

bool mods_open(const std::string& src, bool levels)
{
    mods_dir = src + "/mods";
    pictures.clear();
    level_mods.clear();
    if ((!levels && !scan_pictures("sprites", false)) || !scan_pictures("pictures", levels))
        return false;
    return !levels || scan_levels();
}

bool mods_apply_main(Out& o)
{
    for (Entry& e : o.main) {
        // Files are "NNN_name.pcx"; spares have no name a modder could use.
        if (e.type != "BMP" || e.file.size() < 9 || e.file.compare(4, 5, "spare") == 0)
            continue;
        auto it = pictures.find(lower(e.file.substr(4, e.file.size() - 8)));
        if (it != pictures.end() && !replace(o, e, it->second))
            return false;
    }
    for (auto& [name, p] : pictures)
        if (!p.used) {
            diag("%s: no sprite or picture is called %s (the sprites are named in nightward.inc)\n",
                 p.png.c_str(), p.name.c_str());
            return false;
        }
    return true;
}

BITMAP* mods_backdrop(BITMAP* drawn, const char* name)
{
    auto it = pictures.find(name);
    if (it == pictures.end())
        return drawn;
    ModPicture& p = it->second;
    Png png;
    bool ok = read_png(p.png, png);
    if (ok && (png.w != drawn->w || png.h != drawn->h)) {
        // The width is the repeat period of the scrolling band.
        diag("%s: is %d x %d; the background it replaces is %d x %d\n", p.png.c_str(), png.w, png.h,
             drawn->w, drawn->h);
        ok = false;
    }
    if (ok && p.has_hot) {
        diag("%s:%d: a background has no hot spot\n", p.settings.c_str(), p.hot_line);
        ok = false;
    }
    BITMAP* b = ok ? to_palette(png, p.match) : nullptr;
    destroy_bitmap(drawn);
    return b;
}

const LevelMod* mods_level(const std::string& name)
{
    auto it = level_mods.find(name);
    return it == level_mods.end() ? nullptr : &it->second;
}

std::vector<std::string> mods_new_levels()
{
    std::vector<std::string> names;
    for (auto& [name, m] : level_mods)
        if (!one_of(name, kGameLevels, 7))
            names.push_back(name);
    return names;
}

}  // namespace gg
