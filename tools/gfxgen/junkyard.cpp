#include "tools/gfxgen/city.h"
#include "tools/gfxgen/scenery.h"

namespace gg {

const PainterEntry junk_pieces[] = {
    {nullptr, nullptr},
};

}  // namespace gg
