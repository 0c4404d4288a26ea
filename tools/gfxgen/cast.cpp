// Who is who: the builds and colours of the cast, and the sprite blocks they
// fill (objects 27..557, named for the scripts).
#include <cstdio>

#include "engine/diag.h"
#include "gfx/main_data.h"
#include "tools/gfxgen/canvas.h"
#include "tools/gfxgen/cast.h"

namespace gg {

BITMAP* overlay_icon(int index);

namespace {

Look base()
{
    Look L{};
    L.scale = 1.0f;
    L.leg = L.torso = L.arm = 1.0f;
    L.shoulders = 5.5f;
    L.chest = 5.0f;
    L.waist = 4.0f;
    L.hips = 4.2f;
    L.arm_r = 2.0f;
    L.leg_r = 2.4f;
    L.head = 4.6f;
    L.top = TOP_JACKET;
    L.hair = HAIR_SHORT;
    L.flare = L.cuff = L.boot = L.glove = 1.0f;
    L.line = kOutline;
    return L;
}

// Dark clothes keep one step of grey in their light so the shading reads.
const Ramp kBlack = {1, 111, 52}, kHairBlack = {127, 1, 111};
const Ramp kPale = {28, 29, 30}, kTan = {116, 117, 118}, kDarkSkin = {119, 121, 122};

}  // namespace

// The hero: red headband, a white jacket over a dark shirt (no gang wears
// white: he is the one to follow in a crowd), jeans.
const Look kHero = [] {
    Look L = base();
    L.shoulders = 5.9f;
    L.chest = 5.3f;
    L.arm_r = 2.1f;
    L.skin = L.hands = kPale;
    L.hair_c = {31, 32, 33};
    L.top_c = {17, 16, 15};
    L.shirt = {21, 22, 23};
    L.legs = {18, 19, 20};
    L.boots = {127, 26, 27};
    L.belt = {127, 26, 26};
    L.band = 24;
    // A warm line round him, like the street lamps' light on his edges,
    // where every man of the gang has a black one: in a crowd he is the one
    // drawn differently. Index 121 is no scheme's to swap.
    L.line = 121;
    return L;
}();

// The brawler, drawn only in the colours the four gang schemes exchange:
// stocky, short in the leg, barrel-chested in a padded jacket, his cap on
// backwards with the peak sticking out behind.
const Look kThug = [] {
    Look L = base();
    L.scale = 1.04f;
    L.leg = 0.9f;
    L.shoulders = 7.2f;
    L.chest = 6.6f;
    L.waist = 5.0f;
    L.hips = 4.6f;
    L.puff = 1.8f;
    L.arm_r = 2.6f;
    L.leg_r = 2.7f;
    L.hair = HAIR_CAP;
    L.hat = {50, 49, 51};
    L.skin = kTan;
    L.hands = {13, 13, 14};
    L.hair_c = {123, 124, 125};
    L.top_c = {78, 75, 76};
    L.shirt = {46, 47, 48};
    L.legs = {38, 38, 41};
    L.boots = {127, 10, 10};
    L.belt = {127, 40, 40};
    return L;
}();

// The boxer wears the brawler's clothes and throws the brawler's punches,
// but his guard and his bob, where he spends a fight, are his own: a
// fighter's wedge from broad shoulders to narrow hips, no padding to round
// it off, and big gloves held up by his face.
const Look kBoxer = [] {
    Look L = kThug;
    L.shoulders = 8.6f;
    L.chest = 7.4f;
    L.waist = 4.2f;
    L.hips = 3.9f;
    L.puff = 0.6f;
    L.arm_r = 2.8f;
    L.glove = 1.75f;
    return L;
}();

// The kicker: tall and lean on the longest legs of the gang under a short
// body, a flat top standing high enough to be seen over a crowd, yellow
// tank top, track pants.
const Look kKicker = [] {
    Look L = base();
    L.leg = 1.3f;
    L.torso = 0.82f;
    L.shoulders = 5.0f;
    L.chest = 4.3f;
    L.waist = 3.2f;
    L.hips = 3.5f;
    L.arm_r = 1.7f;
    L.leg_r = 2.0f;
    L.head = 4.3f;
    L.top = TOP_TANK;
    L.hair = HAIR_FLAT;
    L.skin = L.hands = kDarkSkin;
    L.hair_c = kHairBlack;
    L.top_c = {192, 197, 203};
    L.shirt = {9, 9, 6};
    L.legs = {1, 2, 3};
    L.boots = {5, 8, 240};
    L.stripe = true;
    return L;
}();

// The knife man: thin, slicked hair tied in a short tail and dark glasses,
// a long tan coat whose tails spread wide below the knee: in a crowd, the
// one shaped like a bell.
const Look kKnifer = [] {
    Look L = base();
    L.leg = 1.05f;
    L.arm = 1.05f;
    L.shoulders = 5.0f;
    L.chest = 4.5f;
    L.waist = 3.8f;
    L.hips = 4.0f;
    L.arm_r = 1.8f;
    L.leg_r = 2.1f;
    L.head = 4.4f;
    L.top = TOP_COAT;
    L.hem = 1.25f;
    L.flare = 1.6f;
    L.hair = HAIR_SLICK;
    L.tail = 1.8f;
    L.skin = L.hands = kTan;
    L.hair_c = kHairBlack;
    L.top_c = {107, 108, 109};
    L.shirt = {1, 1, 111};
    L.legs = kBlack;
    L.boots = {127, 26, 27};
    L.shades = true;
    return L;
}();

// The knife thrower: lean, tall and long in the arm, a red sleeveless
// hoodie with the hood up, a bandolier of knives across the chest; bare
// arms and empty hands but for the knife he is about to throw.
const Look kThrower = [] {
    Look L = base();
    L.scale = 1.06f;
    L.leg = 1.12f;
    L.arm = 1.18f;
    L.shoulders = 5.3f;
    L.chest = 4.7f;
    L.waist = 3.6f;
    L.hips = 3.9f;
    L.arm_r = 1.9f;
    L.leg_r = 2.2f;
    L.head = 4.4f;
    L.top = TOP_HOODIE;
    L.hair = HAIR_HOOD;
    L.skin = L.hands = kTan;
    L.hair_c = kHairBlack;
    L.top_c = L.hat = {216, 217, 218};
    L.legs = {1, 2, 3};
    L.boots = {127, 26, 27};
    L.strap = {107, 108, 109};
    return L;
}();

// The heavy: big, wide and crew-cut, a small head on a round belly that
// stretches his green tee.
const Look kHeavy = [] {
    Look L = base();
    L.scale = 1.25f;
    L.leg = 0.95f;
    L.shoulders = 7.4f;
    L.chest = 7.2f;
    L.waist = 7.0f;
    L.hips = 6.2f;
    L.belly = 3.4f;
    L.arm_r = 2.9f;
    L.leg_r = 3.1f;
    L.head = 3.9f;
    L.top = TOP_TEE;
    L.hair = HAIR_CREW;
    L.skin = L.hands = kTan;
    L.hair_c = {123, 124, 125};
    L.top_c = {44, 43, 42};
    L.legs = kBlack;
    L.boots = {127, 26, 27};
    L.belt = {127, 1, 111};
    return L;
}();

const Look kBoss[5] = {
    [] {
        // Butch: a bald bouncer in a leather vest and dark glasses, built
        // like a door: shoulders twice his hips, a bull neck, arms as thick
        // as his legs, no belly. Beardless, so the bearded giant is Dozer.
        Look L = base();
        L.scale = 1.3f;
        L.leg = 0.95f;
        L.shoulders = 10.2f;
        L.chest = 9.2f;
        L.waist = 5.8f;
        L.hips = 5.4f;
        L.traps = 3.6f;
        L.arm_r = 4.1f;
        L.leg_r = 3.4f;
        L.head = 4.0f;
        L.top = TOP_VEST;
        L.hair = HAIR_BALD;
        L.skin = L.hands = kTan;
        L.hair_c = {31, 32, 33};
        L.top_c = {1, 1, 111};
        L.legs = {38, 39, 41};
        L.boots = {127, 1, 111};
        L.belt = {127, 1, 2};
        L.shades = true;
        return L;
    }(),
    [] {  // Rust: a towering orange mohawk, studded shoulder pads on a denim vest, a chain
        Look L = base();
        L.spikes = true;
        L.scale = 1.15f;
        L.leg = 1.05f;
        L.shoulders = 6.4f;
        L.chest = 6.0f;
        L.waist = 4.6f;
        L.hips = 4.6f;
        L.arm_r = 2.4f;
        L.leg_r = 2.6f;
        L.top = TOP_VEST;
        L.hair = HAIR_MOHAWK;
        L.skin = L.hands = kPale;
        L.hair_c = {180, 186, 191};
        L.top_c = {38, 39, 41};
        L.legs = {55, 56, 57};
        L.boots = {127, 1, 111};
        L.belt = {127, 104, 105};
        return L;
    }(),
    [] {
        // Viper: a lean, long-legged martial artist in a blue gi with wide
        // sleeves and short skirts, a long ponytail that streams behind her
        Look L = base();
        L.scale = 1.15f;
        L.leg = 1.14f;
        L.shoulders = 5.4f;
        L.chest = 4.8f;
        L.waist = 3.6f;
        L.hips = 4.0f;
        L.arm_r = 2.0f;
        L.leg_r = 2.2f;
        L.head = 4.2f;
        L.top = TOP_GI;
        L.hem = 0.55f;
        L.flare = 1.2f;
        L.cuff = 1.7f;
        L.hair = HAIR_PONY;
        L.tail = 4.2f;
        L.skin = L.hands = kTan;
        L.hair_c = kHairBlack;
        // Her blues are the two that colour scheme 4 turns khaki: her
        // sister (enemy.amcs, TWIN_LIGHT) wears her gi in khaki
        L.top_c = {38, 41, 65};
        L.shirt = {248, 248, 240};
        L.legs = kBlack;
        L.boots = {127, 1, 111};
        L.belt = {216, 217, 218};
        return L;
    }(),
    [] {
        // Dozer: a bearded giant in denim overalls over a red tee, a yellow
        // hard hat and work boots; rounder than Butch, a belly before him
        Look L = base();
        L.scale = 1.35f;
        L.leg = 1.0f;
        L.shoulders = 8.2f;
        L.chest = 8.4f;
        L.waist = 8.6f;
        L.hips = 7.4f;
        L.belly = 4.6f;
        L.arm_r = 3.2f;
        L.leg_r = 3.8f;
        L.head = 4.5f;
        L.boot = 1.35f;
        L.top = TOP_TEE;
        L.hair = HAIR_HARDHAT;
        L.hat = {196, 201, 205};
        L.skin = L.hands = kTan;
        L.hair_c = {123, 124, 125};
        L.top_c = {216, 217, 218};
        L.legs = {18, 19, 20};
        L.boots = {127, 26, 27};
        L.overalls = true;
        L.beard = true;
        return L;
    }(),
    [] {
        // King: the gang's leader, a purple coat to his ankles that flares as
        // he moves, a brimmed hat, a gold chain, a lead pipe
        Look L = base();
        L.scale = 1.2f;
        L.leg = 1.05f;
        L.shoulders = 7.4f;
        L.chest = 6.4f;
        L.waist = 5.0f;
        L.hips = 5.2f;
        L.arm_r = 2.5f;
        L.leg_r = 2.7f;
        L.top = TOP_COAT;
        L.hem = 1.85f;
        L.flare = 1.45f;
        L.hair = HAIR_FEDORA;
        L.hat = kBlack;
        L.skin = L.hands = kTan;
        L.hair_c = kHairBlack;
        L.top_c = {50, 49, 51};
        L.shirt = {1, 1, 111};
        L.legs = kBlack;
        L.boots = {127, 1, 111};
        L.shades = true;
        L.necklace = 245;
        return L;
    }(),
};

// Rosalie: pink dress, long auburn hair.
const Look kGirl = [] {
    Look L = base();
    L.scale = 0.92f;
    L.shoulders = 4.4f;
    L.chest = 4.3f;
    L.waist = 3.2f;
    L.hips = 4.0f;
    L.arm_r = 1.5f;
    L.leg_r = 1.9f;
    L.head = 4.6f;
    L.top = TOP_DRESS;
    L.hair = HAIR_LONG;
    L.skin = L.hands = kPale;
    L.hair_c = {101, 102, 103};
    L.top_c = {98, 97, 96};
    L.boots = {216, 217, 218};
    L.skirt = true;
    return L;
}();

namespace {

// The order of every fighter block, which the scripts' pose offsets follow.
// The grab and throws only the hero and a grabbing heavy use come last, so a
// fighter who never grabs can own a shorter block.
const char* const kFighterPoses[32] = {
    "STAND",    "WALK1",  "WALK2", "WALK3", "WALK4",    "PUNCH1", "PUNCH2", "PUNCH3",
    "UPPERCUT", "KICK1",  "KICK2", "JUMP",  "JUMPKICK", "CROUCH", "HURT",   "HURT2",
    "FALL",     "LIE",    "GETUP", "KNEEL", "HELD",     "DAZED",  "THROWN", "WINDUP",
    "ATTACK",   "CHARGE", "TAUNT", "BLOCK", "GRAB",     "KNEE",   "THROW1", "THROW2"};

// Every fighter pose but LIE, for a prop that is not drawn on a body lying down.
const char* const kAllButLying =
    "STAND WALK1 WALK2 WALK3 WALK4 PUNCH1 PUNCH2 PUNCH3 UPPERCUT KICK1 KICK2 JUMP JUMPKICK "
    "CROUCH HURT HURT2 FALL GETUP KNEEL HELD DAZED THROWN WINDUP ATTACK CHARGE TAUNT BLOCK "
    "GRAB KNEE THROW1 THROW2";

const char* const kGirlPoses[12] = {"STAND", "WAVE1", "WAVE2", "STRUGGLE1", "STRUGGLE2", "FALL",
                                    "RUN1",  "RUN2",  "RUN3",  "RUN4",      "HUG",       "SCARED"};

const char* const kArmedPoses[8] = {"STAND", "WALK1",  "WALK2",  "WALK3",
                                    "WALK4", "WINDUP", "ATTACK", "HURT"};

// Whether `name` is one of the space-separated words of `list`.
bool listed(const char* list, const char* name)
{
    return (" " + std::string(list) + " ").find(" " + std::string(name) + " ") != std::string::npos;
}

struct Slot {
    int index;
    std::string name;
    Drawn d;
};

struct Sheet {
    std::vector<Slot> slots;
    bool failed = false;
    int next = 27, end = 27;
    void block(int first, int size)
    {
        next = first;
        end = first + size;
    }
    void put(const std::string& name, Drawn d)
    {
        if (next >= end) {
            diag("sprites: block full, %s not added\n", name.c_str());
            destroy_bitmap(d.b);
            failed = true;
            return;
        }
        slots.push_back({next++, name, d});
    }
    void pose_set(const std::string& prefix, const Look& L, std::vector<std::string> sets,
                  const char* const* names, int n, Prop prop, const char* held = nullptr)
    {
        for (int i = 0; i < n; ++i) {
            const Pose* p = find_pose(sets, names[i]);
            if (!p) {  // the scripts name every frame: a missing one is an error
                std::string tried;
                for (auto& set : sets)
                    tried += (tried.empty() ? "" : ", ") + set;
                diag("poses.txt: no pose %s for the %s frames (sets %s)\n", names[i],
                     prefix.c_str(), tried.c_str());
                failed = true;
                continue;
            }
            bool in_hand = !held || listed(held, names[i]);
            put(prefix + names[i], figure(L, *p, in_hand ? prop : PROP_NONE));
        }
    }
};

Drawn ending()
{
    // The hero and the girl in each other's arms under the city, for the
    // ending screen (at 133,132, on background colour 62).
    BITMAP* c = create_bitmap_ex(8, 128, 128);
    clear_to_color(c, 0);
    const Pose* h = find_pose({"ending", "fighter"}, "HUG");
    const Pose* g = find_pose({"girl"}, "HUG");
    BITMAP* gb = create_bitmap_ex(8, 128, 128);
    clear_to_color(gb, 0);
    if (g)
        draw_figure(gb, kGirl, *g, 62, 84);
    if (h)
        draw_figure(c, kHero, *h, 52, 80);
    draw_sprite_h_flip(c, gb, 4, 0);
    destroy_bitmap(gb);
    // a small heart above them
    circlefill(c, 59, 30, 2, 252);
    circlefill(c, 63, 30, 2, 252);
    int tri[6] = {56, 31, 66, 31, 61, 36};
    polygon(c, 3, tri, 252);
    putpixel(c, 58, 29, 251);
    Drawn couple = finish(c, 60);
    destroy_bitmap(c);
    Drawn wreck = van(0);
    BITMAP* scene = paint_ending(couple.b, wreck.b, 62);
    destroy_bitmap(couple.b);
    destroy_bitmap(wreck.b);
    return {scene, -1, -1};
}

}  // namespace

void make_sprites(Out& o)
{
    Sheet S;
    // Each cast member owns a fixed block of indices, so adding a pose to one
    // never renumbers the others.
    struct Fighter {
        const char* prefix;
        int first;
        int poses;  // the first this many of kFighterPoses
        const Look* look;
        const char* set;
        Prop prop;
        const char* held;  // the poses that show the prop in hand (null: every one)
    } fighters[] = {
        {"HERO_", 27, 32, &kHero, "hero", PROP_NONE, nullptr},
        {"THUG_", 59, 32, &kThug, "thug", PROP_NONE, nullptr},
        {"KICKER_", 139, 32, &kKicker, "kicker", PROP_NONE, nullptr},
        {"KNIFER_", 171, 32, &kKnifer, "knifer", PROP_KNIFE, nullptr},
        {"HEAVY_", 203, 32, &kHeavy, "heavy", PROP_NONE, nullptr},
        {"BOSS1_", 369, 32, &kBoss[0], "butch", PROP_NONE, nullptr},
        {"BOSS2_", 401, 32, &kBoss[1], "rust", PROP_CHAIN, nullptr},
        {"BOSS3_", 433, 32, &kBoss[2], "viper", PROP_NONE, nullptr},
        {"BOSS4_", 465, 32, &kBoss[3], "dozer", PROP_NONE, nullptr},
        // KING drops his pipe when he is down: lying, it stood up through him
        {"BOSS5_", 497, 32, &kBoss[4], "king", PROP_PIPE, kAllButLying},
        // He never grabs nor throws a man, so STAND .. BLOCK fill the last
        // 28 indices the scene draws; his knives stay in the bandolier until
        // he draws one to throw.
        {"THROWER_", 530, 28, &kThrower, "thrower", PROP_KNIFE, "WINDUP"},
    };
    for (auto& f : fighters) {
        S.block(f.first, f.poses);
        S.pose_set(f.prefix, *f.look, {f.set, "fighter"}, kFighterPoses, f.poses, f.prop, f.held);
    }
    S.block(91, 16);
    S.pose_set("GIRL_", kGirl, {"girl"}, kGirlPoses, 12, PROP_NONE);
    // The boxer and the brute borrow the brawler's and the heavy's frames;
    // these few poses of their own, where they spend most of a fight
    // waiting and walking, set their outlines apart in a crowd. They fill
    // spare indices, as every index the scene draws is spoken for.
    static const char* const boxer[] = {"GUARD", "BOB1", "BOB2"};
    S.block(110, 3);
    S.pose_set("BOXER_", kBoxer, {"boxer"}, boxer, 3, PROP_NONE);
    S.block(107, 8);
    for (int k = 0; k < 3; ++k)
        S.put(k == 2 ? "VAN_OPEN" : k ? "VAN_2" : "VAN_1", van(k));
    S.block(115, 16);
    const char* items[] = {"KNIFE", "PIPE",   "BAT",     "KNUCKLES", "POWER", "POWER_LIT", "VEST",
                           "APPLE", "BURGER", "CHICKEN", "CASH",     "GOLD",  "STAR",      "1UP"};
    for (int k = 0; k < 14; ++k)
        S.put(std::string("ITEM_") + items[k], item_sprite(k));
    S.block(129, 2);
    S.put("TELL", fx_sprite(9));        // over an enemy's head while he winds up
    S.put("TELL_MARK", fx_sprite(10));  // ... and round his feet
    S.block(131, 8);
    // 137 held a flat shadow before shadows were drawn by the scene: now the
    // word over a man caught by a counter, which earns more than a blow
    const char* fx[] = {"HIT_1",   "HIT_2",   "DUST_1",      "DUST_2",
                        "STARS_1", "STARS_2", "POP_COUNTER", "SLASH"};
    for (int k = 0; k < 8; ++k)
        S.put(fx[k], k == 6 ? banner(45) : fx_sprite(k));
    struct Weapon {
        const char* prefix;
        int first;
        const char* set;
        Prop prop;
    } weapons[] = {{"HERO_KNIFE_", 235, "knife", PROP_KNIFE},
                   {"HERO_PIPE_", 243, "pipe", PROP_PIPE},
                   {"HERO_BAT_", 251, "bat", PROP_BAT}};
    for (auto& w : weapons) {
        S.block(w.first, 8);
        S.pose_set(w.prefix, kHero, {w.set, "armed", "hero", "fighter"}, kArmedPoses, 8, w.prop);
    }
    // the hero's whirlwind spin, his run and dash, and his back kick
    S.block(259, 7);
    const char* spin[] = {"SPIN1", "SPIN2", "RUN1", "RUN2", "DASH", "BACK1", "BACK2"};
    S.pose_set("HERO_", kHero, {"hero", "fighter"}, spin, 7, PROP_NONE);
    S.block(267, 12);
    const char* props[] = {"TRASHCAN", "CRATE", "BARREL", "TIRES"};
    const char* states[] = {"", "_DENT", "_BROKEN"};
    for (int k = 0; k < 4; ++k)
        for (int st = 0; st < 3; ++st)
            S.put(std::string(props[k]) + states[st], breakable(k, st));
    S.block(279, 29);
    const char* texts[] = {
        "GO_1",       "GO_2",       "TIME_UP",       "GAME_OVER",   "STAGE_CLEAR",  "STAGE_1",
        "STAGE_2",    "STAGE_3",    "STAGE_4",       "STAGE_5",     "BOSSNAME_1",   "BOSSNAME_2",
        "BOSSNAME_3", "BOSSNAME_4", "BOSSNAME_5",    "TIME_BONUS",  "NOMISS_BONUS", "EXTRA_LIFE",
        "EXTRA_STAR", "HOLD_OUT",   "THEY_RUN",      "POP_100",     "POP_200",      "POP_500",
        "POP_1000",   "POP_5000",   "MODE_SURVIVAL", "MODE_VAMPIRE"};
    for (int k = 0; k < 28; ++k)
        S.put(texts[k], banner(k));
    S.put("POP_BLOCK", banner(36));  // over a boxer who blocks a blow
    S.block(314, 10);
    for (int k = 0; k < 10; ++k)
        S.put("DIGIT_" + std::to_string(k), big_digit(k));
    S.block(324, 8);
    S.put("KNIFE_FLY", projectile(0));
    S.put("CHAIN", projectile(1));
    // the bosses' rage (RAGE_1 + the boss's street - 1) and the arcade's continue
    const char* more[] = {"RAGE_1", "RAGE_2", "RAGE_3", "RAGE_4", "RAGE_5", "CONTINUE"};
    for (int k = 0; k < 6; ++k)
        S.put(more[k], banner(28 + k));
    S.block(332, 12);
    const char* whirl[] = {"SWIRL_1", "SWIRL_2", "SWIRL_3", "SWIRL_4", "FLASH", "BURST"};
    for (int k = 0; k < 6; ++k)
        S.put(whirl[k], whirl_sprite(k));
    // a fight held against the clock; the score a lost game ends with
    S.put("AMBUSH", banner(34));
    S.put("FINAL_SCORE", banner(35));
    S.put("GLINT", fx_sprite(8));  // an enemy's wind-up starts
    S.block(346, 22);
    const char* hints[] = {"HINT_BACK",  "HINT_JUMPKICK",  "HINT_GRAB",  "HINT_KNIFE",
                           "HINT_BREAK", "HINT_WHIRLWIND", "HINT_BLOCK", "HINT_GLINT"};
    for (int k = 0; k < 8; ++k)
        S.put(hints[k], hint_sprite(k));
    const char* hazards[] = {"BOTTLE",    "GLASS",      "WARN",      "MAGNET_CAR", "CAR_WRECK",
                             "TRAFFIC_1", "TRAFFIC_2",  "VENT",      "PUFF",       "STEAM_1",
                             "STEAM_2",   "FORKLIFT_1", "FORKLIFT_2"};
    for (int k = 0; k < 13; ++k)
        S.put(hazards[k], hazard_sprite(k));
    // each street's set piece named as it starts, in the free places left
    S.block(341, 4);
    for (int k = 0; k < 4; ++k)
        S.put("SETPIECE_" + std::to_string(k + 1), banner(37 + k));
    S.block(367, 1);
    S.put("SETPIECE_5", banner(41));
    S.block(529, 1);  // CONTINUE?'s note to a player still holding a key
    S.put("CONTINUE_HINT", banner(42));
    S.block(103, 3);  // the walks' moments, in free places
    const char* walks[] = {"CRANE_LOAD", "HEADLIGHTS", "CRACK"};
    for (int k = 0; k < 3; ++k)
        S.put(walks[k], walk_sprite(k));
    S.block(106, 1);
    S.put("BARREL_ROLL_1", walk_sprite(3));
    S.block(114, 1);
    S.put("BARREL_ROLL_2", walk_sprite(4));
    S.block(113, 1);  // the last street's last word, as the two walk off
    S.put("RESCUED", banner(43));
    S.block(266, 1);  // the first street's opening: she cries out as they take her
    S.put("HELP", banner(44));
    const char* icons[] = {"ICON_UP",    "ICON_DOWN",  "ICON_LEFT",
                           "ICON_RIGHT", "ICON_PUNCH", "ICON_KICK"};
    for (int i = 308; i <= 313; ++i)
        S.slots.push_back({i, icons[i - 308], {overlay_icon(i), -1, -1}});
    S.slots.push_back({345, "ENDING", ending()});
    S.slots.back().d.hx = S.slots.back().d.hy = -1;  // drawn at a fixed place, no hot spot
    S.slots.push_back({368, "PAUSE", {overlay_icon(368), -1, -1}});

    // Every index up to 557 holds a bitmap; unused ones are a small marked box.
    // The scene draws no frame past 557, and two pictures never share an index.
    std::vector<const Slot*> by_index(LAST_HOTSPOT_OBJECT + 1, nullptr);
    for (auto& s : S.slots) {
        if (s.index <= FIRST_HOTSPOT_OBJECT || s.index > LAST_HOTSPOT_OBJECT) {
            diag("sprites: %s at %d lies outside %d..%d\n", s.name.c_str(), s.index,
                 FIRST_HOTSPOT_OBJECT + 1, LAST_HOTSPOT_OBJECT);
            S.failed = true;
        } else if (by_index[s.index]) {
            diag("sprites: %s and %s both at %d\n", by_index[s.index]->name.c_str(), s.name.c_str(),
                 s.index);
            S.failed = true;
        } else {
            by_index[s.index] = &s;
        }
    }
    BITMAP* spare = create_bitmap_ex(8, 8, 8);
    clear_to_color(spare, 0);
    rect(spare, 0, 0, 7, 7, 110);
    for (int i = FIRST_HOTSPOT_OBJECT; i <= LAST_HOTSPOT_OBJECT; ++i) {
        char file[64];
        const Slot* s = by_index[i];
        if (!s) {
            std::snprintf(file, sizeof file, "%03d_spare.pcx", i);
            save(o, spare, file);
            o.main.push_back({i, "BMP", file, i == 26 ? -1 : 4, i == 26 ? -1 : 7});
            continue;
        }
        std::string lower = s->name;
        for (auto& ch : lower)
            ch = (char)std::tolower((unsigned char)ch);
        std::snprintf(file, sizeof file, "%03d_%s.pcx", i, lower.c_str());
        save(o, s->d.b, file);
        o.main.push_back({i, "BMP", file, s->d.hx, s->d.hy});
        o.names.push_back({"SPR_" + s->name, i});
    }
    destroy_bitmap(spare);
    if (S.failed)
        o.failed = true;
}

}  // namespace gg
