#include "diag.h"

#include <cstdarg>
#include <cstdio>

static DiagSink diag_sink = nullptr;
static void* diag_user = nullptr;

void diag_set_sink(DiagSink sink, void* user)
{
    diag_sink = sink;
    diag_user = user;
}

void diag(const char* fmt, ...)
{
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    size_t len = (size_t)n < sizeof buf ? (size_t)n : sizeof buf - 1;
    if (diag_sink) {
        diag_sink(buf, len, diag_user);
    } else {
        fwrite(buf, 1, len, stderr);
        fflush(stderr);
    }
}
