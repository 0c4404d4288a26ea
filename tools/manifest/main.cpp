// nwd-manifest: the manifest of a folder's shipped files, which start-up
// compares the files with.
#include <cstdio>
#include <cstring>
#include <string>

#include "fileio/manifest.h"

int main(int argc, char** argv)
{
    const char* usage =
        "usage: nwd-manifest OUT FILE...\n"
        "  writes OUT: one line \"<hash>  NAME\" per FILE, all in OUT's folder\n";
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc < 3) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::string out = argv[1];
    size_t slash = out.rfind('/');
    std::string dir = slash == std::string::npos ? "" : out.substr(0, slash + 1);
    // Names relative to the manifest's folder, however they were given.
    for (int i = 2; i < argc; i++) {
        const char* s = std::strrchr(argv[i], '/');
        argv[i] = s ? const_cast<char*>(s + 1) : argv[i];
    }
    return manifest_write(out.c_str(), dir.c_str(), argv + 2, argc - 2) ? 0 : 1;
}
