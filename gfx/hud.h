// The incremental HUD of the street levels and the statistics overlay shown
// while a demo file is replayed.
#pragma once

#include <climits>
#include <cstdint>

struct BITMAP;

// Where the HUD's parts sit in its 320 x 32 rows. The picture generator
// draws the background's labels and recessed boxes from these, and the HUD
// draws its values into the boxes, so the two cannot drift apart.
struct HudBox {
    int x1, y1, x2, y2;  // the box with its one-pixel rim
};
constexpr int HUD_ROWS = 32;
constexpr int HUD_TEXT_Y = 2;  // the top row's numbers and labels, clear of the edge
constexpr HudBox HUD_SCORE_BOX = {44, 1, 97, 10};
constexpr HudBox HUD_MODE_BOX = {102, 1, 153, 10};
constexpr HudBox HUD_STARS_BOX = {157, 1, 182, 10};
constexpr HudBox HUD_TOP_BOX = {202, 1, 253, 10};
constexpr HudBox HUD_CLOCK_BOX = {283, 1, 316, 10};
constexpr HudBox HUD_ENERGY_BOX = {40, 12, 243, 20};
constexpr HudBox HUD_SECOND_BOX = {40, 22, 243, 30};
constexpr HudBox HUD_LIVES_BOX = {246, 12, 279, 30};
constexpr HudBox HUD_ITEM_BOX = {283, 12, 316, 30};
constexpr int HUD_SCORE_X = 48, HUD_TOP_X = 204, HUD_CLOCK_X = 284;
constexpr int HUD_MODE_X = 104, HUD_MODE_W = 48;  // one 8-row label per mode in object 4
constexpr int HUD_STARS_X = 158;                  // star k at HUD_STARS_X + 8 k
constexpr int HUD_BAR_X = 42, HUD_BAR_MAX = 200;  // 200 columns fill a bar's box
constexpr int HUD_ENERGY_Y = 13, HUD_SECOND_Y = 23;
constexpr int HUD_LIVES_X = 247, HUD_LIVES_Y = 13;  // life n at HUD_LIVES_X + 8 n
constexpr int HUD_ITEM_X = 285, HUD_ITEM_Y = 13;
struct HudLabel {
    const char* text;
    int x, y;
};
constexpr HudLabel HUD_LABELS[] = {
    {"SCORE", 4, HUD_TEXT_Y}, {"HI", 188, HUD_TEXT_Y}, {"TIME", 258, HUD_TEXT_Y},
    {"LIFE", 4, 13},          {"ENEMY", 4, 23},
};
// Main datafile objects of the HUD besides those every Part names.
enum {
    HUD_MODE_LABELS = 4,   // ARCADE, SURVIVAL, VAMPIRE: 48 x 8 each, one under the other
    HUD_DRAIN_COLUMN = 5,  // 1 x 7: the tip of a vampire's draining energy bar
};

// What the HUD last drew, to draw only what changed.
constexpr int HUD_FORGOTTEN = INT_MIN;  // a box to draw whatever its value
constexpr int HUD_CLOCK_STILL_FRAMES =
    8;  // frames without a tick before the clock counts as stopped
struct HudShown {
    int energy = 0, second = 0;
    int score = -1, top = 0;
    int lives = 0, stars = 0;
    int item = 0, count = 0, clock = 0;
    int mode = HUD_FORGOTTEN;
    int lit = 0, lit_from = 0;           // the energy bar's lit tip
    int timer = 0;                       // the clock's last value
    int still = HUD_CLOCK_STILL_FRAMES;  // frames the clock has not moved
};

// Draws what changed since the last call (everything when force != 0);
// 1 if anything was drawn. `mode` is the game mode shown (0: none).
int draw_hud(BITMAP* bmp, int force, int energy, int second_bar, int item, int item_count,
             int timer, int score, int top_score, int lives, int stars, int mode = 0);

struct StatsLine {
    uint32_t played, total;  // demo frames played in all / in the header
    unsigned skill, fps, volume;
};
// The overlay from explicit values (rows 0..47, marked dirty).
void draw_statistics_values(BITMAP* bmp, uint16_t controls, const StatsLine& s);

// The tag that tells an attract demo from a game: "DEMO" at the top right of
// the play area that starts at row `play_top`, clear of the HUD. It blinks
// with the world ticks `ticks` (shown DEMO_TAG_SHOWN of every
// DEMO_TAG_PERIOD), so it keeps its pace whatever the frame rate. Marks the
// rows it draws; 1 when drawn. The scene repaints the play area every frame,
// which is what takes the tag away between blinks.
constexpr int DEMO_TAG_PERIOD = 72, DEMO_TAG_SHOWN = 48;
constexpr int DEMO_TAG_MARGIN = 3;  // its plate from the play area's top and right edges
constexpr int DEMO_TAG_PAD = 2;     // the plate round the letters
int draw_demo_tag(BITMAP* bmp, int play_top, uint32_t ticks);
