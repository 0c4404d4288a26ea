// nwd-datview: renders datafile objects to PNG for looking at the game's data:
// one object (bitmap, font, palette), a level map drawn with its tile sheet,
// or a contact sheet of every sprite with its hot spot marked.
#include <allegro.h>
#include <loadpng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/datcheck.h"
#include "engine/diag.h"
#include "fileio/fileio.h"
#include "tools/common/cli.h"
#include "tools/common/password_file.h"
#include "tools/datview/view.h"

namespace {

// The PNG is made in a private scratch file, then written to OUT.png with
// the safe writer: aside and renamed, or straight to a device or "-".
bool write_png(const char* path, BITMAP* b, const RGB* pal)
{
    const char* tmpdir = std::getenv("TMPDIR");
    std::string scratch = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/nwd-datview-XXXXXX";
    int fd = mkstemp(scratch.data());
    if (fd < 0)
        return false;
    close(fd);
    char* bytes = nullptr;
    long size = 0;
    bool ok = save_png(scratch.c_str(), b, pal) == 0 &&
              file_read_all(scratch.c_str(), 1L << 30, &bytes, &size) == FILE_OK;
    unlink(scratch.c_str());
    char why[160] = "";
    ok = ok && file_write_all(path, bytes, (size_t)size, why, sizeof why);
    std::free(bytes);
    if (!ok)
        diag("%s: %s\n", path, why[0] ? why : "cannot write");
    return ok;
}

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-datview [options] FILE.DAT WHAT OUT.png\n"
                 "  WHAT      an object index or name, or \"sheet\" (sprites 26..557 with\n"
                 "            their hot spots), or \"map:NAME:SHEET:ROWS[:FIRST]\" (a level\n"
                 "            map, from its cell FIRST on: a foreground layer after the map)\n"
                 "  --password TEXT | --password-file FILE   the datafile password\n"
                 "  --palette FILE.DAT   take the palette (object 23) and label font\n"
                 "            from this main datafile instead of FILE.DAT itself\n"
                 "  --scale N  enlarge the picture N times (default 1)\n"
                 "  -h, --help, --version\n");
}

}  // namespace

int main(int argc, char** argv)
{
    diag_set_program("nwd-datview");
    std::string password, palfile;
    int scale = 1;
    enum { PASSWORD = 0x100, PASSWORD_FILE, PALETTE, SCALE };
    int r = cli_parse(argc, argv, "nwd-datview", "",
                      {{"password", required_argument, nullptr, PASSWORD},
                       {"password-file", required_argument, nullptr, PASSWORD_FILE},
                       {"palette", required_argument, nullptr, PALETTE},
                       {"scale", required_argument, nullptr, SCALE}},
                      usage, [&](int c, const char* v) {
                          if (c == PASSWORD)
                              password = v;
                          if (c == PALETTE)
                              palfile = v;
                          if (c == SCALE)
                              scale = std::atoi(v);
                          return c == PASSWORD_FILE && !read_password_file(v, password) ? 1 : 0;
                      });
    if (r >= 0)
        return r;
    std::vector<const char*> pos(argv + optind, argv + argc);
    if (pos.size() != 3 || scale < 1 || scale > 16) {
        usage(stderr);
        return 2;
    }
    // The game's own check first: the library trusts every size in a file.
    for (const char* in : {pos[0], palfile.c_str()}) {
        DatCheckReport report;
        int check = *in ? datcheck_file(in, password.empty() ? nullptr : password.c_str(), nullptr,
                                        nullptr, &report)
                        : DATCHECK_OK;
        if (check == DATCHECK_NO_FILE) {
            diag("%s: cannot read: %s\n", in, std::strerror(ENOENT));
            return 1;
        }
        if (check != DATCHECK_OK) {
            diag("%s: %s\n", in, report.message);
            return 1;
        }
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0)
        return 1;
    set_color_conversion(COLORCONV_NONE);
    _png_compression_level = 9;
    packfile_password(password.empty() ? nullptr : password.c_str());
    DATAFILE* dat = load_datafile(pos[0]);
    DATAFILE* main_dat = palfile.empty() ? dat : load_datafile(palfile.c_str());
    packfile_password(nullptr);
    if (!dat || !main_dat) {
        diag("%s: not a datafile, or not with this password\n", dat ? palfile.c_str() : pos[0]);
        return 1;
    }
    const RGB* pal = default_palette;
    std::string why;
    BITMAP* out = datview_render(dat, main_dat, pos[1], scale, &pal, why);
    if (why == "usage") {
        usage(stderr);
        return 2;
    }
    if (!out && !why.empty()) {
        diag("%s: %s\n", pos[0], why.c_str());
        return 1;
    }
    if (!out) {
        diag("%s: %s is too large a picture\n", pos[0], pos[1]);
        return 1;
    }
    if (!write_png(pos[2], out, pal)) {
        diag("%s: cannot write\n", pos[2]);
        return 1;
    }
    return 0;
}
