// img_cowboy.cpp: the red and the blue cowboy: one jointed figure, posed for walking, shooting, reloading, dying.
#include "img_art.h"

#include <algorithm>
#include <cmath>

namespace {

struct Outfit {
    Col shirt, bandana, dots, hat, hatBand, vest, trousers, boots, skin, hair;
};

Outfit outfit(Cowboy who) {
    Outfit o;
    o.skin = rgb(228, 170, 122);
    o.hair = rgb(86, 52, 30);
    o.boots = rgb(84, 48, 26);
    if (who == RED_COWBOY) {
        o.shirt = rgb(200, 46, 36);
        o.bandana = rgb(238, 188, 62);
        o.dots = rgb(160, 70, 30);
        o.hat = rgb(212, 172, 112);
        o.hatBand = rgb(150, 30, 26);
        o.vest = rgb(128, 80, 42);
        o.trousers = rgb(92, 88, 104);
    } else {
        o.shirt = rgb(44, 100, 204);
        o.bandana = rgb(236, 226, 202);
        o.dots = rgb(70, 90, 150);
        o.hat = rgb(62, 56, 60);
        o.hatBand = rgb(40, 84, 176);
        o.vest = rgb(74, 64, 60);
        o.trousers = rgb(120, 94, 64);
    }
    return o;
}

const float RIM = 0.85f;  // the dark line around every part
const Col STEEL = rgb(128, 134, 146), WALNUT = rgb(118, 64, 32), BRASS = rgb(222, 178, 72);
const Col LEATHER = rgb(74, 42, 22), HOLSTER = rgb(132, 78, 38);

struct Pose {
    float legB[2], legF[2];  // thigh and shin, degrees from straight down, positive forward
    float armB[2], armF[2];  // upper arm and forearm, likewise
    int gun = 0;             // 0 holstered, 1 aimed, 2 raised
    bool flash = false, handAtBelt = false, deadEyes = false, hatOn = true;
    float lean = 0, squash = 1;  // falling: degrees backwards about the feet; length kept after foreshortening
    P hatAt{0, 0};               // the hat off his head: its place and turn in the box
    float hatTurn = 0;
};

P along(P from, float degrees, float len) {
    float r = degrees * float(M_PI) / 180.f;
    return P{from.x + std::sin(r) * len, from.y + std::cos(r) * len};
}

Pose poseFor(CowboyPose id) {
    Pose p;
    float walk0[8] = {-14, -26, 16, 4, 20, 34, -14, -4};
    float walk1[8] = {16, 4, -14, -26, -14, -4, 14, 30};
    const float* w = (id == POSE_WALK1 || id == POSE_RELOAD1) ? walk1 : walk0;
    p.legB[0] = w[0], p.legB[1] = w[1], p.legF[0] = w[2], p.legF[1] = w[3];
    p.armB[0] = w[4], p.armB[1] = w[5], p.armF[0] = w[6], p.armF[1] = w[7];
    if (id == POSE_RELOAD0 || id == POSE_RELOAD1) {
        p.gun = 2;
        p.handAtBelt = true;
        p.armB[0] = 4, p.armB[1] = 28;
        p.armF[0] = 34, p.armF[1] = 168;
    } else if (id == POSE_SHOOT) {
        p.legB[0] = -16, p.legB[1] = -10, p.legF[0] = 18, p.legF[1] = 8;
        p.armB[0] = 24, p.armB[1] = 64;
        p.armF[0] = 78, p.armF[1] = 92;
        p.gun = 1;
        p.flash = true;
        p.lean = -7;  // the recoil rocks him back on his heels
    }
    return p;
}

// The four death frames: thrown back by the shot, buckling, falling, lying in the dust with his hat on his chest.
Pose deathPose(int k) {
    Pose p = poseFor(POSE_WALK0);
    static const float lean[4] = {-12, -36, -64, -90}, squash[4] = {1, 0.92f, 0.82f, 0.74f};
    static const float arms[4][4] = {{200, 215, 140, 165}, {190, 205, 205, 225}, {150, 170, 60, 100}, {12, 30, 30, 80}};
    static const float legs[4][4] = {{-8, -8, 12, 2}, {-2, -14, 24, -10}, {10, -24, 38, -22}, {36, -36, 62, -32}};
    p.lean = lean[k];
    p.squash = squash[k];
    p.armB[0] = arms[k][0], p.armB[1] = arms[k][1], p.armF[0] = arms[k][2], p.armF[1] = arms[k][3];
    p.legB[0] = legs[k][0], p.legB[1] = legs[k][1], p.legF[0] = legs[k][2], p.legF[1] = legs[k][3];
    p.deadEyes = k >= 2;
    p.hatOn = false;
    static const P hat[4] = {{52, 15}, {56, 24}, {60, 30}, {0, 0}};
    static const float turn[4] = {20, 50, 120, 0};
    p.hatAt = hat[k];
    p.hatTurn = turn[k];
    return p;
}

// ---- parts ----

struct Figure {
    Canvas& c;
    Outfit o;
    Pose p;
    Xf body;  // the figure's own coordinates onto the canvas
    float dy = 0;  // raises the body so the lower foot stands on the ground
};

void limb(Figure& f, P a, P b, P d, float ra, float rb, float rd, Col col) {
    fillCapsule(f.c, a, b, ra + RIM, rb + RIM, solid(kOutline));
    fillCapsule(f.c, b, d, rb + RIM, rd + RIM, solid(kOutline));
    Paint pt = shaded(col, b, 9);
    fillCapsule(f.c, a, b, ra, rb, pt);
    fillCapsule(f.c, b, d, rb, rd, pt);
}

// Draws in coordinates local to a joint: origin at 'at', turned by degrees.
void withLocal(Figure& f, P at, float degrees, void (*draw)(Figure&)) {
    Xf keep = f.c.xf;
    setXf(f.c, xfMul(f.body, xfMul(xfMove(at.x, at.y), xfRotate(degrees, P{0, 0}))));
    draw(f);
    setXf(f.c, keep);
}

void bootShape(Figure& f) {
    std::vector<P> boot = {{-4.5f, -3}, {3, -3}, {6, 0.5f}, {11, 2}, {12.5f, 4}, {12, 5.5f}, {-5, 5.5f}, {-5.5f, 2}};
    outlinedPoly(f.c, boot, RIM, kOutline, shaded(f.o.boots, P{2, 0}, 8));
    fillRect(f.c, -5, 4, 4.5f, 1.5f, solid(scaleCol(f.o.boots, 0.55f)));
    outlinedEllipse(f.c, P{-6.6f, 2.6f}, 1.5f, 1.5f, 0.5f, kOutline, solid(rgb(200, 204, 210)));
}

void leg(Figure& f, P hip, const float* a, bool back) {
    P knee = along(hip, a[0], 22), ankle = along(knee, a[1], 21);
    Col cloth = back ? scaleCol(f.o.trousers, 0.8f) : f.o.trousers;
    limb(f, hip, knee, ankle, 5.2f, 4.4f, 4, cloth);
    P top = along(ankle, a[1] + 180, 9);
    Col boots = f.o.boots;
    if (back) f.o.boots = scaleCol(boots, 0.8f);
    fillCapsule(f.c, ankle, top, 4.3f + RIM, 4.8f + RIM, solid(kOutline));
    fillCapsule(f.c, ankle, top, 4.3f, 4.8f, shaded(f.o.boots, ankle, 6));
    float tilt = a[1] < -10 ? -a[1] * 0.5f : 0;
    withLocal(f, P{ankle.x, ankle.y + 1.5f}, tilt, bootShape);
    f.o.boots = boots;
}

void gunShape(Figure& f) {  // barrel along +x from the hand, grip below
    outlinedPoly(f.c, {{-2.5f, 0}, {1, -1}, {2, 4.5f}, {-1.5f, 5.5f}}, RIM * 0.8f, kOutline, solid(WALNUT));
    outlinedPoly(f.c, {{-2.5f, -3.2f}, {3.5f, -3.2f}, {3.5f, 0.6f}, {-2, 0.8f}}, RIM * 0.8f, kOutline,
                 grad(scaleCol(STEEL, 1.2f), scaleCol(STEEL, 0.7f), P{0, -3}, P{0, 1}));
    outlinedPoly(f.c, {{3.5f, -3.2f}, {11, -3.2f}, {11, -1}, {3.5f, -1}}, RIM * 0.8f, kOutline,
                 grad(scaleCol(STEEL, 1.25f), scaleCol(STEEL, 0.75f), P{0, -3.2f}, P{0, -1}));
}

void flashShape(Figure& f) {  // muzzle flash just beyond the barrel, more up and down than forward
    std::vector<P> star;
    for (int i = 0; i < 16; i++) {
        float t = float(M_PI) * 2 * i / 16, r = (i % 2) ? 2 : (i % 4 == 0 ? 9 : 5.5f);
        star.push_back(P{std::cos(t) * r * 0.42f, std::sin(t) * r});
    }
    fillPoly(f.c, star, solid(rgb(255, 196, 56)));
    fillEllipse(f.c, P{0, 0}, 1.5f, 2.6f, solid(rgb(255, 250, 214)));
}

void smokeShape(Figure& f) {  // a wisp of smoke from a raised gun
    strokeLine(f.c, {{0, -1}, {1.4f, -3.5f}, {0, -6}, {1.6f, -8.5f}}, 1.8f, solid(rgb(236, 232, 226)));
}

void arm(Figure& f, P shoulder, const float* a, bool back) {
    P elbow = along(shoulder, a[0], 13), hand = along(elbow, a[1], 12);
    Col sleeve = back ? scaleCol(f.o.shirt, 0.78f) : f.o.shirt;
    limb(f, shoulder, elbow, hand, 4, 3.4f, 3, sleeve);
    bool gunHere = !back && f.p.gun != 0;
    if (gunHere) {
        float dir = f.p.gun == 1 ? 90 - a[1] : -96;  // aimed along the forearm, or pointing at the sky
        withLocal(f, hand, dir, gunShape);
        Xf gun = xfRotate(dir, P{0, 0});
        P muzzle = xfApply(gun, P{11, -2.1f});
        muzzle = P{hand.x + muzzle.x, hand.y + muzzle.y};
        if (f.p.flash) withLocal(f, xfApply(xfMove(muzzle.x, muzzle.y), xfApply(gun, P{2.2f, 0})), dir, flashShape);
        if (f.p.gun == 2) withLocal(f, muzzle, 0, smokeShape);
    }
    Col skin = back ? scaleCol(f.o.skin, 0.85f) : f.o.skin;
    outlinedEllipse(f.c, along(hand, a[1], 1), 2.9f, 2.9f, RIM, kOutline, shaded(skin, hand, 3));
    if (back && f.p.handAtBelt)  // a cartridge between his fingers
        outlinedPoly(f.c, {{hand.x + 2, hand.y - 1}, {hand.x + 5, hand.y - 1.5f}, {hand.x + 5.3f, hand.y}, {hand.x + 2.2f, hand.y + 0.6f}},
                     0.5f, kOutline, solid(BRASS));
}

void torso(Figure& f) {
    std::vector<P> shirt = {{26, 44}, {30, 37.5f}, {40, 37.5f}, {45, 43}, {47, 52}, {45.5f, 66}, {44, 78}, {27, 78}, {25.5f, 64}, {25, 52}};
    outlinedPoly(f.c, shirt, RIM, kOutline, shaded(f.o.shirt, P{36, 55}, 14));
    std::vector<P> far = {{26, 44}, {29, 39.5f}, {31, 40}, {30.5f, 78}, {27, 78}, {25.5f, 64}, {25, 52}};
    std::vector<P> near = {{43.5f, 40.5f}, {45, 43}, {47, 52}, {45.5f, 66}, {44, 78}, {42, 78}, {43, 56}};
    outlinedPoly(f.c, far, RIM * 0.7f, kOutline, shaded(f.o.vest, P{29, 55}, 10));
    outlinedPoly(f.c, near, RIM * 0.7f, kOutline, shaded(f.o.vest, P{44, 55}, 10));
    for (int i = 0; i < 3; i++) fillEllipse(f.c, P{38.5f, 51.f + i * 8}, 0.8f, 0.8f, solid(rgb(240, 230, 210)));
    // the gun belt with its cartridge loops and a brass buckle
    outlinedPoly(f.c, {{25.2f, 73}, {45.4f, 73}, {45.8f, 80}, {24.8f, 80}}, RIM, kOutline, solid(LEATHER));
    for (float x = 26.5f; x < 45; x += 2.4f) fillRect(f.c, x, 74.2f, 1.3f, 3, solid(BRASS));
    outlinedPoly(f.c, {{35.5f, 73.3f}, {41, 73.3f}, {41, 79.7f}, {35.5f, 79.7f}}, 0.5f, kOutline,
                 grad(rgb(250, 214, 120), rgb(176, 128, 40), P{35, 73}, P{41, 80}));
    fillRect(f.c, 37, 75, 2.5f, 3, solid(LEATHER));
}

void holster(Figure& f) {
    if (f.p.gun == 0)  // the grip shows above the holster
        outlinedPoly(f.c, {{40.5f, 79}, {43.5f, 79}, {43, 72}, {39.5f, 70.5f}, {37.8f, 72.3f}}, RIM, kOutline,
                     shaded(WALNUT, P{40, 74}, 4));
    outlinedPoly(f.c, {{38, 78}, {44.5f, 78}, {46.5f, 93}, {41.5f, 95}, {38.5f, 86}}, RIM, kOutline,
                 shaded(HOLSTER, P{42, 85}, 8));
    strokeLine(f.c, {{39.5f, 80}, {44, 80}}, 0.7f, solid(scaleCol(HOLSTER, 0.6f)));
}

void hatShape(Figure& f) {  // drawn about the middle of the brim
    const Outfit& o = f.o;
    std::vector<P> crown = {{-10, 0}, {-8.5f, -10}, {-5.5f, -13.5f}, {0, -11.5f}, {5.5f, -13.8f}, {9, -10.5f}, {10.5f, 0}};
    outlinedPoly(f.c, crown, RIM, kOutline, shaded(o.hat, P{0, -7}, 10));
    fillPoly(f.c, {{-9.4f, -4}, {10, -4}, {10.3f, -0.5f}, {-9.7f, -0.5f}}, solid(o.hatBand));
    std::vector<P> brim = {{-20.5f, -3.5f}, {-16, -0.5f}, {0, 1}, {15, -1}, {21.5f, -4.5f}, {21, -1.5f},
                           {16, 2.8f}, {0, 4.5f}, {-16, 3.5f}, {-21, 0}};
    outlinedPoly(f.c, brim, RIM, kOutline, grad(scaleCol(o.hat, 1.1f), scaleCol(o.hat, 0.7f), P{0, -1}, P{0, 4}));
}

void face(Figure& f) {
    const Outfit& o = f.o;
    outlinedEllipse(f.c, P{31.5f, 21.5f}, 5, 6.5f, RIM, kOutline, solid(o.hair));
    outlinedEllipse(f.c, P{37.5f, 24}, 8, 9.6f, RIM, kOutline, shaded(o.skin, P{37, 23}, 9));
    fillPoly(f.c, {{36, 28}, {44.5f, 27}, {43.5f, 31.5f}, {39.5f, 34.2f}, {35, 33.4f}}, solid(scaleCol(o.skin, 0.97f)));  // jaw
    outlinedEllipse(f.c, P{45.2f, 25}, 1.9f, 1.9f, RIM * 0.7f, kOutline, shaded(o.skin, P{45, 24}, 2.5f));
    outlinedEllipse(f.c, P{32.6f, 25}, 1.9f, 2.7f, RIM * 0.7f, kOutline, solid(scaleCol(o.skin, 0.85f)));
    Col dark = rgb(40, 24, 16);
    if (f.p.deadEyes) {
        strokeLine(f.c, {{40.5f, 21.5f}, {43, 24}}, 0.9f, solid(dark));
        strokeLine(f.c, {{43, 21.5f}, {40.5f, 24}}, 0.9f, solid(dark));
    } else {
        fillEllipse(f.c, P{41.8f, 22.8f}, 1.2f, 1.4f, solid(dark));
        strokeLine(f.c, {{39.6f, 19.6f}, {44, 20.2f}}, 1.3f, solid(o.hair));
    }
    outlinedPoly(f.c, {{39.5f, 28.2f}, {46, 27.6f}, {47.2f, 30.8f}, {45.2f, 29.9f}, {42.5f, 30.2f}, {40.3f, 31.6f}, {39, 30}},
                 0.4f, kOutline, solid(o.hair));
}

void bandana(Figure& f) {  // round his neck, knotted at the back, dotted
    const Outfit& o = f.o;
    std::vector<P> scarf = {{29.5f, 34.5f}, {41.5f, 34}, {43.5f, 37.5f}, {40, 45}, {36, 41}, {30, 39.5f}};
    outlinedPoly(f.c, scarf, RIM, kOutline, shaded(o.bandana, P{37, 38}, 6));
    for (P d : {P{33, 37}, P{37, 36.5f}, P{40.5f, 37.5f}, P{39, 41.5f}}) fillEllipse(f.c, d, 0.7f, 0.7f, solid(o.dots));
    outlinedPoly(f.c, {{30, 35}, {26.5f, 38}, {27.5f, 41}, {31, 38.5f}}, RIM * 0.7f, kOutline, solid(scaleCol(o.bandana, 0.85f)));
}

void head(Figure& f) {
    fillCapsule(f.c, P{35, 32}, P{36, 40}, 3.8f + RIM, 3.8f + RIM, solid(kOutline));
    fillCapsule(f.c, P{35, 32}, P{36, 40}, 3.8f, 3.8f, solid(scaleCol(f.o.skin, 0.8f)));
    face(f);
    bandana(f);
    if (f.p.hatOn) withLocal(f, P{35.5f, 16}, -3, hatShape);
}

void drawFigure(Figure& f) {
    const Pose& p = f.p;
    P hipB{32, 79}, hipF{38.5f, 79}, shB{30, 46}, shF{41, 46};
    f.body = xfMul(f.body, xfMove(0, f.dy));
    setXf(f.c, f.body);
    if (!p.handAtBelt) arm(f, shB, p.armB, true);
    leg(f, hipB, p.legB, true);
    torso(f);
    leg(f, hipF, p.legF, false);
    holster(f);
    head(f);
    if (p.handAtBelt) arm(f, shB, p.armB, true);
    arm(f, shF, p.armF, false);
}

}  // namespace

Col cowboyColour(Cowboy who) { return outfit(who).shirt; }

// The lowest foot stands on the ground line.
static float standingLift(const Pose& p) {
    P kb = along(P{32, 79}, p.legB[0], 22), kf = along(P{38.5f, 79}, p.legF[0], 22);
    return 121.5f - std::max(along(kb, p.legB[1], 21).y, along(kf, p.legF[1], 21).y);
}

// Where a falling body lies within the box: measured on a scratch canvas, then moved in and down onto the ground.
static Xf fitFall(Cowboy who, const Pose& p, Xf fall, bool centre) {
    const int ox = 80, oy = 70;
    Canvas probe = newCanvas(240, 270, 1);
    Figure g{probe, outfit(who), p, xfMul(xfMove(ox, oy), fall), standingLift(p)};
    drawFigure(g);
    int minx = 9999, maxx = -1, maxy = -1;
    for (int y = 0; y < probe.h; y++)
        for (int x = 0; x < probe.w; x++)
            if (probe.px[(size_t(y) * probe.w + x) * 4 + 3] > 0.5f) {
                minx = std::min(minx, x), maxx = std::max(maxx, x), maxy = std::max(maxy, y);
            }
    float l = float(minx - ox), r = float(maxx + 1 - ox), dx = 0;
    float k = std::min(1.f, 74 / (r - l));  // too long for the box: he shrinks a little as he falls away
    if (k < 1) {
        fall = xfMul(xfScale(k, k, P{(l + r) / 2, float(maxy + 1 - oy)}), fall);
        l = (l + r) / 2 - (r - l) * k / 2, r = l + 74;
    }
    if (centre || k < 1) dx = 40 - (l + r) / 2;
    else if (l < 2) dx = 2 - l;
    else if (r > 78) dx = 78 - r;
    return xfMul(xfMove(dx, 126.f - float(maxy + 1 - oy)), fall);
}

void drawCowboy(Canvas& c, Cowboy who, CowboyPose id, const Xf& place) {
    bool dying = id >= POSE_DIE1;
    Pose p = dying ? deathPose(id - POSE_DIE1) : poseFor(id);
    P feet{36, 126};
    Xf fall = xfMul(xfRotate(p.lean, feet), xfScale(1, p.squash, feet));
    if (dying) fall = fitFall(who, p, fall, id == POSE_DIE4);
    Figure f{c, outfit(who), p, xfMul(place, fall), standingLift(p)};
    Xf keep = c.xf;
    drawFigure(f);
    if (id == POSE_DIE4) {  // his hat came down on his chest
        withLocal(f, P{52, 56}, 90, hatShape);
    } else if (!p.hatOn) {
        f.body = place;
        withLocal(f, p.hatAt, p.hatTurn, hatShape);
    }
    setXf(c, keep);
}

void makeCowboyPictures(Pictures& out) {
    struct Slot {
        const char* name;
        CowboyPose pose;
    };
    static const Slot slots[] = {
        {"hrac_right", POSE_WALK0},       {"hrac_right2", POSE_WALK1},     {"hrac_right_cs", POSE_RELOAD0},
        {"hrac_right2_cs", POSE_RELOAD1}, {"hrac_right_shoot", POSE_SHOOT}, {"hrac_right_d01", POSE_DIE1},
        {"hrac_right_d02", POSE_DIE2},    {"hrac_right_d03", POSE_DIE3},   {"hrac_right_d04", POSE_DIE4},
    };
    for (Cowboy who : {RED_COWBOY, BLUE_COWBOY}) {
        std::string dir = who == RED_COWBOY ? "P1/" : "P2/";
        for (const Slot& s : slots) {
            Canvas c = newCanvas(80, 130, 4);
            drawCowboy(c, who, s.pose, Xf());
            Image right = finish(c, true);
            std::string name = s.name, left = "hrac_left" + name.substr(10);
            out.push_back({dir + name + ".png", right});
            out.push_back({dir + left + ".png", mirrorX(right)});
        }
    }
}
