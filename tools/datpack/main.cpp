// nwd-datpack: builds an encrypted datafile with the library's own `dat` tool
// from a pack list, keeping the list's order so every object gets the index
// the game expects, and sets the hot-spot properties of the sprites.
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/diag.h"
#include "tools/common/cli.h"
#include "tools/common/password_file.h"

namespace {

struct Item {
    int index;
    std::string type, file;
    int xhot, yhot;
};

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-datpack [--dat PATH] (--password TEXT | --password-file FILE)\n"
                 "                   LIST DIR OUTPUT\n"
                 "  LIST    lines \"index type file xhot yhot\" (# starts a comment);\n"
                 "          objects are added in this order, files are read from DIR\n"
                 "  OUTPUT  the datafile to write (replaced atomically)\n"
                 "  --dat   the archiver to run (default /usr/bin/dat)\n"
                 "  --password-file  reads the password from the first line of FILE\n"
                 "  -h, --help, --version\n");
}

bool run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // dat is chatty; keep its listing out of the build log.
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int st = 0;
    if (waitpid(pid, &st, 0) < 0)
        return false;
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

bool read_list(const char* path, std::vector<Item>& items)
{
    FILE* f = std::fopen(path, "r");
    if (!f) {
        diag("%s: cannot read: %s\n", path, std::strerror(errno));
        return false;
    }
    char buf[512];
    int ln = 0;
    bool ok = true;
    while (std::fgets(buf, sizeof buf, f)) {
        ++ln;
        if (buf[0] == '#' || buf[0] == '\n')
            continue;
        Item it;
        char type[16], file[256];
        if (std::sscanf(buf, "%d %15s %255s %d %d", &it.index, type, file, &it.xhot, &it.yhot) !=
                5 ||
            std::strchr(file, '/')) {
            diag("%s:%d: expected \"index type file xhot yhot\"\n", path, ln);
            ok = false;
            break;
        }
        it.type = type;
        it.file = file;
        items.push_back(it);
    }
    std::fclose(f);
    return ok;
}

uint32_t be32(const std::vector<unsigned char>& d, size_t at)
{
    return (uint32_t)d[at] << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3];
}

uint32_t id(const char* s) { return (uint32_t)s[0] << 24 | s[1] << 16 | s[2] << 8 | s[3]; }

void put32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((unsigned char)(v >> shift));
}

// The file is the plain datafile with the password XORed over it from its
// first byte on, so one pass both hides and reveals it.
void crypt(std::vector<unsigned char>& d, const std::string& key)
{
    for (size_t i = 0; i < d.size(); ++i)
        d[i] ^= (unsigned char)key[i % key.size()];
}

// What dat leaves to finish, done in one pass over the file instead of a dat
// run per hot-spot value (over a hundred runs, seconds of every rebuild):
// - the XHOT and YHOT properties go after each sprite's NAME, as dat would
//   write them;
// - dat leaves the fourth byte of each palette entry as whatever its stack
//   held, so two packings of the same pictures would differ: those bytes
//   are cleared.
bool finish_datafile(const std::string& path, const std::string& key,
                     const std::vector<Item>& items)
{
    std::vector<unsigned char> d;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        d.insert(d.end(), buf, buf + n);
    std::fclose(f);
    crypt(d, key);
    if (d.size() < 12 || be32(d, 4) != id("ALL.") || be32(d, 8) != items.size())
        return false;
    std::vector<unsigned char> out(d.begin(), d.begin() + 12);
    size_t at = 12;
    for (const Item& it : items) {
        for (;;) {  // properties, then the object's type and chunk
            if (at + 12 > d.size())
                return false;
            uint32_t type = be32(d, at);
            size_t size = be32(d, at + 8);
            if (type == id("prop")) {
                if (size > d.size() - at - 12)
                    return false;
                out.insert(out.end(), d.begin() + at, d.begin() + at + 12 + size);
                at += 12 + size;
                continue;
            }
            for (auto [prop, v] : {std::pair{"XHOT", it.xhot}, {"YHOT", it.yhot}}) {
                if (v < 0)
                    continue;
                std::string text = std::to_string(v);
                put32(out, id("prop"));
                put32(out, id(prop));
                put32(out, (uint32_t)text.size());
                out.insert(out.end(), text.begin(), text.end());
            }
            size_t stored = be32(d, at + 4);
            if (stored > d.size() - at - 12)
                return false;
            size_t chunk = out.size() + 12;
            out.insert(out.end(), d.begin() + at, d.begin() + at + 12 + stored);
            if (type == id("PAL ") && stored == 1024 && size == 1024)
                for (size_t e = chunk + 3; e < chunk + stored; e += 4)
                    out[e] = 0;
            at += 12 + stored;
            break;
        }
    }
    out.insert(out.end(), d.begin() + at, d.end());
    crypt(out, key);
    f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    diag_set_program("nwd-datpack");
    std::string dat = "/usr/bin/dat", password;
    enum { DAT = 0x100, PASSWORD, PASSWORD_FILE };
    int r = cli_parse(argc, argv, "nwd-datpack", "",
                      {{"dat", required_argument, nullptr, DAT},
                       {"password", required_argument, nullptr, PASSWORD},
                       {"password-file", required_argument, nullptr, PASSWORD_FILE}},
                      usage, [&](int c, const char* v) {
                          if (c == DAT)
                              dat = v;
                          if (c == PASSWORD)
                              password = v;
                          return c == PASSWORD_FILE && !read_password_file(v, password) ? 1 : 0;
                      });
    if (r >= 0)
        return r;
    std::vector<const char*> pos(argv + optind, argv + argc);
    if (pos.size() != 3 || password.empty()) {
        usage(stderr);
        return 2;
    }
    std::vector<Item> items;
    if (!read_list(pos[0], items))
        return 1;
    std::string dir = pos[1], out = pos[2], tmp = out + ".tmp";
    std::remove(tmp.c_str());
    const std::vector<std::string> base = {dat, "-007", password, "-c0", "-n0", "-k", "-s1", tmp};

    // One call per run of equal types: dat takes a single -t per call, and the
    // list order is kept because -n0 appends in argument order.
    for (size_t i = 0; i < items.size();) {
        size_t j = i;
        std::vector<std::string> args = base;
        args.insert(args.end(), {"-a", "-t", items[i].type});
        while (j < items.size() && items[j].type == items[i].type)
            args.push_back(dir + "/" + items[j++].file);
        if (!run(args)) {
            diag("%s: dat failed adding %s..\n", out.c_str(), items[i].file.c_str());
            std::remove(tmp.c_str());
            return 1;
        }
        i = j;
    }
    if (!finish_datafile(tmp, password, items)) {
        diag("%s: dat wrote a datafile this tool cannot read back\n", out.c_str());
        std::remove(tmp.c_str());
        return 1;
    }
    if (std::rename(tmp.c_str(), out.c_str()) != 0) {
        diag("%s: cannot write: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
