// Level data: each street is painted whole from its source in data/levels/
// (a list of pieces of scenery), cut into 16x16 tiles with identical tiles
// shared, and written as a tile sheet and a map. The van road keeps a
// hand-made tile map.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>

#include "engine/diag.h"
#include "fileio/byteorder.h"
#include "tools/gfxgen/canvas.h"
#include "tools/gfxgen/gfxgen.h"
#include "tools/gfxgen/mods.h"

namespace gg {

namespace {

// What the game expects of each street's map (the catalogue's sizes).
struct LevelShape {
    std::string name;  // NAME.txt in data/levels/ gives NAME.bin and NAME.pcx
    int rows;
    int columns;  // exact width of the main layer, or 0: at least min_columns
    int min_columns;
    int front_rows;  // foreground layer: cells per column, 0 = none
    int front_top;   // play-area y of its top
    int front_columns;
    int opaque_from;  // play-area y from which every pixel must be opaque
};

const LevelShape levels[] = {
    {"lev1", 13, 0, 176, 0, 0, 0, 0},
    // The foreground layer's cells follow the main layer's 1456 (112 x 13).
    {"lev2", 13, 112, 112, 7, 96, 160, 111},
    {"lev3", 13, 112, 112, 6, 112, 160, 128},
    {"lev4", 13, 0, 176, 0, 0, 0, 0},
    {"lev5", 13, 0, 176, 0, 0, 0, GROUND_Y},
    {"high", 11, 0, 64, 0, 0, 0, 0},
};

const int T = TILE;

// Van road tiles, numbered as data/levels/van.txt names them: 0 lets the
// skyline show, the rest is the motorway and its lamps.
void van_tile(Canvas& cv, int t, int x, int y)
{
    Rgb steel = rgb(150, 158, 170), dark = rgb(40, 44, 52), lamp = rgb(255, 200, 120);
    auto post = [&](int y0, int y1) {
        cv.rect(x + 7, y + y0, x + 8, y + y1, dark);
        cv.vline(x + 7, y + y0, y + y1, rgb(90, 96, 108));
    };
    switch (t) {
    case 0: break;
    case 1:  // crash barrier over the skyline: a ribbed rail on short posts
    case 8:  // the same with a lamp post rising from it
        for (int k = 0; k < 16; ++k) {
            cv.set(x + k, y + 6, mix(steel, rgb(255, 255, 255), 0.3f));
            cv.set(x + k, y + 7, steel);
            cv.set(x + k, y + 8, scale(steel, 0.6f));
            cv.set(x + k, y + 9, scale(steel, 0.85f));
            cv.set(x + k, y + 10, scale(steel, 0.45f));
        }
        cv.rect(x + 3, y + 11, x + 4, y + 15, dark);
        cv.rect(x + 11, y + 11, x + 12, y + 15, dark);
        cv.set(x + 8, y + 8, rgb(255, 120, 40));  // reflector
        if (t == 8)
            post(0, 5);
        break;
    case 2:  // verge: dark grass and the edge of the tarmac
        for (int r = 0; r < 16; ++r)
            for (int k = 0; k < 16; ++k) {
                Rgb c = r < 9 ? scale(rgb(34, 46, 34), 0.8f + 0.4f * noise(k, r, 401))
                              : rgb(46, 46, 52);
                if (r == 9)
                    c = rgb(120, 120, 110);
                if (r >= 13)
                    c = rgb(200, 196, 170);  // the solid edge line
                cv.set(x + k, y + r, c);
            }
        break;
    case 3:  // lane with a dashed line
    case 4:  // lane without
    case 5:  // hard shoulder with its edge line
        for (int r = 0; r < 16; ++r)
            for (int k = 0; k < 16; ++k) {
                Rgb c = scale(rgb(48, 48, 56), 0.9f + 0.2f * noise(k, r, 402));
                if (t == 3 && r >= 7 && r <= 8)
                    c = rgb(210, 206, 186);
                if (t == 5 && r >= 11 && r <= 12)
                    c = rgb(200, 180, 60);
                cv.set(x + k, y + r, c);
            }
        break;
    case 6:  // lamp head over the skyline, reaching out over the road
        post(6, 15);
        cv.rect(x + 7, y + 5, x + 15, y + 6, dark);
        cv.rect(x + 10, y + 7, x + 15, y + 8, mix(lamp, rgb(255, 255, 255), 0.5f));
        break;
    case 7:  // lamp post shaft
        post(0, 15);
        break;
    }
}

BITMAP* van_sheet()
{
    Canvas cv(640, T);
    for (int t = 0; t < 9; ++t)
        van_tile(cv, t, t * T, 0);
    return quantize(cv);
}

// Splits a source line into words; "double quotes" keep spaces, '#' starts
// a comment outside quotes.
bool split(const std::string& line, std::vector<std::string>& words)
{
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        std::string w;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '"')
                quoted = !quoted;
            else
                w += line[i];
            ++i;
        }
        if (quoted)
            return false;
        words.push_back(w);
    }
    return true;
}

bool is_number(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos && s.size() < 6;
}

struct Source {
    int columns = 0, front_columns = 0;
    int size_line = 0;
    std::vector<Piece> main, front;
};

// "size COLUMNS", then pieces "kind column [width] key=value ..."; after
// "front COLUMNS" the pieces paint the foreground layer.
bool read_source(const std::string& path, const LevelShape& shape, Source& s)
{
    std::ifstream in(path);
    if (!in) {
        diag("%s: cannot read: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::string line;
    std::vector<std::string> w;
    bool front = false;
    for (int ln = 1; std::getline(in, line); ++ln) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!split(line, w)) {
            diag("%s:%d: unterminated quote\n", path.c_str(), ln);
            return false;
        }
        if (w.empty())
            continue;
        if (w[0] == "size" || w[0] == "front") {
            int n = w.size() == 2 && is_number(w[1]) ? std::atoi(w[1].c_str()) : -1;
            if (n <= 0) {
                diag("%s:%d: expected \"%s COLUMNS\"\n", path.c_str(), ln, w[0].c_str());
                return false;
            }
            if (w[0] == "size") {
                if ((shape.columns && n != shape.columns) || n < shape.min_columns ||
                    n * shape.rows > 65535) {
                    diag("%s:%d: this map must be %s%d columns wide\n", path.c_str(), ln,
                         shape.columns ? "" : "at least ", shape.min_columns);
                    return false;
                }
                s.columns = n;
                s.size_line = ln;
            } else {
                if (!shape.front_rows || n < shape.front_columns) {
                    diag(shape.front_rows ? "%s:%d: the foreground needs at least %d columns\n"
                                          : "%s:%d: this level has no foreground layer\n",
                         path.c_str(), ln, shape.front_columns);
                    return false;
                }
                s.front_columns = n;
                front = true;
            }
            continue;
        }
        if (!s.columns) {
            diag("%s:%d: the first line must be \"size COLUMNS\"\n", path.c_str(), ln);
            return false;
        }
        Piece p;
        p.file = path;
        p.line = ln;
        p.kind = w[0];
        size_t k = 1;
        if (k >= w.size() || !is_number(w[k])) {
            diag("%s:%d: expected \"%s COLUMN [WIDTH] [key=value ...]\"\n", path.c_str(), ln,
                 w[0].c_str());
            return false;
        }
        p.col = std::atoi(w[k++].c_str());
        if (k < w.size() && is_number(w[k]))
            p.width = std::atoi(w[k++].c_str());
        for (; k < w.size(); ++k) {
            size_t eq = w[k].find('=');
            if (eq == std::string::npos || eq == 0)
                p.opt[w[k]] = "1";  // a bare word is a flag
            else
                p.opt[w[k].substr(0, eq)] = w[k].substr(eq + 1);
        }
        int limit = front ? s.front_columns : s.columns;
        if (p.width < 1 || p.col + p.width > limit) {
            diag("%s:%d: the piece goes past column %d\n", path.c_str(), ln, limit - 1);
            return false;
        }
        if (!find_painter(p.kind)) {
            diag("%s:%d: no piece called \"%s\"\n", path.c_str(), ln, p.kind.c_str());
            return false;
        }
        (front ? s.front : s.main).push_back(p);
    }
    if (!s.columns) {
        diag("%s:0: no \"size COLUMNS\" line\n", path.c_str());
        return false;
    }
    if (shape.front_rows && !s.front_columns) {
        diag("%s:0: this level needs a \"front COLUMNS\" section\n", path.c_str());
        return false;
    }
    return true;
}

bool paint(Street& st, Canvas& cv, const std::vector<Piece>& pieces)
{
    for (const Piece& p : pieces) {
        find_painter(p.kind)(st, cv, p);
        if (!st.error.empty()) {
            diag("%s:%d: %s\n", p.file.c_str(), p.line, st.error.c_str());
            return false;
        }
        for (auto& [key, value] : p.opt)
            if (!p.used.count(key)) {
                diag("%s:%d: \"%s\" has no option \"%s\"\n", p.file.c_str(), p.line, p.kind.c_str(),
                     key.c_str());
                return false;
            }
    }
    return true;
}

bool write_map(Out& o, const std::string& name, const std::vector<unsigned short>& cells)
{
    std::string path = o.dir + "/" + name, tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    bool ok = f != nullptr;
    for (size_t i = 0; ok && i < cells.size(); ++i) {
        uint8_t le[2];
        put_le16(le, cells[i]);
        ok = std::fwrite(le, 1, 2, f) == 2;
    }
    if (f)
        ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        diag("%s: cannot write\n", path.c_str());
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

// Cuts a painted layer into cells, column by column.
bool cut(Tiler& tiler, BITMAP* b, int opaque_from, const std::string& path, int line,
         std::vector<unsigned short>& cells)
{
    for (int col = 0; col < b->w / T; ++col)
        for (int row = 0; row < b->h / T; ++row) {
            for (int y = std::max(row * T, opaque_from); y < row * T + T; ++y)
                for (int x = col * T; x < col * T + T; ++x)
                    if (getpixel(b, x, y) == 0) {
                        // The scene does not clear behind the map here: a hole would
                        // show whatever the last frame left.
                        std::string where = line ? path + ":" + std::to_string(line) : path;
                        diag(
                            "%s: nothing is painted at x %d, y %d; from y %d down the map must be "
                            "opaque\n",
                            where.c_str(), x, y, opaque_from);
                        return false;
                    }
            int t = tiler.add(b, col * T, row * T);
            if (t > 65535) {
                diag("%s:%d: more than 65536 different tiles\n", path.c_str(), line);
                return false;
            }
            cells.push_back((unsigned short)t);
        }
    return true;
}

// Reported and null unless the sheet is 640 wide and has a tile for every
// cell, and every cell below play-area y `opaque_from` of the first
// `main_cells` (`rows` a column) is opaque.
BITMAP* fitting_sheet(BITMAP* sheet, const std::string& what,
                      const std::vector<unsigned short>& cells, size_t main_cells, int rows,
                      int opaque_from)
{
    int top = 0;
    for (unsigned short c : cells)
        top = std::max(top, (int)c);
    const char* problem = nullptr;
    if (sheet->w != 640 || sheet->h % T)
        problem = "a tile sheet is 640 pixels wide and a whole number of 16-pixel rows high";
    else if (top >= sheet->h / T * 40)
        problem = "the map uses more tiles than the sheet has";
    if (problem) {
        diag("%s: %s (it is %d x %d, the map uses tiles 0 to %d)\n", what.c_str(), problem,
             sheet->w, sheet->h, top);
        destroy_bitmap(sheet);
        return nullptr;
    }
    for (size_t k = 0; k < main_cells; ++k)
        for (int y = std::max(0, opaque_from - (int)(k % rows) * T); y < T; ++y)
            for (int x = 0; x < T; ++x)
                if (getpixel(sheet, cells[k] % 40 * T + x, cells[k] / 40 * T + y) == 0) {
                    diag(
                        "%s: tile %d leaves a hole at x %d, y %d of the map; from y %d down it "
                        "must be opaque\n",
                        what.c_str(), cells[k], (int)(k / rows) * T + x, (int)(k % rows) * T + y,
                        opaque_from);
                    destroy_bitmap(sheet);
                    return nullptr;
                }
    return sheet;
}

// A modder's map layer, `rows` tiles high (0: any, up to a screen) and as
// many columns as the rules allow (exact, or at least min_columns).
BITMAP* import_layer(const std::string& path, int rows, int exact_columns, int min_columns)
{
    Png png;
    if (!read_png(path, png))
        return nullptr;
    int columns = png.w / T;
    char problem[160] = "";
    if (png.w % T || png.h % T)
        std::snprintf(problem, sizeof problem, "a map picture is a whole number of 16-pixel tiles");
    else if (rows ? png.h != rows * T : png.h > 15 * T)
        std::snprintf(problem, sizeof problem, "this map is %d tiles (%d pixels) high",
                      rows ? rows : 15, (rows ? rows : 15) * T);
    else if (exact_columns ? columns != exact_columns : columns < min_columns)
        std::snprintf(problem, sizeof problem, "this map must be %s%d tiles (%d pixels) wide",
                      exact_columns ? "" : "at least ", std::max(exact_columns, min_columns),
                      std::max(exact_columns, min_columns) * T);
    else if ((long)columns * (png.h / T) > 65535)
        std::snprintf(problem, sizeof problem, "the game counts at most 65535 cells");
    if (problem[0]) {
        diag("%s: is %d x %d; %s\n", path.c_str(), png.w, png.h, problem);
        return nullptr;
    }
    return to_palette(png, Matching());
}

BITMAP* import_sheet(const std::string& path)
{
    Png png;
    return read_png(path, png) ? to_palette(png, Matching()) : nullptr;
}

bool write_level(Out& o, const std::string& name, const std::vector<unsigned short>& cells,
                 BITMAP* sheet)
{
    bool ok = sheet && write_map(o, name + ".bin", cells) && save(o, sheet, name + ".pcx");
    if (sheet)
        destroy_bitmap(sheet);
    if (!ok)
        return false;
    o.levels.push_back({0, "DATA", name + ".bin", -1, -1});
    o.levels.push_back({0, "BMP", name + ".pcx", -1, -1});
    return true;
}

// A street painted from its source, with the modder's pictures in place of
// either layer and the modder's tile sheet in place of the cut one.
bool make_street(Out& o, const std::string& src, const LevelShape& shape, const LevelMod& m)
{
    std::string path = m.source.empty() ? src + "/levels/" + shape.name + ".txt" : m.source;
    bool paint_main = m.picture.empty(), paint_front = shape.front_rows && m.front.empty();
    Source s;
    if ((paint_main || paint_front) && !read_source(path, shape, s))
        return false;
    Street st;
    st.name = shape.name + ".bin";
    BITMAP* layer[2] = {nullptr, nullptr};
    if (paint_main) {
        Canvas cv(s.columns * T, shape.rows * T);
        st.main = &cv;
        if (!paint(st, cv, s.main))
            return false;
        layer[0] = quantize(cv);
    } else {
        layer[0] = import_layer(m.picture, shape.rows, shape.columns, shape.min_columns);
    }
    if (paint_front) {
        Canvas cv(s.front_columns * T, shape.front_rows * T, shape.front_top);
        st.front = &cv;
        if (!paint(st, cv, s.front)) {
            destroy_bitmap(layer[0]);
            return false;
        }
        layer[1] = quantize(cv);
    } else if (shape.front_rows) {
        layer[1] = import_layer(m.front, shape.front_rows, 0, shape.front_columns);
    }
    Tiler tiler;
    std::vector<unsigned short> cells;
    bool ok = layer[0] && (!shape.front_rows || layer[1]);
    ok = ok && cut(tiler, layer[0], shape.opaque_from, paint_main ? path : m.picture,
                   paint_main ? s.size_line : 0, cells);
    size_t main_cells = cells.size();
    ok = ok && (!layer[1] || cut(tiler, layer[1], 1 << 30, paint_front ? path : m.front,
                                 paint_front ? s.size_line : 0, cells));
    for (BITMAP* b : layer)
        if (b)
            destroy_bitmap(b);
    if (!ok)
        return false;
    BITMAP* sheet = tiler.sheet();
    if (!m.tiles.empty()) {
        destroy_bitmap(sheet);
        sheet = import_sheet(m.tiles);
        if (sheet)
            sheet = fitting_sheet(sheet, m.tiles, cells, main_cells, shape.rows, shape.opaque_from);
    }
    return write_level(o, shape.name, cells, sheet);
}

// A map cut from one picture.
bool picture_level(Out& o, const std::string& name, const std::string& path, int rows,
                   int exact_columns, int min_columns, int opaque_from)
{
    BITMAP* b = import_layer(path, rows, exact_columns, min_columns);
    if (!b)
        return false;
    Tiler tiler;
    std::vector<unsigned short> cells;
    bool ok = cut(tiler, b, opaque_from, path, 0, cells);
    destroy_bitmap(b);
    return ok && write_level(o, name, cells, tiler.sheet());
}

// A tile map and its sheet: the modder's, or `drawn` where the game draws one.
bool tile_map_level(Out& o, const std::string& name, const std::string& source,
                    const std::string& tiles, int rows, int exact_columns, int min_columns,
                    int opaque_from, BITMAP* drawn)
{
    std::vector<unsigned short> cells;
    if (!load_map(source, rows, cells)) {
        if (drawn)
            destroy_bitmap(drawn);
        return false;
    }
    int columns = (int)cells.size() / rows;
    if (exact_columns ? columns != exact_columns : columns < min_columns) {
        diag("%s: the map is %d columns wide; it must be %s%d\n", source.c_str(), columns,
             exact_columns ? "" : "at least ", std::max(exact_columns, min_columns));
        if (drawn)
            destroy_bitmap(drawn);
        return false;
    }
    BITMAP* sheet = drawn;
    if (!tiles.empty()) {
        if (drawn)
            destroy_bitmap(drawn);
        sheet = import_sheet(tiles);
    }
    if (sheet)
        sheet = fitting_sheet(sheet, tiles.empty() ? source : tiles, cells, cells.size(), rows,
                              opaque_from);
    return write_level(o, name, cells, sheet);
}

// Any of the game's streets, or a new map, as data/mods/levels/ has it.
bool make_map(Out& o, const std::string& src, const LevelShape& shape)
{
    LevelMod none;
    const LevelMod* mod = mods_level(shape.name);
    const LevelMod& m = mod ? *mod : none;
    if (!m.tile_map)
        return make_street(o, src, shape, m);
    return tile_map_level(o, shape.name, m.source, m.tiles, shape.rows, shape.columns,
                          shape.min_columns, shape.opaque_from, nullptr);
}

bool picture(Out& o, BITMAP* b, const char* name)
{
    bool ok = b && save(o, b, name);
    if (b)
        destroy_bitmap(b);
    o.levels.push_back({0, "BMP", name, -1, -1});
    return ok;
}

}  // namespace

// Map text: "tile C N" gives character C the tile number N; the map follows as
// `rows` lines of equal length, one character per cell. Rows 0: as many as
// the text has, up to a screen's 15, and `rows` becomes that.
bool load_map(const std::string& path, int& rows, std::vector<unsigned short>& cells)
{
    std::ifstream in(path);
    if (!in) {
        diag("%s: cannot read: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    int key[256];
    for (int& k : key)
        k = -1;
    std::vector<std::string> grid;
    std::string line;
    int ln = 0;
    bool in_map = false;  // after "map" every line is a row, '#' included
    while (std::getline(in, line)) {
        ++ln;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        char c;
        int t;
        if (line.empty() || (!in_map && line[0] == '#'))
            continue;
        if (!in_map && std::sscanf(line.c_str(), "tile %c %d", &c, &t) == 2) {
            if (t < 0 || t > 65535) {
                diag("%s:%d: tile numbers are 0..65535\n", path.c_str(), ln);
                return false;
            }
            key[(unsigned char)c] = t;
            continue;
        }
        if (!in_map && line == "map") {
            in_map = true;
            continue;
        }
        if (!in_map) {
            diag("%s:%d: expected \"tile C N\" or \"map\"\n", path.c_str(), ln);
            return false;
        }
        for (char ch : line)
            if (key[(unsigned char)ch] < 0) {
                diag("%s:%d: character '%c' has no tile\n", path.c_str(), ln, ch);
                return false;
            }
        if (!grid.empty() && line.size() != grid[0].size()) {
            diag("%s:%d: row is %zu wide, expected %zu\n", path.c_str(), ln, line.size(),
                 grid[0].size());
            return false;
        }
        grid.push_back(line);
    }
    if (rows ? (int)grid.size() != rows : grid.empty() || grid.size() > 15) {
        diag("%s:%d: %zu map rows, expected %d\n", path.c_str(), ln, grid.size(), rows ? rows : 15);
        return false;
    }
    rows = (int)grid.size();
    // The game counts cells in 16 bits.
    if (grid[0].size() * rows > 65535) {
        diag("%s:%d: %zu cells, at most 65535\n", path.c_str(), ln, grid[0].size() * rows);
        return false;
    }
    cells.clear();
    for (size_t col = 0; col < grid[0].size(); ++col)  // stored column by column
        for (int r = 0; r < rows; ++r)
            cells.push_back((unsigned short)key[(unsigned char)grid[r][col]]);
    return true;
}

bool make_levels(Out& o, const std::string& src)
{
    // The van road: the game's tile map and drawn tiles, or the modder's.
    const LevelMod* van = mods_level("van");
    if (van && !van->picture.empty()) {
        if (!picture_level(o, "van", van->picture, 7, 0, 1, 1 << 30))
            return false;
    } else if (van && !van->source.empty() && !van->tile_map) {
        diag("%s: the van road is a tile map: \"tile C N\" lines, then \"map\"\n",
             van->source.c_str());
        return false;
    } else if (!tile_map_level(o, "van",
                               van && !van->source.empty() ? van->source : src + "/levels/van.txt",
                               van ? van->tiles : "", 7, 0, 1, 1 << 30, van_sheet())) {
        return false;
    }
    if (!load_font(src + "/gfx/font.txt"))
        return false;  // signs and graffiti

    bool ok = picture(o, mods_backdrop(paint_skyline(), "dif2"), "dif2.pcx");
    for (const LevelShape& shape : levels)
        if (!ok || !make_map(o, src, shape))
            return false;
    ok = picture(o, mods_backdrop(paint_river(), "dif3"), "dif3.pcx") &&
         picture(o, mods_backdrop(paint_harbour(), "dif5"), "dif5.pcx") &&
         picture(o, mods_backdrop(paint_credits_scenery(), "credits"), "CREDITS.PCX");
    // Maps the game's catalogue does not name yet: pictures of any height up
    // to a screen, tile maps, or street sources 13 rows high.
    for (const std::string& name : mods_new_levels()) {
        const LevelMod& m = *mods_level(name);
        if (!ok)
            break;
        if (!m.picture.empty())
            ok = picture_level(o, name, m.picture, 0, 0, 1, 1 << 30);
        else if (m.tile_map)
            ok = tile_map_level(o, name, m.source, m.tiles, 0, 0, 1, 1 << 30, nullptr);
        else
            ok = make_map(o, src, {name, 13, 0, 20, 0, 0, 0, 1 << 30});
    }
    return ok;
}

}  // namespace gg
