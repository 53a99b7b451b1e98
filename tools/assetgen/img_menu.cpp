// img_menu.cpp: the menu: a notice board between the two cowboys, and the wooden signs that hang on it.
#include "img_art.h"

#include <string>

namespace {

// The board the signs hang on. Signs are drawn at x 200 and y 150, 250, 350, 450, 400 x 80 each; every sign
// repeats the board behind its own corners, drawn in screen coordinates, so it matches the background exactly.
const float BOARD_X0 = 184, BOARD_X1 = 616, BOARD_Y0 = 138, BOARD_Y1 = 548;

void drawBoard(Canvas& c) {
    fillRect(c, BOARD_X0 - 4, BOARD_Y0 - 12, BOARD_X1 - BOARD_X0 + 8, BOARD_Y1 - BOARD_Y0 + 16, solid(rgb(40, 22, 12)));
    drawPlanks(c, BOARD_X0, BOARD_Y0, BOARD_X1 - BOARD_X0, BOARD_Y1 - BOARD_Y0, 24, true, rgb(92, 58, 34), 501);
    fillRect(c, BOARD_X0, BOARD_Y0, BOARD_X1 - BOARD_X0, BOARD_Y1 - BOARD_Y0,
             fade(rgb(20, 10, 4), P{400, BOARD_Y0}, P{400, BOARD_Y0 + 60}, 0.35f, 0));
    for (float x : {BOARD_X0 - 16, BOARD_X1}) {  // two posts and a beam with a little roof
        fillRect(c, x, BOARD_Y0 - 18, 16, 600 - BOARD_Y0 + 18, solid(rgb(40, 22, 12)));
        fillRect(c, x + 1.5f, BOARD_Y0 - 16, 13, 600 - BOARD_Y0 + 16, woodPaint(rgb(130, 84, 48), int(x), true));
    }
    fillPoly(c, {{BOARD_X0 - 34, BOARD_Y0 - 10}, {BOARD_X1 + 34, BOARD_Y0 - 10}, {BOARD_X1 + 20, BOARD_Y0 - 26}, {BOARD_X0 - 20, BOARD_Y0 - 26}},
             solid(rgb(40, 22, 12)));
    fillPoly(c, {{BOARD_X0 - 30, BOARD_Y0 - 12}, {BOARD_X1 + 30, BOARD_Y0 - 12}, {BOARD_X1 + 18, BOARD_Y0 - 24}, {BOARD_X0 - 18, BOARD_Y0 - 24}},
             woodPaint(rgb(150, 96, 54), 511, false));
}

struct Item {
    const char* file;
    const char* title;
    const char* line;  // a second, smaller line, or empty
};

void ropes(Canvas& c, float x, float y) {
    for (float dx : {60.f, 340.f}) {
        strokeLine(c, {{x + dx, y - 10}, {x + dx, y + 8}}, 2.6f, solid(rgb(60, 40, 20)));
        strokeLine(c, {{x + dx, y - 10}, {x + dx, y + 8}}, 1.4f, solid(rgb(196, 160, 100)));
        outlinedEllipse(c, P{x + dx, y + 8}, 2.4f, 2.4f, 0.8f, kOutline, solid(rgb(150, 150, 156)));
    }
}

void signPlank(Canvas& c, float x, float y, int slot, bool lit) {
    if (lit) fillPoly(c, roundRectPts(x + 1, y + 1, 398, 78, 12), solid(rgb(255, 200, 80), 0.9f));  // a golden glow
    Col wood = lit ? rgb(214, 150, 82) : rgb(150, 98, 56);
    outlinedPoly(c, roundRectPts(x + 7, y + 6, 386, 68, 9), 2.2f, kOutline, woodPaint(wood, 600 + slot * 7 + (lit ? 3 : 0), false));
    fillPoly(c, roundRectPts(x + 12, y + 11, 376, 58, 6), solid(rgb(40, 20, 8), 0.16f));
    fillRect(c, x + 16, y + 9, 368, 2, solid(rgb(255, 240, 200), lit ? 0.35f : 0.18f));
    ropes(c, x, y);
    if (lit) {
        drawStar(c, P{x + 34, y + 40}, 16, rgb(246, 200, 90), 1.4f);
        drawStar(c, P{x + 366, y + 40}, 16, rgb(246, 200, 90), 1.4f);
    }
}

void signText(Canvas& c, const Item& it, float x, float y, bool lit) {
    bool two = it.line[0] != 0;
    TextStyle t = boldText(two ? 30 : 36, lit ? goldPaint(y + 14, y + 52) : solid(rgb(236, 218, 180)), 2.4f);
    t.spacing = 2;
    t.shadowDx = 2;
    t.shadowDy = 2;
    t.shadowAlpha = 0.5f;
    while (textWidth(it.title, t) > 280) t.size -= 1;  // room for the stars of the lit sign
    drawText(c, it.title, x + 200, y + (two ? 31 : 40), t);
    if (two) {
        TextStyle s = boldText(14, solid(lit ? rgb(255, 244, 214) : rgb(226, 206, 166)), 1.4f);
        s.face = SLAB_REGULAR;
        drawText(c, it.line, x + 200, y + 58, s);
    }
}

// A sign at its slot, drawn in screen coordinates over its own piece of the board.
Image sign(const Canvas& board, const Item& it, int slot, bool lit) {
    float x = 200, y = 150.f + slot * 100;
    Canvas c = cropCanvas(board, int(x), int(y), 400, 80);
    signPlank(c, x, y, slot, lit);
    signText(c, it, x, y, lit);
    return finish(c, false);
}

void caption(Canvas& c, const std::string& s, float x, float y, Col fill) {
    TextStyle t = boldText(22, solid(fill), 2);
    t.shadowDx = 2;
    t.shadowDy = 2;
    t.shadowAlpha = 0.6f;
    float w = textWidth(s, t) + 28;
    outlinedPoly(c, roundRectPts(x - w / 2, y - 17, w, 34, 7), 2, kOutline, woodPaint(rgb(96, 62, 36), int(x), false));
    drawText(c, s, x, y, t);
}

// The scene behind every page of the menu: the desert at evening and the notice board.
Canvas boardScene() {
    Canvas c = newCanvas(800, 600, 1);
    drawDesertBackdrop(c, 330, 21);
    fillRect(c, 0, 330, 800, 270, dustPaint(330, 600, 23));
    fillRect(c, 0, 330, 800, 30, fade(rgb(80, 40, 20), P{0, 330}, P{0, 360}, 0.35f, 0));
    drawBoard(c);
    return c;
}

// A menu background: the title above the board and one cowboy on either side.
Image background(const Canvas& scene, bool onePlayer) {
    Canvas c = scene;
    TextStyle title = boldText(74, goldPaint(18, 84), 4);
    title.spacing = 6;
    title.shadowDx = 5;
    title.shadowDy = 5;
    title.shadowAlpha = 0.7f;
    drawText(c, "KORVADO", 400, 50, title);
    TextStyle sub = boldText(15, solid(rgb(255, 236, 196)), 1.6f);
    sub.spacing = 3;
    drawText(c, onePlayer ? "ONE PLAYER AGAINST THE COMPUTER" : "A DUEL FOR TWO PLAYERS", 400, 96, sub);
    for (int side = 0; side < 2; side++) {  // blue on the left facing right, red on the right facing left
        float k = 2.15f, mid = side ? 712.f : 88.f;
        Xf place = xfMul(xfMove(mid, 600 - 127 * k - 14), xfScale(side ? -k : k, k, P{0, 0}));
        place = xfMul(place, xfMove(-37, 0));
        fillEllipse(c, P{mid, 588}, 70, 12, solid(rgb(60, 30, 10), 0.35f));
        drawCowboy(c, side ? RED_COWBOY : BLUE_COWBOY, POSE_WALK0, place);
        std::string who = side ? (onePlayer ? "YOU" : "PLAYER 1") : (onePlayer ? "COMPUTER" : "PLAYER 2");
        caption(c, who, mid, 278, side ? rgb(255, 150, 130) : rgb(160, 200, 255));
    }
    TextStyle hint = boldText(13, solid(rgb(255, 240, 210)), 1.4f);
    hint.face = SLAB_REGULAR;
    drawText(c, "UP / DOWN to choose    ENTER to go    ESC to go back", 400, 576, hint);
    return finish(c, false);
}

}  // namespace

void makeMenuPictures(Pictures& out) {
    Canvas scene = boardScene();
    out.push_back({"menu/bgr.png", background(scene, false)});
    out.push_back({"menu/bgrsp.png", background(scene, true)});
    static const Item main[] = {{"ng", "NEW GAME", ""}, {"op", "INSTRUCTIONS", ""}, {"cr", "CREDITS", ""}, {"ex", "EXIT", ""}};
    static const Item types[] = {{"wh", "WHISKEY HUNT", "first to hold five bottles wins"},
                                 {"do", "SALOON BRAWL", "five lives each, a bottle gives one back"},
                                 {"su", "SHOWDOWN", "ten lives each and not a drop of whiskey"}};
    for (int i = 0; i < 4; i++)
        for (bool lit : {false, true})
            out.push_back({std::string("menu/") + main[i].file + (lit ? "a" : "") + ".png", sign(scene, main[i], i, lit)});
    for (int i = 0; i < 3; i++)
        for (bool lit : {false, true})
            out.push_back({std::string("menu/") + types[i].file + (lit ? "a" : "") + ".png", sign(scene, types[i], i, lit)});
}
