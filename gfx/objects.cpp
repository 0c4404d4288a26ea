#include "gfx/objects.h"

#include <allegro.h>

#include "gfx/main_data.h"
#include "gfx/state.h"

MainObjects main_objects()
{
    MainObjects m{gfx.main_data, 0};
    if (m.data)
        while (m.data[m.count].type != DAT_END)
            m.count++;
    return m;
}

BITMAP* MainObjects::bitmap(int index) const
{
    if (index < 0 || index >= count || data[index].type != DAT_BITMAP || !data[index].dat)
        return nullptr;
    BITMAP* b = (BITMAP*)data[index].dat;
    return bitmap_color_depth(b) == 8 ? b : nullptr;
}

FONT* MainObjects::font(int index) const
{
    if (index < 0 || index >= count || data[index].type != DAT_FONT)
        return nullptr;
    return (FONT*)data[index].dat;
}
