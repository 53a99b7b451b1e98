// img_net.cpp: the pictures of korvado_net's own screens: their paper, and two letterings as glyph sheets.
#include "img_art.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

const int COLUMNS = 16, ROWS = 6;  // the characters 32 to 127, one cell each, row by row

// A glyph sheet: each printable ASCII character in a cell of its own, drawn from the cell's left edge.
// The first pixel row of a cell is no picture: pure red over the character's advance tells the game how far
// to move on after it. Pure green is transparent, as in every keyed picture.
Image glyphSheet(const TextStyle& st, int cellW, int cellH) {
    Canvas c = newCanvas(COLUMNS * cellW, ROWS * cellH, 4);
    std::vector<int> advance(COLUMNS * ROWS);
    for (int i = 0; i < COLUMNS * ROWS; i++) {
        std::string ch(1, char(32 + i));
        float x = float(i % COLUMNS * cellW + 2), y = float(i / COLUMNS * cellH) + cellH * 0.55f;
        if (i < COLUMNS * ROWS - 1) drawText(c, ch, x, y, st, -1);
        advance[i] = std::min(cellW, int(std::ceil(textWidth(ch, st) + st.spacing)) + 2);
    }
    Image im = finish(c, true);
    for (int i = 0; i < COLUMNS * ROWS; i++)
        for (int x = 0; x < cellW; x++) {
            unsigned char* p = &im.px[(size_t(i / COLUMNS * cellH) * im.w + i % COLUMNS * cellW + x) * 3];
            bool mark = x < advance[i];
            p[0] = mark ? 255 : 0, p[1] = mark ? 0 : 255, p[2] = 0;
        }
    return im;
}

Image netPaper() {
    Canvas c = newCanvas(800, 600, 1);
    paperOnWall(c);
    drawStar(c, P{400, 500}, 14, rgb(220, 170, 70), 1.2f);
    TextStyle foot;
    foot.face = SLAB_BOLD;
    foot.size = 16;
    foot.fill = solid(rgb(110, 80, 54));
    drawText(c, "ESC or closing the window ends the game", 400, 546, foot);
    return finish(c, false);
}

}  // namespace

void makeNetPictures(Pictures& out) {
    out.push_back({"net/paper.png", netPaper()});
    TextStyle ink;
    ink.face = SLAB_REGULAR;
    ink.size = 21;
    ink.fill = solid(rgb(54, 34, 20));
    out.push_back({"net/ink.png", glyphSheet(ink, 24, 34)});
    TextStyle head = boldText(34, solid(rgb(130, 34, 22)), 0);
    head.spacing = 2;
    out.push_back({"net/heading.png", glyphSheet(head, 40, 52)});
}
