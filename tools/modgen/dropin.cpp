// Modders' music as the build takes it: tracker modules are checked with the
// game's own module player before they are copied into the data folder, and
// playlists are checked line by line against the modules the build makes.
#include "tools/modgen/dropin.h"

#include <dumb.h>
#include <cerrno>
#include <cstring>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "engine/diag.h"

namespace {

// The moments a playlist names, as the game's playlist table has them.
const char* const kMoments[] = {"title",  "level1", "level2", "level3", "level4",
                                "level5", "ending", "scores", "boss"};
const size_t kNameSize = 128;     // the game keeps module names in 128 bytes
const size_t kPlaylistName = 19;  // and shows playlist names of up to 19
const long kMaxModule = 64L << 20;

bool copy_file(const std::string& in, const std::string& out)
{
    std::ifstream src(in, std::ios::binary);
    std::string tmp = out + ".tmp";
    std::ofstream dst(tmp, std::ios::binary);
    dst << src.rdbuf();
    dst.close();
    if (!src || !dst || std::rename(tmp.c_str(), out.c_str()) != 0) {
        std::remove(tmp.c_str());
        diag("%s: cannot write\n", out.c_str());
        return false;
    }
    return true;
}

std::string base_name(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool copy_module(const std::string& in, const std::string& out)
{
    FILE* f = std::fopen(in.c_str(), "rb");
    if (!f) {
        diag("%s: cannot read: %s\n", in.c_str(), std::strerror(errno));
        return false;
    }
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    if (size <= 0 || size > kMaxModule) {
        diag("%s: %ld bytes is not a module the game would load\n", in.c_str(), size);
        return false;
    }
    // The same loaders in the same order as the game.
    dumb_register_stdfiles();
    DUH* d = dumb_load_it(in.c_str());
    if (!d)
        d = dumb_load_xm(in.c_str());
    if (!d)
        d = dumb_load_s3m(in.c_str());
    if (!d)
        d = dumb_load_mod(in.c_str());
    if (!d) {
        diag("%s: not an IT, XM, S3M or MOD module the game can play\n", in.c_str());
        return false;
    }
    bool silent = duh_get_length(d) <= 0;
    unload_duh(d);
    if (silent) {
        diag("%s: the module plays for no time at all\n", in.c_str());
        return false;
    }
    return copy_file(in, out);
}

bool copy_playlist(const std::string& in, const std::string& out,
                   const std::vector<std::string>& modules)
{
    std::string name = base_name(out);
    if (name.size() > kPlaylistName + 4) {  // NAME.lst
        diag("%s: the game shows playlist names of at most %zu characters\n", in.c_str(),
             kPlaylistName);
        return false;
    }
    std::ifstream src(in);
    if (!src) {
        diag("%s: cannot read: %s\n", in.c_str(), std::strerror(errno));
        return false;
    }
    std::vector<std::string> seen;
    std::string line;
    for (int ln = 1; std::getline(src, line); ++ln) {
        std::istringstream in_line(line);
        std::vector<std::string> w;
        for (std::string s; in_line >> s;)
            w.push_back(s);
        bool has_equals = false;
        for (auto& s : w)
            has_equals |= s == "=";
        if (w.empty() || (w[0][0] == '#' && !has_equals))
            continue;
        // The game reads "key = value" wherever it stands, comments included.
        const char* problem = nullptr;
        std::string detail;
        if (w[0][0] == '#') {
            problem =
                "the game reads \"moment = module\" after a # too: leave the = out of comments";
        } else if (w.size() != 3 || w[1] != "=") {
            problem = "expected \"moment = module\"";
        } else {
            bool known = false;
            for (const char* m : kMoments)
                known |= w[0] == m;
            if (!known) {
                problem = "no moment called ";
                detail = "\"" + w[0] + "\" (title, level1 .. level5, ending, scores, boss)";
            } else if (std::find(seen.begin(), seen.end(), w[0]) != seen.end()) {
                problem = "the moment is named twice: ";
                detail = w[0];
            } else if (w[2].size() >= kNameSize) {
                problem = "the module's name is too long for the game";
            } else if (std::find(modules.begin(), modules.end(), w[2]) == modules.end()) {
                problem = "no module ";
                detail =
                    "\"" + w[2] +
                    "\" in the game's data (made from data/music, or dropped into data/mods/music)";
            }
            seen.push_back(w[0]);
        }
        if (problem) {
            diag("%s:%d: %s%s\n", in.c_str(), ln, problem, detail.c_str());
            return false;
        }
    }
    return copy_file(in, out);
}
