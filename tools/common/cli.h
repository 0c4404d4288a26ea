// One way of reading options for every tool: getopt_long with -h/--help and
// --version added, and an unknown option or a missing value named on the
// standard error stream with exit status 2.
#pragma once

#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nwd_version.h"

// Reads the options of argv. `on(key, value)` handles each of the tool's own
// options (value is null for flags) and returns 0 to go on or an exit status
// to stop with. Returns -1 when the caller goes on with its positional
// arguments, argv[optind] to argv[argc - 1]; otherwise the exit status.
template <class Handler>
int cli_parse(int argc, char** argv, const char* tool, const char* shortopts,
              std::vector<option> longopts, void (*usage)(FILE*), Handler on)
{
    const int version = 0x7FFF;
    std::string shorts = std::string(":h") + shortopts;
    longopts.push_back({"help", no_argument, nullptr, 'h'});
    longopts.push_back({"version", no_argument, nullptr, version});
    longopts.push_back({nullptr, 0, nullptr, 0});
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, shorts.c_str(), longopts.data(), nullptr)) != -1) {
        if (c == 'h') {
            usage(stdout);
            return 0;
        }
        if (c == version) {
            std::printf("%s (Nightward) %s\n", tool, NWD_VERSION);
            return 0;
        }
        if (c == '?' || c == ':') {
            // A short option is known by its letter; a long one only by its word.
            const char* word = argv[optind - 1];
            bool is_short = optopt > 0 && optopt < 128 && std::strncmp(word, "--", 2) != 0;
            std::string name = is_short ? std::string("-") + (char)optopt : word;
            name = name.substr(0, name.find('='));
            std::fprintf(stderr,
                         c == '?' ? "%s: unknown option '%s'\n" : "%s: option '%s' needs a value\n",
                         tool, name.c_str());
            std::fprintf(stderr, "Try '%s --help'.\n", tool);
            return 2;
        }
        if (int r = on(c, optarg))
            return r;
    }
    return -1;
}
