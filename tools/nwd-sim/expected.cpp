#include "expected.h"

#include <cerrno>
#include <cstring>

namespace {

struct Reader {
    FILE* f;
    const char* path;
    FILE* err;
    long line = 0;
    char text[128]{};

    bool fail(const char* msg)
    {
        fprintf(err, "nwd-sim: %s:%ld: %s\n", path, line, msg);
        return false;
    }

    // The next line without its end; false at the end of the file. A line
    // too long or holding a NUL byte is damage, reported as such.
    bool next(bool* damaged)
    {
        size_t n = 0;
        int c;
        *damaged = false;
        while ((c = getc(f)) != EOF && c != '\n') {
            if (c == 0 || n + 1 >= sizeof text) {
                *damaged = true;
                while ((c = getc(f)) != EOF && c != '\n') {}
                break;
            }
            text[n++] = (char)c;
        }
        if (c == EOF && n == 0 && !*damaged)
            return false;
        line++;
        if (n > 0 && text[n - 1] == '\r')
            n--;
        text[n] = 0;
        return true;
    }
};

// Parses a decimal number in lo..hi at p, moving p past it.
bool number(const char*& p, long long lo, long long hi, long long* out)
{
    const char* s = p;
    bool neg = *s == '-';
    if (neg)
        s++;
    if (*s < '0' || *s > '9')
        return false;
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; s++) {
        v = v * 10 + (*s - '0');
        if (v > 4294967296LL)
            return false;
    }
    v = neg ? -v : v;
    if (v < lo || v > hi)
        return false;
    p = s;
    *out = v;
    return true;
}

// " name=<number>" at p.
bool field(const char*& p, const char* name, long long lo, long long hi, long long* out)
{
    size_t n = strlen(name);
    if (*p != ' ' || strncmp(p + 1, name, n) != 0 || p[1 + n] != '=')
        return false;
    const char* q = p + 2 + n;
    if (!number(q, lo, hi, out))
        return false;
    p = q;
    return true;
}

bool parse_hash(const char* p, uint64_t* out);

bool parse_start(const char* p, ExpectedGame& g)
{
    long long level, mode, skill, seed;
    p += 4;  // "game"
    if (!field(p, "level", -32768, 32767, &level) || !field(p, "mode", -32768, 32767, &mode) ||
        !field(p, "skill", -32768, 32767, &skill) || !field(p, "seed", 0, 4294967295LL, &seed))
        return false;
    if (strncmp(p, " sound=on", 9) == 0)
        g.sound = true, p += 9;
    else if (strncmp(p, " sound=off", 10) == 0)
        g.sound = false, p += 10;
    else
        return false;
    if (strncmp(p, " programs=", 10) == 0) {
        if (!parse_hash(p + 10, &g.programs))
            return false;
        g.has_programs = true;
    } else if (*p) {
        return false;
    }
    g.level = (int16_t)level;
    g.mode = (int16_t)mode;
    g.skill = (int16_t)skill;
    g.seed = (uint32_t)seed;
    g.has_start = true;
    return true;
}

bool parse_hash(const char* p, uint64_t* out)
{
    uint64_t h = 0;
    int n = 0;
    for (; n < 16; n++, p++) {
        int d = *p >= '0' && *p <= '9' ? *p - '0' : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10 : -1;
        if (d < 0)
            return false;
        h = h << 4 | (uint64_t)d;
    }
    *out = h;
    return *p == 0;
}

}  // namespace

bool read_expected(const char* path, ExpectedGame& g, FILE* err)
{
    FILE* f = fopen(path, "rb");
    if (!f) {
        fprintf(err, "nwd-sim: %s: cannot read: %s\n", path, strerror(errno));
        return false;
    }
    Reader r{f, path, err};
    bool ended = false, ok = true, damaged;
    char expect[64];
    while (ok && r.next(&damaged)) {
        const char* p = r.text;
        if (damaged) {
            ok = r.fail("not a line of a game's trace");
        } else if (ended) {
            ok = r.fail("text after the end line: a trace holds one game");
        } else if (strncmp(p, "game ", 5) == 0) {
            if (r.line != 1)
                ok = r.fail("a second game: a trace holds one game");
            else if (!parse_start(p, g))
                ok = r.fail(
                    "expected 'game level=L mode=M skill=S seed=N sound=on|off [programs=H]'");
        } else if (strncmp(p, "tick ", 5) == 0) {
            // Ticks count from 1 without a gap: the verifier compares them in order.
            int n = snprintf(expect, sizeof expect, "tick %zu ", g.hashes.size() + 1);
            uint64_t h;
            if (strncmp(p, expect, (size_t)n) != 0 || !parse_hash(p + n, &h)) {
                snprintf(expect, sizeof expect, "expected 'tick %zu <16 hex digits>'",
                         g.hashes.size() + 1);
                ok = r.fail(expect);
            } else {
                g.hashes.push_back(h);
            }
        } else if (strncmp(p, "end", 3) == 0) {
            long long score = 0, outcome = 0, ticks = 0;
            p += 3;
            if (!field(p, "score", -32768, 32767, &score) ||
                !field(p, "outcome", -32768, 32767, &outcome) ||
                !field(p, "ticks", 0, 4294967295LL, &ticks) || *p)
                ok = r.fail("expected 'end score=S outcome=R ticks=N'");
            else if ((uint64_t)ticks != g.hashes.size())
                ok = r.fail("the end line's tick count is not the number of tick lines");
            g.score = (int16_t)score;
            g.outcome = (int)outcome;
            ended = true;
        } else {
            ok = r.fail("not a line of a game's trace");
        }
    }
    if (ok && ferror(f)) {
        fprintf(err, "nwd-sim: %s: cannot read: %s\n", path, strerror(errno));
        ok = false;
    }
    if (ok && !ended) {
        r.line++;
        ok = r.fail("no end line: the game did not finish");
    }
    fclose(f);
    return ok;
}
