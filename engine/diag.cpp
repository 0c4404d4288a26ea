#include "diag.h"

#include <cstdarg>
#include <cstdio>

static DiagSink diag_sink = nullptr;
static void* diag_user = nullptr;
static const char* diag_program = nullptr;

void diag_set_program(const char* name) { diag_program = name; }

void diag_set_sink(DiagSink sink, void* user)
{
    diag_sink = sink;
    diag_user = user;
}

void diag(const char* fmt, ...)
{
    char buf[1024];
    int at = diag_program ? snprintf(buf, 256, "%s: ", diag_program) : 0;
    if (at < 0 || at >= 256)
        at = 0;
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf + at, sizeof buf - (size_t)at, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    n += at;
    size_t len = (size_t)n < sizeof buf ? (size_t)n : sizeof buf - 1;
    if (diag_sink) {
        diag_sink(buf, len, diag_user);
    } else {
        fwrite(buf, 1, len, stderr);
        fflush(stderr);
    }
}
