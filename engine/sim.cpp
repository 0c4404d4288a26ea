#include "sim.h"

#include "actor.h"
#include "amc.h"
#include "amc_vm.h"
#include "diag.h"

#include <cstdarg>
#include <cstring>
#include <string>

uint64_t sim_fnv1a(uint64_t h, const void* data, size_t len)
{
    const unsigned char* b = (const unsigned char*)data;
    for (size_t i = 0; i < len; i++) {
        h ^= b[i];
        h *= SIM_FNV_PRIME;
    }
    return h;
}

void sim_trace_flush(SimTrace& t)
{
    if (t.hash)
        t.fnv = sim_fnv1a(t.fnv, t.buf, t.len);
    if (t.out && t.len)
        fwrite(t.buf, 1, t.len, t.out);
    t.len = 0;
}

void sim_trace_write(SimTrace& t, const char* text, size_t len)
{
    while (len > 0) {
        if (t.len == sizeof t.buf)
            sim_trace_flush(t);
        size_t n = sizeof t.buf - t.len < len ? sizeof t.buf - t.len : len;
        memcpy(t.buf + t.len, text, n);
        t.len += n;
        text += n;
        len -= n;
    }
}

void sim_tracef(SimTrace& t, const char* fmt, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    if (n > 0)
        sim_trace_write(t, line, (size_t)n < sizeof line ? (size_t)n : sizeof line - 1);
}

// Numbers are formatted by hand straight into the trace buffer: printf's
// parsing was most of the cost of a trace.
static char* put_uint(char* p, uint32_t v)
{
    if (v < 10) {
        *p++ = (char)('0' + v);
        return p;
    }
    char tmp[10];
    int n = 0;
    while (v) {
        tmp[n++] = (char)('0' + v % 10);
        v /= 10;
    }
    while (n)
        *p++ = tmp[--n];
    return p;
}

static char* put_int(char* p, int32_t v)
{
    if (v < 0) {
        *p++ = '-';
        return put_uint(p, 0u - (uint32_t)v);
    }
    return put_uint(p, (uint32_t)v);
}

static char* put_text(char* p, const char* s)
{
    while (*s)
        *p++ = *s++;
    return p;
}

// Room for the longest line the tick writes itself (an A line: 42 numbers
// of at most 11 characters and their labels).
static char* line_start(SimTrace& t)
{
    if (sizeof t.buf - t.len < 640)
        sim_trace_flush(t);
    return t.buf + t.len;
}

static void line_end(SimTrace& t, char* p)
{
    *p++ = '\n';
    t.len = (size_t)(p - t.buf);
}

static char* put_regs(char* p, const int16_t* r, char first, char sep)
{
    *p++ = first;
    p = put_int(p, r[0]);
    for (int i = 1; i < 32; i++) {
        *p++ = sep;
        p = put_int(p, r[i]);
    }
    return p;
}

WorldStart sim_start(const SimOptions& o)
{
    actor_table_reset();
    WorldStart w = world_new_game(o.level, o.mode, o.skill, (uint32_t)o.seed);
    world_start_level(w);
    return w;
}

static void clear_request(int, int, int, void*) {}

bool sim_step(int16_t controls, bool sound)
{
    world_step(controls, nullptr, sound ? clear_request : nullptr, nullptr);
    return (amc_globals[GLOBAL_EXIT_REQUEST] & EXIT) != 0;
}

// Diagnostics written during a tick are kept and traced as M lines after the
// T line (which needs the seed at the tick's end). A runaway script can write
// thousands in one tick: the buffer grows then, and only then.
static std::string tick_diags;

static void capture_diag(const char* text, size_t len, void*) { tick_diags.append(text, len); }

struct SoundLines {
    char text[63 * 24];
    size_t len;
};

static void trace_sound(int slot, int effect, int pan, void* user)
{
    SoundLines* s = (SoundLines*)user;
    int n = snprintf(s->text + s->len, sizeof s->text - s->len, "S %d %d %d\n", slot, effect, pan);
    if (n > 0 && s->len + (size_t)n < sizeof s->text)
        s->len += (size_t)n;
}

bool sim_tick(SimTrace& t, uint32_t tick, int16_t controls, bool sound)
{
    static SoundLines sounds;
    if (tick_diags.capacity() < 65536)
        tick_diags.reserve(65536);
    tick_diags.clear();
    sounds.len = 0;
    diag_set_sink(capture_diag, nullptr);
    world_step(controls, nullptr, sound ? trace_sound : nullptr, &sounds);
    diag_set_sink(nullptr, nullptr);

    char* p = line_start(t);
    p = put_text(p, "T ");
    p = put_uint(p, tick);
    p = put_text(p, " seed=");
    p = put_int(p, amc_get_seed());
    line_end(t, p);
    for (size_t i = 0; i < tick_diags.size();) {
        size_t e = i;
        while (e < tick_diags.size() && tick_diags[e] != '\n')
            e++;
        sim_trace_write(t, "M ", 2);
        sim_trace_write(t, tick_diags.data() + i, e - i);
        sim_trace_write(t, "\n", 1);
        i = e + 1;
    }
    sim_trace_write(t, sounds.text, sounds.len);
    p = line_start(t);
    *p++ = 'G';
    line_end(t, put_regs(p, amc_globals, ' ', ' '));
    p = line_start(t);
    *p++ = 'H';
    line_end(t, put_regs(p, actor_table.slots[0].regs, ' ', ' '));
    int s = actor_next(0);
    for (int n = 0; s != 0 && n < AMC_PASS_TURNS; n++) {
        const Actor& a = actor_table.slots[s];
        bool has = a.program >= 0;
        p = line_start(t);
        p = put_text(p, "A ");
        p = put_int(p, s);
        p = put_text(p, " prog=");
        p = put_int(p, has ? a.program : -1);
        p = put_text(p, " pc=");
        p = put_int(p, has ? a.resume_pc : 0);
        p = put_text(p, " handler=");
        p = put_int(p, has ? a.handler_pc : -1);
        p = put_text(p, " move=");
        p = put_int(p, a.move_dx);
        *p++ = ',';
        p = put_int(p, a.move_dy);
        *p++ = ',';
        p = put_int(p, a.move_duration);
        *p++ = ',';
        p = put_int(p, a.move_rem_x);
        *p++ = ',';
        p = put_int(p, a.move_rem_y);
        *p++ = ',';
        p = put_uint(p, a.move_ticks_left);
        p = put_text(p, " r");
        line_end(t, put_regs(p, a.regs, '=', ','));
        s = actor_next(s);
    }
    int16_t exit_req = amc_globals[GLOBAL_EXIT_REQUEST];
    if (exit_req & EXIT) {
        p = line_start(t);
        p = put_text(p, "X ");
        line_end(t, put_int(p, exit_req & 0xFF));
        return true;
    }
    return false;
}
