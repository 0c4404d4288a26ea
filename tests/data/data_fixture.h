// Shared set-up for the game-data tests: Allegro without a display, and the
// built game folder's datafiles loaded once.
#pragma once

#include <allegro.h>

#include <string>

namespace datatest {

extern const char* const kPassword;

void start_allegro();
DATAFILE* main_datafile();  // NIGHTWAR.DAT, loaded with the password
std::string game_path(const char* rel);

}  // namespace datatest
