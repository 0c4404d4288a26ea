// Shared set-up for the game-data tests: Allegro without a display, and the
// built game folder's datafiles loaded once.
#pragma once

#include <allegro.h>

#include <map>
#include <string>

namespace datatest {

extern const char* const kPassword;

void start_allegro();
DATAFILE* main_datafile();  // NIGHTWAR.DAT, loaded with the password
std::string game_path(const char* rel);
BITMAP* picture(int index);  // of the main datafile
// The "const NAME = number" lines of the scripts' include file.
std::map<std::string, int> include_constants(const char* path);

}  // namespace datatest
