#include "sim.h"

#include "actor.h"
#include "amc.h"
#include "amc_vm.h"
#include "diag.h"
#include "world.h"

#include <cstdarg>
#include <cstring>
#include <string>

void sim_trace_write(SimTrace& t, const char* text, size_t len)
{
    if (t.hash) {
        for (size_t i = 0; i < len; i++) {
            t.fnv ^= (unsigned char)text[i];
            t.fnv *= 1099511628211ULL;
        }
    }
    if (!t.out)
        return;
    if (t.len + len > sizeof t.buf)
        sim_trace_flush(t);
    if (len > sizeof t.buf) {
        fwrite(text, 1, len, t.out);
        return;
    }
    memcpy(t.buf + t.len, text, len);
    t.len += len;
}

void sim_trace_flush(SimTrace& t)
{
    if (t.out && t.len)
        fwrite(t.buf, 1, t.len, t.out);
    t.len = 0;
}

static void tracef(SimTrace& t, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
static void tracef(SimTrace& t, const char* fmt, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    if (n > 0)
        sim_trace_write(t, line, (size_t)n < sizeof line ? (size_t)n : sizeof line - 1);
}

void sim_start(const SimOptions& o)
{
    actor_table_reset();
    amc_seed(o.seed);
    WorldStart st{};
    st.level = o.level;
    st.mode = o.mode;
    st.skill = o.skill;
    if (o.mode == 1) {
        st.stars = 1;
        st.lives = 2;
    }
    world_start_level(st);
}

// Diagnostics written during a tick are kept and traced as M lines after the
// T line (which needs the seed at the tick's end). A runaway script can write
// thousands in one tick: the buffer grows then, and only then.
static std::string tick_diags;

static void capture_diag(const char* text, size_t len, void*)
{
    tick_diags.append(text, len);
}

struct SoundLines {
    SimTrace* trace;
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

static void trace_regs(SimTrace& t, const int16_t* r, char sep)
{
    char line[32 * 8 + 4];
    size_t n = 0;
    for (int i = 0; i < 32; i++)
        n += (size_t)snprintf(line + n, sizeof line - n, "%c%d", i == 0 ? (sep == ',' ? '=' : ' ') : sep, r[i]);
    line[n++] = '\n';
    sim_trace_write(t, line, n);
}

bool sim_tick(SimTrace& t, uint32_t tick, int16_t controls)
{
    static SoundLines sounds;
    if (tick_diags.capacity() < 65536)
        tick_diags.reserve(65536);
    tick_diags.clear();
    sounds.len = 0;
    sounds.trace = &t;
    diag_set_sink(capture_diag, nullptr);
    world_step(controls, nullptr, trace_sound, &sounds);
    diag_set_sink(nullptr, nullptr);

    tracef(t, "T %u seed=%d\n", tick, amc_get_seed());
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
    sim_trace_write(t, "G", 1);
    trace_regs(t, amc_globals, ' ');
    sim_trace_write(t, "H", 1);
    trace_regs(t, actor_table.slots[0].regs, ' ');
    int s = actor_next(0);
    for (int n = 0; s != 0 && n < AMC_PASS_TURNS; n++) {
        const Actor& a = actor_table.slots[s];
        bool has = a.program >= 0;
        tracef(t, "A %d prog=%d pc=%d handler=%d move=%d,%d,%d,%d,%d,%u r", s, has ? a.program : -1,
               has ? a.resume_pc : 0, has ? a.handler_pc : -1, a.move_dx, a.move_dy, a.move_duration,
               a.move_rem_x, a.move_rem_y, (unsigned)a.move_ticks_left);
        trace_regs(t, a.regs, ',');
        s = actor_next(s);
    }
    int16_t exit_req = amc_globals[GLOBAL_EXIT_REQUEST];
    if (exit_req & EXIT_REQUESTED) {
        tracef(t, "X %d\n", exit_req & 0xFF);
        return true;
    }
    return false;
}
