// Background pictures behind the streets and the credits.
#include <algorithm>

#include "tools/gfxgen/canvas.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

BITMAP* paint_skyline() {
  Canvas cv(128, 112);
  night_sky(cv, 0, 127, 111, 1, rgb(8, 10, 30), rgb(90, 60, 90));
  BITMAP* b = quantize(cv);
  return b;
}

BITMAP* paint_river() {
  Canvas cv(384, 128);
  night_sky(cv, 0, 383, 127, 2, rgb(6, 12, 30), rgb(40, 64, 100));
  return quantize(cv);
}

BITMAP* paint_harbour() {
  Canvas cv(768, 208);
  night_sky(cv, 0, 767, 207, 3, rgb(6, 12, 30), rgb(40, 80, 90));
  return quantize(cv);
}

BITMAP* paint_credits_scenery() {
  Canvas cv(128, 208);
  night_sky(cv, 0, 127, 207, 4, rgb(6, 12, 30), rgb(40, 80, 90));
  return quantize(cv);
}

}  // namespace gg
