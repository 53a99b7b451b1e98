// img_icon.cpp: the program icon, a cowboy hat with a red band, drawn afresh at every size it is shipped in.
#include "assetgen.h"
#include "img_art.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const Col HAT = rgb(150, 98, 52);
const Col HAT_LIGHT = rgb(196, 142, 84);
const Col RIM = rgb(42, 22, 10);
const Col BAND = rgb(178, 34, 30);

// A quadratic curve from a through control point k to b, as n points after a.
void curve(std::vector<P>& pts, P a, P k, P b, int n) {
    for (int i = 1; i <= n; i++) {
        float t = float(i) / n, u = 1 - t;
        pts.push_back(P{u * u * a.x + 2 * u * t * k.x + t * t * b.x, u * u * a.y + 2 * u * t * k.y + t * t * b.y});
    }
}

// The brim, seen a little from above: curled up at both tips, dipping towards the viewer in the middle.
std::vector<P> brimPts() {
    std::vector<P> pts{P{3, 52}};
    curve(pts, P{3, 52}, P{14, 86}, P{50, 84}, 12);
    curve(pts, P{50, 84}, P{86, 86}, P{97, 52}, 12);
    curve(pts, P{97, 52}, P{86, 66}, P{50, 67}, 12);
    curve(pts, P{50, 67}, P{14, 66}, P{3, 52}, 12);
    return pts;
}

// The crown with its pinched top: two bumps either side of the crease.
std::vector<P> crownPts() {
    std::vector<P> pts{P{25, 68}};
    curve(pts, P{25, 68}, P{21, 40}, P{30, 22}, 8);
    curve(pts, P{30, 22}, P{40, 14}, P{50, 24}, 8);
    curve(pts, P{50, 24}, P{60, 14}, P{70, 22}, 8);
    curve(pts, P{70, 22}, P{79, 40}, P{75, 68}, 8);
    curve(pts, P{75, 68}, P{50, 74}, P{25, 68}, 8);
    return pts;
}

ImageRGBA drawIcon(int size) {
    Canvas c = newCanvas(size, size, 8);
    setXf(c, xfScale(size / 100.f, size / 100.f, P{0, 0}));
    float rim = std::max(1.f, size / 40.f) * 100.f / size;  // at least one pixel of outline at every size
    Paint felt = grad(HAT_LIGHT, HAT, P{30, 20}, P{70, 80});
    outlinedPoly(c, crownPts(), rim, RIM, felt);
    std::vector<P> band{P{23.5f, 52}, P{76.5f, 52}, P{75.6f, 64}, P{24.4f, 64}};
    fillPoly(c, band, grad(scaleCol(BAND, 1.2f), BAND, P{0, 52}, P{0, 64}));
    if (size >= 32) strokeLine(c, {P{50, 26}, P{50, 44}}, rim * 0.8f, solid(RIM, 0.6f));  // the crease
    if (size >= 48) drawStar(c, P{50, 58}, 7, rgb(236, 190, 80), rim * 0.5f);
    outlinedPoly(c, brimPts(), rim, RIM, grad(HAT_LIGHT, scaleCol(HAT, 0.8f), P{50, 56}, P{50, 86}));
    return finishRGBA(c);
}

}  // namespace

// The hicolor theme's sizes for the launcher, and images/icon.png for the window.
void makeIcons(const std::string& root) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        std::string dir = root + "/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        ensureDir(dir);
        ImageRGBA icon = drawIcon(size);
        bool ok = writePngRGBA(dir + "/korvado.png", icon);
        if (ok && size == 64) ok = writePngRGBA(root + "/images/icon.png", icon);
        if (!ok) {
            fprintf(stderr, "assetgen: cannot write the %d pixel icon\n", size);
            exit(1);
        }
    }
}
