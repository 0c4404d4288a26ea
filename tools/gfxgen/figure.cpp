// People drawn from a build and a pose: every body part is painted as a
// numbered shape first, then shaded as a whole (light from the upper left,
// shadows where a nearer part overlaps), then outlined and cropped.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/diag.h"
#include "tools/gfxgen/cast.h"

namespace gg {

namespace {

const int kCanvas = 176;  // room for raised weapons before the crop

// A pixel of an 8-bit memory bitmap, -1 outside it, as getpixel gives; read
// from the row directly, since the library's call with its bank switch was
// most of the time of drawing every frame.
int pixel(BITMAP* b, int x, int y)
{
    return x < 0 || y < 0 || x >= b->w || y >= b->h ? -1 : b->line[y][x];
}

std::vector<Pose> poses;

// Whether `name` is one of the space-separated words of `list`.
bool listed_pose(const char* list, const std::string& name)
{
    return (" " + std::string(list) + " ").find(" " + name + " ") != std::string::npos;
}

struct V {
    float x, y;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y}; }
V operator*(V a, float k) { return {a.x * k, a.y * k}; }

V dir(float deg)
{
    float r = deg * 3.14159265f / 180.0f;
    return {std::sin(r), std::cos(r)};
}
V at(V p, float deg, float len) { return p + dir(deg) * len; }

enum Shade { ROUND, THIN, FLAT };

// Shapes are painted as part numbers; a later part lies in front.
struct Canvas {
    BITMAP* lab;
    Ramp ramp[256];
    int mode[256];
    int n = 0;
    // Details painted after shading, in fixed colours (eyes, glasses, stripes).
    struct Mark {
        V a, b;
        int col;
    };
    std::vector<Mark> marks;
    void mark(V a, V b, int col) { marks.push_back({a, b, col}); }
    void dot(V a, int col) { marks.push_back({a, a, col}); }
    explicit Canvas(int w, int h) : lab(create_bitmap_ex(8, w, h)) { clear_to_color(lab, 0); }
    ~Canvas() { destroy_bitmap(lab); }
    int part(Ramp r, Shade m = ROUND)
    {
        if (n < 255)
            ++n;
        ramp[n] = r;
        mode[n] = m;
        return n;
    }
    void disc(V c, float r, int id)
    {
        int x0 = (int)std::floor(c.x - r), x1 = (int)std::ceil(c.x + r);
        int y0 = (int)std::floor(c.y - r), y1 = (int)std::ceil(c.y + r);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                float dx = x - c.x, dy = y - c.y;
                if (dx * dx + dy * dy <= r * r + 0.3f)
                    putpixel(lab, x, y, id);
            }
    }
    // A tapered capsule from a (radius ra) to b (radius rb).
    void seg(V a, V b, float ra, float rb, int id)
    {
        V d = b - a;
        int n = (int)(std::sqrt(d.x * d.x + d.y * d.y) * 2) + 1;
        for (int i = 0; i <= n; ++i) {
            float t = (float)i / n;
            disc(a + d * t, ra + (rb - ra) * t, id);
        }
    }
    void poly(std::initializer_list<V> pts, int id)
    {
        int xy[32], k = 0;
        for (V p : pts) {
            if (k >= 32)
                break;
            xy[k++] = (int)std::lround(p.x);
            xy[k++] = (int)std::lround(p.y);
        }
        polygon(lab, k / 2, xy, id);
    }
};

Ramp far(Ramp r) { return {r.d, r.d, r.m}; }

// Shades every part as one solid: a light rim where it borders empty space or
// a part behind it toward the light, a dark band on its lower right (two
// pixels on big parts), a cast shadow below and right of any nearer part, and
// a dark contour where a nearer part of the same colour lies over it (an arm
// across a sleeve-coloured chest, a fist over a bare arm).
void shade(const Canvas& C, BITMAP* out)
{
    BITMAP* L = C.lab;
    auto id = [&](int x, int y) { return std::max(pixel(L, x, y), 0); };
    int area[256] = {0};
    for (int y = 0; y < L->h; ++y)
        for (int x = 0; x < L->w; ++x)
            ++area[id(x, y)];
    for (int y = 0; y < L->h; ++y)
        for (int x = 0; x < L->w; ++x) {
            int p = id(x, y);
            if (!p)
                continue;
            const Ramp& r = C.ramp[p];
            int m = C.mode[p];
            int col = r.m;
            if (m == FLAT) {
                putpixel(out, x, y, col);
                continue;
            }
            int ul[2] = {id(x - 1, y), id(x, y - 1)};
            int dr[2] = {id(x + 1, y), id(x, y + 1)};
            bool cast = ul[0] > p || ul[1] > p;
            bool rim = (ul[0] != p && ul[0] < p) || (ul[1] != p && ul[1] < p);
            bool edge = dr[0] != p || dr[1] != p || id(x + 1, y + 1) != p;
            if (area[p] > 70)
                edge = edge || id(x + 2, y + 1) != p || id(x + 1, y + 2) != p;
            bool contour = false;
            for (int q : {ul[0], ul[1], dr[0], dr[1]})
                if (q > p && C.mode[q] != FLAT && C.ramp[q].m == r.m)
                    contour = true;
            if (m == THIN)
                col = rim ? r.l : r.m;
            else if (contour)
                col = r.d == r.m ? kOutline : r.d;
            else if (cast || edge)
                col = r.d;
            else if (rim)
                col = r.l;
            putpixel(out, x, y, col);
        }
}

struct Figure {
    const Look& L;
    const Pose& p;
    Canvas C;
    float s;
    V hip;
    float T;  // torso's up direction
    explicit Figure(const Look& l, const Pose& pose, int w, int h)
        : L(l), p(pose), C(w, h), s(l.scale), hip{0, 0}, T(0)
    {
    }

    float world(float a) const { return a - p.tilt; }
    V tp(float u, float v) const { return hip + dir(T) * u + dir(T - 90) * v; }
};

struct Limb {
    V root, joint, end;
    float a0, a1;  // world angles of the two segments
};

Limb arm_of(const Figure& F, V shoulder, float S, float E)
{
    float up = 10 * F.s * F.L.arm, fo = 9 * F.s * F.L.arm;
    float a0 = F.world(S), a1 = F.world(S + E);
    V el = at(shoulder, a0, up);
    return {shoulder, el, at(el, a1, fo), a0, a1};
}

Limb leg_of(const Figure& F, V hip, float H, float K)
{
    float th = 12 * F.s * F.L.leg, sh = 12 * F.s * F.L.leg;
    float a0 = F.world(H), a1 = F.world(H + K);
    V kn = at(hip, a0, th);
    return {hip, kn, at(kn, a1, sh), a0, a1};
}

void draw_arm(Figure& F, const Limb& a, bool near, Prop prop)
{
    const Look& L = F.L;
    float s = F.s, r = L.arm_r * s;
    bool bare = L.top == TOP_TANK || L.top == TOP_VEST || L.top == TOP_DRESS || L.top == TOP_HOODIE;
    Ramp sk = near ? L.skin : far(L.skin), tc = near ? L.top_c : far(L.top_c);
    Ramp upper_c = bare ? sk : tc, fore_c = bare || L.top == TOP_TEE ? sk : tc;
    int up = F.C.part(upper_c);
    if (L.top == TOP_TEE) {  // short sleeve over a bare upper arm
        int arm = F.C.part(sk);
        F.C.seg(a.root, a.joint, r * 1.1f, r * 0.95f, arm);
        F.C.seg(a.root, a.root + (a.joint - a.root) * 0.55f, r * 1.25f, r * 1.15f, up);
    } else {
        float pu = 1 + L.puff * 0.12f;
        F.C.seg(a.root, a.joint, r * 1.15f * pu, r * 0.95f * pu, up);
    }
    if (L.spikes) {  // a leather pad over the shoulder, studs standing out of it
        int pad = F.C.part(near ? L.boots : far(L.boots));
        V on = a.root + dir(a.a0) * (1.0f * s);
        F.C.disc(on, r * 1.6f, pad);
        for (float k : {-1.0f, 0.0f, 1.0f}) {
            int st = F.C.part(near ? Ramp{104, 105, 106} : Ramp{104, 104, 105});
            V b = at(on, a.a0 + 180 + k * 45, r * 1.2f);
            F.C.seg(b, at(on, a.a0 + 180 + k * 45, r * 1.6f + 4.0f * s), 1.1f * s, 0.3f, st);
        }
    }
    int fo = F.C.part(fore_c);
    if (L.cuff > 1) {  // a wide sleeve opening short of the hand
        F.C.seg(a.joint, a.end - dir(a.a1) * (0.8f * s), r * 0.95f, r * L.cuff, fo);
    } else {
        F.C.seg(a.joint, a.end, r * 0.95f, r * 0.8f, fo);
    }
    if (L.top == TOP_JACKET || L.top == TOP_COAT) {  // cuff
        int cuff = F.C.part(near ? Ramp{tc.d, tc.d, tc.m} : tc);
        F.C.seg(a.end - dir(a.a1) * 1.8f * s, a.end - dir(a.a1) * 0.8f * s, r * 0.95f, r * 0.95f,
                cuff);
    }
    if (near && prop != PROP_NONE) {
        float g = a.a1 + F.p.grip;
        V h = a.end;
        switch (prop) {
        case PROP_KNIFE: {
            int hd = F.C.part({1, 2, 111});
            F.C.seg(h - dir(g) * 3.0f * s, h + dir(g) * 1.5f * s, 0.9f * s, 0.9f * s, hd);
            int gd = F.C.part({104, 105, 106}, FLAT);
            F.C.seg(h + dir(g + 90) * 1.6f * s + dir(g) * 2.2f * s,
                    h - dir(g + 90) * 1.6f * s + dir(g) * 2.2f * s, 0.5f, 0.5f, gd);
            int bl = F.C.part({105, 106, 240}, THIN);
            V b0 = h + dir(g) * 2.8f * s, b1 = h + dir(g) * 10.0f * s;
            F.C.seg(b0, b1, 1.1f * s, 0.3f, bl);
            break;
        }
        case PROP_PIPE: {
            int pp = F.C.part({104, 105, 106});
            F.C.seg(h - dir(g) * 4.0f * s, h + dir(g) * 19.0f * s, 1.3f * s, 1.3f * s, pp);
            break;
        }
        case PROP_BAT: {
            int bt = F.C.part({107, 108, 109});
            F.C.seg(h - dir(g) * 3.5f * s, h + dir(g) * 21.0f * s, 0.9f * s, 2.2f * s, bt);
            break;
        }
        case PROP_CHAIN: {
            bool lash = F.p.name == "ATTACK";
            int links = lash ? 16 : 10;
            float ang = g, step = 2.6f * s;
            V q = h;
            for (int i = 0; i < links; ++i) {
                // a loose chain sags toward the ground; a lashed one flies straight
                float pull = lash ? 0.04f : 0.22f;
                ang = ang + (0 - ang) * pull;
                V nq = at(q, ang + (lash ? std::sin(i * 1.3f) * 8 : 0), step);
                if (i % 2) {  // a ring: the outline fills its hole
                    int lk = F.C.part({104, 105, 106}, THIN);
                    V c = (q + nq) * 0.5f;
                    F.C.disc(c, 1.6f * s, lk);
                    putpixel(F.C.lab, (int)std::lround(c.x), (int)std::lround(c.y), 0);
                } else {
                    int lk = F.C.part({105, 106, 240}, THIN);
                    F.C.seg(q, nq, 0.6f, 0.6f, lk);
                }
                q = nq;
            }
            break;
        }
        default: break;
        }
    }
    int hand = F.C.part(near ? L.hands : far(L.hands));
    float wrist = r * 0.95f + 0.4f, fist = wrist * L.glove;
    // a glove swells past the wrist, so it grows forward, not back up the arm
    F.C.disc(a.end + dir(a.a1) * (fist - wrist), fist, hand);
}

void draw_leg(Figure& F, const Limb& l, bool near)
{
    const Look& L = F.L;
    float s = F.s, r = L.leg_r * s;
    Ramp lc = L.skirt ? L.skin : L.legs;
    if (!near)
        lc = far(lc);
    float rr = L.skirt ? 0.75f : 1.0f;
    int th = F.C.part(lc);
    F.C.seg(l.root, l.joint, r * 1.2f * rr, r * 0.95f * rr, th);
    int sh = F.C.part(lc);
    F.C.seg(l.joint, l.end, r * 0.95f * rr, r * 0.8f * rr, sh);
    // Feet stay flat on the ground unless the shin swings far from upright.
    float foot = std::fabs(l.a1) < 35 ? 90 : l.a1 + 90;
    int bt = F.C.part(near ? L.boots : far(L.boots));
    float b = L.boot;
    V heel = l.end - dir(foot) * (1.0f * s * b);
    F.C.seg(heel, at(l.end, foot, 4.6f * s * b), r * 0.85f * b, r * 0.7f * b, bt);
    F.C.seg(l.end - dir(l.a1) * (2.0f * s * b), l.end, r * 0.85f * b, r * 0.85f * b, bt);
}

void draw_head(Figure& F, BITMAP* out, V neck)
{
    const Look& L = F.L;
    float s = F.s, hr = L.head * s;
    float hA = F.T - F.p.head;
    V up = dir(hA), fw = dir(hA - 90);
    V head = neck + up * (1.8f * s + hr);
    auto hp = [&](float u, float v) { return head + up * u + fw * v; };
    Canvas& C = F.C;
    int nk = C.part(L.skin);
    C.seg(neck - up * 1.5f * s, head, 1.9f * s * (L.shoulders / 5.5f), 1.7f * s, nk);
    if (L.hair == HAIR_PONY || L.tail > 0) {
        // Tied high on the crown: it hangs down the back at rest and streams
        // out behind in a move, so the outline shows what the fighter is doing.
        // Lying or thrown, it trails along the body, never below it.
        const std::string& n = F.p.name;
        bool rest = listed_pose("STAND BLOCK TAUNT CROUCH KNEEL DAZED HELD GETUP", n);
        bool down = std::fabs(F.p.tilt) > 30;
        float rel = down ? 178 : rest ? 148 : n.compare(0, 4, "WALK") == 0 ? 125 : 95;
        float curl = down ? 0 : rest ? 6 : 16;
        int pt = C.part(L.hair_c);
        V q = hp(0.85f * hr, -0.55f * hr);
        C.disc(q, 1.5f * s, pt);  // the knot
        const float rad[4] = {1.4f, 2.0f, 1.6f, 0.6f};
        for (int i = 0; i < 3; ++i) {
            V nq = at(q, hA + rel + i * curl, L.tail * hr / 3);
            C.seg(q, nq, rad[i] * s, rad[i + 1] * s, pt);
            q = nq;
        }
    }
    int sk = C.part(L.skin);
    C.disc(hp(0.3f, -0.4f), hr, sk);
    C.disc(hp(-hr * 0.45f, hr * 0.25f), hr * 0.72f, sk);  // jaw
    C.disc(hp(0.4f, hr * 0.95f), 0.9f * s, sk);           // nose
    int hc = 0;
    auto reclaim_face = [&](float u, float v, float r) { C.disc(hp(u, v), r, sk); };
    switch (L.hair) {
    case HAIR_SHORT:
    case HAIR_PONY:
    case HAIR_LONG:
        hc = C.part(L.hair_c);
        C.disc(hp(hr * 0.28f, -hr * 0.22f), hr * 0.95f, hc);
        reclaim_face(-hr * 0.3f, hr * 0.42f, hr * 0.62f);
        C.disc(hp(-hr * 0.2f, -hr * 0.6f), hr * 0.45f, hc);  // back of the head
        break;
    case HAIR_CREW:
        hc = C.part(L.hair_c);
        C.disc(hp(hr * 0.35f, -hr * 0.2f), hr * 0.9f, hc);
        reclaim_face(-hr * 0.15f, hr * 0.35f, hr * 0.72f);
        break;
    case HAIR_SLICK:
        hc = C.part(L.hair_c);
        C.disc(hp(hr * 0.3f, -hr * 0.3f), hr * 0.95f, hc);
        C.disc(hp(-hr * 0.1f, -hr * 0.95f), hr * 0.55f, hc);
        reclaim_face(-hr * 0.35f, hr * 0.45f, hr * 0.6f);
        break;
    case HAIR_FLAT:  // a high flat top: a box on his head, squared off to the sky
        hc = C.part(L.hair_c);
        C.poly({hp(hr * 0.2f, -hr * 1.0f), hp(hr + 6.0f * s, -hr * 0.9f),
                hp(hr + 6.0f * s, hr * 0.7f), hp(hr * 0.5f, hr * 0.8f)},
               hc);
        reclaim_face(-hr * 0.2f, hr * 0.35f, hr * 0.66f);
        break;
    case HAIR_MOHAWK:
        // A crest from the brow to the nape, tallest over the crown: it
        // stands a head's height above his skull, a shape nobody else has.
        hc = C.part(L.hair_c);
        for (int k = 0; k < 9; ++k) {
            float a = -40 + k * 19;
            float tall = hr + (2.5f + 4.5f * std::sin(3.14159f * (k + 1) / 9)) * s;
            V base = at(hp(0.3f, -0.4f), hA + a, hr * 0.8f);
            V tip = at(hp(0.3f, -0.4f), hA + a + 8, tall);
            C.seg(base, tip, 1.6f * s, 0.5f * s, hc);
        }
        break;
    case HAIR_CAP: {
        hc = C.part(L.hair_c);  // hair shows under the cap at the back
        C.disc(hp(-hr * 0.2f, -hr * 0.55f), hr * 0.5f, hc);
        hc = C.part(L.hat);
        C.disc(hp(hr * 0.35f, -hr * 0.15f), hr * 0.95f, hc);
        reclaim_face(-hr * 0.4f, hr * 0.35f, hr * 0.62f);
        int brim = C.part(L.hat);  // worn backwards: the peak sticks out behind
        C.seg(hp(hr * 0.35f, -hr * 0.3f), hp(hr * 0.1f, -hr - 4.2f * s), 1.1f * s, 0.9f * s, brim);
        break;
    }
    case HAIR_HOOD: {
        // Up over the head, hanging down the back of the neck, a little
        // peaked behind: a shape no hairstyle has, so he is known by it.
        hc = C.part(L.hat);
        C.seg(hp(-hr * 0.2f, -hr * 0.5f), neck - fw * (1.2f * s), hr * 0.6f, hr * 0.45f, hc);
        C.disc(hp(hr * 0.3f, -hr * 0.15f), hr * 1.15f, hc);
        C.seg(hp(hr * 0.5f, -hr * 0.5f), hp(hr * 1.7f, -hr * 1.45f), hr * 0.6f, hr * 0.15f, hc);
        // The opening's shadowed lining, on the hood only, round the face.
        int lining = C.part({L.hat.d, L.hat.d, L.hat.d}, FLAT);
        V face = hp(-hr * 0.3f, hr * 0.5f);
        float lr = hr * 0.62f + 1.2f * s;
        for (int y = (int)std::floor(face.y - lr); y <= (int)std::ceil(face.y + lr); ++y)
            for (int x = (int)std::floor(face.x - lr); x <= (int)std::ceil(face.x + lr); ++x)
                if ((x - face.x) * (x - face.x) + (y - face.y) * (y - face.y) <= lr * lr &&
                    pixel(C.lab, x, y) == hc)
                    putpixel(C.lab, x, y, lining);
        reclaim_face(-hr * 0.3f, hr * 0.5f, hr * 0.62f);
        break;
    }
    case HAIR_HARDHAT: {
        // A tall dome with a ridge down the middle and a brim all round,
        // wider than his head: the one flat-topped hat on the street.
        hc = C.part(L.hat);
        C.disc(hp(hr * 0.6f, 0), hr * 1.2f, hc);
        reclaim_face(-hr * 0.45f, hr * 0.35f, hr * 0.62f);
        int ridge = C.part(L.hat);
        C.seg(hp(hr * 1.7f, -hr * 0.5f), hp(hr * 1.7f, hr * 0.45f), 1.0f * s, 1.0f * s, ridge);
        int brim = C.part(L.hat);  // a peak over the eyes, a short rim behind
        C.seg(hp(hr * 0.1f, -hr - 0.6f * s), hp(hr * 0.2f, hr + 2.8f * s), 0.9f * s, 0.9f * s,
              brim);
        break;
    }
    case HAIR_FEDORA: {
        hc = C.part(L.hair_c);  // slicked hair showing at the nape
        C.disc(hp(-hr * 0.1f, -hr * 0.75f), hr * 0.5f, hc);
        hc = C.part(L.hat);
        C.disc(hp(hr * 0.35f, -hr * 0.1f), hr * 0.95f, hc);
        reclaim_face(-hr * 0.35f, hr * 0.45f, hr * 0.6f);
        // the crown stands above the skull, pinched at the front
        C.poly({hp(hr * 0.4f, -hr * 0.95f), hp(hr * 1.6f, -hr * 0.85f), hp(hr * 1.35f, hr * 0.05f),
                hp(hr * 1.55f, hr * 0.75f), hp(hr * 0.4f, hr * 0.95f)},
               hc);
        int brim = C.part(L.hat);  // snapped down at the front
        C.seg(hp(hr * 0.5f, -hr - 2.4f * s), hp(hr * 0.2f, hr + 3.2f * s), 0.8f * s, 0.7f * s,
              brim);
        C.mark(hp(hr * 0.65f, -hr * 0.9f), hp(hr * 0.6f, hr * 0.9f),
               L.necklace ? L.necklace : L.hat.l);  // the band
        break;
    }
    default: break;
    }
    if (L.beard) {
        int bd = C.part(L.hair_c);
        C.disc(hp(-hr * 0.62f, hr * 0.35f), hr * 0.5f, bd);
        C.disc(hp(-hr * 0.3f, hr * 0.7f), hr * 0.28f, bd);
    }
    // Face details go on after shading, in fixed colours: an eye under a heavy
    // brow, the nostril's shadow, a mouth line, an ear.
    int brow = L.hair == HAIR_BALD || L.hair == HAIR_MOHAWK || L.hair == HAIR_HARDHAT ? L.skin.d
               : L.hair == HAIR_HOOD || L.hair == HAIR_FEDORA                         ? L.hat.d
                                                                                      : L.hair_c.d;
    C.dot(hp(hr * 0.02f, hr * 0.58f), kOutline);
    C.mark(hp(hr * 0.38f, hr * 0.35f), hp(hr * 0.3f, hr * 0.85f), brow);
    C.dot(hp(-hr * 0.28f, hr * 0.92f), L.skin.d);
    C.mark(hp(-hr * 0.62f, hr * 0.55f), hp(-hr * 0.6f, hr * 0.8f), L.beard ? kOutline : L.skin.d);
    if (L.hair != HAIR_HOOD)  // the ear
        C.mark(hp(hr * 0.05f, -hr * 0.28f), hp(-hr * 0.35f, -hr * 0.22f), L.skin.d);
    if (L.shades) {
        C.mark(hp(hr * 0.15f, 0), hp(hr * 0.15f, hr * 0.95f), kOutline);
        C.mark(hp(hr * 0.15f - 1, hr * 0.3f), hp(hr * 0.15f - 1, hr * 0.95f), kOutline);
        C.dot(hp(hr * 0.15f, hr * 0.6f), 248);
    }
    if (L.band) {
        C.mark(hp(hr * 0.45f, -hr * 0.95f), hp(hr * 0.6f, hr * 0.85f), L.band + 1);
        C.mark(hp(hr * 0.45f - 1, -hr * 0.95f), hp(hr * 0.6f - 1, hr * 0.85f), L.band);
        C.mark(hp(hr * 0.45f, -hr * 1.0f), hp(hr * 0.0f, -hr * 1.7f), L.band);
        C.mark(hp(hr * 0.45f, -hr * 1.0f), hp(-hr * 0.5f, -hr * 1.4f), L.band + 1);
    }
    (void)out;
}

void draw_torso(Figure& F)
{
    const Look& L = F.L;
    float s = F.s, t = 16 * s * L.torso;
    float sh = L.shoulders * s, ch = L.chest * s, wa = L.waist * s, hi = L.hips * s,
          be = L.belly * s;
    Canvas& C = F.C;
    int body = C.part(L.top_c);
    C.poly(
        {F.tp(t + 1.2f * s, -sh * 0.55f), F.tp(t, -sh), F.tp(t * 0.62f, -ch * 0.95f),
         F.tp(t * 0.28f, -wa), F.tp(-1.5f * s, -hi), F.tp(-1.5f * s, hi), F.tp(t * 0.3f, wa + be),
         F.tp(t * 0.62f, ch), F.tp(t, sh * 0.75f), F.tp(t + 1.2f * s, sh * 0.35f)},
        body);
    if (L.puff > 0) {  // padding balloons the jacket out over a ribbed waistband
        float pu = L.puff * s;
        C.poly({F.tp(t, -sh), F.tp(t * 0.55f, -ch - pu), F.tp(t * 0.2f, -wa - pu * 0.8f),
                F.tp(1.5f * s, -hi - pu * 0.3f), F.tp(1.5f * s, hi + pu * 0.3f),
                F.tp(t * 0.2f, wa + be + pu * 0.6f), F.tp(t * 0.55f, ch + pu * 0.8f),
                F.tp(t, sh * 0.75f)},
               body);
    }
    if (L.belly > 2.5f) {  // a real belly rounds out over the belt
        float rb = (wa + be) * 0.55f;
        C.disc(F.tp(t * 0.33f, wa + be - rb), rb, body);
    }
    if (L.traps > 0) {  // a bull neck: muscle slopes from below the ears to the shoulders
        bool bare = L.top == TOP_VEST || L.top == TOP_TANK || L.top == TOP_TEE;
        int tr = C.part(bare ? L.skin : L.top_c);
        float up = t + L.traps * s;
        C.poly({F.tp(t + 0.8f * s, -sh * 0.85f), F.tp(up, -1.6f * s), F.tp(up, 2.2f * s),
                F.tp(t + 0.8f * s, sh * 0.7f)},
               tr);
    }
    switch (L.top) {
    case TOP_JACKET:
    case TOP_COAT: {  // open front shows the shirt; a collar at the neck
        int sh_id = C.part(L.shirt);
        C.poly({F.tp(t * 0.15f, wa * 0.45f), F.tp(t * 0.15f, wa + be * 0.9f), F.tp(t * 0.62f, ch),
                F.tp(t + 0.5f * s, sh * 0.6f), F.tp(t + 0.5f * s, sh * 0.15f)},
               sh_id);
        int col = C.part(L.top_c);
        C.poly({F.tp(t + 1.6f * s, -sh * 0.5f), F.tp(t + 1.6f * s, sh * 0.1f),
                F.tp(t * 0.7f, sh * 0.45f), F.tp(t * 0.75f, -sh * 0.1f)},
               col);
        break;
    }
    case TOP_VEST: {  // open vest: the bare chest shows in a deep V down the front
        int v = C.part(L.skin);
        C.poly({F.tp(t + 1.2f * s, sh * 0.05f), F.tp(t + 1.0f * s, sh * 0.8f),
                F.tp(t * 0.62f, ch * 1.0f), F.tp(t * 0.25f, wa + be * 0.9f),
                F.tp(t * 0.3f, wa * 0.55f), F.tp(t * 0.62f, ch * 0.25f)},
               v);
        int pec = C.part(L.skin, THIN);
        C.seg(F.tp(t * 0.62f, ch * 0.55f), F.tp(t * 0.6f, ch * 0.95f), 0.5f, 0.5f, pec);
        break;
    }
    case TOP_TANK:
    case TOP_TEE: {
        int nl = C.part(L.skin);
        C.poly({F.tp(t + 1.2f * s, sh * 0.05f), F.tp(t + 1.2f * s, sh * 0.45f),
                F.tp(t * (L.top == TOP_TANK ? 0.78f : 0.9f), sh * 0.55f)},
               nl);
        break;
    }
    case TOP_GI: {  // crossed front with the skin showing in a V
        int nl = C.part(L.skin);
        C.poly({F.tp(t + 1.2f * s, -sh * 0.1f), F.tp(t + 1.2f * s, sh * 0.45f),
                F.tp(t * 0.5f, ch * 0.85f)},
               nl);
        int tr = C.part(L.shirt, THIN);
        C.seg(F.tp(t + 1.0f * s, -sh * 0.2f), F.tp(t * 0.45f, ch * 0.95f), 0.6f, 0.6f, tr);
        break;
    }
    default: break;
    }
    if (L.overalls) {  // bib and straps
        int bib = C.part(L.legs);
        C.poly({F.tp(-1.0f * s, -hi), F.tp(t * 0.6f, -ch * 0.2f), F.tp(t * 0.62f, ch),
                F.tp(t * 0.3f, wa + be), F.tp(-1.0f * s, hi)},
               bib);
        int st = C.part(L.legs, THIN);
        C.seg(F.tp(t * 0.6f, ch * 0.2f), F.tp(t + 0.8f * s, -sh * 0.2f), 0.7f * s, 0.7f * s, st);
    }
    if (L.top == TOP_HOODIE) {  // the pouch pocket's opening, low on the belly
        int pk = C.part(L.top_c, THIN);
        C.seg(F.tp(t * 0.35f, wa * 0.35f), F.tp(t * 0.15f, wa + be * 0.8f), 0.5f, 0.5f, pk);
    }
    if (L.strap.m) {
        // Over the near shoulder and down across the chest to the hip, the
        // blades of his spare knives standing out of it.
        V top = F.tp(t + 0.8f * s, -sh * 0.45f), bottom = F.tp(t * 0.1f, wa * 1.05f);
        int st = C.part(L.strap);
        C.seg(top, bottom, 1.1f * s, 1.1f * s, st);
        V d = bottom - top;
        float len = std::sqrt(d.x * d.x + d.y * d.y);
        V along = d * (1.0f / (len > 0 ? len : 1)), out = {along.y, -along.x};
        if (out.y > 0)
            out = out * -1.0f;                 // out points up, off the strap
        for (float k : {0.3f, 0.55f, 0.8f}) {  // shapes, so that an arm in front hides them
            V at_k = top + d * k;
            int bl = C.part({105, 106, 240}, THIN);
            C.seg(at_k + out * (1.2f * s), at_k + out * (3.2f * s) - along * (1.0f * s), 0.5f, 0.4f,
                  bl);
        }
    }
    if (L.necklace) {
        int nk = C.part({L.necklace + 1, L.necklace, L.necklace - 1}, THIN);
        C.seg(F.tp(t + 0.6f * s, sh * 0.2f), F.tp(t * 0.75f, sh * 0.6f), 0.5f, 0.5f, nk);
    }
    // Belt (or a sash) across the waist, a buckle at the front.
    if (L.belt.m) {
        int b = C.part(L.belt);
        C.poly({F.tp(-0.4f * s, -hi * 1.02f), F.tp(1.6f * s, -hi * 1.02f),
                F.tp(1.6f * s, hi * 1.02f + be * 0.3f), F.tp(-0.4f * s, hi * 1.02f)},
               b);
        C.mark(F.tp(0.2f * s, hi * 0.9f), F.tp(1.0f * s, hi * 0.9f), 245);  // buckle
    }
}

// A skirt hangs from the waist over both thighs toward the knees.
void draw_skirt(Figure& F, const Limb& nl, const Limb& fl, float reach)
{
    const Look& L = F.L;
    float s = F.s, hi = L.hips * s;
    int sk = F.C.part(L.top_c);
    V nk = nl.root + (nl.joint - nl.root) * reach, fk = fl.root + (fl.joint - fl.root) * reach;
    V back = F.tp(1.0f * s, -hi * 1.1f), front = F.tp(1.0f * s, hi * 1.1f);
    V lo_b = (nk.x < fk.x ? nk : fk) + V{-3.2f * s, 1.5f * s};
    V lo_f = (nk.x < fk.x ? fk : nk) + V{3.2f * s, 1.5f * s};
    F.C.poly({back, front, lo_f, lo_b}, sk);
}

// A coat's (or gi's) tail: one panel swings with each thigh. Down to the
// knee it follows the thigh; a longer coat drapes from there toward the
// ground, so a kick lifts its skirt without stiffening it into a board. It
// never hangs below the feet ("floor"): the lowest row is where he stands.
void draw_coat_tail(Figure& F, const Limb& l, bool near, float floor)
{
    const Look& L = F.L;
    float s = F.s, hi = L.hips * s, w = L.leg_r * s * 1.5f;
    Ramp r = near ? L.top_c : far(L.top_c);
    int id = F.C.part(r);
    V d = l.joint - l.root;
    float len = std::sqrt(d.x * d.x + d.y * d.y);
    V u = d * (1.0f / (len > 0 ? len : 1)), n = {u.y, -u.x};  // along and across the thigh
    if (n.x < 0)
        n = n * -1.0f;  // n points forward
    const float knee = 1.25f;
    V hem = l.root + u * (len * std::min(L.hem, knee)) + V{0, 1.0f * s};
    if (L.hem > knee) {  // lying or flung, it trails along the legs instead
        V drape = std::fabs(F.p.tilt) > 30 ? u : u * 0.35f + V{0, 0.65f};
        float dl = std::sqrt(drape.x * drape.x + drape.y * drape.y);
        hem = hem + drape * (len * (L.hem - knee) / dl);
        hem.y = std::min(hem.y, floor - 1.5f * s);
    }
    float fl = L.flare;
    F.C.poly({F.tp(1.5f * s, -hi * 1.15f), F.tp(1.5f * s, hi * (near ? 1.15f : 0.6f)),
              hem + n * (w * (near ? 1.1f : 0.8f) * fl), hem - n * (w * 1.3f * fl)},
             id);
    if (near)
        F.C.mark(F.tp(1.0f * s, hi * 1.0f), hem + n * (w * 1.1f), r.d);  // the open front edge
}

}  // namespace

void draw_figure(BITMAP* out, const Look& L, const Pose& p, float hx, float hy, Prop prop)
{
    Figure F(L, p, out->w, out->h);
    float s = L.scale;
    F.hip = {hx + p.dx * s, hy};
    F.T = 180 - p.lean - p.tilt;
    float t = 16 * s * L.torso;
    V neck = F.tp(t + 0.6f * s, 0.3f * s);
    V nsh = F.tp(t - 1.2f * s, 0.6f * s), fsh = F.tp(t - 0.6f * s, -1.6f * s);
    V nhip = F.tp(0, 1.0f * s), fhip = F.tp(0.3f, -1.4f * s);
    Limb na = arm_of(F, nsh, p.nS, p.nE), fa = arm_of(F, fsh, p.fS, p.fE);
    Limb nl = leg_of(F, nhip, p.nH, p.nK), fl = leg_of(F, fhip, p.fH, p.fK);

    if (L.hair == HAIR_LONG) {  // long hair falls behind the shoulders
        int h = F.C.part(far(L.hair_c));
        V top = F.tp(t + 6.5f * s, -1.5f * s);
        F.C.seg(top, F.tp(t - 7 * s, -3.2f * s), 3.6f * s, 2.4f * s, h);
    }
    draw_arm(F, fa, false, PROP_NONE);
    draw_leg(F, fl, false);
    float floor = std::max(nl.end.y, fl.end.y);
    if (L.hem > 0)
        draw_coat_tail(F, fl, false, floor);
    draw_torso(F);
    draw_leg(F, nl, true);
    if (L.skirt)
        draw_skirt(F, nl, fl, 0.8f);
    if (L.hem > 0)
        draw_coat_tail(F, nl, true, floor);
    draw_head(F, out, neck);
    draw_arm(F, na, true, prop);
    if (L.stripe) {  // track-suit stripe down the near leg
        F.C.mark(nl.root + (nl.joint - nl.root) * 0.15f, nl.joint, L.shirt.l);
        F.C.mark(nl.joint, nl.end - dir(nl.a1) * 2.0f * s, L.shirt.l);
    }
    shade(F.C, out);
    for (auto& m : F.C.marks)
        line(out, (int)std::lround(m.a.x), (int)std::lround(m.a.y), (int)std::lround(m.b.x),
             (int)std::lround(m.b.y), m.col);
}

// Crops to the painted area; the hot spot is the hip column (hipx) at the
// lowest painted row (the feet).
Drawn crop(BITMAP* o, int hipx)
{
    int x0 = o->w, y0 = o->h, x1 = -1, y1 = -1;
    for (int y = 0; y < o->h; ++y)
        for (int x = 0; x < o->w; ++x)
            if (pixel(o, x, y)) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    if (x1 < 0)
        x0 = y0 = x1 = y1 = 0;
    BITMAP* b = create_bitmap_ex(8, x1 - x0 + 1, y1 - y0 + 1);
    blit(o, b, x0, y0, 0, 0, b->w, b->h);
    int hx = std::max(0, std::min(b->w - 1, hipx - x0));
    return {b, hx, b->h - 1};
}

// Outlines every shape in `line`, then crops.
Drawn finish(BITMAP* canvas, int hipx, int line)
{
    BITMAP* o = create_bitmap_ex(8, canvas->w, canvas->h);
    blit(canvas, o, 0, 0, 0, 0, canvas->w, canvas->h);
    for (int y = 1; y < canvas->h - 1; ++y)
        for (int x = 1; x < canvas->w - 1; ++x)
            if (!pixel(canvas, x, y) && (pixel(canvas, x - 1, y) || pixel(canvas, x + 1, y) ||
                                         pixel(canvas, x, y - 1) || pixel(canvas, x, y + 1)))
                putpixel(o, x, y, line);
    Drawn d = crop(o, hipx);
    destroy_bitmap(o);
    return d;
}

Drawn figure(const Look& L, const Pose& p, Prop prop)
{
    BITMAP* c = create_bitmap_ex(8, kCanvas, kCanvas);
    clear_to_color(c, 0);
    float hx = kCanvas / 2, hy = kCanvas * 0.55f;
    draw_figure(c, L, p, hx, hy, prop);
    Drawn d = finish(c, (int)std::lround(hx + p.dx * L.scale), L.line);
    destroy_bitmap(c);
    return d;
}

const Pose* find_pose(const std::vector<std::string>& sets, const std::string& name)
{
    for (auto& set : sets)
        for (auto& p : poses)
            if (p.set == set && p.name == name)
                return &p;
    return nullptr;
}

bool load_poses(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) {
        diag("%s: cannot read: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    char buf[256];
    int ln = 0;
    while (std::fgets(buf, sizeof buf, f)) {
        ++ln;
        if (std::strncmp(buf, "pose ", 5))
            continue;
        char set[32], name[32];
        Pose p;
        p.grip = 90;
        int n = std::sscanf(buf, "pose %31s %31s %f %f %f %f %f %f %f %f %f %f %f %f %f", set, name,
                            &p.tilt, &p.dx, &p.lean, &p.head, &p.nS, &p.nE, &p.fS, &p.fE, &p.nH,
                            &p.nK, &p.fH, &p.fK, &p.grip);
        if (n != 14 && n != 15) {
            diag("%s:%d: a pose needs a set, a name and 12 numbers (a 13th for the grip)\n",
                 path.c_str(), ln);
            std::fclose(f);
            return false;
        }
        p.set = set;
        p.name = name;
        poses.push_back(p);
    }
    std::fclose(f);
    return true;
}

}  // namespace gg
