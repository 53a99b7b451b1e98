// img_kit.cpp: the picture generator's drawing kit: a supersampled canvas, shapes, lettering, PNG output.
#include "img_kit.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <map>
#include <mutex>

const Col kKey{0, 1, 0};
const Col kOutline{38 / 255.f, 22 / 255.f, 14 / 255.f};

// ---- colours and transforms ----

Col rgb(int r, int g, int b) { return Col{r / 255.f, g / 255.f, b / 255.f}; }

Col mix(Col a, Col b, float t) { return Col{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Col scaleCol(Col c, float k) { return Col{c.r * k, c.g * k, c.b * k}; }

Col ramp(const std::vector<Stop>& stops, float t) {
    if (t <= stops.front().t) return stops.front().c;
    for (size_t i = 1; i < stops.size(); i++)
        if (t <= stops[i].t) return mix(stops[i - 1].c, stops[i].c, (t - stops[i - 1].t) / (stops[i].t - stops[i - 1].t));
    return stops.back().c;
}

Xf xfMul(const Xf& o, const Xf& i) {
    Xf m;
    m.a = o.a * i.a + o.c * i.b;
    m.b = o.b * i.a + o.d * i.b;
    m.c = o.a * i.c + o.c * i.d;
    m.d = o.b * i.c + o.d * i.d;
    m.e = o.a * i.e + o.c * i.f + o.e;
    m.f = o.b * i.e + o.d * i.f + o.f;
    return m;
}

Xf xfMove(float dx, float dy) {
    Xf m;
    m.e = dx;
    m.f = dy;
    return m;
}

Xf xfScale(float sx, float sy, P about) {
    Xf m;
    m.a = sx;
    m.d = sy;
    m.e = about.x - sx * about.x;
    m.f = about.y - sy * about.y;
    return m;
}

Xf xfRotate(float degrees, P about) {
    float r = degrees * float(M_PI) / 180.f, cs = std::cos(r), sn = std::sin(r);
    Xf m;
    m.a = cs;
    m.b = sn;
    m.c = -sn;
    m.d = cs;
    m.e = about.x - cs * about.x + sn * about.y;
    m.f = about.y - sn * about.x - cs * about.y;
    return m;
}

Xf xfInverse(const Xf& m) {
    float det = m.a * m.d - m.b * m.c;
    Xf v;
    v.a = m.d / det;
    v.b = -m.b / det;
    v.c = -m.c / det;
    v.d = m.a / det;
    v.e = -(v.a * m.e + v.c * m.f);
    v.f = -(v.b * m.e + v.d * m.f);
    return v;
}

P xfApply(const Xf& m, P p) { return P{m.a * p.x + m.c * p.y + m.e, m.b * p.x + m.d * p.y + m.f}; }

// ---- noise: integer hashing only, so every run gives the same values ----

float hashNoise(int x, int y, int seed) {
    unsigned h = unsigned(x) * 374761393u + unsigned(y) * 668265263u + unsigned(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / float(0x1000000);
}

float valueNoise(float x, float y, int seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    float a = hashNoise(ix, iy, seed), b = hashNoise(ix + 1, iy, seed);
    float c = hashNoise(ix, iy + 1, seed), d = hashNoise(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, int seed, int octaves) {
    float sum = 0, amp = 1, norm = 0;
    for (int i = 0; i < octaves; i++) {
        sum += valueNoise(x, y, seed + i * 31) * amp;
        norm += amp;
        amp *= 0.5f;
        x *= 2.03f;
        y *= 2.03f;
    }
    return sum / norm;
}

unsigned rng(unsigned& s) {
    s = s * 1664525u + 1013904223u;
    return s >> 8;
}

float rngf(unsigned& s) { return (rng(s) & 0xffff) / 65536.f; }

// ---- paint ----

Paint solid(Col c, float alpha) {
    Paint p;
    p.c0 = p.c1 = c;
    p.alpha = alpha;
    return p;
}

Paint grad(Col c0, Col c1, P from, P to, float alpha) {
    Paint p;
    p.c0 = c0;
    p.c1 = c1;
    float dx = to.x - from.x, dy = to.y - from.y, len2 = dx * dx + dy * dy;
    if (len2 < 1e-6f) len2 = 1e-6f;
    p.gx = dx / len2;
    p.gy = dy / len2;
    p.g0 = -(from.x * dx + from.y * dy) / len2;
    p.alpha = alpha;
    return p;
}

Paint withNoise(Paint p, float amount, float fx, float fy, int seed) {
    p.noise = amount;
    p.nfx = fx;
    p.nfy = fy;
    p.seed = seed;
    return p;
}

Paint shaded(Col base, P centre, float radius) {
    P from{centre.x - radius * 0.7f, centre.y - radius * 0.7f};
    P to{centre.x + radius * 0.7f, centre.y + radius * 0.7f};
    return grad(scaleCol(base, 1.18f), scaleCol(base, 0.72f), from, to);
}

Paint painter(std::function<Col(float, float)> fn, float alpha) {
    Paint p;
    p.fn = std::move(fn);
    p.alpha = alpha;
    return p;
}

Paint fade(Col c, P from, P to, float a0, float a1) {
    Paint p = grad(c, c, from, to, a0);
    p.alpha1 = a1;
    return p;
}

// The colour at a design point; a fading paint also sets the cover there.
static inline Col paintAt(const Paint& p, float x, float y, float& alpha) {
    Col c;
    float t = std::min(1.f, std::max(0.f, p.gx * x + p.gy * y + p.g0));
    c = p.fn ? p.fn(x, y) : mix(p.c0, p.c1, t);
    alpha = p.alpha1 >= 0 ? p.alpha + (p.alpha1 - p.alpha) * t : p.alpha;
    if (p.noise != 0) c = scaleCol(c, 1 + p.noise * (valueNoise(x * p.nfx, y * p.nfy, p.seed) - 0.5f) * 2);
    return c;
}

static inline void blendPx(float* d, Col c, float a) {
    if (a >= 1) {
        d[0] = c.r, d[1] = c.g, d[2] = c.b, d[3] = 1;
        return;
    }
    float k = 1 - a;
    d[0] = c.r * a + d[0] * k;
    d[1] = c.g * a + d[1] * k;
    d[2] = c.b * a + d[2] * k;
    d[3] = a + d[3] * k;
}

// ---- the canvas ----

Canvas newCanvas(int w, int h, int ss) {
    Canvas c;
    c.w = w;
    c.h = h;
    c.ss = ss;
    c.px.assign(size_t(w) * ss * h * ss * 4, 0.f);
    return c;
}

Canvas cropCanvas(const Canvas& src, int x, int y, int w, int h) {
    Canvas c = newCanvas(w, h, src.ss);
    int ss = src.ss, W = src.w * ss;
    for (int j = 0; j < h * ss; j++) {
        const float* from = &src.px[(size_t(y * ss + j) * W + x * ss) * 4];
        std::copy(from, from + size_t(w) * ss * 4, &c.px[size_t(j) * w * ss * 4]);
    }
    setXf(c, xfMove(-float(x), -float(y)));
    return c;
}

void setClip(Canvas& c, int x0, int y0, int x1, int y1) {
    c.clip[0] = x0, c.clip[1] = y0, c.clip[2] = x1, c.clip[3] = y1;
}

void clearClip(Canvas& c) { setClip(c, 0, 0, 1 << 20, 1 << 20); }

void setXf(Canvas& c, const Xf& m) {
    c.xf = m;
    c.inv = xfInverse(m);
}

// Textures cost more than edges: a painted or noisy fill is looked up once per picture pixel and shared by
// that pixel's samples.
struct TexCache {
    std::vector<Col> col;
    std::vector<float> alpha;
    std::vector<int> row;
};

// Fills the samples whose centres lie within [xa, xb) on sample row j.
static void fillSpan(Canvas& c, int j, float xa, float xb, const Paint& p, TexCache* tc) {
    int W = std::min(c.w, c.clip[2]) * c.ss;
    int ia = std::max(c.clip[0] * c.ss, int(std::ceil(xa - 0.5f))), ib = std::min(W, int(std::ceil(xb - 0.5f)));
    if (ia >= ib) return;
    W = c.w * c.ss;
    float s = 1.f / c.ss, py = (j + 0.5f) * s;
    float* row = &c.px[(size_t(j) * W + ia) * 4];
    float a;
    if (tc) {
        int oy = j / c.ss;
        for (int i = ia; i < ib; i++, row += 4) {
            int ox = i / c.ss;
            if (tc->row[ox] != oy) {
                P d = xfApply(c.inv, P{ox + 0.5f, oy + 0.5f});
                tc->col[ox] = paintAt(p, d.x, d.y, tc->alpha[ox]);
                tc->row[ox] = oy;
            }
            blendPx(row, tc->col[ox], tc->alpha[ox]);
        }
        return;
    }
    P d = xfApply(c.inv, P{(ia + 0.5f) * s, py});
    float stx = c.inv.a * s, sty = c.inv.b * s;
    for (int i = ia; i < ib; i++, row += 4, d.x += stx, d.y += sty) {
        Col col = paintAt(p, d.x, d.y, a);
        blendPx(row, col, a);
    }
}

// The polygon's corners in sample coordinates; ymin and ymax get its extent.
static std::vector<P> toSamples(const Canvas& c, const std::vector<P>& pts, float& ymin, float& ymax) {
    std::vector<P> q(pts.size());
    ymin = 1e9f, ymax = -1e9f;
    for (size_t i = 0; i < pts.size(); i++) {
        P t = xfApply(c.xf, pts[i]);
        q[i] = P{t.x * c.ss, t.y * c.ss};
        ymin = std::min(ymin, q[i].y);
        ymax = std::max(ymax, q[i].y);
    }
    return q;
}

// Where the polygon's edges cross the line y, sorted: spans run between pairs (even-odd rule).
static void crossings(const std::vector<P>& q, float y, std::vector<float>& xs) {
    xs.clear();
    for (size_t i = 0; i < q.size(); i++) {
        P a = q[i], b = q[(i + 1) % q.size()];
        if ((a.y <= y) != (b.y <= y)) xs.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
}

// Adds the part of each pixel that [xa, xb) covers, times w, to a row of coverage.
static void addSpan(std::vector<float>& cov, float xa, float xb, float w, int& lo, int& hi) {
    int W = int(cov.size());
    xa = std::max(0.f, xa), xb = std::min(float(W), xb);
    if (xb <= xa) return;
    int ia = int(xa), ib = std::min(W - 1, int(xb));
    lo = std::min(lo, ia), hi = std::max(hi, ib);
    if (ia == ib) {
        cov[ia] += (xb - xa) * w;
        return;
    }
    cov[ia] += (ia + 1 - xa) * w;
    for (int i = ia + 1; i < ib; i++) cov[i] += w;
    if (ib < W) cov[ib] += (xb - ib) * w;
}

// At one sample per pixel the edges are smoothed by coverage: four sub-rows per row of pixels, each span
// counted with its exact width, and every pixel blended once with the paint looked up at its centre.
static void fillCovered(Canvas& c, const std::vector<P>& q, float ymin, float ymax, const Paint& p) {
    const int SUB = 4;
    std::vector<float> cov(c.w, 0.f), xs;
    int j0 = std::max(c.clip[1], int(std::floor(ymin))), j1 = std::min(std::min(c.h, c.clip[3]) - 1, int(std::ceil(ymax)));
    float cx0 = float(c.clip[0]), cx1 = float(c.clip[2]);
    for (int j = j0; j <= j1; j++) {
        int lo = c.w, hi = -1;
        for (int k = 0; k < SUB; k++) {
            crossings(q, j + (k + 0.5f) / SUB, xs);
            for (size_t i = 0; i + 1 < xs.size(); i += 2) addSpan(cov, std::max(cx0, xs[i]), std::min(cx1, xs[i + 1]), 1.f / SUB, lo, hi);
        }
        for (int i = lo; i <= hi; i++) {
            if (cov[i] <= 0) continue;
            float a;
            P d = xfApply(c.inv, P{i + 0.5f, j + 0.5f});
            Col col = paintAt(p, d.x, d.y, a);
            blendPx(&c.px[(size_t(j) * c.w + i) * 4], col, a * std::min(1.f, cov[i]));
            cov[i] = 0;
        }
    }
}

// Even-odd scanline fill: with coverage at one sample per pixel, else sampled at the centres of the samples.
void fillPoly(Canvas& c, const std::vector<P>& pts, const Paint& p) {
    size_t n = pts.size();
    if (n < 3) return;
    float ymin, ymax;
    std::vector<P> q = toSamples(c, pts, ymin, ymax);
    if (c.ss == 1) {
        fillCovered(c, q, ymin, ymax, p);
        return;
    }
    TexCache cache, *tc = nullptr;
    if (p.fn || p.noise != 0) {
        cache = TexCache{std::vector<Col>(c.w), std::vector<float>(c.w), std::vector<int>(c.w, -1)};
        tc = &cache;
    }
    int H = std::min(c.h, c.clip[3]) * c.ss;
    int j0 = std::max(c.clip[1] * c.ss, int(std::floor(ymin))), j1 = std::min(H - 1, int(std::ceil(ymax)));
    std::vector<float> xs;
    for (int j = j0; j <= j1; j++) {
        crossings(q, j + 0.5f, xs);
        for (size_t k = 0; k + 1 < xs.size(); k += 2) fillSpan(c, j, xs[k], xs[k + 1], p, tc);
    }
}

void fillRect(Canvas& c, float x, float y, float w, float h, const Paint& p) {
    fillPoly(c, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, p);
}

std::vector<P> ellipsePts(P ctr, float rx, float ry, float degrees, int n) {
    std::vector<P> v(n);
    float r = degrees * float(M_PI) / 180.f, cs = std::cos(r), sn = std::sin(r);
    for (int i = 0; i < n; i++) {
        float t = 2 * float(M_PI) * i / n, ex = std::cos(t) * rx, ey = std::sin(t) * ry;
        v[i] = P{ctr.x + ex * cs - ey * sn, ctr.y + ex * sn + ey * cs};
    }
    return v;
}

void fillEllipse(Canvas& c, P ctr, float rx, float ry, const Paint& p, float degrees) {
    int n = std::max(16, std::min(96, int((rx + ry) * 2)));
    fillPoly(c, ellipsePts(ctr, rx, ry, degrees, n), p);
}

void fillCapsule(Canvas& c, P a, P b, float ra, float rb, const Paint& p) {
    float dx = b.x - a.x, dy = b.y - a.y, len = std::sqrt(dx * dx + dy * dy);
    if (len < 1e-4f) {
        fillEllipse(c, a, std::max(ra, rb), std::max(ra, rb), p);
        return;
    }
    float base = std::atan2(dy, dx);
    std::vector<P> v;
    const int n = 12;
    for (int i = 0; i <= n; i++) {  // the round end around b, then around a
        float t = base - float(M_PI) / 2 + float(M_PI) * i / n;
        v.push_back(P{b.x + std::cos(t) * rb, b.y + std::sin(t) * rb});
    }
    for (int i = 0; i <= n; i++) {
        float t = base + float(M_PI) / 2 + float(M_PI) * i / n;
        v.push_back(P{a.x + std::cos(t) * ra, a.y + std::sin(t) * ra});
    }
    fillPoly(c, v, p);
}

void strokeLine(Canvas& c, const std::vector<P>& pts, float width, const Paint& p) {
    for (size_t i = 0; i + 1 < pts.size(); i++) fillCapsule(c, pts[i], pts[i + 1], width / 2, width / 2, p);
}

void fillCanvas(Canvas& c, const Paint& p) {
    Xf keep = c.xf;
    setXf(c, Xf());
    fillRect(c, 0, 0, float(c.w), float(c.h), p);
    setXf(c, keep);
}

void outlinedPoly(Canvas& c, const std::vector<P>& pts, float rim, Col rimCol, const Paint& p) {
    if (rim > 0) {
        fillPoly(c, pts, solid(rimCol));
        std::vector<P> ring = pts;
        ring.push_back(pts[0]);
        strokeLine(c, ring, rim * 2, solid(rimCol));
    }
    fillPoly(c, pts, p);
}

void outlinedEllipse(Canvas& c, P ctr, float rx, float ry, float rim, Col rimCol, const Paint& p, float degrees) {
    if (rim > 0) fillEllipse(c, ctr, rx + rim, ry + rim, solid(rimCol), degrees);
    fillEllipse(c, ctr, rx, ry, p, degrees);
}

std::vector<P> roundRectPts(float x, float y, float w, float h, float r) {
    std::vector<P> v;
    P corners[4] = {{x + w - r, y + r}, {x + w - r, y + h - r}, {x + r, y + h - r}, {x + r, y + r}};
    for (int k = 0; k < 4; k++)
        for (int i = 0; i <= 6; i++) {
            float t = float(M_PI) / 2 * (k - 1) + float(M_PI) / 2 * i / 6;
            v.push_back(P{corners[k].x + std::cos(t) * r, corners[k].y + std::sin(t) * r});
        }
    return v;
}

// ---- lettering ----

// FreeType's library is shared by the painting threads: one of them at a time opens, renders or closes.
static std::mutex ttfLock;
static thread_local std::map<std::pair<int, int>, TTF_Font*> fonts;

void fontsInit() {
    if (!TTF_WasInit() && TTF_Init() != 0) {
        fprintf(stderr, "assetgen: SDL_ttf: %s\n", TTF_GetError());
        exit(1);
    }
}

void fontsDone() {
    std::lock_guard<std::mutex> hold(ttfLock);
    for (auto& f : fonts) TTF_CloseFont(f.second);
    fonts.clear();
}

static TTF_Font* font(Face face, int px) {
    auto key = std::make_pair(int(face), px);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    static const char* files[] = {
        "/usr/share/fonts/opentype/roboto/slab/RobotoSlab-Bold.otf",
        "/usr/share/fonts/opentype/roboto/slab/RobotoSlab-Regular.otf",
        "/usr/share/fonts/opentype/roboto/slab/RobotoSlab-Light.otf",
    };
    std::lock_guard<std::mutex> hold(ttfLock);
    TTF_Font* f = TTF_OpenFont(files[face], px);
    if (!f) {
        fprintf(stderr, "assetgen: cannot open font %s: %s\n", files[face], TTF_GetError());
        exit(1);
    }
    TTF_SetFontHinting(f, TTF_HINTING_NONE);
    fonts[key] = f;
    return f;
}

// Text is measured and drawn at the same sample scale, so widths agree with what is drawn.
static int fontPx(const TextStyle& st, int ss) { return std::max(4, int(std::lround(st.size * ss))); }

// Where each piece of a line starts: the whole line at once, or letter by letter when it is spaced out.
// Measured without a rim, so the rim and the letters line up.
static int layoutLine(TTF_Font* f, const std::string& s, float spacingPx, std::vector<std::string>& parts, std::vector<int>& pens) {
    parts.clear();
    pens.clear();
    if (spacingPx == 0) parts.push_back(s);
    else
        for (char ch : s) parts.push_back(std::string(1, ch));
    float pen = 0;
    for (const std::string& part : parts) {
        int w = 0, h = 0;
        pens.push_back(int(std::lround(pen)));
        TTF_SizeUTF8(f, part.c_str(), &w, &h);
        pen += w + spacingPx;
    }
    return int(std::lround(pen - (parts.empty() ? 0 : spacingPx)));
}

float textWidth(const std::string& s, const TextStyle& st) {
    const int ss = 4;
    std::vector<std::string> parts;
    std::vector<int> pens;
    TTF_Font* f = font(st.face, fontPx(st, ss));
    std::lock_guard<std::mutex> hold(ttfLock);
    return layoutLine(f, s, st.spacing * ss, parts, pens) / float(ss);
}

// Renders the pieces into one coverage mask (8-bit, w x h), with the font's current rim.
static std::vector<unsigned char> renderMask(TTF_Font* f, const std::vector<std::string>& parts, const std::vector<int>& pens,
                                             int width, int& w, int& h) {
    int rim = TTF_GetFontOutline(f);
    w = width + 2 * rim + 8;
    h = TTF_FontHeight(f) + 2 * rim;
    std::vector<unsigned char> m(size_t(w) * h, 0);
    SDL_Color white = {255, 255, 255, 0};
    for (size_t k = 0; k < parts.size(); k++) {
        SDL_Surface* g = TTF_RenderUTF8_Blended(f, parts[k].c_str(), white);
        if (!g) continue;
        SDL_LockSurface(g);
        for (int y = 0; y < g->h && y < h; y++)
            for (int x = 0; x < g->w && pens[k] + x < w; x++) {
                Uint32 v = ((Uint32*)((Uint8*)g->pixels + y * g->pitch))[x];
                unsigned char a = (unsigned char)((v & g->format->Amask) >> g->format->Ashift);
                unsigned char& d = m[size_t(y) * w + pens[k] + x];
                d = std::max(d, a);
            }
        SDL_UnlockSurface(g);
        SDL_FreeSurface(g);
    }
    return m;
}

static void stampMask(Canvas& c, const std::vector<unsigned char>& m, int mw, int mh, int ox, int oy, const Paint& p) {
    int W = c.w * c.ss, H = c.h * c.ss;
    float s = 1.f / c.ss;
    for (int y = 0; y < mh; y++) {
        int cy = oy + y;
        if (cy < 0 || cy >= H) continue;
        for (int x = 0; x < mw; x++) {
            int cx = ox + x;
            unsigned char a = m[size_t(y) * mw + x];
            if (!a || cx < 0 || cx >= W) continue;
            float pa;
            P d = xfApply(c.inv, P{(cx + 0.5f) * s, (cy + 0.5f) * s});
            Col col = paintAt(p, d.x, d.y, pa);
            blendPx(&c.px[(size_t(cy) * W + cx) * 4], col, pa * a / 255.f);
        }
    }
}

void drawText(Canvas& c, const std::string& s, float x, float y, const TextStyle& st, int align) {
    int ss = c.ss, px = fontPx(st, ss), rim = int(std::lround(st.outline * ss));
    TTF_Font* f = font(st.face, px);
    std::unique_lock<std::mutex> hold(ttfLock);
    int minx, maxx, miny, maxy, adv;
    TTF_GlyphMetrics(f, 'H', &minx, &maxx, &miny, &maxy, &adv);
    P at = xfApply(c.xf, P{x, y});
    x = at.x, y = at.y;
    std::vector<std::string> parts;
    std::vector<int> pens;
    int w = layoutLine(f, s, st.spacing * ss, parts, pens);
    float left = x * ss - (align < 0 ? 0.f : align == 0 ? w / 2.f : float(w));
    float top = y * ss + maxy / 2.f - TTF_FontAscent(f);
    int ox = int(std::lround(left)), oy = int(std::lround(top)), mw, mh;
    std::vector<unsigned char> body = renderMask(f, parts, pens, w, mw, mh), ring;
    int rw = 0, rh = 0;
    if (rim > 0 || st.shadowAlpha > 0) {
        TTF_SetFontOutline(f, rim);
        ring = renderMask(f, parts, pens, w, rw, rh);
        TTF_SetFontOutline(f, 0);
    }
    hold.unlock();
    if (rim > 0 || st.shadowAlpha > 0) {
        int sdx = int(std::lround(st.shadowDx * ss)), sdy = int(std::lround(st.shadowDy * ss));
        if (st.shadowAlpha > 0) stampMask(c, ring, rw, rh, ox - rim + sdx, oy - rim + sdy, solid(st.shadowCol, st.shadowAlpha));
        if (rim > 0) stampMask(c, ring, rw, rh, ox - rim, oy - rim, solid(st.outlineCol));
    }
    stampMask(c, body, mw, mh, ox, oy, st.fill);
}

// ---- finished pictures ----

static unsigned char toByte(float v) { return (unsigned char)(std::min(1.f, std::max(0.f, v)) * 255 + 0.5f); }

// Nothing but the key may be pure green, and nothing may come close to it.
static void keepOffGreen(unsigned char* p) {
    if (p[1] > 200 && p[0] < 60 && p[2] < 60) p[1] = 200;
}

bool isKey(const Image& im, int x, int y) {
    const unsigned char* p = &im.px[(size_t(y) * im.w + x) * 3];
    return im.keyed && p[0] == 0 && p[1] == 255 && p[2] == 0;
}

static void setPx(Image& im, int x, int y, Col c) {
    unsigned char* o = &im.px[(size_t(y) * im.w + x) * 3];
    o[0] = toByte(c.r);
    o[1] = toByte(c.g);
    o[2] = toByte(c.b);
}

// Grows a one-pixel dark rim around every covered pixel, into the key.
static void growRim(Image& im, const std::vector<char>& solidPx) {
    for (int y = 0; y < im.h; y++)
        for (int x = 0; x < im.w; x++) {
            if (solidPx[size_t(y) * im.w + x]) continue;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; dy++)
                for (int dx = -1; dx <= 1 && !near; dx++) {
                    int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < im.w && ny < im.h && solidPx[size_t(ny) * im.w + nx];
                }
            if (near) setPx(im, x, y, kOutline);
        }
}

// A few key pixels shut in by a figure would show as pinholes: they are closed with the rim's colour.
// Larger openings, such as the gap between an arm and the body, stay see-through.
static void fillPinholes(Image& im) {
    const int small = 40;
    std::vector<int> region(size_t(im.w) * im.h, -1);
    for (int start = 0; start < im.w * im.h; start++) {
        if (region[start] >= 0 || !isKey(im, start % im.w, start / im.w)) continue;
        std::vector<int> todo = {start}, members;
        region[start] = start;
        bool border = false;
        while (!todo.empty()) {
            int i = todo.back(), x = i % im.w, y = i / im.w;
            todo.pop_back();
            members.push_back(i);
            border = border || x == 0 || y == 0 || x == im.w - 1 || y == im.h - 1;
            const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
            for (int k = 0; k < 4; k++) {
                int nx = x + dx[k], ny = y + dy[k], n = ny * im.w + nx;
                if (nx < 0 || ny < 0 || nx >= im.w || ny >= im.h || region[n] >= 0 || !isKey(im, nx, ny)) continue;
                region[n] = start;
                todo.push_back(n);
            }
        }
        if (!border && int(members.size()) < small)
            for (int i : members) setPx(im, i % im.w, i / im.w, kOutline);
    }
}

// Averages each pixel's samples. Keyed, a pixel less than half covered becomes the key, and solidPx marks the rest.
static Image downsample(const Canvas& c, bool keyed, std::vector<char>& solidPx) {
    Image im;
    im.w = c.w;
    im.h = c.h;
    im.keyed = keyed;
    im.px.assign(size_t(c.w) * c.h * 3, 0);
    solidPx.assign(size_t(c.w) * c.h, 0);
    int W = c.w * c.ss, n = c.ss * c.ss;
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            float s[4] = {0, 0, 0, 0};
            for (int j = 0; j < c.ss; j++) {
                const float* q = &c.px[(size_t(y * c.ss + j) * W + x * c.ss) * 4];
                for (int i = 0; i < c.ss; i++, q += 4)
                    for (int k = 0; k < 4; k++) s[k] += q[k];
            }
            unsigned char* o = &im.px[(size_t(y) * c.w + x) * 3];
            bool covered = !keyed || s[3] >= n * 0.5f;
            float div = keyed ? std::max(s[3], 1e-6f) : float(n);
            Col col = covered ? Col{s[0] / div, s[1] / div, s[2] / div} : kKey;
            o[0] = toByte(col.r);
            o[1] = toByte(col.g);
            o[2] = toByte(col.b);
            if (covered) keepOffGreen(o);
            solidPx[size_t(y) * c.w + x] = covered;
        }
    return im;
}

Image finish(const Canvas& c, bool keyed) {
    std::vector<char> solidPx;
    Image im = downsample(c, keyed, solidPx);
    if (!keyed) return im;
    growRim(im, solidPx);
    fillPinholes(im);
    return im;
}

Image mirrorX(const Image& im) {
    Image m = im;
    for (int y = 0; y < im.h; y++)
        for (int x = 0; x < im.w; x++)
            for (int k = 0; k < 3; k++) m.px[(size_t(y) * im.w + x) * 3 + k] = im.px[(size_t(y) * im.w + im.w - 1 - x) * 3 + k];
    return m;
}

// Each sample takes the average of the picture's pixels under it; key pixels count as holes.
void drawImage(Canvas& c, const Image& im, float x, float y, float k) {
    int W = c.w * c.ss, H = c.h * c.ss;
    float step = 1.f / (c.ss * k);  // picture pixels per sample
    int i0 = std::max(0, int(std::floor(x * c.ss))), j0 = std::max(0, int(std::floor(y * c.ss)));
    int i1 = std::min(W, int(std::ceil((x + im.w * k) * c.ss))), j1 = std::min(H, int(std::ceil((y + im.h * k) * c.ss)));
    for (int j = j0; j < j1; j++) {
        float sy0 = (j - y * c.ss) * step;
        int ya = std::max(0, int(sy0)), yb = std::min(im.h, std::max(ya + 1, int(sy0 + step)));
        for (int i = i0; i < i1; i++) {
            float sx0 = (i - x * c.ss) * step;
            int xa = std::max(0, int(sx0)), xb = std::min(im.w, std::max(xa + 1, int(sx0 + step)));
            float sum[3] = {0, 0, 0};
            int cnt = 0, all = 0;
            for (int sy = ya; sy < yb; sy++)
                for (int sx = xa; sx < xb; sx++, all++) {
                    if (isKey(im, sx, sy)) continue;
                    const unsigned char* p = &im.px[(size_t(sy) * im.w + sx) * 3];
                    for (int q = 0; q < 3; q++) sum[q] += p[q];
                    cnt++;
                }
            if (!cnt) continue;
            Col col{sum[0] / cnt / 255.f, sum[1] / cnt / 255.f, sum[2] / cnt / 255.f};
            blendPx(&c.px[(size_t(j) * W + i) * 4], col, float(cnt) / all);
        }
    }
}

ImageRGBA finishRGBA(const Canvas& c) {
    ImageRGBA im;
    im.w = c.w;
    im.h = c.h;
    im.px.assign(size_t(c.w) * c.h * 4, 0);
    int W = c.w * c.ss, n = c.ss * c.ss;
    for (int y = 0; y < c.h; y++)
        for (int x = 0; x < c.w; x++) {
            float s[4] = {0, 0, 0, 0};
            for (int j = 0; j < c.ss; j++) {
                const float* q = &c.px[(size_t(y * c.ss + j) * W + x * c.ss) * 4];
                for (int i = 0; i < c.ss; i++, q += 4)
                    for (int k = 0; k < 4; k++) s[k] += q[k];
            }
            unsigned char* o = &im.px[(size_t(y) * c.w + x) * 4];
            float a = s[3] / n;
            for (int k = 0; k < 3; k++) o[k] = a > 0 ? toByte(s[k] / s[3]) : 0;  // back from premultiplied
            o[3] = toByte(a);
        }
    return im;
}

static bool writeRows(const std::string& path, int w, int h, int type, const unsigned char* rows, size_t stride) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_set_compression_strategy(png, Z_RLE);
    png_set_IHDR(png, info, w, h, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++) png_write_row(png, (png_const_bytep)(rows + size_t(y) * stride));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(f) == 0;
}

bool writePng(const std::string& path, const Image& im) {
    return writeRows(path, im.w, im.h, PNG_COLOR_TYPE_RGB, im.px.data(), size_t(im.w) * 3);
}

bool writePngRGBA(const std::string& path, const ImageRGBA& im) {
    return writeRows(path, im.w, im.h, PNG_COLOR_TYPE_RGBA, im.px.data(), size_t(im.w) * 4);
}
