// nwd-modgen: writes a multi-channel tracker module (IT) from a text score.
// Instruments are synthesised (synth.cpp); the score gives the harmony of each
// pattern, hand-written melodies, and parts that follow the chords by style.
//
// Score lines ('#' after a blank starts a comment; tokens split on blanks):
//   title TEXT                song title (up to 20 characters)
//   tempo BPM / speed N       beats per minute, ticks per row (6: a row is a 16th)
//   gain N                    every note's volume scaled by N/64: the mix's headroom
//                             (the song is then set to the game's music level, see
//                             set_tick_volumes and write_it, as far as 64 leaves room)
//   level DB                  the song that much (0 to -6 dB) under the game's
//                             music level: a street a little quieter than the
//                             gang's turf
//   swing N                   rows on the beat N ticks longer, the rows after N shorter
//   instr NAME PRESET [k=v]   an instrument from a preset; knobs vol pan att dec
//                             sus rel bright vib
//   track NAME INSTR [ch=N oct=N vol=N pan=N echo=TRACK,ROWS,VOL]
//                             a tonal part on N channels around octave N
//   drums NAME L=INSTR[:VOL]  a step part: each letter plays an instrument
//   phrase NAME TOKENS        text that `$NAME` (or `$NAME+N`, transposed) repeats
//   pattern NAME [ROWS] [from OTHER]
//                             a pattern (64 rows unless said), a copy of another
//   transpose N               shifts this pattern's chords and notes
//   chords SYM/ROWS ...       the harmony: Am7/16 F/8 C/G/8 ... (length sticky)
//   TRACK TOKENS              notes: C4/4 (length sticky), . rest (releases),
//                             - holds, ^ cuts, C4:40 volume, ~C4 glides;
//                             or a style from the chords: @hold, @gate PAT,
//                             @stab PAT, @line PAT, @walk; drums: step letters,
//                             . rests, X/N a step and N-1 rests;
//                             `off` silences the part in a copied pattern
//   order NAME ... | NAME ... pattern order; the song loops back to the '|'
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <dumb.h>

#include "engine/diag.h"
#include "fileio/byteorder.h"
#include "tools/common/cli.h"
#include "tools/modgen/dropin.h"
#include "tools/modgen/synth.h"

namespace {

constexpr int MAX_CHANNELS = 32;
constexpr int MAX_ROWS = 256;
constexpr int KEY_OFF = 97;

struct Cell {
    uint8_t note = 0, instr = 0, vol = 0, eff = 0, param = 0;
};

struct Instr {
    std::string name;
    mg::Patch patch;
};

struct Track {
    std::string name;
    int ch = 0, nch = 1, instr = -1, oct = 4, vol = 64, pan = -1;
    bool drums = false;
    std::map<char, std::pair<int, int>> letters;  // step letter -> instrument, volume
    int echo_src = -1, echo_rows = 0, echo_vol = 0;
};

struct Chord {
    int root = 0, bass = -1, rows = 16;  // pitch classes; bass -1: the root
    std::vector<int> tones;              // semitones above the root
};

struct Pattern {
    std::string name;
    int rows = 64, transpose = 0, tempo = 0;
    std::vector<Chord> chords;
    std::map<int, std::vector<std::string>> lines;  // track -> tokens
    std::map<int, int> line_no;                     // track -> score line, for errors
};

struct Song {
    std::string title = "nightward";
    int speed = 6, tempo = 125, restart = 0, swing = 0, gain = 64;
    double level = 0;  // dB under the game's music level
    std::vector<Instr> instrs;
    std::vector<Track> tracks;
    std::map<std::string, std::vector<std::string>> phrases;
    std::vector<Pattern> pats;
    std::vector<int> order;
    int channels = 0;
};

const char* path_for_diag = "";
int line_for_diag = 0;
bool failed = false;

void fail(const std::string& msg, int line = -1)
{
    if (failed)
        return;
    diag("%s:%d: %s\n", path_for_diag, line < 0 ? line_for_diag : line, msg.c_str());
    failed = true;
}

int find_named(const std::vector<Instr>& v, const std::string& n)
{
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i].name == n)
            return (int)i;
    return -1;
}
int find_track(const Song& s, const std::string& n)
{
    for (size_t i = 0; i < s.tracks.size(); ++i)
        if (s.tracks[i].name == n)
            return (int)i;
    return -1;
}
int find_pattern(const Song& s, const std::string& n)
{
    for (size_t i = 0; i < s.pats.size(); ++i)
        if (s.pats[i].name == n)
            return (int)i;
    return -1;
}

// "C4" (middle C), "F#2", "Bb5" -> XM note 1..96 (C0 = 1); 0 if not a note.
int parse_pitch_class(const char*& s)
{
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (*s < 'A' || *s > 'G')
        return -100;
    int n = base[*s++ - 'A'];
    if (*s == '#')
        ++n, ++s;
    else if (*s == 'b')
        --n, ++s;
    return n;
}
int parse_note(const std::string& tok)
{
    const char* s = tok.c_str();
    int pc = parse_pitch_class(s);
    if (pc == -100 || *s < '0' || *s > '7' || s[1])
        return 0;
    int n = pc + (*s - '0') * 12 + 1;
    return n >= 1 && n <= 96 ? n : 0;
}

bool parse_chord(const std::string& sym, Chord& c)
{
    static const std::pair<const char*, std::vector<int>> kinds[] = {
        {"", {0, 4, 7}},
        {"m", {0, 3, 7}},
        {"7", {0, 4, 7, 10}},
        {"m7", {0, 3, 7, 10}},
        {"maj7", {0, 4, 7, 11}},
        {"dim", {0, 3, 6}},
        {"dim7", {0, 3, 6, 9}},
        {"m7b5", {0, 3, 6, 10}},
        {"aug", {0, 4, 8}},
        {"sus2", {0, 2, 7}},
        {"sus4", {0, 5, 7}},
        {"6", {0, 4, 7, 9}},
        {"m6", {0, 3, 7, 9}},
        {"9", {0, 4, 7, 10, 14}},
        {"m9", {0, 3, 7, 10, 14}},
        {"maj9", {0, 4, 7, 11, 14}},
        {"add9", {0, 4, 7, 14}},
        {"7sus4", {0, 5, 7, 10}},
        {"5", {0, 7}},
        {"madd9", {0, 3, 7, 14}},
        {"mmaj7", {0, 3, 7, 11}},
    };
    std::string s = sym, bass;
    size_t slash = s.find('/');
    if (slash != std::string::npos)
        bass = s.substr(slash + 1), s = s.substr(0, slash);
    const char* p = s.c_str();
    int root = parse_pitch_class(p);
    if (root == -100)
        return false;
    c.root = (root + 12) % 12;
    c.bass = -1;
    if (!bass.empty()) {
        const char* q = bass.c_str();
        int b = parse_pitch_class(q);
        if (b == -100 || *q)
            return false;
        c.bass = (b + 12) % 12;
    }
    for (auto& k : kinds)
        if (!std::strcmp(p, k.first)) {
            c.tones = k.second;
            return true;
        }
    return false;
}

// Splits "TEXT/ROWS" and keeps the sticky length.
std::string split_len(const std::string& tok, int& len)
{
    size_t sl = tok.rfind('/');
    if (sl == std::string::npos || sl + 1 == tok.size() || !isdigit((unsigned char)tok[sl + 1]))
        return tok;
    len = std::atoi(tok.c_str() + sl + 1);
    return tok.substr(0, sl);
}

std::vector<std::string> expand(const Song& song, const std::vector<std::string>& toks,
                                int depth = 0);

// `$NAME` and `$NAME+N` become the phrase's tokens, the notes shifted by N.
std::vector<std::string> expand(const Song& song, const std::vector<std::string>& toks, int depth)
{
    std::vector<std::string> out;
    for (const std::string& t : toks) {
        if (t[0] != '$') {
            out.push_back(t);
            continue;
        }
        size_t sign = t.find_first_of("+-", 1);
        std::string name = t.substr(1, sign == std::string::npos ? std::string::npos : sign - 1);
        int shift = sign == std::string::npos ? 0 : std::atoi(t.c_str() + sign);
        auto it = song.phrases.find(name);
        if (it == song.phrases.end() || depth > 8) {
            fail("unknown phrase \"" + name + "\"");
            return out;
        }
        for (std::string x : expand(song, it->second, depth + 1)) {
            if (shift) {
                int len = -1;
                std::string body = split_len(x, len);
                size_t at = body.find_first_of("ABCDEFG");
                if (at != std::string::npos && (at == 0 || body[0] == '~')) {
                    size_t colon = body.find(':');
                    std::string note = body.substr(
                        at, colon == std::string::npos ? std::string::npos : colon - at);
                    int n = parse_note(note);
                    if (n) {
                        static const char* names[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                        "F#", "G",  "G#", "A",  "A#", "B"};
                        int m = n - 1 + shift;
                        if (m < 0 || m > 95) {
                            fail("a transposed phrase leaves the notes C0..B7");
                            return out;
                        }
                        body = body.substr(0, at) + names[m % 12] + std::to_string(m / 12) +
                               (colon == std::string::npos ? "" : body.substr(colon));
                    }
                }
                x = len >= 0 ? body + "/" + std::to_string(len) : body;
            }
            out.push_back(x);
        }
    }
    return out;
}

bool parse_knobs(const std::vector<std::string>& toks, size_t from, mg::PatchKnobs& k)
{
    for (size_t i = from; i < toks.size(); ++i) {
        size_t eq = toks[i].find('=');
        if (eq == std::string::npos)
            return false;
        std::string key = toks[i].substr(0, eq);
        double v = std::atof(toks[i].c_str() + eq + 1);
        if (key == "vol")
            k.volume = std::clamp((int)v, 0, 64);
        else if (key == "pan")
            k.pan = std::clamp((int)v, 0, 255);
        else if (key == "att")
            k.attack = v;
        else if (key == "dec")
            k.decay = v;
        else if (key == "sus")
            k.sustain = std::clamp(v, 0.0, 1.0);
        else if (key == "rel")
            k.release = v;
        else if (key == "bright")
            k.bright = std::clamp(v, 0.1, 4.0);
        else if (key == "vib")
            k.vib = std::clamp((int)v, 0, 15);
        else
            return false;
    }
    return true;
}

bool parse(const char* path, Song& song)
{
    FILE* f = std::fopen(path, "r");
    if (!f) {
        diag("%s: cannot read: %s\n", path, std::strerror(errno));
        return false;
    }
    path_for_diag = path;
    char buf[4096];
    Pattern* cur = nullptr;
    std::map<int, bool> replaced;  // tracks whose copied lines this block replaced
    while (!failed && std::fgets(buf, sizeof buf, f)) {
        ++line_for_diag;
        // '#' starts a comment only after a blank, so sharps like F#2 survive.
        for (char* p = buf; *p; ++p)
            if (*p == '#' && (p == buf || p[-1] == ' ' || p[-1] == '\t')) {
                *p = 0;
                break;
            }
        std::vector<std::string> t;
        for (char* tok = std::strtok(buf, " \t\r\n"); tok; tok = std::strtok(nullptr, " \t\r\n"))
            t.push_back(tok);
        if (t.empty())
            continue;
        const std::string& key = t[0];
        auto need = [&](size_t n, const char* what) {
            if (t.size() < n)
                fail(what);
            return t.size() >= n;
        };
        if (key == "title") {
            std::string s;
            for (size_t i = 1; i < t.size(); ++i)
                s += (i > 1 ? " " : "") + t[i];
            song.title = s;
        } else if (key == "speed" || key == "tempo") {
            int n = t.size() > 1 ? std::atoi(t[1].c_str()) : 0;
            if (key == "speed" ? (n < 1 || n > 31) : (n < 32 || n > 255))
                fail("value out of range");
            else if (key == "speed")
                song.speed = n;
            else if (cur)
                cur->tempo = n;
            else
                song.tempo = n;
        } else if (key == "level") {
            double db = t.size() > 1 ? std::atof(t[1].c_str()) : 1;
            if (!(db >= -6 && db <= 0))
                fail("level takes -6..0 (dB)");
            else
                song.level = db;
        } else if (key == "gain") {
            int n = t.size() > 1 ? std::atoi(t[1].c_str()) : -1;
            if (n < 1 || n > 64)
                fail("gain takes 1..64");
            else
                song.gain = n;
        } else if (key == "swing") {
            int n = t.size() > 1 ? std::atoi(t[1].c_str()) : -1;
            if (n < 0 || n >= song.speed)
                fail("swing takes 0 .. speed-1 ticks");
            else
                song.swing = n;
        } else if (key == "instr") {
            if (!need(3, "instr needs a name and a preset"))
                break;
            mg::PatchKnobs k;
            Instr in;
            in.name = t[1];
            if (find_named(song.instrs, t[1]) >= 0 || song.instrs.size() >= 64)
                fail("instr needs a new name (at most 64)");
            else if (!parse_knobs(t, 3, k))
                fail("instr knobs are vol= pan= att= dec= sus= rel= bright= vib=");
            else if (!mg::make_patch(t[2], k, in.patch))
                fail("unknown preset \"" + t[2] + "\"; presets: " + mg::preset_names());
            else
                song.instrs.push_back(in);
        } else if (key == "track" || key == "drums") {
            if (!need(3, "a part needs a name and its instruments"))
                break;
            Track tr;
            tr.name = t[1];
            tr.ch = song.channels;
            tr.drums = key == "drums";
            for (size_t i = 2; i < t.size() && !failed; ++i) {
                size_t eq = t[i].find('=');
                std::string k = t[i].substr(0, eq),
                            v = eq == std::string::npos ? "" : t[i].substr(eq + 1);
                if (tr.drums) {
                    std::string ins = v.substr(0, v.find(':'));
                    int idx = find_named(song.instrs, ins);
                    if (k.size() != 1 || !isalpha((unsigned char)k[0]) || idx < 0)
                        fail("drum steps are L=INSTR[:VOL]");
                    else
                        tr.letters[k[0]] = {idx, v.find(':') == std::string::npos
                                                     ? 64
                                                     : std::atoi(v.c_str() + v.find(':') + 1)};
                } else if (i == 2) {
                    tr.instr = find_named(song.instrs, t[2]);
                    if (tr.instr < 0)
                        fail("unknown instr \"" + t[2] + "\"");
                } else if (k == "ch")
                    tr.nch = std::clamp(std::atoi(v.c_str()), 1, 8);
                else if (k == "oct")
                    tr.oct = std::clamp(std::atoi(v.c_str()), 0, 7);
                else if (k == "vol")
                    tr.vol = std::clamp(std::atoi(v.c_str()), 0, 64);
                else if (k == "pan")
                    tr.pan = std::clamp(std::atoi(v.c_str()), 0, 255);
                else if (k == "echo") {
                    char src[64];
                    if (std::sscanf(v.c_str(), "%63[^,],%d,%d", src, &tr.echo_rows, &tr.echo_vol) !=
                            3 ||
                        (tr.echo_src = find_track(song, src)) < 0 || tr.echo_rows < 1)
                        fail("echo=TRACK,ROWS,VOL names an earlier part");
                } else
                    fail("part settings are ch= oct= vol= pan= echo=");
            }
            if (find_track(song, tr.name) >= 0)
                fail("part needs a new name");
            if (song.channels + tr.nch > MAX_CHANNELS)
                fail("more than 32 channels");
            song.channels += tr.nch;
            song.tracks.push_back(tr);
        } else if (key == "phrase") {
            if (!need(2, "phrase needs a name"))
                break;
            auto& p = song.phrases[t[1]];
            p.insert(p.end(), t.begin() + 2, t.end());
        } else if (key == "pattern") {
            if (!need(2, "pattern needs a name"))
                break;
            if (find_pattern(song, t[1]) >= 0 || song.pats.size() >= 255) {
                fail("pattern needs a new name (at most 255 patterns)");
                break;
            }
            Pattern p;
            for (size_t i = 2; i < t.size() && !failed; ++i) {
                if (t[i] == "from" && i + 1 < t.size()) {
                    int src = find_pattern(song, t[++i]);
                    if (src < 0)
                        fail("from names an unknown pattern");
                    else
                        p = song.pats[src];
                } else {
                    p.rows = std::atoi(t[i].c_str());
                }
            }
            if (p.rows < 1 || p.rows > MAX_ROWS)
                fail("a pattern has 1..256 rows");
            p.name = t[1];
            song.pats.push_back(p);
            cur = &song.pats.back();
            replaced.clear();
        } else if (key == "transpose") {
            if (!cur || t.size() != 2)
                fail("transpose N inside a pattern");
            else
                cur->transpose = std::atoi(t[1].c_str());
        } else if (key == "chords") {
            if (!cur) {
                fail("chords outside a pattern");
                break;
            }
            if (!replaced[-1])
                cur->chords.clear(), replaced[-1] = true;
            int len = 16;
            if (!cur->chords.empty())
                len = cur->chords.back().rows;
            for (size_t i = 1; i < t.size(); ++i) {
                Chord c;
                std::string sym = split_len(t[i], len);
                // "C/G/8": the last slash before digits is the length, the first the bass.
                if (!parse_chord(sym, c)) {
                    fail("unknown chord \"" + sym + "\"");
                    break;
                }
                c.rows = len;
                cur->chords.push_back(c);
            }
        } else if (key == "order") {
            for (size_t i = 1; i < t.size(); ++i) {
                if (t[i] == "|") {
                    song.restart = (int)song.order.size();
                    continue;
                }
                int p = find_pattern(song, t[i]);
                if (p < 0) {
                    fail("order names an unknown pattern");
                    break;
                }
                song.order.push_back(p);
            }
        } else if (int tr = find_track(song, key); tr >= 0) {
            if (!cur) {
                fail("a part outside a pattern");
                break;
            }
            auto& l = cur->lines[tr];
            if (!replaced[tr])
                l.clear(), replaced[tr] = true;
            if (t.size() == 2 && t[1] == "off")
                continue;
            std::vector<std::string> more =
                expand(song, std::vector<std::string>(t.begin() + 1, t.end()));
            l.insert(l.end(), more.begin(), more.end());
            cur->line_no[tr] = line_for_diag;
        } else {
            fail("unknown keyword \"" + key + "\"");
        }
    }
    std::fclose(f);
    if (!failed && song.order.empty())
        fail("the song has no order");
    if (!failed && song.restart >= (int)song.order.size())
        fail("nothing follows the loop mark");
    return !failed;
}

// ---- Turning parts into cells ----

struct Grid {
    int rows;
    std::vector<Cell> cells;  // rows x channels
    int channels;
    Cell& at(int r, int c) { return cells[r * channels + c]; }
};

// The chord sounding at `row` of the pattern, and the row it started on.
const Chord* chord_at(const Pattern& p, int row, int* start = nullptr, const Chord** next = nullptr)
{
    int r = 0;
    for (size_t i = 0; i < p.chords.size(); ++i) {
        int end = r + p.chords[i].rows;
        if (row < end || i + 1 == p.chords.size()) {
            if (start)
                *start = r;
            if (next)
                *next = i + 1 < p.chords.size() ? &p.chords[i + 1] : &p.chords[0];
            return &p.chords[i];
        }
        r = end;
    }
    return nullptr;
}

int volume_of(const Song& s, const Track& tr, int instr, int vel)
{
    double v = s.instrs[instr].patch.volume * tr.vol / 64.0 * vel / 64.0 * s.gain / 64.0;
    return std::clamp((int)std::lround(v), 0, 64);
}

void put_note(const Song& s, const Track& tr, Cell& c, int note, int instr, int vel, bool glide)
{
    if (note < 1 || note > 96)
        return;
    c.note = (uint8_t)note;
    c.instr = (uint8_t)(instr + 1);
    c.vol = (uint8_t)(0x10 + volume_of(s, tr, instr, vel));
    if (glide)
        c.eff = 3, c.param = 0x40;
    else if (tr.pan >= 0)
        c.eff = 8, c.param = (uint8_t)tr.pan;
}

// Chord tone `i` (0 root, then up through the chord and on into the next
// octave) with the root placed in octave `oct`.
int chord_tone(const Chord& c, int i, int oct, int transpose)
{
    int n = (int)c.tones.size();
    int octs = i / n;
    return 1 + (oct * 12 + (c.root + transpose + 120) % 12) + c.tones[i % n] + 12 * octs;
}

// A close voicing of `c` on `voices` notes whose top lies near `prev`'s.
std::vector<int> voice_chord(const Chord& c, int voices, int oct, int transpose,
                             const std::vector<int>& prev)
{
    std::vector<int> best;
    double best_cost = 1e9;
    int centre = 1 + oct * 12 + 7;
    for (int inv = 0; inv < (int)c.tones.size(); ++inv)
        for (int shift = -12; shift <= 12; shift += 12) {
            std::vector<int> v;
            for (int k = 0; k < voices; ++k)
                v.push_back(chord_tone(c, inv + k, oct, transpose) + shift);
            double cost = 0;
            if (prev.size() == v.size())
                for (size_t k = 0; k < v.size(); ++k)
                    cost += std::abs(v[k] - prev[k]);
            else
                cost = std::abs((v.front() + v.back()) / 2 - centre) * 2;
            cost += std::abs((v.front() + v.back()) / 2 - centre) * 0.5;  // stay in the register
            if (cost < best_cost)
                best_cost = cost, best = v;
        }
    return best;
}

bool render_track(const Song& s, const Pattern& p, int ti, Grid& g)
{
    const Track& tr = s.tracks[ti];
    auto it = p.lines.find(ti);
    if (it == p.lines.end() || it->second.empty() || tr.echo_src >= 0)
        return true;
    line_for_diag = p.line_no.count(ti) ? p.line_no.at(ti) : line_for_diag;
    const std::vector<std::string>& toks = it->second;
    if (tr.drums) {
        std::string steps;
        for (auto& t : toks) {
            int n = 0;
            std::string body = split_len(t, n);
            if (n > 0 && body.size() == 1)
                steps += body + std::string(n - 1, '.');  // "C/64": a hit, then rests
            else
                steps += t;
        }
        steps.erase(std::remove(steps.begin(), steps.end(), '|'), steps.end());
        if (steps.empty())
            return true;
        for (int r = 0; r < p.rows; ++r) {
            char ch = steps[r % steps.size()];
            if (ch == '.')
                continue;
            auto l = tr.letters.find(ch);
            if (l == tr.letters.end()) {
                fail(std::string("step '") + ch + "' is not a letter of part " + tr.name);
                return false;
            }
            put_note(s, tr, g.at(r, tr.ch), 49, l->second.first, l->second.second, false);
        }
        return true;
    }
    if (toks[0][0] == '@') {
        if (p.chords.empty()) {
            fail("a style needs the pattern's chords");
            return false;
        }
        std::string style = toks[0], pat = toks.size() > 1 ? toks[1] : "";
        for (size_t i = 2; i < toks.size(); ++i)
            pat += toks[i];
        if ((style == "@gate" || style == "@stab" || style == "@line") && pat.empty()) {
            fail(style + " needs a step pattern");
            return false;
        }
        if (style == "@hold" || style == "@gate" || style == "@stab") {
            std::vector<int> voicing;
            const Chord* last = nullptr;
            for (int r = 0; r < p.rows; ++r) {
                int start = 0;
                const Chord* c = chord_at(p, r, &start);
                char step = style == "@hold" ? (r == start ? 'x' : '-') : pat[r % pat.size()];
                bool change = c != last;
                if (change)
                    voicing = voice_chord(*c, tr.nch, tr.oct, p.transpose, voicing), last = c;
                if (style == "@gate") {
                    int v = step == 'x' ? 64 : step == 'o' ? 30 : 0;
                    for (int k = 0; k < tr.nch; ++k) {
                        Cell& cell = g.at(r, tr.ch + k);
                        if (change)
                            put_note(s, tr, cell, voicing[k], tr.instr, 64, false);
                        cell.vol = (uint8_t)(0x10 + volume_of(s, tr, tr.instr, v));
                    }
                } else if (step == 'x' || step == 'o' ||
                           (change && step == '-' && style == "@hold")) {
                    for (int k = 0; k < tr.nch; ++k)
                        put_note(s, tr, g.at(r, tr.ch + k), voicing[k], tr.instr,
                                 step == 'o' ? 40 : 64, false);
                } else if (step == '.') {
                    for (int k = 0; k < tr.nch; ++k) {
                        Cell& cell = g.at(r, tr.ch + k);
                        if (r == 0 || g.at(r - 1, tr.ch + k).note != KEY_OFF)
                            cell.note = KEY_OFF;
                    }
                }
            }
            return true;
        }
        if (style == "@line") {
            bool accent = false, glide = false;
            size_t pi = 0;
            for (int r = 0; r < p.rows; ++r) {
                char ch;
                for (size_t marks = 0;; ++marks) {
                    ch = pat[pi++ % pat.size()];
                    if (ch == '>')
                        accent = true;
                    else if (ch == '~')
                        glide = true;
                    else
                        break;
                    if (marks > pat.size()) {
                        fail("@line needs a step");
                        return false;
                    }
                }
                const Chord* c = chord_at(p, r);
                int n = -1, root = chord_tone(*c, 0, tr.oct, p.transpose);
                if (c->bass >= 0 && (ch == 'r' || ch == '0'))
                    root = 1 + tr.oct * 12 + (c->bass + p.transpose + 120) % 12;
                if (isdigit((unsigned char)ch))
                    n = ch == '0' ? root : chord_tone(*c, ch - '0', tr.oct, p.transpose);
                else if (ch == 'r')
                    n = root;
                else if (ch == 'o')
                    n = root + 12;
                else if (ch == 'l')
                    n = root - 12;
                else if (ch == 'v')
                    n = root - 5;
                else if (ch == 't')
                    n = chord_tone(*c, 1, tr.oct, p.transpose);
                else if (ch == 'q')
                    n = root + 7;
                else if (ch == 's')
                    n = c->tones.size() > 3 ? root + c->tones[3] : root + 12;
                else if (ch == '.') {
                    if (r == 0 || g.at(r - 1, tr.ch).note != KEY_OFF)
                        g.at(r, tr.ch).note = KEY_OFF;
                } else if (ch != '-') {
                    fail(std::string("@line step '") + ch +
                         "' is not one of 0-9 r o l v t q s . - > ~");
                    return false;
                }
                if (n > 0)
                    put_note(s, tr, g.at(r, tr.ch), n, tr.instr, accent ? 64 : 50, glide);
                if (n > 0 || ch == '.')
                    accent = glide = false;
            }
            return true;
        }
        if (style ==
            "@walk") {  // a note a beat (@walk ROWS); the last beat leans into the next chord
            uint32_t h = 7;
            int step = pat.empty() ? 4 : std::clamp(std::atoi(pat.c_str()), 1, 16);
            for (int r = 0; r < p.rows; r += step) {
                int start = 0;
                const Chord* next = nullptr;
                const Chord* c = chord_at(p, r, &start, &next);
                int root = chord_tone(*c, 0, tr.oct, p.transpose), n;
                int beat = (r - start) / step, beats = std::max(1, c->rows / step);
                h = h * 1103515245u + 12345u;
                if (beat == 0)
                    n = c->bass >= 0 ? 1 + tr.oct * 12 + (c->bass + p.transpose + 120) % 12 : root;
                else if (beat == beats - 1) {
                    int target = chord_tone(*next, 0, tr.oct, p.transpose);
                    if (target - root > 6)
                        target -= 12;
                    if (root - target > 6)
                        target += 12;
                    n = target + ((h >> 16) % 2 ? 1 : -1);
                } else {
                    int pick = (int)((h >> 16) % 3);
                    n = pick == 0   ? chord_tone(*c, 1 + beat % 2, tr.oct, p.transpose)
                        : pick == 1 ? root + 7
                                    : chord_tone(*c, 2, tr.oct, p.transpose);
                    if (beat == 2 && n == root)
                        n += 12;
                }
                put_note(s, tr, g.at(r, tr.ch), n, tr.instr, beat == 0 ? 60 : 50, false);
            }
            return true;
        }
        fail("unknown style " + style + " (@hold @gate @stab @line @walk)");
        return false;
    }
    // Written notes.
    int r = 0, len = 4;
    for (const std::string& tok : toks) {
        std::string body = split_len(tok, len);
        if (len < 1 || r + len > p.rows) {
            fail("part " + tr.name + " runs past the pattern's " + std::to_string(p.rows) +
                 " rows");
            return false;
        }
        Cell& c = g.at(r, tr.ch);
        if (body == ".") {
            if (r > 0 && g.at(r - 1, tr.ch).note != KEY_OFF)
                c.note = KEY_OFF;
        } else if (body == "^") {
            c.eff = 0xC, c.param = 0;
        } else if (body != "-") {
            bool glide = body[0] == '~';
            if (glide)
                body = body.substr(1);
            int vel = 64;
            size_t colon = body.find(':');
            if (colon != std::string::npos)
                vel = std::clamp(std::atoi(body.c_str() + colon + 1), 0, 64),
                body = body.substr(0, colon);
            int n = parse_note(body);
            if (!n || n + p.transpose < 1 || n + p.transpose > 96) {
                fail("\"" + tok + "\" is not a note such as C4, F#2/4, Bb3:40, ~E4, or . - ^");
                return false;
            }
            put_note(s, tr, c, n + p.transpose, tr.instr, vel, glide);
        }
        r += len;
    }
    return true;
}

// An echo part repeats another part's notes later and softer.
void render_echo(const Song& s, const Track& tr, Grid& g)
{
    const Track& src = s.tracks[tr.echo_src];
    for (int r = g.rows - 1; r >= 0; --r) {
        int from = r - tr.echo_rows;
        if (from < 0)
            continue;
        Cell c = g.at(from, src.ch);
        if (!c.note)
            continue;
        if (c.note != KEY_OFF) {
            c.vol = (uint8_t)(0x10 + ((c.vol ? c.vol - 0x10 : 64) * tr.echo_vol / 64));
            c.eff = tr.pan >= 0 ? 8 : 0, c.param = tr.pan >= 0 ? (uint8_t)tr.pan : 0;
        }
        g.at(r, tr.ch) = c;
    }
}

// Puts an effect in the first free effect column of a row.
bool place_effect(Grid& g, int row, uint8_t eff, uint8_t param)
{
    for (int ch = g.channels - 1; ch >= 0; --ch)
        if (!g.at(row, ch).eff) {
            g.at(row, ch).eff = eff, g.at(row, ch).param = param;
            return true;
        }
    return false;
}

bool render_pattern(const Song& s, const Pattern& p, Grid& g)
{
    g.rows = p.rows;
    g.channels = s.channels + (s.channels & 1);
    g.cells.assign(g.rows * g.channels, Cell());
    for (size_t ti = 0; ti < s.tracks.size(); ++ti)
        if (!render_track(s, p, (int)ti, g))
            return false;
    for (const Track& tr : s.tracks)
        if (tr.echo_src >= 0)
            render_echo(s, tr, g);
    if (p.tempo && !place_effect(g, 0, 0xF, (uint8_t)p.tempo))
        fail("no free effect column for the tempo");
    // Swing: each pair of rows keeps its length, the first row longer.
    for (int r = 0; s.swing && r < g.rows && !failed; ++r)
        if (!place_effect(g, r, 0xF, (uint8_t)(s.speed + (r % 2 ? -s.swing : s.swing))))
            fail("swing needs a free effect column on every row");
    return !failed;
}

// ---- The module file ----

struct Out {
    std::vector<uint8_t> b;
    void u8(int v) { b.push_back((uint8_t)v); }
    // IT's numbers are little-endian.
    void u16(int v)
    {
        uint8_t le[2];
        put_le16(le, (uint16_t)v);
        b.insert(b.end(), le, le + 2);
    }
    void u32(uint32_t v)
    {
        uint8_t le[4];
        put_le32(le, v);
        b.insert(b.end(), le, le + 4);
    }
    void text(const std::string& s, size_t n)
    {
        for (size_t i = 0; i < n; ++i)
            u8(i < s.size() ? s[i] : 0);
    }
};

// ---- The IT module ----
//
// IT rather than XM: the module player mixes an XM at a fixed 48/128 of full
// scale, which left the music far under the effects, but honours an IT's own
// mixing volume. The grid keeps the classic tracker numbers (notes 1..96 from
// C0, volumes 0x10 + v, effects 3 glide, 8 pan, C volume, F speed or tempo);
// they become IT's as the cells are written.

constexpr int IT_MIXING_VOLUME_AT = 0x31;
constexpr int IT_NOTE_OFF = 255, IT_NOTE_CUT = 254;
constexpr int IT_SPEED = 1, IT_JUMP = 2, IT_PORTA = 7, IT_TEMPO = 20, IT_GLOBAL_VOLUME = 22,
              IT_GLOBAL_VOLUME_SLIDE = 23, IT_PAN = 24;

// A key-off starts the fade at once; IT's fade count runs from 1024.
int it_fadeout(const Song& s, const mg::Patch& p)
{
    if (!p.hold)
        return 1024;  // a one-shot let go stops
    double tick = 2.5 / s.tempo;
    double ticks = std::max(1.0, p.release / tick);
    return std::clamp((int)std::lround(1024 / ticks), 1, 1024);
}

void write_it_instrument(Out& o, const Song& s, const Instr& in, int number)
{
    const mg::Patch& p = in.patch;
    size_t at = o.b.size();
    o.text("IMPI", 4);
    o.text("", 12);
    o.u8(0);
    o.u8(0);  // a new note on the channel cuts the old one
    o.u8(0), o.u8(0);
    o.u16(it_fadeout(s, p));
    o.u8(0), o.u8(60);  // no pitch-pan
    o.u8(128);          // instrument volume
    o.u8(32 | 128);     // no instrument pan: the sample's
    o.u8(0), o.u8(0);
    o.u16(0x0214);
    o.u8(1), o.u8(0);
    o.text(in.name, 26);
    o.u8(0), o.u8(0);  // no filter
    o.u8(0), o.u8(0), o.u16(0);
    for (int n = 0; n < 120; ++n)
        o.u8(n), o.u8(number);
    // Volume envelope in ticks: attack, a curved decay to the sustain level,
    // held at the last point until the key is let go.
    double tick = 2.5 / s.tempo;
    std::vector<std::pair<int, int>> env;
    if (p.hold) {
        int ta = (int)std::lround(p.attack / tick);
        env.push_back({0, ta > 0 ? 0 : 64});
        if (ta > 0)
            env.push_back({ta, 64});
        if (p.decay > 0)
            for (double f : {0.1, 0.25, 0.45, 0.7, 1.0}) {
                double lvl = p.sustain + (1 - p.sustain) * (std::exp(-4 * f) - std::exp(-4.0)) /
                                             (1 - std::exp(-4.0));
                int x = ta + std::max(1, (int)std::lround(f * p.decay / tick));
                if (x <= env.back().first)
                    x = env.back().first + 1;
                env.push_back({x, (int)std::lround(lvl * 64)});
            }
    }
    int last = std::max(0, (int)env.size() - 1);
    // On, held at the last point by a loop as well as a sustain loop: with a
    // loop the player starts the fade at the key-off, and not only once the
    // envelope has run out (which left released notes ringing).
    o.u8(p.hold ? 1 | 2 | 4 : 0);
    o.u8((int)env.size());
    o.u8(last), o.u8(last), o.u8(last), o.u8(last);
    for (int i = 0; i < 25; ++i) {
        o.u8(i < (int)env.size() ? env[i].second : 0);
        o.u16(i < (int)env.size() ? std::min(env[i].first, 65535) : 0);
    }
    o.u8(0);
    for (int e = 0; e < 2; ++e) {  // no panning or pitch envelope
        for (int i = 0; i < 6; ++i)
            o.u8(0);
        for (int i = 0; i < 76; ++i)
            o.u8(0);
    }
    o.b.resize(at + 554, 0);
}

void write_it_sample_header(Out& o, const Instr& in, uint32_t data_at)
{
    const mg::Patch& p = in.patch;
    o.text("IMPS", 4);
    o.text("", 12);
    o.u8(0);
    o.u8(64);                             // sample volume
    o.u8(1 | 2 | (p.loop_len ? 16 : 0));  // present, 16-bit, looped
    o.u8(64);                             // default volume
    o.text(in.name, 26);
    o.u8(1);                                    // signed samples
    o.u8(128 | std::min(64, (p.pan + 2) / 4));  // its own pan, 0..64
    o.u32((uint32_t)p.data.size());
    o.u32((uint32_t)p.loop_start);
    o.u32((uint32_t)(p.loop_start + p.loop_len));
    // The rate at which the note C5 (the score's C4, middle C) plays it.
    o.u32((uint32_t)std::lround(p.rate * 261.6256 / p.pitch));
    o.u32(0), o.u32(0);
    o.u32(data_at);
    // Auto-vibrato: the sweep is the ticks to full depth, IT's rate the
    // depth gained each tick, in 256ths.
    int rate = p.vib_sweep > 0 ? std::clamp(p.vib_depth * 256 / p.vib_sweep, 1, 255) : 255;
    o.u8(p.vib_rate), o.u8(p.vib_depth), o.u8(rate), o.u8(0);
}

// One pattern packed: per cell a channel byte, a mask and the fields.
// False when it packs to more than the format's 64 KiB.
bool pack_it_pattern(Out& o, const Grid& g)
{
    Out d;
    for (int r = 0; r < g.rows; ++r) {
        for (int ch = 0; ch < g.channels; ++ch) {
            const Cell& c = g.cells[r * g.channels + ch];
            int note = -1, cmd = 0, param = c.param;
            if (c.note == KEY_OFF)
                note = IT_NOTE_OFF;
            else if (c.note)
                note = c.note + 11;  // the score's C4 (49) is IT's C5 (60)
            switch (c.eff) {
            case 3: cmd = IT_PORTA; break;
            case 8: cmd = IT_PAN; break;
            case 0xB: cmd = IT_JUMP; break;
            case 0xC:  // volume 0 ("^"): a cut
                note = IT_NOTE_CUT;
                break;
            case 0xF: cmd = c.param < 32 ? IT_SPEED : IT_TEMPO; break;
            case 0x10: cmd = IT_GLOBAL_VOLUME; break;
            case 0x11: cmd = IT_GLOBAL_VOLUME_SLIDE; break;
            default: break;
            }
            int vol = c.vol >= 0x10 && c.vol <= 0x50 ? c.vol - 0x10 : -1;
            int mask = (note >= 0 ? 1 : 0) | (c.instr ? 2 : 0) | (vol >= 0 ? 4 : 0) | (cmd ? 8 : 0);
            if (!mask)
                continue;
            d.u8((ch + 1) | 0x80);
            d.u8(mask);
            if (note >= 0)
                d.u8(note);
            if (c.instr)
                d.u8(c.instr);
            if (vol >= 0)
                d.u8(vol);
            if (cmd)
                d.u8(cmd), d.u8(param);
        }
        d.u8(0);
    }
    if (d.b.size() > 65535)
        return false;
    o.u16((int)d.b.size());
    o.u16(g.rows);
    o.u32(0);
    o.b.insert(o.b.end(), d.b.begin(), d.b.end());
    return true;
}

// The whole module: one pattern for each position of the order. Empty
// when a pattern is too big for the format.
std::vector<uint8_t> pack_it(const Song& s, const std::vector<Grid>& grids)
{
    int n_ins = (int)s.instrs.size(), n_pat = (int)grids.size();
    Out o;
    o.text("IMPM", 4);
    o.text(s.title, 26);
    o.u16(0x1004);
    o.u16(n_pat + 1), o.u16(n_ins), o.u16(n_ins), o.u16(n_pat);
    o.u16(0x0214), o.u16(0x0214);
    o.u16(1 | 4 | 8);  // stereo, instruments, linear slides
    o.u16(0);
    o.u8(128), o.u8(128);  // global and mixing volume; see write_it
    o.u8(s.speed), o.u8(s.tempo);
    o.u8(128), o.u8(0);
    o.u16(0), o.u32(0), o.u32(0);
    for (int ch = 0; ch < 64; ++ch)
        o.u8(ch < grids[0].channels ? 32 : 32 | 128);
    for (int ch = 0; ch < 64; ++ch)
        o.u8(64);
    for (int p = 0; p < n_pat; ++p)
        o.u8(p);
    o.u8(255);
    size_t offsets = o.b.size();
    o.b.resize(offsets + 4 * (n_ins * 2 + n_pat), 0);
    auto set_offset = [&](int i) { put_le32(&o.b[offsets + 4 * i], (uint32_t)o.b.size()); };
    for (int i = 0; i < n_ins; ++i) {
        set_offset(i);
        write_it_instrument(o, s, s.instrs[i], i + 1);
    }
    std::vector<size_t> sample_headers;
    for (int i = 0; i < n_ins; ++i) {
        set_offset(n_ins + i);
        sample_headers.push_back(o.b.size());
        write_it_sample_header(o, s.instrs[i], 0);
    }
    for (int i = 0; i < n_pat; ++i) {
        set_offset(2 * n_ins + i);
        if (!pack_it_pattern(o, grids[i]))
            return {};
    }
    for (int i = 0; i < n_ins; ++i) {
        put_le32(&o.b[sample_headers[i] + 0x48], (uint32_t)o.b.size());
        for (int16_t v : s.instrs[i].patch.data)
            o.u16((uint16_t)v);
    }
    return o.b;
}

// ---- The song's level ----
//
// The loudness every song is brought to, as the game plays it at its default
// music volume (default.cfg's musicvolume 144): RMS over the song up to its
// loop, and a ceiling for its loudest sample. The game's mixer takes about
// 6 dB more off the music, so in play it sits near -24 dBFS, a blow's
// loudest 100 ms some 3.5 dB over it: at 2.5 dB louder, the typical blow
// stood 1.5 dB over the fight's song and the hits sank into it. The player
// renders into 16 bits at the music volume, so past full scale it would
// clip: a song too spiky for the RMS stays under the ceiling instead, one
// low enough that the options' loudest music (255) still peaks at -1 dBFS.
constexpr double GAME_MUSIC_VOLUME = 144 / 256.0, LOUDEST_MUSIC_VOLUME = 255 / 256.0;
constexpr double LOUDNESS_DB = -17.5;
const double CEILING_DB = -1 - 20 * std::log10(LOUDEST_MUSIC_VOLUME / GAME_MUSIC_VOLUME);
constexpr double MAX_MEASURED_SECONDS = 1200;
// A tick (a sixth of a 16th at speed 6, some 20 ms) whose loudest moment
// stands out is played up to this much softer, the song's volume then
// climbing back by the second figure a tick: the onsets where parts strike
// together no longer set the level of the rest, and the body of the song can
// be louder under the same ceiling. A tick is as finely as a module can ride
// its volume (a set at the row's start, then a slide).
constexpr double TICK_LIMIT_DB = 10, TICK_RECOVERY_DB = 0.35;
constexpr int LIMITER_PASSES = 4;

struct RowLevel {
    double peak = 0, energy = 0;
    std::vector<double> ticks;  // the peak of each tick
};

struct Levels {
    double peak = 0, energy = 0;
    long samples = 0;
    std::vector<std::vector<RowLevel>> rows;  // [position][row]
};

int stop_measuring(void* looped)
{
    *static_cast<bool*>(looped) = true;
    return 1;
}

// Plays the module through the game's player at the game's default music
// volume, up to its loop. False if the player cannot read it.
bool play_module(const std::vector<uint8_t>& bytes, Levels& out)
{
    const int rate = 22050, chunk = 32;  // ~1.5 ms: rows are told apart closely enough
    DUMBFILE* f = dumbfile_open_memory((const char*)bytes.data(), (long)bytes.size());
    DUH* d = f ? dumb_read_it_quick(f) : nullptr;
    if (f)
        dumbfile_close(f);
    DUH_SIGRENDERER* r = d ? duh_start_sigrenderer(d, 0, 2, 0) : nullptr;
    DUMB_IT_SIGRENDERER* it = r ? duh_get_it_sigrenderer(r) : nullptr;
    sample_t** buf = it ? allocate_sample_buffer(2, chunk) : nullptr;
    if (!buf) {
        if (r)
            duh_end_sigrenderer(r);
        if (d)
            unload_duh(d);
        return false;
    }
    bool looped = false;
    dumb_it_set_loop_callback(it, stop_measuring, &looped);
    out = Levels();
    long row_start = 0;
    int last_order = -1, last_row = -1;
    while (!looped && out.samples < MAX_MEASURED_SECONDS * rate) {
        int order = dumb_it_sr_get_current_order(it), row = dumb_it_sr_get_current_row(it);
        if (order != last_order || row != last_row)
            row_start = out.samples, last_order = order, last_row = row;
        // A tick lasts 2.5 / tempo seconds.
        int tick = (int)((out.samples - row_start) / 2 * dumb_it_sr_get_tempo(it) / (2.5 * rate));
        std::fill(buf[0], buf[0] + 2 * chunk, 0);
        long got = duh_sigrenderer_generate_samples(r, (float)GAME_MUSIC_VOLUME, 65536.0f / rate,
                                                    chunk, buf);
        if (got <= 0)
            break;
        if (order >= 0 && row >= 0) {
            if ((int)out.rows.size() <= order)
                out.rows.resize(order + 1);
            if ((int)out.rows[order].size() <= row)
                out.rows[order].resize(row + 1);
        }
        for (long i = 0; i < 2 * got; ++i) {
            double v = std::fabs(buf[0][i] / 8388608.0);
            out.peak = std::max(out.peak, v);
            out.energy += v * v;
            if (order >= 0 && row >= 0) {
                RowLevel& l = out.rows[order][row];
                l.peak = std::max(l.peak, v);
                l.energy += v * v;
                if ((int)l.ticks.size() <= tick)
                    l.ticks.resize(tick + 1);
                l.ticks[tick] = std::max(l.ticks[tick], v);
            }
        }
        out.samples += 2 * got;
    }
    destroy_sample_buffer(buf);
    duh_end_sigrenderer(r);
    unload_duh(d);
    return true;
}

// How much further each tick is turned down than its first measure asks:
// [position][row][tick], a factor; empty where nothing more is asked.
using TickCuts = std::vector<std::vector<std::vector<double>>>;

double cut_of(const TickCuts& c, size_t p, size_t r, size_t t)
{
    return p < c.size() && r < c[p].size() && t < c[p][r].size() ? c[p][r][t] : 1;
}

// The loudest any tick may be: TICK_LIMIT_DB under the loudest of the song.
double tick_ceiling(const Levels& l)
{
    double top = 0;
    for (auto& pos : l.rows)
        for (const RowLevel& row : pos)
            for (double t : row.ticks)
                top = std::max(top, t);
    return top * std::pow(10, -TICK_LIMIT_DB / 20);
}

// Writes the song's volume on channels `ch` (its level at the row's start)
// and `ch` + 1 (a slide over the row's later ticks): each tick whose peak
// (in `l`, measured at full volume) is over the ceiling is turned down to
// it, and the volume climbs back tick by tick. Every row sets its volume, so
// the loop comes back right.
void set_tick_volumes(std::vector<Grid>& grids, const Levels& l, double ceiling,
                      const TickCuts& cuts, int ch)
{
    const double climb = std::pow(10, TICK_RECOVERY_DB / 20);
    double gain = 128;  // where the row before ended
    for (size_t p = 0; p < grids.size() && p < l.rows.size(); ++p)
        for (int r = 0; r < grids[p].rows && r < (int)l.rows[p].size(); ++r) {
            const std::vector<double>& ticks = l.rows[p][r].ticks;
            int n = std::max<int>(1, (int)ticks.size());
            // The most each tick may have: under the ceiling, and risen from
            // the row before by at most the climb a tick (and a step of the
            // volume at least, or a deep cut never comes back).
            std::vector<double> most(n);
            for (int t = 0; t < n; ++t) {
                double room = t < (int)ticks.size() && ticks[t] > ceiling ? ceiling / ticks[t] : 1;
                room *= cut_of(cuts, p, r, t);
                most[t] = std::min(128 * room, std::max(gain * std::pow(climb, t + 1), gain + t + 1));
            }
            // A set on every row (the player's ticks need not be the ones
            // measured, so no row trusts where the last one ended) and a
            // straight slide under all of them; a slide moves by at most 14
            // a tick (15 is a fine slide), and IT's slide of 0 would repeat
            // the last one.
            int start = std::clamp((int)std::floor(most[0]), 1, 128), slide = 14;
            for (int t = 1; t < n; ++t)
                slide = std::min(slide, (int)std::floor((most[t] - start) / t));
            slide = std::max({slide, -14, (1 - start) / std::max(1, n - 1)});
            Cell& set = grids[p].at(r, ch);
            set.eff = 0x10, set.param = (uint8_t)start;
            if (slide != 0 && n > 1) {
                Cell& c = grids[p].at(r, ch + 1);
                c.eff = 0x11, c.param = (uint8_t)(slide > 0 ? slide << 4 : -slide);
            }
            gain = std::clamp(start + slide * (n - 1), 1, 128);
        }
}

// The ticks heard over the ceiling (a measure's tick is not quite the
// player's, and notes ring on from louder ticks) are turned down further.
// False when none is.
bool tighten(TickCuts& cuts, const Levels& heard, double ceiling)
{
    bool any = false;
    for (size_t p = 0; p < heard.rows.size(); ++p)
        for (size_t r = 0; r < heard.rows[p].size(); ++r) {
            const std::vector<double>& ticks = heard.rows[p][r].ticks;
            for (size_t t = 0; t < ticks.size(); ++t)
                if (ticks[t] > ceiling * 1.02) {
                    cuts.resize(std::max(cuts.size(), p + 1));
                    cuts[p].resize(std::max(cuts[p].size(), r + 1));
                    cuts[p][r].resize(std::max(cuts[p][r].size(), ticks.size()), 1.0);
                    cuts[p][r][t] *= ceiling / ticks[t];
                    any = true;
                }
        }
    return any;
}

bool write_it(const char* path, const Song& s)
{
    std::vector<Grid> patterns(s.pats.size());
    for (size_t i = 0; i < s.pats.size(); ++i)
        if (!render_pattern(s, s.pats[i], patterns[i]))
            return false;
    if (s.order.size() > 200) {
        fail("the order has more than 200 positions", 0);
        return false;
    }
    // A pattern for each position, with three channels more: the song's
    // volume and its slide, which differ from one position to another, and
    // the jump back to the loop mark (IT has no restart position) on the last row.
    int channels = s.channels + (s.channels & 1), volume_ch = channels, jump_ch = channels + 2;
    std::vector<Grid> grids;
    for (int p : s.order) {
        const Grid& src = patterns[p];
        Grid g{src.rows, std::vector<Cell>(src.rows * (channels + 3)), channels + 3};
        for (int r = 0; r < src.rows; ++r)
            for (int ch = 0; ch < channels; ++ch)
                g.at(r, ch) = src.cells[r * src.channels + ch];
        grids.push_back(g);
    }
    // The loudest note is played at full volume and the rest in proportion:
    // the song's level is set afterwards, and the limiter's cuts need the room.
    int loudest = 0;
    for (const Grid& g : grids)
        for (const Cell& c : g.cells)
            if (c.vol >= 0x10 && c.vol <= 0x50)
                loudest = std::max(loudest, c.vol - 0x10);
    if (loudest > 0)
        for (Grid& g : grids)
            for (Cell& c : g.cells)
                if (c.vol >= 0x10 && c.vol <= 0x50)
                    c.vol = (uint8_t)(0x10 + std::lround((c.vol - 0x10) * 64.0 / loudest));
    if (s.restart > 0) {
        Cell& c = grids.back().at(grids.back().rows - 1, jump_ch);
        c.eff = 0xB, c.param = (uint8_t)s.restart;
    }
    Levels levels;
    std::vector<uint8_t> bytes = pack_it(s, grids);
    if (bytes.empty()) {
        fail("a pattern packs to more than 64 KiB", 0);
        return false;
    }
    bool ok = play_module(bytes, levels);
    if (ok) {
        // Limited, heard, and limited again where it still stands out.
        const Levels full = levels;
        const double ceiling = tick_ceiling(full);
        TickCuts cuts;
        for (int pass = 0; ok && pass < LIMITER_PASSES; ++pass) {
            set_tick_volumes(grids, full, ceiling, cuts, volume_ch);
            bytes = pack_it(s, grids);
            ok = !bytes.empty() && play_module(bytes, levels);
            if (ok && !tighten(cuts, levels, ceiling))
                break;
        }
    }
    if (!ok) {
        fail("the module player cannot read the module made", 0);
        return false;
    }
    // Then the mixing volume brings the whole song to its level.
    if (levels.peak > 0) {
        double rms = std::sqrt(levels.energy / std::max(1L, levels.samples));
        double scale = std::min(std::pow(10, LOUDNESS_DB / 20) / rms,
                                std::pow(10, CEILING_DB / 20) / levels.peak) *
                       std::pow(10, s.level / 20);
        bytes[IT_MIXING_VOLUME_AT] = (uint8_t)std::clamp((int)(128 * scale), 1, 128);
    }
    std::string tmp = std::string(path) + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok)
        std::remove(tmp.c_str());
    return ok && std::rename(tmp.c_str(), path) == 0;
}

void usage(FILE* f)
{
    std::fprintf(f,
                 "usage: nwd-modgen SCORE OUTPUT.it\n"
                 "       nwd-modgen --module MODULE OUTPUT\n"
                 "       nwd-modgen --playlist LIST.lst OUTPUT.lst MODULE...\n"
                 "       nwd-modgen -h | --help | --version\n"
                 "  writes the score as an IT module with synthesised instruments, as\n"
                 "  loud as the game's music should be;\n"
                 "  the comment at the top of tools/modgen/main.cpp describes scores\n"
                 "  --module    copies an IT, XM, S3M or MOD module the game can play\n"
                 "  --playlist  copies a playlist whose every line is \"moment = module\"\n"
                 "              with a known moment and one of the MODULE names\n");
}

}  // namespace

int main(int argc, char** argv)
{
    diag_set_program("nwd-modgen");
    enum { SCORE, MODULE, PLAYLIST } mode = SCORE;
    int r = cli_parse(
        argc, argv, "nwd-modgen", "",
        {{"module", no_argument, nullptr, 'm'}, {"playlist", no_argument, nullptr, 'p'}}, usage,
        [&](int c, const char*) { return mode = c == 'm' ? MODULE : PLAYLIST, 0; });
    if (r >= 0)
        return r;
    argv += optind - 1;
    int n = argc - optind;
    if (mode == PLAYLIST && n >= 2)
        return copy_playlist(argv[1], argv[2], std::vector<std::string>(argv + 3, argv + 1 + n))
                   ? 0
                   : 1;
    if (n != 2) {
        usage(stderr);
        return 2;
    }
    if (mode == MODULE)
        return copy_module(argv[1], argv[2]) ? 0 : 1;
    Song song;
    if (!parse(argv[1], song))
        return 1;
    if (song.channels == 0) {
        diag("%s:0: the song has no parts\n", argv[1]);
        return 1;
    }
    if (!write_it(argv[2], song)) {
        if (!failed)
            diag("%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
