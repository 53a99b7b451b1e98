// img_kit.h: the picture generator's drawing kit: a supersampled canvas, shapes, lettering, PNG output.
#ifndef KORVADO_IMG_KIT_H
#define KORVADO_IMG_KIT_H

#include <functional>
#include <string>
#include <vector>

// ---- colours and points ----
struct Col {
    float r, g, b;
};
struct P {
    float x, y;
};

Col rgb(int r, int g, int b);
Col mix(Col a, Col b, float t);
Col scaleCol(Col c, float k);  // darker below 1, lighter above
struct Stop {
    float t;
    Col c;
};
Col ramp(const std::vector<Stop>& stops, float t);  // a colour gradient through several stops

// ---- affine transforms: x' = a x + c y + e, y' = b x + d y + f ----
struct Xf {
    float a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};
Xf xfMul(const Xf& outer, const Xf& inner);  // inner first, then outer
Xf xfMove(float dx, float dy);
Xf xfScale(float sx, float sy, P about);
Xf xfRotate(float degrees, P about);  // positive turns clockwise on screen
Xf xfInverse(const Xf& m);
P xfApply(const Xf& m, P p);

// ---- deterministic noise ----
float hashNoise(int x, int y, int seed);                      // 0..1, one value per lattice point
float valueNoise(float x, float y, int seed);                 // smooth, 0..1
float fbm(float x, float y, int seed, int octaves);           // layered value noise, about 0..1
unsigned rng(unsigned& state);                                // tiny LCG for scattering details
float rngf(unsigned& state);                                  // 0..1

// ---- paint: what a shape is filled with, looked up at design coordinates ----
struct Paint {
    Col c0{0, 0, 0}, c1{0, 0, 0};
    float gx = 0, gy = 0, g0 = 0;  // t = gx x + gy y + g0, clamped to 0..1, picks c0..c1
    float alpha = 1, alpha1 = -1;  // alpha1 >= 0: the alpha runs from alpha to alpha1 along t
    float noise = 0, nfx = 0.1f, nfy = 0.1f;  // colour times 1 + noise (n - 0.5) 2
    int seed = 1;
    std::function<Col(float, float)> fn;  // when set, gives the colour instead
};
Paint solid(Col c, float alpha = 1);
Paint grad(Col c0, Col c1, P from, P to, float alpha = 1);
Paint withNoise(Paint p, float amount, float fx, float fy, int seed);
Paint shaded(Col base, P centre, float radius);  // lit from the upper left, shadowed lower right
Paint painter(std::function<Col(float, float)> fn, float alpha = 1);
Paint fade(Col c, P from, P to, float a0, float a1);  // one colour, its cover running from a0 to a1

// ---- the canvas: premultiplied RGBA floats at ss samples per pixel ----
struct Canvas {
    int w = 0, h = 0, ss = 1;  // w, h in pixels of the finished picture
    std::vector<float> px;     // (w ss) x (h ss) x 4
    Xf xf, inv;                // design coordinates to picture pixels
    int clip[4] = {0, 0, 1 << 20, 1 << 20};  // shapes fill only pixels x0 <= x < x1, y0 <= y < y1
};
Canvas newCanvas(int w, int h, int ss);
Canvas cropCanvas(const Canvas& src, int x, int y, int w, int h);  // a copy of part of a canvas, same samples
void setXf(Canvas& c, const Xf& m);
void setClip(Canvas& c, int x0, int y0, int x1, int y1);  // in picture pixels; the whole picture again with clearClip
void clearClip(Canvas& c);

void fillPoly(Canvas& c, const std::vector<P>& pts, const Paint& p);
void fillRect(Canvas& c, float x, float y, float w, float h, const Paint& p);
void fillEllipse(Canvas& c, P centre, float rx, float ry, const Paint& p, float degrees = 0);
void fillCapsule(Canvas& c, P a, P b, float ra, float rb, const Paint& p);  // a thick line, round ends
void strokeLine(Canvas& c, const std::vector<P>& pts, float width, const Paint& p);
void fillCanvas(Canvas& c, const Paint& p);
// A shape with a dark rim: the rim first, the shape inside it.
void outlinedPoly(Canvas& c, const std::vector<P>& pts, float rim, Col rimCol, const Paint& p);
void outlinedEllipse(Canvas& c, P centre, float rx, float ry, float rim, Col rimCol, const Paint& p,
                     float degrees = 0);
std::vector<P> ellipsePts(P centre, float rx, float ry, float degrees, int n);
std::vector<P> roundRectPts(float x, float y, float w, float h, float r);

// ---- lettering: the anchor follows the canvas transform, the letters stay upright and unscaled ----
enum Face { SLAB_BOLD, SLAB_REGULAR, SLAB_LIGHT };  // Roboto Slab, the one typeface of the game
struct TextStyle {
    Face face = SLAB_BOLD;
    float size = 20;  // font size in picture pixels
    Paint fill = solid(Col{1, 1, 1});
    float outline = 0;  // rim width in picture pixels
    Col outlineCol{0.1f, 0.06f, 0.03f};
    float shadowDx = 0, shadowDy = 0, shadowAlpha = 0;
    Col shadowCol{0.05f, 0.03f, 0.02f};
    float spacing = 0;  // extra pixels between letters
};
float textWidth(const std::string& s, const TextStyle& st);
// Draws one line; (x, y): x by align (-1 left edge, 0 centre, 1 right edge), y the middle of the capitals.
void drawText(Canvas& c, const std::string& s, float x, float y, const TextStyle& st, int align = 0);
void fontsInit();
void fontsDone();

// ---- finished pictures: 8-bit RGB rows ----
struct Image {
    int w = 0, h = 0;
    bool keyed = false;
    std::vector<unsigned char> px;
};
extern const Col kKey;       // the transparent colour, pure green
extern const Col kOutline;   // the dark rim drawn around keyed figures
// Averages the samples. Keyed: pixels less than half covered become the key, and a one-pixel dark rim is
// grown around the rest so that no figure edge is ever blended with the key.
Image finish(const Canvas& c, bool keyed);
Image mirrorX(const Image& im);
bool isKey(const Image& im, int x, int y);
// Draws a picture onto a canvas at (x, y), scaled by k, skipping key pixels of keyed pictures.
void drawImage(Canvas& c, const Image& im, float x, float y, float k);
bool writePng(const std::string& path, const Image& im);
// A picture with its own transparency (the program icons): 8-bit RGBA rows, straight alpha.
struct ImageRGBA {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
};
ImageRGBA finishRGBA(const Canvas& c);
bool writePngRGBA(const std::string& path, const ImageRGBA& im);

#endif
