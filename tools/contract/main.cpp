// nwd-contract: reads the table of numbers that the engine and the scripts
// share (data/amc/contract.txt) and writes the engine's side, a C++ header,
// or the scripts' side, an include file for amcasm.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/common/cli.h"
#include "tools/contract/contract.h"

namespace {

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-contract (--header | --include) TABLE OUTPUT\n"
                 "  --header   OUTPUT is the C++ header: PROGRAM_, ARG_, SLOT_, REG_ and\n"
                 "             GLOBAL_ names and the table's values\n"
                 "  --include  OUTPUT is the scripts' include: the table's names for amcasm\n"
                 "  TABLE      rows \"KIND NAME NUMBER BY MEANING\" (see data/amc/contract.txt)\n"
                 "  -h, --help, --version\n");
}

bool read_file(const char* path, std::string& text)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int what = 0;
    int r =
        cli_parse(argc, argv, "nwd-contract", "",
                  {{"header", no_argument, nullptr, 'H'}, {"include", no_argument, nullptr, 'I'}},
                  usage, [&](int c, const char*) {
                      what = c;
                      return 0;
                  });
    if (r >= 0)
        return r;
    if (!what || argc - optind != 2) {
        usage(stderr);
        return 2;
    }
    const char* table = argv[optind];
    std::string out = argv[optind + 1], text, errors;
    if (!read_file(table, text)) {
        std::fprintf(stderr, "nwd-contract: %s: cannot read: %s\n", table, std::strerror(errno));
        return 1;
    }
    std::vector<ContractRow> rows;
    if (!contract_parse(text, table, rows, errors)) {
        // Each "file:line: message" said as the tool's own.
        for (size_t at = 0, end; at < errors.size(); at = end + 1) {
            end = errors.find('\n', at);
            if (end == std::string::npos)
                end = errors.size();
            std::fprintf(stderr, "nwd-contract: %s\n", errors.substr(at, end - at).c_str());
        }
        return 1;
    }
    const char* base = std::strrchr(table, '/');
    base = base ? base + 1 : table;
    std::string made = what == 'H' ? contract_header(rows, base) : contract_include(rows, base);
    std::string tmp = out + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    bool ok = f && std::fwrite(made.data(), 1, made.size(), f) == made.size();
    if (f)
        ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), out.c_str()) != 0) {
        std::remove(tmp.c_str());
        std::fprintf(stderr, "nwd-contract: %s: cannot write\n", out.c_str());
        return 1;
    }
    return 0;
}
