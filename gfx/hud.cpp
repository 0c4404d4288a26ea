#include "gfx/hud.h"

int draw_hud(BITMAP*, int, int, int, int, int, int, int, int, int, int) { return 0; }
void draw_hud_now(int) {}
void draw_statistics_values(BITMAP*, uint16_t, const StatsLine&) {}
void draw_statistics(BITMAP*, uint16_t) {}
