// img_sheet.cpp: the contact sheet: every picture of the game on a grey checker, with its file name.
#include "img_art.h"

#include <algorithm>

namespace {

const int SHEET_W = 1400, PAD = 10, LABEL = 16;

float fitScale(const Image& im) {
    if (im.w >= 800) return 0.25f;
    if (im.w >= 300) return 0.5f;
    return 1.f;
}

TextStyle labelStyle() {
    TextStyle t;
    t.face = SLAB_BOLD;
    t.size = 9;
    t.fill = solid(rgb(236, 226, 206));
    return t;
}

float labelWidth(const std::string& s) { return textWidth(s, labelStyle()) + 4; }

struct Cell {
    float x, y, k;
};

// Packs the pictures in rows, in the order they were made; returns the sheet's height.
int layout(const Pictures& all, std::vector<Cell>& cells) {
    float x = PAD, y = PAD, rowH = 0;
    for (const Picture& p : all) {
        float k = fitScale(p.img), w = std::max(p.img.w * k, labelWidth(p.path)), h = p.img.h * k + LABEL;
        if (x + w > SHEET_W - PAD) {
            x = PAD;
            y += rowH + PAD;
            rowH = 0;
        }
        cells.push_back(Cell{x, y, k});
        x += w + PAD;
        rowH = std::max(rowH, h);
    }
    return int(y + rowH + PAD);
}

void checker(Canvas& c, float x, float y, float w, float h) {
    fillRect(c, x, y, w, h, solid(rgb(150, 150, 150)));
    for (int j = 0; j * 8 < h; j++)
        for (int i = 0; i * 8 < w; i++)
            if ((i + j) % 2) fillRect(c, x + i * 8, y + j * 8, std::min(8.f, w - i * 8), std::min(8.f, h - j * 8), solid(rgb(110, 110, 110)));
}

}  // namespace

Image makeContactSheet(const Pictures& all) {
    std::vector<Cell> cells;
    int h = layout(all, cells);
    Canvas c = newCanvas(SHEET_W, h, 1);
    fillCanvas(c, solid(rgb(46, 40, 38)));
    TextStyle label = labelStyle();
    for (size_t i = 0; i < all.size(); i++) {
        const Image& im = all[i].img;
        const Cell& cl = cells[i];
        checker(c, cl.x, cl.y, im.w * cl.k, im.h * cl.k);
        drawImage(c, im, cl.x, cl.y, cl.k);
        drawText(c, all[i].path, cl.x, cl.y + im.h * cl.k + 8, label, -1);
    }
    return finish(c, false);
}
