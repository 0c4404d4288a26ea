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
