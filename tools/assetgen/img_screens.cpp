// img_screens.cpp: the full-screen pictures: loading, the studio, the title, the credits and the instructions.
#include "img_art.h"

#include <cmath>
#include <string>

namespace {

TextStyle plain(float size, Col fill, Face face = SLAB_REGULAR) {
    TextStyle t;
    t.face = face;
    t.size = size;
    t.fill = solid(fill);
    return t;
}

// A revolver's cylinder seen from the front, six chambers.
void cylinder(Canvas& c, P at, float r) {
    outlinedEllipse(c, at, r, r, 2, kOutline, shaded(rgb(150, 154, 166), at, r));
    for (int i = 0; i < 6; i++) {
        float t = float(M_PI) / 3 * i - float(M_PI) / 2;
        P h{at.x + std::cos(t) * r * 0.58f, at.y + std::sin(t) * r * 0.58f};
        outlinedEllipse(c, h, r * 0.22f, r * 0.22f, 1.2f, kOutline, solid(i < 4 ? rgb(222, 178, 72) : rgb(30, 26, 28)));
    }
    outlinedEllipse(c, at, r * 0.16f, r * 0.16f, 1, kOutline, solid(rgb(90, 94, 104)));
}

Image loading() {
    Canvas c = newCanvas(800, 600, 1);
    drawDesertBackdrop(c, 400, 31);
    fillRect(c, 0, 0, 800, 600, solid(rgb(30, 10, 30), 0.35f));
    fillRect(c, 0, 400, 800, 200, dustPaint(400, 600, 33));
    fillRect(c, 0, 400, 800, 200, fade(rgb(20, 8, 4), P{0, 400}, P{0, 600}, 0.15f, 0.6f));
    drawCactus(c, 90, 520, 150, 3);
    drawCactus(c, 700, 470, 110, 4);
    drawCactus(c, 610, 430, 50, 5);
    cylinder(c, P{400, 250}, 60);
    TextStyle t = boldText(64, goldPaint(330, 380), 3.5f);
    t.spacing = 8;
    t.shadowDx = 4;
    t.shadowDy = 4;
    t.shadowAlpha = 0.7f;
    drawText(c, "LOADING", 400, 370, t);
    TextStyle s = boldText(18, solid(rgb(255, 232, 190)), 1.5f);
    s.face = SLAB_REGULAR;
    drawText(c, "saddling the horses, polishing the spurs...", 400, 430, s);
    return finish(c, false);
}

Image studio() {
    Canvas c = newCanvas(800, 600, 1);
    fillCanvas(c, painter([](float x, float y) {
        float d = std::hypot((x - 400) / 400, (y - 280) / 300);
        return scaleCol(ramp({{0, rgb(70, 40, 26)}, {0.7f, rgb(36, 20, 14)}, {1.2f, rgb(14, 8, 6)}}, d), 0.95f + 0.1f * valueNoise(x * 0.01f, y * 0.01f, 41));
    }));
    // the studio's mark: a sheriff's star in a double ring with a T
    outlinedEllipse(c, P{400, 220}, 92, 92, 3, kOutline, grad(rgb(250, 210, 120), rgb(150, 90, 34), P{330, 150}, P{470, 300}));
    outlinedEllipse(c, P{400, 220}, 80, 80, 2, kOutline, solid(rgb(70, 36, 20)));
    drawStar(c, P{400, 222}, 70, rgb(236, 190, 84), 2.5f);
    TextStyle t = boldText(66, solid(rgb(80, 40, 20)), 0);
    drawText(c, "T", 400, 224, t);
    TextStyle name = boldText(46, goldPaint(360, 400), 2.5f);
    name.spacing = 7;
    name.shadowDx = 3;
    name.shadowDy = 3;
    name.shadowAlpha = 0.6f;
    drawText(c, "TOLVERANT STUDIO", 400, 380, name);
    fillRect(c, 250, 414, 300, 2, solid(rgb(200, 150, 80)));
    TextStyle pres = plain(26, rgb(240, 220, 186));
    pres.spacing = 4;
    drawText(c, "presents", 400, 446, pres);
    return finish(c, false);
}

void standing(Canvas& c, Cowboy who, float mid, float k, bool flip) {
    Xf place = xfMul(xfMove(mid, 520 - 127 * k), xfScale(flip ? -k : k, k, P{0, 0}));
    drawCowboy(c, who, POSE_WALK0, xfMul(place, xfMove(-37, 0)));
}

Image title() {
    Canvas c = newCanvas(800, 600, 1);
    drawDesertBackdrop(c, 440, 51);
    fillRect(c, 0, 440, 800, 160, dustPaint(440, 600, 53));
    fillRect(c, 0, 440, 800, 24, fade(rgb(80, 40, 20), P{0, 440}, P{0, 464}, 0.35f, 0));
    standing(c, BLUE_COWBOY, 120, 2.6f, false);
    standing(c, RED_COWBOY, 680, 2.6f, true);
    TextStyle t = boldText(128, goldPaint(70, 190), 6);
    t.spacing = 4;
    t.shadowDx = 7;
    t.shadowDy = 7;
    t.shadowAlpha = 0.75f;
    drawText(c, "KORVADO", 400, 140, t);
    TextStyle sub = boldText(24, solid(rgb(255, 238, 200)), 2);
    sub.spacing = 6;
    drawText(c, "A WESTERN DUEL", 400, 232, sub);
    TextStyle press = boldText(28, solid(rgb(255, 246, 220)), 2.4f);
    press.shadowDx = 2;
    press.shadowDy = 2;
    press.shadowAlpha = 0.6f;
    fillPoly(c, roundRectPts(270, 530, 260, 46, 10), solid(rgb(30, 14, 6), 0.55f));
    drawText(c, "press Enter", 400, 552, press);
    return finish(c, false);
}

TextStyle heading(float size) {
    TextStyle t = boldText(size, solid(rgb(120, 30, 20)), 0);
    t.spacing = 3;
    return t;
}

void line(Canvas& c, const std::string& s, float x, float y, float size, Col col, Face f = SLAB_REGULAR, int align = -1) {
    drawText(c, s, x, y, plain(size, col, f), align);
}

Image credits(const Canvas& paper) {
    Canvas c = paper;
    Col ink = rgb(54, 34, 20), red = rgb(130, 34, 22);
    drawText(c, "CREDITS", 400, 72, heading(40));
    drawStar(c, P{250, 72}, 14, rgb(220, 170, 70), 1.2f);
    drawStar(c, P{550, 72}, 14, rgb(220, 170, 70), 1.2f);
    line(c, "KORVADO", 400, 124, 30, red, SLAB_BOLD, 0);
    line(c, "a western duel for one screen", 400, 154, 18, ink, SLAB_REGULAR, 0);
    line(c, "Made by", 400, 206, 17, ink, SLAB_REGULAR, 0);
    line(c, "TOLVERANT STUDIO", 400, 236, 28, red, SLAB_BOLD, 0);
    line(c, "design, code, pictures, sounds and music", 400, 266, 17, ink, SLAB_REGULAR, 0);
    fillRect(c, 200, 296, 400, 1.5f, solid(rgb(140, 100, 60)));
    line(c, "Every picture, every sound and the music are made by code,", 400, 326, 17, ink, SLAB_REGULAR, 0);
    line(c, "drawn and played by the game's own generator.", 400, 350, 17, ink, SLAB_REGULAR, 0);
    line(c, "Built with", 400, 396, 17, ink, SLAB_REGULAR, 0);
    line(c, "SDL 1.2   SDL_image   SDL_mixer   SDL_ttf", 400, 428, 20, red, SLAB_BOLD, 0);
    line(c, "libpng   zlib   espeak-ng   libmikmod", 400, 458, 20, red, SLAB_BOLD, 0);
    line(c, "lettering in Roboto Slab", 400, 490, 17, ink, SLAB_REGULAR, 0);
    line(c, "ESC returns to the menu", 400, 546, 16, rgb(110, 80, 54), SLAB_BOLD, 0);
    return finish(c, false);
}

void keyCap(Canvas& c, const std::string& k, float x, float y) {  // (x, y): left middle
    TextStyle t = plain(14, rgb(250, 240, 220), SLAB_BOLD);
    float w = std::max(26.f, textWidth(k, t) + 14);
    outlinedPoly(c, roundRectPts(x, y - 13, w, 26, 5), 1.2f, kOutline, grad(rgb(120, 84, 56), rgb(70, 44, 28), P{0, y - 13}, P{0, y + 13}));
    drawText(c, k, x + w / 2, y, t);
}

float keyRow(Canvas& c, std::initializer_list<const char*> keys, float x, float y) {
    for (const char* k : keys) {
        TextStyle t = plain(14, rgb(250, 240, 220), SLAB_BOLD);
        keyCap(c, k, x, y);
        x += std::max(26.f, textWidth(k, t) + 14) + 5;
    }
    return x;
}

const Col INK = rgb(54, 34, 20), RED_INK = rgb(150, 34, 24), BLUE_INK = rgb(34, 70, 150);

// One cowboy's keys: his name, the walking keys and the fire key.
void cowboyKeys(Canvas& c, const char* name, Col col, std::initializer_list<const char*> walk, const char* fire, float y) {
    line(c, name, 80, y, 20, col, SLAB_BOLD);
    float x = keyRow(c, walk, 250, y);
    line(c, "walk", x + 4, y, 16, INK);
    x = keyRow(c, {fire}, 560, y);
    line(c, "fire", x + 4, y, 16, INK);
}

void instructionKeys(Canvas& c) {
    drawText(c, "HOW TO PLAY", 400, 58, heading(34));
    cowboyKeys(c, "RED COWBOY", RED_INK, {"UP", "DOWN", "LEFT", "RIGHT"}, "RIGHT CTRL", 102);
    cowboyKeys(c, "BLUE COWBOY", BLUE_INK, {"W", "A", "S", "D"}, "Q", 136);
    line(c, "GAMEPADS", 80, 170, 20, INK, SLAB_BOLD);
    float x = keyRow(c, {"D-PAD", "STICK"}, 250, 170);
    line(c, "walk", x + 4, 170, 16, INK);
    x = keyRow(c, {"A", "X", "RB", "RT"}, 560, 170);
    line(c, "fire", x + 4, 170, 16, INK);
    line(c, "The first gamepad plays red, the second blue: plug them in before the game starts.", 80, 198, 14, INK);
    line(c, "In the two-player game the blue cowboy is the second player; alone, you face the computer.", 80, 220, 14, INK);
    x = keyRow(c, {"ESC", "B", "BACK"}, 80, 248);
    line(c, "to the menu (the round waits)", x + 4, 248, 15, INK);
    x = keyRow(c, {"K"}, 480, 248);
    line(c, "quits the two-player game", x + 4, 248, 15, INK);
    line(c, "Shoot a cowboy level with you, a few steps ahead; the six-gun reloads in two seconds.", 80, 276, 14, INK);
}

void gameTypes(Canvas& c) {
    fillRect(c, 100, 296, 600, 1.5f, solid(rgb(140, 100, 60)));
    drawText(c, "GAME TYPES", 400, 324, heading(26));
    struct Type {
        const char* name;
        const char* a;
        const char* b;
    } types[] = {{"WHISKEY HUNT", "The first to hold five bottles of whiskey wins.", "A hit costs the one who is hit a bottle."},
                 {"SALOON BRAWL", "Five lives each; a hit costs a life.", "Every bottle picked up gives a life back."},
                 {"SHOWDOWN", "Ten lives each and no whiskey on the street.", "Last cowboy standing wins."}};
    for (int i = 0; i < 3; i++) {
        float y = 368 + i * 62;
        drawWhiskeyBottle(c, xfMul(xfMove(84, y - 20), xfScale(0.72f, 0.72f, P{0, 0})), i == 2 ? -1 : 1);
        if (i == 2) strokeLine(c, {{82, y - 20}, {110, y + 20}}, 3, solid(RED_INK));  // no whiskey in a showdown
        line(c, types[i].name, 124, y - 11, 19, RED_INK, SLAB_BOLD);
        line(c, types[i].a, 124, y + 12, 15, INK);
        line(c, types[i].b, 124, y + 30, 15, INK);
    }
}

Image instructions(const Canvas& paper) {
    Canvas c = paper;
    instructionKeys(c);
    gameTypes(c);
    line(c, "UP / DOWN or D-PAD choose, ENTER or START selects, ESC or B returns", 400, 560, 14, rgb(110, 80, 54),
         SLAB_BOLD, 0);
    return finish(c, false);
}

}  // namespace

// A sheet of old paper on a wooden wall, for the credits and the instructions.
void paperOnWall(Canvas& c) {
    const int strips[4][4] = {{0, 0, 800, 40}, {0, 574, 800, 600}, {0, 40, 70, 574}, {730, 40, 800, 574}};
    for (const auto& s : strips) {  // the wall shows only round the paper
        setClip(c, s[0], s[1], s[2], s[3]);
        drawPlanks(c, 0, 0, 800, 600, 40, true, rgb(110, 70, 40), 701);
    }
    clearClip(c);
    std::vector<P> sheet = {{46, 26}, {756, 20}, {760, 578}, {40, 582}};
    fillPoly(c, {{54, 36}, {766, 30}, {770, 590}, {50, 594}}, solid(rgb(20, 10, 4), 0.45f));
    outlinedPoly(c, sheet, 2, rgb(90, 60, 30), painter([](float x, float y) {
        float e = std::min(std::min(x - 42, 760 - x), std::min(y - 22, 580 - y));
        float burn = e < 24 ? (24 - e) / 24 : 0;
        Col paper = scaleCol(rgb(240, 222, 178), 0.9f + 0.14f * fbm(x * 0.02f, y * 0.02f, 703, 3));
        return mix(paper, rgb(150, 96, 50), burn * burn * 0.8f);
    }));
    for (P n : {P{66, 44}, P{736, 40}, P{740, 560}, P{60, 562}})
        outlinedEllipse(c, n, 5, 5, 1.2f, kOutline, shaded(rgb(160, 160, 168), n, 5));
}

void makeScreenPictures(Pictures& out) {
    out.push_back({"menu/loading.png", loading()});
    out.push_back({"tolvlogo.png", studio()});
    out.push_back({"kvdlogo.png", title()});
    Canvas paper = newCanvas(800, 600, 1);
    paperOnWall(paper);
    out.push_back({"menu/cred.png", credits(paper)});
    out.push_back({"menu/ins.png", instructions(paper)});
}
