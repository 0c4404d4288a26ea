#include "tests/data/data_fixture.h"

#include <cerrno>
#include <fstream>
#include <regex>

#include "nwd_datafile_key.h"

namespace datatest {

const char* const kPassword = DATAFILE_PASSWORD;

void start_allegro()
{
    static bool started = false;
    if (!started) {
        install_allegro(SYSTEM_NONE, &errno, atexit);
        set_color_conversion(COLORCONV_NONE);
        started = true;
    }
}

std::string game_path(const char* rel) { return std::string(NWD_GAME_DIR) + rel; }

DATAFILE* main_datafile()
{
    static DATAFILE* dat = nullptr;
    if (!dat) {
        start_allegro();
        packfile_password(kPassword);
        dat = load_datafile(game_path("DATA/NIGHTWAR.DAT").c_str());
        packfile_password(nullptr);
    }
    return dat;
}

BITMAP* picture(int index) { return (BITMAP*)main_datafile()[index].dat; }

std::map<std::string, int> include_constants(const char* path)
{
    std::map<std::string, int> c;
    std::ifstream in(path);
    std::string line;
    std::regex re(R"(^const (\w+) = (\d+)$)");
    std::smatch m;
    while (std::getline(in, line))
        if (std::regex_match(line, m, re))
            c[m[1]] = std::stoi(m[2]);
    return c;
}

}  // namespace datatest
