// img_street.cpp: the street of the duel: shop fronts and sky at the top, the dusty road below.
#include "img_art.h"

#include <cmath>

namespace {

const float WALK = 158;    // the boardwalk's floor in front of the buildings
const float GROUND = 178;  // where the road begins

// Painted letters on a light board: no rim.
TextStyle paintedStyle(float size, Col fill) {
    TextStyle t;
    t.size = size;
    t.fill = solid(fill);
    t.spacing = 1;
    return t;
}

TextStyle signStyle(float size, Col fill) {
    TextStyle t;
    t.size = size;
    t.fill = grad(scaleCol(fill, 1.15f), scaleCol(fill, 0.8f), P{0, 0}, P{0, 60});
    t.outline = 1.6f;
    t.outlineCol = rgb(40, 20, 10);
    t.shadowDx = 1.5f;
    t.shadowDy = 1.5f;
    t.shadowAlpha = 0.5f;
    t.spacing = 1;
    return t;
}

void windowPane(Canvas& c, float x, float y, float w, float h, bool lit) {
    fillRect(c, x - 3, y - 3, w + 6, h + 6, solid(rgb(70, 40, 22)));
    Col glass = lit ? rgb(250, 200, 110) : rgb(90, 96, 110);
    fillRect(c, x, y, w, h, grad(scaleCol(glass, 1.1f), scaleCol(glass, 0.65f), P{x, y}, P{x + w * 0.4f, y + h}));
    fillPoly(c, {{x + w * 0.15f, y}, {x + w * 0.35f, y}, {x + w * 0.05f, y + h}, {x, y + h * 0.8f}}, solid(rgb(255, 255, 240), 0.18f));
    fillRect(c, x + w / 2 - 1.2f, y, 2.4f, h, solid(rgb(70, 40, 22)));
    fillRect(c, x, y + h / 2 - 1.2f, w, 2.4f, solid(rgb(70, 40, 22)));
    fillRect(c, x - 5, y + h + 2, w + 10, 4, solid(rgb(110, 66, 34)));
}

void porchRoof(Canvas& c, float x0, float x1, float y, std::vector<float> posts) {
    for (float px : posts) {
        fillRect(c, px - 3.5f, y + 8, 7, WALK - y - 6, woodPaint(rgb(120, 74, 40), int(px), true));
        fillRect(c, px - 3.5f, y + 8, 1.2f, WALK - y - 6, solid(rgb(60, 34, 18)));
        fillRect(c, px + 2.3f, y + 8, 1.2f, WALK - y - 6, solid(rgb(60, 34, 18)));
    }
    fillPoly(c, {{x0 - 6, y + 10}, {x1 + 6, y + 10}, {x1 + 2, y}, {x0 - 2, y}}, solid(rgb(66, 38, 22)));
    fillPoly(c, {{x0 - 4, y + 8}, {x1 + 4, y + 8}, {x1, y + 1}, {x0, y + 1}}, woodPaint(rgb(150, 96, 56), 77, false));
    fillRect(c, x0 - 6, y + 10, x1 - x0 + 12, 3, solid(rgb(50, 28, 16)));
    fillRect(c, x0, y + 13, x1 - x0, 14, fade(rgb(20, 10, 4), P{0, y + 13}, P{0, y + 27}, 0.4f, 0));
}

void stable(Canvas& c) {  // low barn on the left, under the heads-up display's corner
    fillPoly(c, {{0, 96}, {56, 74}, {112, 96}, {112, WALK}, {0, WALK}}, solid(rgb(60, 30, 20)));
    fillPoly(c, {{2, 98}, {56, 77}, {109, 98}, {109, WALK}, {2, WALK}}, woodPaint(rgb(156, 64, 44), 5, true));
    for (float x = 10; x < 108; x += 11) fillRect(c, x, 90, 1, WALK - 90, solid(rgb(80, 34, 24), 0.7f));
    fillPoly(c, {{-4, 97}, {56, 72}, {116, 97}, {112, 101}, {56, 78}, {0, 101}}, solid(rgb(236, 222, 196)));
    fillRect(c, 28, 112, 56, WALK - 112, solid(rgb(236, 222, 196)));
    fillRect(c, 32, 116, 48, WALK - 116, solid(rgb(54, 30, 20)));
    strokeLine(c, {{34, 118}, {78, WALK - 2}}, 4, solid(rgb(236, 222, 196)));
    strokeLine(c, {{78, 118}, {34, WALK - 2}}, 4, solid(rgb(236, 222, 196)));
    fillRect(c, 46, 86, 20, 14, solid(rgb(50, 28, 18)));
    fillRect(c, 48, 88, 16, 10, solid(rgb(200, 150, 70)));
}

const float SALOON_X0 = 114, SALOON_X1 = 334;

void saloonFront(Canvas& c) {  // a tall false front with a raised middle, and its sign
    float x0 = SALOON_X0, x1 = SALOON_X1;
    std::vector<P> front = {{x0, 26}, {180, 26}, {186, 12}, {262, 12}, {268, 26}, {x1, 26}, {x1, WALK}, {x0, WALK}};
    fillPoly(c, front, solid(rgb(54, 30, 18)));
    std::vector<P> inner = {{x0 + 2, 28}, {182, 28}, {188, 14}, {260, 14}, {266, 28}, {x1 - 2, 28}, {x1 - 2, WALK}, {x0 + 2, WALK}};
    fillPoly(c, inner, woodPaint(rgb(176, 110, 62), 21, true));
    for (float x = x0 + 12; x < x1; x += 12) fillRect(c, x, 14, 1, WALK - 14, solid(rgb(90, 50, 28), 0.55f));
    fillRect(c, x0 - 3, 24, x1 - x0 + 6, 5, solid(rgb(96, 56, 30)));
    fillRect(c, 183, 10, 82, 5, solid(rgb(96, 56, 30)));
    // the sign
    fillRect(c, 150, 34, 148, 34, solid(rgb(40, 20, 12)));
    fillRect(c, 153, 37, 142, 28, grad(rgb(140, 36, 28), rgb(96, 22, 18), P{0, 37}, P{0, 65}));
    drawText(c, "SALOON", 224, 51.5f, signStyle(22, rgb(250, 214, 120)));
}

void saloon(Canvas& c) {
    saloonFront(c);
    windowPane(c, 138, 80, 30, 24, true);
    windowPane(c, 280, 80, 30, 24, true);
    windowPane(c, 209, 80, 30, 24, false);
    porchRoof(c, SALOON_X0, SALOON_X1, 110, {SALOON_X0 + 6, 224, SALOON_X1 - 6});
    // batwing doors in a dark doorway, lit windows either side
    fillRect(c, 204, 120, 40, WALK - 120, solid(rgb(30, 16, 10)));
    fillRect(c, 204, 120, 40, 8, solid(rgb(250, 190, 100), 0.25f));
    for (float dx : {205.f, 225.f}) {
        fillRect(c, dx, 130, 18, 20, woodPaint(rgb(190, 128, 70), int(dx), true));
        for (float s = dx + 3; s < dx + 17; s += 4) fillRect(c, s, 132, 1.5f, 16, solid(rgb(100, 56, 30)));
    }
    windowPane(c, 136, 126, 46, 24, true);
    windowPane(c, 266, 126, 46, 24, true);
}

void sheriff(Canvas& c) {
    float x0 = 338, x1 = 484;
    fillRect(c, x0, 42, x1 - x0, WALK - 42, solid(rgb(50, 34, 24)));
    drawPlanks(c, x0 + 2, 44, x1 - x0 - 4, WALK - 44, 9, false, rgb(150, 126, 100), 31);
    fillRect(c, x0 - 3, 40, x1 - x0 + 6, 6, solid(rgb(92, 66, 44)));
    fillRect(c, 352, 52, 118, 28, solid(rgb(36, 22, 14)));
    fillRect(c, 355, 55, 112, 22, solid(rgb(228, 210, 170)));
    drawText(c, "SHERIFF", 411, 66, paintedStyle(17, rgb(70, 44, 28)));
    porchRoof(c, x0, x1, 90, {x0 + 6, x1 - 6});
    windowPane(c, 356, 116, 36, 28, false);
    for (float x = 360; x < 392; x += 6) fillRect(c, x, 116, 2, 28, solid(rgb(40, 40, 46)));
    fillRect(c, 420, 108, 38, WALK - 108, solid(rgb(40, 22, 12)));
    fillRect(c, 423, 111, 32, WALK - 111, woodPaint(rgb(120, 70, 40), 41, true));
    fillRect(c, 427, 116, 24, 14, solid(rgb(0, 0, 0), 0.18f));
    fillRect(c, 427, 135, 24, 16, solid(rgb(0, 0, 0), 0.18f));
    fillEllipse(c, P{450, 136}, 1.8f, 1.8f, solid(rgb(220, 180, 80)));
    drawStar(c, P{411, 104}, 9, rgb(230, 186, 70), 1);
}

const float BANK_X0 = 490, BANK_X1 = 684;

void bankWall(Canvas& c) {  // sandstone blocks under a cornice, and the sign
    float x0 = BANK_X0, x1 = BANK_X1;
    fillRect(c, x0, 30, x1 - x0, WALK - 30, painter([](float x, float y) {  // sandstone blocks
        float row = std::floor(y / 11), off = std::fmod(row, 2) * 13;
        float bx = std::fmod(x + off + 520, 26), by = std::fmod(y, 11);
        Col stone = scaleCol(rgb(206, 164, 120), 0.9f + 0.16f * hashNoise(int((x + off) / 26), int(row), 9));
        stone = scaleCol(stone, 0.94f + 0.1f * fbm(x * 0.2f, y * 0.2f, 4, 2));
        return (bx < 1.3f || by < 1.3f) ? rgb(130, 96, 70) : stone;
    }));
    fillRect(c, x0 - 4, 24, x1 - x0 + 8, 9, grad(rgb(220, 186, 146), rgb(150, 110, 80), P{0, 24}, P{0, 33}));
    fillRect(c, x0 - 2, 33, x1 - x0 + 4, 3, solid(rgb(110, 80, 56)));
    fillRect(c, 536, 42, 102, 30, solid(rgb(60, 36, 24)));
    fillRect(c, 539, 45, 96, 24, grad(rgb(70, 56, 48), rgb(44, 34, 30), P{0, 45}, P{0, 69}));
    drawText(c, "BANK", 587, 57, signStyle(21, rgb(250, 210, 110)));
}

void bank(Canvas& c) {
    bankWall(c);
    for (float wx : {506.f, 648.f}) {  // arched windows
        fillPoly(c, ellipsePts(P{wx + 11, 94}, 14, 14, 0, 40), solid(rgb(130, 96, 70)));
        fillRect(c, wx - 3, 94, 28, 50, solid(rgb(130, 96, 70)));
        fillPoly(c, ellipsePts(P{wx + 11, 94}, 11, 11, 0, 40), solid(rgb(70, 78, 96)));
        fillRect(c, wx, 94, 22, 46, grad(rgb(96, 104, 122), rgb(52, 56, 70), P{0, 94}, P{0, 140}));
        for (float bx = wx + 4; bx < wx + 22; bx += 6) fillRect(c, bx, 86, 1.6f, 54, solid(rgb(40, 36, 40)));
    }
    for (float px : {548.f, 626.f}) {  // columns beside the door
        fillRect(c, px - 7, 80, 14, WALK - 80, grad(rgb(236, 214, 180), rgb(160, 126, 96), P{px - 7, 0}, P{px + 7, 0}));
        fillRect(c, px - 9, 78, 18, 5, solid(rgb(180, 146, 110)));
    }
    fillPoly(c, ellipsePts(P{587, 104}, 20, 16, 0, 40), solid(rgb(70, 46, 30)));
    fillRect(c, 567, 104, 40, WALK - 104, solid(rgb(70, 46, 30)));
    fillRect(c, 571, 106, 32, WALK - 106, woodPaint(rgb(96, 58, 34), 51, true));
    fillRect(c, 586, 106, 1.5f, WALK - 106, solid(rgb(40, 24, 14)));
}

void store(Canvas& c) {  // a low general store on the right, under the other corner of the display
    float x0 = 688;
    fillRect(c, x0, 80, 800 - x0, WALK - 80, solid(rgb(50, 32, 20)));
    drawPlanks(c, x0 + 2, 82, 800 - x0, WALK - 82, 10, false, rgb(190, 150, 100), 61);
    fillRect(c, x0 - 3, 78, 800 - x0 + 3, 5, solid(rgb(100, 70, 44)));
    fillRect(c, 700, 88, 94, 18, solid(rgb(36, 24, 16)));
    fillRect(c, 702, 90, 90, 14, solid(rgb(232, 214, 176)));
    drawText(c, "GENERAL STORE", 747, 97, paintedStyle(9, rgb(130, 40, 30)));
    windowPane(c, 704, 116, 34, 28, true);
    fillRect(c, 752, 112, 30, WALK - 112, solid(rgb(40, 24, 14)));
    fillRect(c, 755, 115, 24, WALK - 115, woodPaint(rgb(110, 80, 50), 71, true));
}

void barrel(Canvas& c, float x, float y) {  // (x, y): bottom middle
    fillEllipse(c, P{x, y}, 12, 3, solid(rgb(0, 0, 0), 0.3f));
    std::vector<P> body = {{x - 9, y - 26}, {x + 9, y - 26}, {x + 11, y - 13}, {x + 9, y}, {x - 9, y}, {x - 11, y - 13}};
    outlinedPoly(c, body, 1.2f, kOutline, woodPaint(rgb(150, 96, 52), int(x), true));
    fillPoly(c, body, fade(rgb(20, 10, 4), P{x - 4, 0}, P{x + 11, 0}, 0, 0.45f));
    fillRect(c, x - 10.5f, y - 21, 21, 2.2f, solid(rgb(70, 66, 66)));
    fillRect(c, x - 10.5f, y - 6, 21, 2.2f, solid(rgb(70, 66, 66)));
    fillEllipse(c, P{x, y - 26}, 9, 2.2f, solid(rgb(110, 70, 40)));
}

void boardwalk(Canvas& c) {
    drawPlanks(c, 0, WALK, 800, 14, 11, true, rgb(164, 112, 66), 91);
    fillRect(c, 0, WALK, 800, 2, solid(rgb(40, 22, 12), 0.6f));
    fillRect(c, 0, WALK + 14, 800, 6, woodPaint(rgb(112, 70, 40), 93, false));
    fillRect(c, 0, WALK + 14, 800, 1.2f, solid(rgb(50, 28, 16)));
    fillRect(c, 0, WALK + 20, 800, 1.2f, solid(rgb(50, 28, 16)));
    barrel(c, 100, WALK + 10);
    barrel(c, 486, WALK + 10);
    fillRect(c, 640, WALK - 14, 22, 22, solid(rgb(50, 30, 18)));
    drawPlanks(c, 641, WALK - 13, 20, 20, 5, false, rgb(176, 130, 80), 97);
    strokeLine(c, {{641, WALK - 13}, {661, WALK + 7}}, 1.6f, solid(rgb(90, 56, 30)));
}

// A wagon's two wheel tracks, wandering a little and fading in and out along the road.
float rutShade(float x, float y, float mid, int seed) {
    float wander = mid + 7 * std::sin(x * 0.006f + seed) + 4 * (valueNoise(x * 0.01f, 0, seed) - 0.5f);
    float worn = std::min(1.f, std::max(0.f, valueNoise(x * 0.005f, 0.5f, seed + 1) * 2.2f - 0.6f));
    float k = 1;
    for (float off : {-12.f, 12.f}) {
        float d = std::fabs(y - wander - off);
        if (d < 5) k -= (0.1f - 0.018f * d) * worn;
        else if (d < 8) k += 0.035f * worn;
    }
    return k;
}

Col roadColour(float x, float y) {
    float t = (y - GROUND) / (600 - GROUND);
    Col dust = ramp({{0, rgb(150, 104, 66)}, {0.08f, rgb(196, 148, 96)}, {0.5f, rgb(224, 180, 124)}, {1, rgb(200, 150, 98)}}, t);
    float big = valueNoise(x * 0.005f, y * 0.008f, 12), blot = fbm(x * 0.02f, y * 0.03f, 13, 3);
    float grain = hashNoise(int(x * 2), int(y * 2), 17);
    float k = 0.84f + 0.16f * big + 0.14f * blot + 0.08f * (grain - 0.5f);
    k *= rutShade(x, y, 322, 5) * rutShade(x, y, 486, 9);
    float corner = std::hypot((x - 400) / 480, (y - 330) / 330);  // the low corners lie in a little shade
    if (corner > 0.8f) k *= 1 - (corner - 0.8f) * 0.35f;
    return scaleCol(dust, k);
}

void rock(Canvas& c, float x, float y, float r, unsigned& s) {
    fillEllipse(c, P{x + r * 0.35f, y + r * 0.45f}, r * 1.25f, r * 0.55f, solid(rgb(80, 50, 28), 0.4f));
    std::vector<P> pts;
    for (int i = 0; i < 9; i++) {
        float t = float(M_PI) * 2 * i / 9, rr = r * (0.8f + 0.3f * rngf(s));
        pts.push_back(P{x + std::cos(t) * rr * 1.2f, y + std::sin(t) * rr * 0.7f});
    }
    outlinedPoly(c, pts, 0.8f, rgb(90, 64, 44), shaded(rgb(178, 150, 122), P{x, y}, r));
}

void cracks(Canvas& c, float x, float y, unsigned& s) {
    for (int i = 0; i < 7; i++) {
        std::vector<P> line = {{x + rngf(s) * 60 - 30, y + rngf(s) * 24 - 12}};
        for (int k = 0; k < 4; k++) {
            P last = line.back();
            line.push_back(P{last.x + rngf(s) * 16 - 8, last.y + rngf(s) * 8 - 4});
        }
        strokeLine(c, line, 0.9f, solid(rgb(120, 80, 50), 0.55f));
    }
}

void pebbles(Canvas& c, unsigned& s) {
    for (int i = 0; i < 150; i++) {
        float x = rngf(s) * 800, y = GROUND + 8 + rngf(s) * (600 - GROUND - 8), r = 0.7f + rngf(s) * 1.8f;
        fillEllipse(c, P{x + 0.6f, y + 0.8f}, r * 1.3f, r * 0.8f, solid(rgb(90, 60, 36), 0.45f));
        fillEllipse(c, P{x, y}, r * 1.2f, r * 0.75f, shaded(rgb(176, 150, 124), P{x, y}, r));
    }
}

void hoofPrints(Canvas& c, unsigned& s) {  // a horse went down the middle of the road
    for (int i = 0; i < 18; i++) {
        float x = 20 + i * 44 + rngf(s) * 10, y = 404 + std::sin(i * 0.7f) * 10 + (i % 2) * 9;
        std::vector<P> u;
        for (int k = 0; k <= 8; k++) {
            float t = float(M_PI) * (0.1f + 0.8f * k / 8);
            u.push_back(P{x + std::cos(t) * 3.2f, y + std::sin(t) * 2.6f});
        }
        strokeLine(c, u, 1.4f, solid(rgb(120, 80, 48), 0.35f + 0.25f * rngf(s)));
    }
}

void dryGrass(Canvas& c, unsigned& s) {  // tufts along the edges of the road
    for (int i = 0; i < 22; i++) {
        bool top = i < 12;
        float x = rngf(s) * 790 + 5, y = top ? GROUND + 6 + rngf(s) * 10 : 560 + rngf(s) * 36;
        for (int b = 0; b < 6; b++) {
            float a = -60 + b * 24 + rngf(s) * 10, len = 6 + rngf(s) * 7, r = a * float(M_PI) / 180;
            strokeLine(c, {{x, y}, {x + std::sin(r) * len, y - std::cos(r) * len}}, 1.1f,
                       solid(mix(rgb(150, 132, 60), rgb(196, 170, 90), rngf(s))));
        }
    }
}

// The road: sunlit dust with shade under the boardwalk, wheel tracks, pebbles, rocks, hoof prints, dry grass.
void road(Canvas& c) {
    fillRect(c, 0, GROUND, 800, 600 - GROUND, painter(roadColour));
    unsigned s = 12345;
    pebbles(c, s);
    for (P at : {P{24, 250}, P{770, 300}, P{40, 585}, P{745, 560}, P{300, 592}, P{560, 212}}) rock(c, at.x, at.y, 4 + rngf(s) * 4, s);
    cracks(c, 660, 560, s);
    cracks(c, 120, 290, s);
    hoofPrints(c, s);
    dryGrass(c, s);
    // the buildings' shade falls on the first stretch of road
    fillRect(c, 0, GROUND, 800, 22, fade(rgb(60, 30, 10), P{0, GROUND}, P{0, GROUND + 22}, 0.45f, 0));
}

}  // namespace

void makeStreetPicture(Pictures& out) {
    Canvas c = newCanvas(800, 600, 1);
    drawDesertBackdrop(c, 150, 11);
    stable(c);
    saloon(c);
    sheriff(c);
    bank(c);
    store(c);
    boardwalk(c);
    road(c);
    out.push_back({"bgsml.png", finish(c, false)});
}
