// img_net.cpp: the pictures of korvado_net's own screens: their paper, and two letterings as glyph sheets.
#include "img_art.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

const int COLUMNS = 16, ROWS = 6;  // the characters 32 to 127, one cell each, row by row

// The paper's average colour where the text goes, for the letters' soft edges.
Col paperTone(const Image& paper) {
    double sum[3] = {0, 0, 0};
    int n = 0;
    for (int y = 60; y < 420; y += 3)
        for (int x = 100; x < 700; x += 3, n++)
            for (int k = 0; k < 3; k++) sum[k] += paper.px[(size_t(y) * paper.w + x) * 3 + k];
    return rgb(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n));
}

// A keyed picture of letters for the paper: each edge pixel is the ink blended with the paper's tone by its
// coverage, the barely covered ones are the key. (A keyed figure's dark rim would fill the small counters.)
Image keyedOnPaper(const ImageRGBA& rgba, Col paper) {
    Image im;
    im.w = rgba.w;
    im.h = rgba.h;
    im.keyed = true;
    im.px.assign(size_t(im.w) * im.h * 3, 0);
    const float bg[3] = {paper.r * 255, paper.g * 255, paper.b * 255};
    const unsigned char key[3] = {0, 255, 0};
    for (size_t i = 0; i < size_t(im.w) * im.h; i++) {
        float a = rgba.px[i * 4 + 3] / 255.f;
        for (int k = 0; k < 3; k++)
            im.px[i * 3 + k] = a < 0.2f ? key[k] : (unsigned char)std::lround(rgba.px[i * 4 + k] * a + bg[k] * (1 - a));
    }
    return im;
}

// A glyph sheet: each printable ASCII character in a cell of its own, drawn from the cell's left edge.
// The first pixel row of a cell is no picture: pure red over the character's advance tells the game how far
// to move on after it. Pure green is transparent, as in every keyed picture.
Image glyphSheet(const TextStyle& st, int cellW, int cellH, Col paper) {
    Canvas c = newCanvas(COLUMNS * cellW, ROWS * cellH, 4);
    std::vector<int> advance(COLUMNS * ROWS);
    for (int i = 0; i < COLUMNS * ROWS; i++) {
        std::string ch(1, char(32 + i));
        float x = float(i % COLUMNS * cellW + 2), y = float(i / COLUMNS * cellH) + cellH * 0.55f;
        if (i < COLUMNS * ROWS - 1) drawText(c, ch, x, y, st, -1);
        advance[i] = std::min(cellW, int(std::ceil(textWidth(ch, st) + st.spacing)) + 2);
    }
    Image im = keyedOnPaper(finishRGBA(c), paper);
    for (int i = 0; i < COLUMNS * ROWS; i++)
        for (int x = 0; x < cellW; x++) {
            unsigned char* p = &im.px[(size_t(i / COLUMNS * cellH) * im.w + i % COLUMNS * cellW + x) * 3];
            bool mark = x < advance[i];
            p[0] = mark ? 255 : 0, p[1] = mark ? 0 : 255, p[2] = 0;
        }
    return im;
}

// The paper alone, for the settings page of every program.
Image plainPaper() {
    Canvas c = newCanvas(800, 600, 1);
    paperOnWall(c);
    return finish(c, false);
}

// The paper of korvado_net's screens, its foot saying what ends them.
Image netPaper(const char* foot_line) {
    Canvas c = newCanvas(800, 600, 1);
    paperOnWall(c);
    drawStar(c, P{400, 500}, 14, rgb(220, 170, 70), 1.2f);
    TextStyle foot;
    foot.face = SLAB_BOLD;
    foot.size = 16;
    foot.fill = solid(rgb(110, 80, 54));
    drawText(c, foot_line, 400, 546, foot);
    return finish(c, false);
}

}  // namespace

void makeNetPictures(Pictures& out) {
    Image paper = netPaper("ESC or closing the window ends the game");
    out.push_back({"net/front.png", netPaper("ESC goes back, closing the window ends the game")});
    Col tone = paperTone(paper);
    out.push_back({"net/paper.png", paper});
    out.push_back({"net/plain.png", plainPaper()});
    TextStyle ink;
    ink.face = SLAB_REGULAR;
    ink.size = 21;
    ink.fill = solid(rgb(54, 34, 20));
    out.push_back({"net/ink.png", glyphSheet(ink, 24, 34, tone)});
    TextStyle head = boldText(34, solid(rgb(130, 34, 22)), 0);
    head.spacing = 2;
    out.push_back({"net/heading.png", glyphSheet(head, 40, 52, tone)});
}
