// Arbitrary bytes as a demo file and a game's trace. Loading and playing the
// demo must never read past its bytes nor hang, whatever the header claims;
// a whole game played from it, level after level as its words choose, and
// checked against the trace bytes must end with a verdict, never a crash.
// Input: 2 bytes (little-endian) giving the demo's length, the demo, then
// the trace.
#include "demo/state.h"
#include "engine/amc.h"
#include "engine/amc_ops.h"
#include "engine/amc_vm.h"
#include "tools/nwd-sim/run.h"

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

char dir[64];
FILE* sink;

std::string file(const char* name) { return std::string(dir) + name; }

void write_file(const std::string& path, const uint8_t* data, size_t size)
{
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
}

// Idle programs but the director, which adds each tick's word to the score
// and, when the word holds punch, ends the level with the word's high byte:
// any row, a game over or a won game.
void write_programs()
{
    std::string amc = "AMC";
    auto put = [&](int w) { amc += (char)(w & 0xFF), amc += (char)((w >> 8) & 0xFF); };
    const int idle[] = {OP_YIELD, OP_JUMP, 0};
    // clang-format off
    const int director[] = {
        OP_GLOBAL, GLOBAL_CONTROLS, ALU_LOAD, OP_GLOBAL, GLOBAL_SCORE, ALU_ADD,
        OP_GLOBAL, GLOBAL_SCORE, ALU_STORE,
        OP_GLOBAL, GLOBAL_CONTROLS, ALU_LOAD, OP_IMM, CTRL_PUNCH, ALU_AND, OP_JUMP_IF_ZERO, 32,
        OP_GLOBAL, GLOBAL_CONTROLS, ALU_LOAD, OP_IMM, 256, ALU_DIV, OP_IMM, 255, ALU_AND,
        OP_IMM, EXIT, ALU_OR, OP_GLOBAL, GLOBAL_EXIT_REQUEST, ALU_STORE,
        OP_YIELD, OP_JUMP, 0};
    // clang-format on
    for (int p = 0; p <= PROGRAM_DIRECTOR; p++) {
        const int* w = p == PROGRAM_DIRECTOR ? director : idle;
        int n = p == PROGRAM_DIRECTOR ? (int)(sizeof director / sizeof *director) : 3;
        put(n);
        for (int i = 0; i < n; i++)
            put(w[i]);
    }
    put(0);
    write_file(file(".AMC"), (const uint8_t*)amc.data(), amc.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!dir[0]) {
        snprintf(dir, sizeof dir, "/tmp/fuzz_demo_%d", (int)getpid());
        write_programs();
        sink = fopen("/dev/null", "w");
    }
    if (size < 2)
        return 0;
    size_t len = (size_t)(data[0] | data[1] << 8);
    if (len > size - 2)
        len = size - 2;
    write_file(file(".dem"), data + 2, len);
    DemoImage* d = demo_load(file(".dem").c_str());
    if (!d)
        return 0;
    // Playback is bounded by the runs in the file, so a header promising
    // billions of frames ends with the bytes; the cap only guards the
    // fuzzer's time should that ever break.
    demo_play_start(d);
    uint32_t limit = 65536u * (d->size / 4 + 1);
    for (uint32_t i = 0; i <= limit && !(demos.state & DEMO_ENDED); i++)
        demo_play_next();
    if (!(demos.state & DEMO_ENDED))
        __builtin_trap();
    demo_save(d, file(".out").c_str());

    amc_unload_all();
    amc_vm_reset();
    if (amc_load(file(".AMC").c_str()) == 0) {
        SimRun r;
        DemoHeader h = demo_header(d);
        r.o.level = h.level, r.o.mode = h.mode, r.o.skill = h.skill, r.o.seed = (int32_t)h.seed;
        r.game = true;
        r.demo = d;
        r.max_ticks = 3000;  // a long demo is long, not wrong; keep inputs quick
        write_file(file(".trace"), data + 2 + len, size - 2 - len);
        static ExpectedGame want;
        want = ExpectedGame{};
        if (read_expected(file(".trace").c_str(), want, sink))
            sim_verify(file(".AMC").c_str(), "trace", want, r, sink, sink);
        else
            sim_run(r, nullptr, 0, SimTickCheck{});
    }
    demo_free(d);
    return 0;
}
