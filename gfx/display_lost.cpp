// The end of the run when the X display goes away under it.
#include <X11/Xlib.h>
#include <unistd.h>

#include "gfx/display.h"

namespace {

void (*loss_hook)() = nullptr;

// Called by the X library from inside whichever call found the connection
// dead, with its lock held: the library's own exit handler would wait for
// that lock for ever, so the process ends here.
int on_io_error(Display*)
{
    if (loss_hook)
        loss_hook();
    _exit(1);
}

}  // namespace

void display_on_loss(void (*hook)())
{
    loss_hook = hook;
    XSetIOErrorHandler(on_io_error);
}
