// img_scene.cpp: scenery shared by several pictures: wooden boards, the desert under an evening sky, a star.
#include "img_art.h"

#include <cmath>

Paint woodPaint(Col base, int seed, bool vertical) {
    return painter([=](float x, float y) {
        float u = vertical ? y : x, v = vertical ? x : y;
        float g = fbm(u * 0.012f, v * 0.3f, seed, 2);
        float streak = 0.5f + 0.5f * std::sin(v * 1.9f + g * 10.f + u * 0.004f);
        float knot = valueNoise(u * 0.05f, v * 0.2f, seed + 7);
        float k = 0.8f + 0.26f * g + 0.07f * streak - (knot > 0.86f ? (knot - 0.86f) * 2.5f : 0);
        return scaleCol(base, k);
    });
}

void drawWoodPlank(Canvas& c, float x, float y, float w, float h, Col wood, int seed) {
    fillRect(c, x, y, w, h, solid(scaleCol(wood, 0.35f)));
    fillRect(c, x + 0.7f, y + 0.7f, w - 1.4f, h - 1.4f, woodPaint(wood, seed, false));
    fillRect(c, x + 0.7f, y + 0.7f, w - 1.4f, std::min(1.2f, h / 4), solid(scaleCol(wood, 1.25f), 0.6f));
    fillRect(c, x + 0.7f, y + h - 2.2f, w - 1.4f, 1.5f, solid(scaleCol(wood, 0.6f), 0.6f));
}

void drawPlanks(Canvas& c, float x, float y, float w, float h, float board, bool vertical, Col wood, int seed) {
    float len = vertical ? w : h;
    int n = std::max(1, int(std::lround(len / board)));
    float step = len / n;
    for (int i = 0; i < n; i++) {
        Col tint = scaleCol(wood, 0.9f + 0.2f * hashNoise(i, seed, 3));
        float a = (vertical ? x : y) + i * step;
        fillRect(c, vertical ? a : x, vertical ? y : a, vertical ? step : w, vertical ? h : step,
                 woodPaint(tint, seed + i * 13, vertical));
        if (vertical) fillRect(c, a, y, 1.1f, h, solid(scaleCol(wood, 0.38f)));
        else fillRect(c, x, a, w, 1.1f, solid(scaleCol(wood, 0.38f)));
    }
}

static void eveningSky(Canvas& c, float H, int seed) {
    fillRect(c, 0, 0, float(c.w), H + 2, painter([=](float x, float y) {
        Col sky = ramp({{0, rgb(70, 96, 150)}, {0.45f, rgb(196, 130, 118)}, {0.8f, rgb(246, 176, 104)}, {1, rgb(252, 214, 142)}}, y / H);
        float cloud = fbm(x * 0.006f, y * 0.03f, seed, 2);
        float k = std::max(0.f, cloud - 0.55f) * 2.2f * (1 - y / H);
        return mix(sky, rgb(255, 214, 180), std::min(0.55f, k));
    }));
    fillEllipse(c, P{c.w * 0.72f, H - 10}, 40, 40, solid(rgb(255, 230, 160), 0.35f));
    fillEllipse(c, P{c.w * 0.72f, H - 10}, 26, 26, solid(rgb(255, 240, 190)));
}

// One range of flat-topped mesas along the horizon; the far range (layer 1) is lower and paler.
static void mesas(Canvas& c, float H, int seed, int layer) {
    unsigned s = unsigned(seed * 7 + layer);
    std::vector<P> ridge = {{0, H + 2}};
    float x = -20;
    while (x < c.w + 40) {
        float w = 60 + rngf(s) * 140, top = H - (layer ? 18 : 34) - rngf(s) * (layer ? 22 : 30);
        bool mesa = rngf(s) < 0.6f;
        ridge.push_back(P{x, H - 4});
        ridge.push_back(P{x + w * 0.18f, top});
        ridge.push_back(P{x + (mesa ? w * 0.78f : w * 0.3f), top + (mesa ? 0 : 8)});
        ridge.push_back(P{x + w, H - 2});
        x += w * (0.8f + rngf(s) * 0.5f);
    }
    ridge.push_back(P{float(c.w), H + 2});
    Col far = layer ? rgb(150, 96, 96) : rgb(196, 128, 110);
    fillPoly(c, ridge, grad(far, scaleCol(far, 0.82f), P{0, H - 60}, P{0, H}));
}

// An evening sky over far mesas; everything below the horizon is left for the caller.
void drawDesertBackdrop(Canvas& c, float horizon, int seed) {
    eveningSky(c, horizon, seed);
    mesas(c, horizon, seed, 0);
    mesas(c, horizon, seed, 1);
}

void drawStar(Canvas& c, P ctr, float r, Col fill, float rim, float degrees) {
    std::vector<P> pts;
    for (int i = 0; i < 10; i++) {
        float t = (degrees + i * 36) * float(M_PI) / 180.f, rr = i % 2 ? r * 0.48f : r;
        pts.push_back(P{ctr.x + std::cos(t) * rr, ctr.y + std::sin(t) * rr});
    }
    outlinedPoly(c, pts, rim, kOutline, grad(scaleCol(fill, 1.2f), scaleCol(fill, 0.7f), P{ctr.x - r, ctr.y - r}, P{ctr.x + r, ctr.y + r}));
    for (int i = 0; i < 10; i += 2) {
        float t = (degrees + i * 36) * float(M_PI) / 180.f;
        outlinedEllipse(c, P{ctr.x + std::cos(t) * r, ctr.y + std::sin(t) * r}, r * 0.13f, r * 0.13f, rim * 0.6f, kOutline, solid(fill));
    }
}

Paint dustPaint(float top, float bottom, int seed) {
    return painter([=](float x, float y) {
        float t = (y - top) / (bottom - top);
        Col dust = ramp({{0, rgb(176, 122, 78)}, {0.3f, rgb(210, 160, 104)}, {1, rgb(222, 178, 122)}}, t);
        float blot = fbm(x * 0.012f, y * 0.02f, seed, 3), grain = hashNoise(int(x * 2), int(y * 2), seed + 3);
        return scaleCol(dust, 0.88f + 0.22f * blot + 0.07f * (grain - 0.5f));
    });
}

TextStyle boldText(float size, Paint fill, float rim) {
    TextStyle t;
    t.size = size;
    t.fill = fill;
    t.outline = rim;
    t.outlineCol = kOutline;
    return t;
}

Paint goldPaint(float top, float bottom) {
    return painter([=](float, float y) {
        float t = (y - top) / (bottom - top);
        return ramp({{0, rgb(255, 246, 196)}, {0.45f, rgb(252, 204, 92)}, {0.55f, rgb(226, 150, 48)}, {1, rgb(170, 92, 30)}}, t);
    });
}

void drawCactus(Canvas& c, float x, float ground, float h, int seed) {
    unsigned s = unsigned(seed);
    float r = h * 0.085f, arm = r * 0.7f;
    Col skin = rgb(80, 96, 54);
    float ly = ground - h * (0.45f + 0.15f * rngf(s)), ry = ground - h * (0.55f + 0.15f * rngf(s));
    // the trunk and two bent arms, each a run of joints
    std::vector<std::vector<P>> limbs = {{{x, ground}, {x, ground - h}},
                                         {{x - r, ly}, {x - r * 3.2f, ly}, {x - r * 3.2f, ly - h * 0.3f}},
                                         {{x + r, ry}, {x + r * 3.f, ry}, {x + r * 3.f, ry - h * 0.25f}}};
    for (size_t i = 0; i < limbs.size(); i++) strokeLine(c, limbs[i], 2 * ((i ? arm : r) + 1.5f), solid(kOutline));
    Paint p = grad(scaleCol(skin, 1.2f), scaleCol(skin, 0.65f), P{x - r * 3, 0}, P{x + r * 3, 0});
    for (size_t i = 0; i < limbs.size(); i++) strokeLine(c, limbs[i], 2 * (i ? arm : r), p);
    for (float dx : {-r * 0.45f, r * 0.1f, r * 0.6f})  // ribs
        strokeLine(c, {{x + dx, ground - 2}, {x + dx, ground - h + r}}, 0.9f, solid(scaleCol(skin, 0.6f), 0.7f));
}
