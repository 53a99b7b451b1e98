// img_hud.cpp: the pictures of a round: the whiskey bottle, counters, wanted posters, countdown and winner banners.
#include "img_art.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

const unsigned char kKeyBytes[3] = {0, 255, 0};

// ---- the bottle ----

// The glint's band slides from left to right over the five frames.
float glintX(int glint) { return glint < 0 ? -100 : 7 + glint * 3.8f; }

void bottleGlass(Canvas& c, int glint) {
    float gx = glintX(glint);
    Paint glass = painter([=](float x, float y) {
        float across = (x - 6) / 18;
        Col amber = ramp({{0, rgb(96, 40, 14)}, {0.25f, rgb(190, 104, 36)}, {0.55f, rgb(160, 78, 24)}, {1, rgb(80, 32, 12)}}, across);
        if (y < 20) amber = scaleCol(amber, 0.85f);  // the empty neck is darker
        float band = std::fabs(x + (y - 30) * 0.2f - gx);
        if (band < 2.6f) amber = mix(amber, rgb(255, 248, 222), std::min(1.f, (2.6f - band) / 1.6f) * 0.92f);
        return amber;
    });
    std::vector<P> body = {{12, 8}, {18, 8}, {18.5f, 17}, {23, 22}, {24.5f, 27}, {24.5f, 50}, {22.5f, 53}, {7.5f, 53}, {5.5f, 50}, {5.5f, 27}, {7, 22}, {11.5f, 17}};
    outlinedPoly(c, body, 1, kOutline, glass);
    fillRect(c, 7.5f, 26, 1.6f, 24, solid(rgb(255, 226, 170), 0.55f));  // a fixed highlight on the left
}

void bottleLabel(Canvas& c) {
    outlinedPoly(c, {{6.2f, 31}, {23.8f, 31}, {23.8f, 45}, {6.2f, 45}}, 0.6f, kOutline,
                 grad(rgb(246, 232, 196), rgb(206, 184, 140), P{6, 31}, P{24, 45}));
    fillRect(c, 6.2f, 32.2f, 17.6f, 0.9f, solid(rgb(170, 40, 30)));
    fillRect(c, 6.2f, 43, 17.6f, 0.9f, solid(rgb(170, 40, 30)));
    TextStyle xxx = boldText(7.5f, solid(rgb(150, 30, 24)), 0);
    drawText(c, "XXX", 15, 38.2f, xxx);
}

void bottleCork(Canvas& c) {
    outlinedPoly(c, {{11.2f, 7}, {18.8f, 7}, {18.8f, 9.5f}, {11.2f, 9.5f}}, 0.7f, kOutline, solid(rgb(150, 90, 40)));
    outlinedPoly(c, {{12, 1.5f}, {18, 1.5f}, {17.6f, 7}, {12.4f, 7}}, 0.8f, kOutline, shaded(rgb(196, 150, 96), P{15, 4}, 4));
}

void sparkle(Canvas& c, P at, float r) {
    std::vector<P> star;
    for (int i = 0; i < 8; i++) {
        float t = float(M_PI) * i / 4, rr = i % 2 ? r * 0.22f : r;
        star.push_back(P{at.x + std::cos(t) * rr, at.y + std::sin(t) * rr});
    }
    fillPoly(c, star, solid(rgb(255, 252, 230)));
}

Image bottleFrame(int k) {
    Canvas c = newCanvas(30, 55, 4);
    drawWhiskeyBottle(c, Xf(), k);
    return finish(c, true);
}

// ---- counters and wanted posters ----

Image counter(int n) {
    Canvas c = newCanvas(90, 40, 4);
    std::vector<P> tag = roundRectPts(26, 4, 62, 32, 7);
    outlinedPoly(c, tag, 1.2f, kOutline, woodPaint(rgb(176, 120, 70), 300 + n, false));
    fillPoly(c, roundRectPts(29, 7, 56, 26, 5), solid(rgb(60, 30, 14), 0.22f));
    outlinedEllipse(c, P{33, 20}, 2, 2, 0.6f, kOutline, solid(rgb(150, 150, 156)));  // a nail, under the portrait
    drawText(c, std::to_string(n), 71, 20.5f, boldText(28, goldPaint(7, 34), 1.8f));
    return finish(c, true);
}

void posterPaper(Canvas& c) {  // old paper, singed at the edges
    Col paper = rgb(236, 214, 164);
    fillCanvas(c, painter([=](float x, float y) {
        float edge = std::min(std::min(x, 55 - x), std::min(y, 60 - y));
        float burn = edge < 4 ? (4 - edge) / 4 : 0;
        Col p = scaleCol(paper, 0.9f + 0.16f * fbm(x * 0.3f, y * 0.3f, 77, 3));
        return mix(p, rgb(120, 70, 34), burn * 0.8f);
    }));
}

// The cowboy's head and shoulders in a frame, facing the middle of the screen: blue's poster is on the left.
void posterFace(Canvas& c, Cowboy who) {
    Canvas face = newCanvas(55, 60, 4);
    drawCowboy(face, who, POSE_WALK0, xfMul(xfMove(27.5f, 13), xfMul(xfScale(0.92f, 0.92f, P{0, 0}), xfMove(-37, 0))));
    Image f = finish(face, true);
    if (who == RED_COWBOY) f = mirrorX(f);
    for (int y = 0; y < f.h; y++)  // only what lies inside the frame shows
        for (int x = 0; x < f.w; x++)
            if (x < 6 || x >= 49 || y < 13 || y >= 45) std::copy(&kKeyBytes[0], &kKeyBytes[3], &f.px[(size_t(y) * f.w + x) * 3]);
    fillRect(c, 5, 12, 45, 34, solid(rgb(150, 120, 80)));
    fillRect(c, 6, 13, 43, 32, solid(rgb(214, 190, 140)));
    drawImage(c, f, 0, 0, 1);
}

Image wantedPoster(Cowboy who) {
    Canvas c = newCanvas(55, 60, 4);
    posterPaper(c);
    posterFace(c, who);
    TextStyle head = boldText(9.5f, solid(rgb(70, 30, 16)), 0);
    drawText(c, "WANTED", 27.5f, 7, head);
    TextStyle reward = boldText(8, solid(rgb(150, 36, 24)), 0);
    drawText(c, "$500", 27.5f, 52, reward);
    return finish(c, false);
}

// ---- countdown and winner banners ----

Image countdownDigit(const std::string& d) {
    Canvas c = newCanvas(200, 150, 2);
    TextStyle t = boldText(150, goldPaint(20, 130), 5);
    t.shadowDx = 5;
    t.shadowDy = 5;
    t.shadowAlpha = 1;
    t.shadowCol = rgb(60, 26, 12);
    drawText(c, d, 97, 72, t);
    return finish(c, true);
}

Image countdownDraw() {
    Canvas c = newCanvas(200, 150, 2);
    std::vector<P> burst;
    unsigned s = 4242;
    for (int i = 0; i < 28; i++) {
        float t = float(M_PI) * 2 * i / 28, r = i % 2 ? 44 + rngf(s) * 8 : 64 + rngf(s) * 10;
        burst.push_back(P{100 + std::cos(t) * r * 1.45f, 75 + std::sin(t) * r * 1.05f});
    }
    outlinedPoly(c, burst, 2.5f, kOutline, painter([](float x, float y) {
        float d = std::hypot((x - 100) / 1.45f, y - 75) / 70;
        return ramp({{0, rgb(255, 244, 190)}, {0.5f, rgb(252, 196, 70)}, {1, rgb(226, 96, 30)}}, d);
    }));
    TextStyle t = boldText(50, painter([](float, float y) {
        return ramp({{50, rgb(236, 60, 40)}, {95, rgb(150, 20, 16)}}, y);
    }), 3.5f);
    t.shadowDx = 3;
    t.shadowDy = 3;
    t.shadowAlpha = 1;
    t.shadowCol = rgb(60, 20, 10);
    drawText(c, "DRAW!", 98, 74, t);
    return finish(c, true);
}

Image winnerBanner(Cowboy who) {
    Canvas c = newCanvas(400, 120, 2);
    Col band = cowboyColour(who), dark = scaleCol(band, 0.55f);
    // the tails behind, then the band with a gold trim
    outlinedPoly(c, {{4, 34}, {60, 34}, {60, 108}, {4, 108}, {24, 71}}, 2, kOutline, solid(dark));
    outlinedPoly(c, {{340, 34}, {396, 34}, {376, 71}, {396, 108}, {340, 108}}, 2, kOutline, solid(dark));
    outlinedPoly(c, {{36, 10}, {364, 10}, {364, 98}, {36, 98}}, 2.2f, kOutline,
                 grad(rgb(250, 210, 110), rgb(170, 110, 40), P{0, 10}, P{0, 98}));
    fillRect(c, 41, 15, 318, 78, grad(scaleCol(band, 1.25f), scaleCol(band, 0.7f), P{0, 15}, P{0, 93}));
    fillRect(c, 41, 15, 318, 6, solid(rgb(255, 255, 255), 0.15f));
    TextStyle t = boldText(34, solid(rgb(255, 246, 226)), 2.4f);
    t.spacing = 2;
    t.shadowDx = 2;
    t.shadowDy = 2;
    t.shadowAlpha = 0.8f;
    while (textWidth("BLUE COWBOY", t) > 290) t.size -= 1;  // the longer name sets the size of both
    drawText(c, who == RED_COWBOY ? "RED COWBOY" : "BLUE COWBOY", 200, 38, t);
    TextStyle w = boldText(34, goldPaint(58, 86), 2.4f);
    w.spacing = 4;
    w.shadowDx = 2;
    w.shadowDy = 2;
    w.shadowAlpha = 0.8f;
    drawText(c, "WINS!", 200, 73, w);
    float half = textWidth("WINS!", w) / 2 + 26;
    drawStar(c, P{200 - half, 72}, 14, rgb(246, 200, 90), 1.2f);
    drawStar(c, P{200 + half, 72}, 14, rgb(246, 200, 90), 1.2f);
    return finish(c, true);
}

}  // namespace

void drawWhiskeyBottle(Canvas& c, const Xf& place, int glint) {
    Xf keep = c.xf;
    setXf(c, place);
    bottleGlass(c, glint);
    bottleLabel(c);
    bottleCork(c);
    if (glint >= 0) sparkle(c, P{glintX(glint) + 0.6f, 26}, 4.5f);
    setXf(c, keep);
}

void makeHudPictures(Pictures& out) {
    static const char* bottles[] = {"whiskey.png", "whiskey2.png", "whiskey3.png", "whiskey4.png", "whiskey5.png"};
    for (int k = 0; k < 5; k++) out.push_back({std::string("Obs/") + bottles[k], bottleFrame(k)});
    for (int n = 0; n <= 10; n++) {
        char name[32];
        snprintf(name, sizeof name, "Hud/wc%02d.png", n);
        out.push_back({name, counter(n)});
    }
    out.push_back({"hud/rp.png", wantedPoster(RED_COWBOY)});
    out.push_back({"hud/bp.png", wantedPoster(BLUE_COWBOY)});
    out.push_back({"Hud/3.png", countdownDigit("3")});
    out.push_back({"Hud/2.png", countdownDigit("2")});
    out.push_back({"Hud/1.png", countdownDigit("1")});
    out.push_back({"Hud/0.png", countdownDraw()});
    out.push_back({"menu/rpwins.png", winnerBanner(RED_COWBOY)});
    out.push_back({"menu/bpwins.png", winnerBanner(BLUE_COWBOY)});
}
