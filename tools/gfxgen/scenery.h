// Scenery drawn on a level canvas: walls, windows, doors, signs, lamps,
// fences. Coordinates are canvas pixels, rectangles inclusive.
#pragma once

#include "tools/gfxgen/canvas.h"

namespace gg {

// Materials repeat every 64 pixels at most, so walls share tiles.
void bricks(Canvas& cv, int x0, int y0, int x1, int y1, Rgb brick, Rgb mortar, int seed);
void concrete(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed, int panel = 32);
// Dressed stone blocks, 16 x 8, joints staggered.
void ashlar(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed);
void planks(Canvas& cv, int x0, int y0, int x1, int y1, Rgb wood, int seed, bool vertical);
void corrugated(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed);
void grime(Canvas& cv, int x0, int y0, int x1, int y1, int seed, float amount);

// A window `w` x `h` at (x, y): kind 0 dark, 1 lit warm, 2 lit with curtains,
// 3 lit with blinds, 4 television blue, 5 boarded up, 6 dark with a broken pane.
void window(Canvas& cv, int x, int y, int w, int h, int kind, int seed, Rgb frame);
void door(Canvas& cv, int x, int y, int w, int h, Rgb wood, bool lit_pane, int seed);
void shutter(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed);
void shop_window(Canvas& cv, int x0, int y0, int x1, int y1, Rgb light, int goods, int seed);
void awning(Canvas& cv, int x0, int y0, int x1, int depth, Rgb a, Rgb b);
// A flat sign board with centred lettering.
void sign(Canvas& cv, int x0, int y0, int x1, int y1, const std::string& text, Rgb board, Rgb ink,
          int scale = 1);
// Glowing tube lettering, centred on cx.
void neon(Canvas& cv, int cx, int y, const std::string& text, Rgb tube, int scale = 1);
void graffiti(Canvas& cv, int x, int y, const std::string& text, Rgb fill, Rgb outline, int seed,
              int scale = 2);
void poster(Canvas& cv, int x, int y, int w, int h, int seed);

// A street lamp whose foot stands at (x, foot); its head hangs over the
// street at `head` and lights the wall behind and the ground below.
void street_lamp(Canvas& cv, int x, int foot, int head, Rgb light, int style);
// Wire mesh; holes stay as they are (transparent canvases show through).
void chain_link(Canvas& cv, int x0, int y0, int x1, int y1, Rgb wire);
void barbed_wire(Canvas& cv, int x0, int x1, int y, Rgb wire);

// Ground: paving slabs between y0 and y1 with a kerb and road below kerb_y.
void paving(Canvas& cv, int x0, int x1, int y0, int y1, Rgb stone, int seed, int kerb_y);
void asphalt(Canvas& cv, int x0, int y0, int x1, int y1, Rgb base, int seed);
void puddle(Canvas& cv, int cx, int cy, int rx, int ry, Rgb sky);

// A shadow cast down onto what is painted, darkest at the top edge.
void shadow_band(Canvas& cv, int x0, int x1, int y, int h, float k);

}  // namespace gg
