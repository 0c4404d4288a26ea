// The cast's drawing: builds, clothes and poses of the fighters, and the
// helpers the sprite producers share.
#pragma once

#include <string>
#include <vector>

#include "tools/gfxgen/gfxgen.h"

namespace gg {

// A cropped picture and its hot spot (-1: none).
struct Drawn {
    BITMAP* b;
    int hx, hy;
};

// Dark, mid and light of one material, lit from the upper left.
struct Ramp {
    int d, m, l;
};

enum Top { TOP_JACKET, TOP_VEST, TOP_TANK, TOP_COAT, TOP_TEE, TOP_GI, TOP_DRESS, TOP_HOODIE };
enum Hair {
    HAIR_SHORT,
    HAIR_LONG,
    HAIR_MOHAWK,
    HAIR_BALD,
    HAIR_CREW,
    HAIR_SLICK,
    HAIR_PONY,
    HAIR_FLAT,
    HAIR_CAP,
    HAIR_HARDHAT,
    HAIR_HOOD,   // the hoodie's hood up, in the hat's colours
    HAIR_FEDORA  // a brimmed hat with a pinched crown, over slicked hair
};
enum Prop { PROP_NONE, PROP_KNIFE, PROP_PIPE, PROP_BAT, PROP_CHAIN };

// Who a figure is: proportions, clothes and colours.
struct Look {
    float scale;                          // 1.0: about 52 px tall
    float leg, torso, arm;                // segment length factors
    float shoulders, chest, waist, hips;  // torso half-widths at scale 1
    float arm_r, leg_r, head;             // limb radii and head radius
    float belly;                          // extra forward bulge at the waist
    Top top;
    Hair hair;
    Ramp skin, hair_c, top_c, shirt, legs, boots, hands, belt, hat;
    int band;     // headband colour (0: none), knot in the same
    bool shades;  // dark glasses
    bool beard;
    bool skirt;
    bool overalls;  // bib and straps in the trousers' colour
    bool stripe;    // side stripe down the trousers (shirt's light colour)
    int necklace;   // gold chain colour (0: none)
    Ramp strap;     // a bandolier of knives across the chest (strap.m 0: none)
    // Outline: what sets one figure's shape apart from another's in a crowd.
    float hem;    // coat or gi tails' length in thighs (0: none); past 1.25 it drapes
    float flare;  // how far the tails' hem swings out (1: hangs straight)
    float tail;   // a ponytail's length in head radii; it flies when he moves
    float traps;  // neck muscles sloping from the ears to the shoulders (0: none)
    float cuff;   // a sleeve's width at the wrist against the forearm's (1: fitted)
    float boot;   // boot size (1: ordinary)
    bool spikes;  // studded leather pads on the shoulders
    float puff;   // a padded jacket's bulge round the chest and waist (0: none)
    float glove;  // a fist's size against a bare one (1: bare); past 1 a padded glove
    // The 1-px line round him where he meets the background: a colour no
    // scheme remaps, so every man of a kind keeps it.
    int line;
};

const int kOutline = 127;  // near black, never recoloured

// One frame's joint angles in degrees: 0 points down, 90 forward, 180 up.
// Limbs are relative to the body, which "tilt" turns as a whole (positive:
// pitching forward); "lean" bends the torso forward from the hips; "head"
// nods the head forward. Elbow and knee bends add to the limb's angle.
// "grip" turns a held weapon from the forearm's line.
struct Pose {
    std::string set, name;
    float tilt, dx, lean, head, nS, nE, fS, fE, nH, nK, fH, fK, grip;
};

const Pose* find_pose(const std::vector<std::string>& sets, const std::string& name);

Drawn finish(BITMAP* canvas, int hipx, int line = kOutline);  // outlined and cropped
Drawn crop(BITMAP* canvas, int hipx = 0);
Drawn figure(const Look& L, const Pose& p, Prop prop = PROP_NONE);
void draw_figure(BITMAP* out, const Look& L, const Pose& p, float hx, float hy,
                 Prop prop = PROP_NONE);

extern const Look kHero, kThug, kBoxer, kKicker, kKnifer, kThrower, kHeavy, kGirl;
extern const Look kBoss[5];

// Things that are not people: items, effects, breakables, projectiles.
Drawn item_sprite(int k);
Drawn fx_sprite(int k);
Drawn breakable(int kind, int state);
Drawn projectile(int k);
Drawn van(int frame);
Drawn big_digit(int d);
Drawn banner(int k);
BITMAP* hud_item(int kind);
// Round the fights: the whirlwind's effects, the first street's hints, the
// streets' hazards (setpieces.cpp).
Drawn whirl_sprite(int k);
Drawn hint_sprite(int k);
Drawn hazard_sprite(int k);  // the HUD's 30x16 item icons, by the HUD's `item` number
Drawn walk_sprite(int k);

}  // namespace gg
