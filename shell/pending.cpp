// Stand-ins for calls into subsystems whose real code has not landed yet.
// Each does what its subsystem does when it has nothing to do. Delete a
// stand-in in the same commit that brings the real function.
#include <allegro.h>

#include "audio/music.h"
#include "frontend/menu.h"
#include "game/scores.h"
#include "game/session.h"
#include "gfx/display.h"
#include "input/input.h"
#include "shell/options.h"
#include "shell/startup.h"

// frontend: the sub-menus of the title and pause menus. Setup starts a new
// game from the story, as its first row will; the others have nothing to show.
int game_setup_menu(int) { return 0; }
void options_menu(int) {}
void replay_menu(int) {}
