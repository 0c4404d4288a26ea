// amcasm: assembles AMC source text into a compiled AMC file, writes list
// files, and disassembles compiled files back into source text.
#include "engine/diag.h"
#include "tools/amcasm/amcasm.h"
#include "tools/common/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static const char usage[] =
    "usage: amcasm [-o OUT] [-I DIR]... [-l LISTING] [--depfile FILE] [-w] SOURCE...\n"
    "       amcasm --list-file OUT NAME...\n"
    "       amcasm -d FILE.AMC [-o OUT]\n"
    "\n"
    "Assembles AMC sources into one compiled AMC file (default: the first\n"
    "source's base name with the extension .AMC, in the working folder).\n"
    "  -o OUT        output file (with -d: the source text; default stdout)\n"
    "  -I DIR        folder searched for include files after the including file's own\n"
    "  -l LISTING    write a listing: each line's word offset and words beside it\n"
    "  --depfile F   write a make rule naming every file read, for build tools\n"
    "  -w            do not print warnings\n"
    "  --list-file   write OUT as a list of other AMC files, by base name\n"
    "  -d FILE       disassemble every program of a compiled file\n"
    "  -h, --help    this text; --version: the version\n"
    "Errors are printed as file:line:column: message; the exit status is 1 when\n"
    "assembly fails (no output is written), 2 for bad usage.\n";

static void print_usage(FILE* f) { fputs(usage, f); }

static int bad_usage(const std::string& msg)
{
    diag("amcasm: %s\nTry 'amcasm --help'.\n", msg.c_str());
    return 2;
}

static bool read_all(const std::string& path, std::vector<uint8_t>& out, std::string& err)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        err = strerror(errno);
        return false;
    }
    uint8_t buf[65536];
    size_t n;
    // Compiled files are at most 64 programs of 65535 words.
    const size_t limit = 3 + 2 + 64 * (2 + 2 * 65535u) + 4096;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        out.insert(out.end(), buf, buf + n);
        if (out.size() > limit)
            break;
    }
    bool bad = ferror(f);
    fclose(f);
    if (bad) {
        err = "read failed";
        return false;
    }
    return true;
}

static std::string make_escape(const std::string& s)
{
    std::string o;
    for (char c : s) {
        if (c == ' ' || c == '#')
            o += '\\';
        if (c == '$')
            o += '$';
        o += c;
    }
    return o;
}

static std::string default_output(const std::string& src)
{
    size_t slash = src.rfind('/');
    std::string base = slash == std::string::npos ? src : src.substr(slash + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0)
        base.resize(dot);
    return base + ".AMC";
}

static int disassemble(const std::string& in, const std::string& out)
{
    std::vector<uint8_t> image;
    std::string err;
    if (!read_all(in, image, err)) {
        diag("amcasm: %s: %s\n", in.c_str(), err.c_str());
        return 1;
    }
    AmcWords programs;
    size_t trailing = 0;
    err = amc_parse_compiled(image, programs, &trailing);
    if (!err.empty()) {
        diag("amcasm: %s: %s\n", in.c_str(), err.c_str());
        return 1;
    }
    if (trailing)
        diag("amcasm: %s: warning: %zu bytes after the end marker are not part of any program\n",
             in.c_str(), trailing);
    std::string text = asm_disassemble(programs);
    if (out.empty() || out == "-") {
        if (fwrite(text.data(), 1, text.size(), stdout) != text.size() || fflush(stdout) != 0) {
            diag("amcasm: write to standard output failed\n");
            return 1;
        }
        return 0;
    }
    err = asm_write_file(out, text.data(), text.size());
    if (!err.empty()) {
        diag("amcasm: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

static int list_file(const std::vector<std::string>& args)
{
    if (args.empty())
        return bad_usage("--list-file needs an output file");
    bool ok = true;
    std::vector<std::string> names(args.begin() + 1, args.end());
    for (const auto& n : names) {
        std::string why = amc_list_name_problem(n);
        if (!why.empty()) {
            diag("amcasm: '%s': %s\n", n.c_str(), why.c_str());
            ok = false;
        }
    }
    if (!ok)
        return 1;
    std::vector<uint8_t> image = amc_image_list(names);
    std::string err = asm_write_file(args[0], image.data(), image.size());
    if (!err.empty()) {
        diag("amcasm: %s\n", err.c_str());
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    std::string out, listing, dis, depfile;
    AsmOptions opt;
    bool list_mode = false, quiet = false;
    enum { DEPFILE = 0x100, LIST_FILE };
    int status = cli_parse(argc, argv, "amcasm", "o:I:l:d:w",
                           {{"depfile", required_argument, nullptr, DEPFILE},
                            {"list-file", no_argument, nullptr, LIST_FILE}},
                           print_usage, [&](int c, const char* v) {
                               if (v && !*v)
                                   return bad_usage("empty value for an option");
                               switch (c) {
                               case 'o': out = v; break;
                               case 'I': opt.include_dirs.push_back(v); break;
                               case 'l': listing = v; break;
                               case 'd': dis = v; break;
                               case 'w': quiet = true; break;
                               case DEPFILE: depfile = v; break;
                               case LIST_FILE: list_mode = true; break;
                               }
                               return 0;
                           });
    if (status >= 0)
        return status;
    std::vector<std::string> sources(argv + optind, argv + argc);
    if (list_mode) {
        if (!out.empty() || !dis.empty() || !listing.empty() || !depfile.empty())
            return bad_usage("--list-file takes only an output file and names");
        return list_file(sources);
    }
    if (!dis.empty()) {
        if (!sources.empty() || !listing.empty() || !depfile.empty())
            return bad_usage("-d takes one compiled file and optionally -o");
        return disassemble(dis, out);
    }
    if (sources.empty())
        return bad_usage("no source files");
    if (out.empty())
        out = default_output(sources[0]);

    opt.listing = !listing.empty();
    AsmResult r = asm_assemble(sources, opt);
    for (const AsmMessage& m : r.messages)
        if (!m.warning || !quiet)
            diag("%s\n", asm_format(m).c_str());
    if (!r.ok)
        return 1;
    AmcWords words;
    for (auto& p : r.programs)
        words.push_back(p.words);
    std::vector<uint8_t> image = amc_image_compiled(words);
    std::string err = asm_write_file(out, image.data(), image.size());
    if (err.empty() && !listing.empty())
        err = asm_write_file(listing, r.listing.data(), r.listing.size());
    if (err.empty() && !depfile.empty()) {
        std::string rule = make_escape(out) + ":";
        for (const auto& f : r.files)
            rule += " " + make_escape(f);
        rule += "\n";
        err = asm_write_file(depfile, rule.data(), rule.size());
    }
    if (!err.empty()) {
        diag("amcasm: %s\n", err.c_str());
        return 1;
    }
    return 0;
}
