#include "gfx/scene.h"

void draw_scene(int) {}
void draw_tile_block(BITMAP*, unsigned, int, int, int, int) {}
void draw_map_cell(BITMAP*, int, int, unsigned) {}
void draw_parallax_band() {}
void draw_van_band() {}
void draw_credits() {}
void type_captions() {}
int scene_draw_list(int, int16_t*) { return 0; }
int caption_due(int, uint32_t, const CaptionLine**, int*) { return 0; }
const char* const credits_text[CREDITS_LINES] = {};
