// unit_mp_assets_images.cpp: the generated pictures: every file at its size, clean colour-key cut-outs, readable
// counters under the portraits, and a generator that writes the same bytes on every run.
#include <gtest/gtest.h>

#include <SDL_image.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const Uint32 KEY = 0x00ff00;

struct Pic {
    std::string path;  // under images/
    int w, h;
    bool keyed;
};

// Every picture the game loads, with the size the game's layout needs.
std::vector<Pic> catalogue() {
    std::vector<Pic> v;
    for (const char* f : {"menu/loading.png", "menu/cred.png", "menu/ins.png", "menu/bgrsp.png", "menu/bgr.png",
                          "bgsml.png", "tolvlogo.png", "kvdlogo.png"})
        v.push_back({f, 800, 600, false});
    for (const char* f : {"ng", "nga", "op", "opa", "cr", "cra", "ex", "exa", "wh", "wha", "do", "doa", "su", "sua"})
        v.push_back({std::string("menu/") + f + ".png", 400, 80, false});
    v.push_back({"hud/rp.png", 55, 60, false});
    v.push_back({"hud/bp.png", 55, 60, false});
    v.push_back({"menu/rpwins.png", 400, 120, true});
    v.push_back({"menu/bpwins.png", 400, 120, true});
    for (int n = 0; n <= 10; n++) v.push_back({"Hud/wc" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".png", 90, 40, true});
    for (const char* f : {"Hud/1.png", "Hud/2.png", "Hud/3.png", "Hud/0.png"}) v.push_back({f, 200, 150, true});
    for (const char* dir : {"P1/", "P2/"})
        for (const char* f : {"hrac_right", "hrac_right2", "hrac_right_cs", "hrac_right2_cs", "hrac_left_cs", "hrac_left2_cs",
                              "hrac_right_shoot", "hrac_left_shoot", "hrac_left", "hrac_left2", "hrac_right_d01", "hrac_right_d02",
                              "hrac_right_d03", "hrac_right_d04", "hrac_left_d01", "hrac_left_d02", "hrac_left_d03", "hrac_left_d04"})
            v.push_back({std::string(dir) + f + ".png", 80, 130, true});
    for (const char* f : {"whiskey", "whiskey2", "whiskey3", "whiskey4", "whiskey5"}) v.push_back({std::string("Obs/") + f + ".png", 30, 55, true});
    return v;
}

// A loaded picture as 0xRRGGBB values, row by row.
struct Pixels {
    int w = 0, h = 0;
    std::vector<Uint32> px;
    Uint32 at(int x, int y) const { return px[size_t(y) * w + x]; }
    bool key(int x, int y) const { return at(x, y) == KEY; }
};

Pixels load(const std::string& rel) {
    Pixels p;
    SDL_Surface* s = IMG_Load(buildPath("images/" + rel).c_str());
    if (!s) {
        ADD_FAILURE() << rel << " does not load: " << IMG_GetError();
        return p;
    }
    p.w = s->w;
    p.h = s->h;
    for (int y = 0; y < s->h; y++)
        for (int x = 0; x < s->w; x++) p.px.push_back(pixelRGB(s, x, y));
    SDL_FreeSurface(s);
    return p;
}

int red(Uint32 c) { return c >> 16 & 255; }
int green(Uint32 c) { return c >> 8 & 255; }
int blue(Uint32 c) { return c & 255; }
bool nearGreen(Uint32 c) { return c != KEY && green(c) > 200 && red(c) < 60 && blue(c) < 60; }

// The smallest patch of key pixels shut in by the figure (not reaching the border), or a huge number if none.
// A patch of a few pixels shows as a pinhole through the figure; a real gap (an arm away from the body) is larger.
int smallestShutInPatch(const Pixels& p) {
    std::vector<char> seen(p.px.size(), 0);
    int smallest = 1 << 30;
    for (int start = 0; start < p.w * p.h; start++) {
        if (seen[start] || p.px[start] != KEY) continue;
        std::vector<int> todo = {start};
        seen[start] = 1;
        int size = 0;
        bool border = false;
        while (!todo.empty()) {
            int i = todo.back(), x = i % p.w, y = i / p.w;
            todo.pop_back();
            size++;
            border = border || x == 0 || y == 0 || x == p.w - 1 || y == p.h - 1;
            const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
            for (int k = 0; k < 4; k++) {
                int nx = x + dx[k], ny = y + dy[k];
                if (nx < 0 || ny < 0 || nx >= p.w || ny >= p.h || seen[size_t(ny) * p.w + nx] || !p.key(nx, ny)) continue;
                seen[size_t(ny) * p.w + nx] = 1;
                todo.push_back(ny * p.w + nx);
            }
        }
        if (!border) smallest = std::min(smallest, size);
    }
    return smallest;
}

struct Bounds {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;  // the opaque pixels' bounds, inclusive
};

Bounds opaqueBox(const Pixels& p) {
    Bounds b;
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++)
            if (!p.key(x, y)) b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y), b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
    return b;
}

std::vector<char> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ImageAssets, EveryPictureLoadsAtItsSize) {
    for (const Pic& c : catalogue()) {
        SCOPED_TRACE(c.path);
        SDL_Surface* s = IMG_Load(buildPath("images/" + c.path).c_str());
        ASSERT_NE(s, nullptr) << IMG_GetError();
        EXPECT_EQ(s->w, c.w);
        EXPECT_EQ(s->h, c.h);
        EXPECT_EQ(s->format->Amask, 0u) << "written with an alpha channel";
        SDL_FreeSurface(s);
    }
}

// Where the game draws the smaller pictures: each must stay on the 800 x 600 screen.
TEST(ImageAssets, PicturesFitTheScreenWhereTheGameDrawsThem) {
    struct Place {
        const char* path;
        int x, y;
    } places[] = {{"Hud/wc10.png", 710, 12}, {"Hud/wc10.png", 10, 10}, {"hud/rp.png", 695, 0}, {"hud/bp.png", 5, 0},
                  {"Hud/0.png", 300, 200},   {"menu/bpwins.png", 200, 250}, {"menu/sua.png", 200, 450},
                  {"P1/hrac_right_shoot.png", 720, 470}};
    for (const Place& p : places) {
        Pixels im = load(p.path);
        EXPECT_LE(p.x + im.w, 800) << p.path;
        EXPECT_LE(p.y + im.h, 600) << p.path;
    }
    EXPECT_LE(750 + load("Obs/whiskey.png").w, 800) << "the bottle's farthest place to the right";
    EXPECT_LE(load("menu/ng.png").h, 100) << "menu items are 100 pixels apart";
}

TEST(ImageAssets, KeyedPicturesAreCleanCutOutsWithADarkRim) {
    for (const Pic& c : catalogue()) {
        if (!c.keyed) continue;
        SCOPED_TRACE(c.path);
        Pixels p = load(c.path);
        ASSERT_EQ(int(p.px.size()), c.w * c.h);
        EXPECT_TRUE(p.key(0, 0) && p.key(p.w - 1, 0) && p.key(0, p.h - 1) && p.key(p.w - 1, p.h - 1)) << "corners must be transparent";
        int opaque = 0, fringe = 0, brightEdge = 0;
        for (int y = 0; y < p.h; y++)
            for (int x = 0; x < p.w; x++) {
                Uint32 v = p.at(x, y);
                if (v == KEY) continue;
                opaque++;
                fringe += nearGreen(v);
                bool edge = (x > 0 && p.key(x - 1, y)) || (x + 1 < p.w && p.key(x + 1, y)) || (y > 0 && p.key(x, y - 1)) ||
                            (y + 1 < p.h && p.key(x, y + 1));
                brightEdge += edge && std::max({red(v), green(v), blue(v)}) > 90;
            }
        EXPECT_GT(opaque, p.w * p.h / 20) << "almost nothing is drawn";
        EXPECT_LT(opaque, p.w * p.h * 95 / 100) << "the picture is a filled box";
        EXPECT_EQ(fringe, 0) << "greenish pixels would show as a fringe around the figure";
        EXPECT_EQ(brightEdge, 0) << "figure edges must be drawn against a dark rim";
        EXPECT_GE(smallestShutInPatch(p), 40) << "pure green inside the figure would show as a pinhole";
    }
}

TEST(ImageAssets, OpaquePicturesNeverUseTheKeyColour) {
    for (const Pic& c : catalogue()) {
        if (c.keyed) continue;
        SCOPED_TRACE(c.path);
        Pixels p = load(c.path);
        int green = 0;
        for (Uint32 v : p.px) green += v == KEY || nearGreen(v);
        EXPECT_EQ(green, 0);
    }
}

TEST(ImageAssets, CowboysWearTheirColoursStandAndFall) {
    for (const char* dir : {"P1/", "P2/"}) {
        bool isRed = dir[1] == '1';
        int reds = 0, blues = 0;  // strongly red and strongly blue pixels of the walking pictures
        for (const char* f : {"hrac_right", "hrac_right2", "hrac_left", "hrac_left2"}) {
            Pixels p = load(std::string(dir) + f + ".png");
            for (Uint32 v : p.px) {
                reds += v != KEY && red(v) > blue(v) + 80 && red(v) > green(v) + 80;
                blues += v != KEY && blue(v) > red(v) + 60 && blue(v) > green(v) + 30;
            }
            Bounds b = opaqueBox(p);
            EXPECT_GT(2 * (b.y1 - b.y0), 3 * (b.x1 - b.x0)) << dir << f << " should stand upright";
            EXPECT_GE(b.y1, 125) << dir << f << " should stand on the bottom of his box";
        }
        Pixels d4 = load(std::string(dir) + "hrac_right_d04.png");
        Bounds lying = opaqueBox(d4);
        EXPECT_GT(lying.x1 - lying.x0, lying.y1 - lying.y0) << dir << " the last death frame lies on the ground";
        EXPECT_GE(lying.y1, 120) << dir << " lies at the foot of his box";
        // the reloading and the shooting looks must differ clearly from the plain one
        Pixels plain = load(std::string(dir) + "hrac_right.png");
        for (const char* f : {"hrac_right_cs", "hrac_right_shoot", "hrac_right2"}) {
            Pixels other = load(std::string(dir) + f + ".png");
            int diff = 0;
            for (size_t i = 0; i < plain.px.size(); i++) diff += plain.px[i] != other.px[i];
            EXPECT_GT(diff, 150) << dir << f << " looks like hrac_right";
        }
        int mine = isRed ? reds : blues, theirs = isRed ? blues : reds;
        EXPECT_GT(mine, 400) << dir << " should wear his colour";
        EXPECT_GT(mine, 5 * theirs) << dir << " should not wear the other cowboy's colour";
    }
}

// The portrait is drawn over the counter: every count must still be told apart on both sides of the screen.
TEST(ImageAssets, CounterNumbersStayVisibleBesideThePortraits) {
    struct Side {
        int cx, cy, px, py;
        const char* portrait;
    } sides[] = {{10, 10, 5, 0, "hud/bp.png"}, {710, 12, 695, 0, "hud/rp.png"}};
    std::vector<Pixels> counters;
    for (int n = 0; n <= 10; n++) counters.push_back(load("Hud/wc" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".png"));
    for (const Side& s : sides) {
        Pixels portrait = load(s.portrait);
        // the top strip of the screen as the round draws it, one picture per count
        std::vector<std::vector<Uint32>> shown;
        for (const Pixels& c : counters) {
            std::vector<Uint32> strip(800 * 70, 0x806040);
            for (int y = 0; y < c.h; y++)
                for (int x = 0; x < c.w; x++)
                    if (!c.key(x, y)) strip[(s.cy + y) * 800 + s.cx + x] = c.at(x, y);
            for (int y = 0; y < portrait.h; y++)
                for (int x = 0; x < portrait.w; x++) strip[(s.py + y) * 800 + s.px + x] = portrait.at(x, y);
            shown.push_back(strip);
        }
        for (int a = 0; a <= 10; a++)
            for (int b = a + 1; b <= 10; b++) {
                int diff = 0;
                for (size_t i = 0; i < shown[a].size(); i++) diff += shown[a][i] != shown[b][i];
                EXPECT_GT(diff, 30) << s.portrait << ": counts " << a << " and " << b << " look the same";
            }
    }
}

TEST(ImageAssets, ShootingArmsPointTheWayTheCowboyFaces) {
    for (const char* dir : {"P1/", "P2/"}) {
        Pixels right = load(std::string(dir) + "hrac_right_shoot.png"), left = load(std::string(dir) + "hrac_left_shoot.png");
        int reachRight = 0, reachLeft = 80;  // the farthest opaque pixel at chest height, y 35 to 65
        for (int y = 35; y < 65; y++)
            for (int x = 0; x < 80; x++) {
                if (!right.key(x, y)) reachRight = std::max(reachRight, x);
                if (!left.key(x, y)) reachLeft = std::min(reachLeft, x);
            }
        EXPECT_GE(reachRight, 72) << dir << " the right-facing shot reaches out to the right";
        EXPECT_LE(reachLeft, 7) << dir << " the left-facing shot reaches out to the left";
    }
}

TEST(ImageAssets, TheBottlesGlintTravelsAcrossIt) {
    std::vector<Pixels> frames;
    for (const char* f : {"whiskey", "whiskey2", "whiskey3", "whiskey4", "whiskey5"}) frames.push_back(load(std::string("Obs/") + f + ".png"));
    float last = -1;
    for (size_t k = 0; k < frames.size(); k++) {
        float sum = 0, n = 0;  // the middle of the pixels this frame lights up beyond the frames' average
        for (int y = 0; y < frames[k].h; y++)
            for (int x = 0; x < frames[k].w; x++) {
                int mean = 0;
                for (const Pixels& f : frames) mean += red(f.at(x, y)) + green(f.at(x, y)) + blue(f.at(x, y));
                Uint32 v = frames[k].at(x, y);
                if (v != KEY && (red(v) + green(v) + blue(v)) * int(frames.size()) > mean + 60 * int(frames.size())) sum += x, n++;
            }
        ASSERT_GT(n, 3) << "frame " << k << " shows no glint of its own";
        EXPECT_GT(sum / n, last + 2) << "frame " << k << ": the glint should move on to the right";
        last = sum / n;
    }
}

TEST(ImageAssets, MenuSignsSitOnTheBoardAndLightUpClearly) {
    const char* items[4][2] = {{"ng", "wh"}, {"op", "do"}, {"cr", "su"}, {"ex", nullptr}};
    for (const char* bg : {"menu/bgr.png", "menu/bgrsp.png"}) {
        Pixels back = load(bg);
        for (int slot = 0; slot < 4; slot++)
            for (const char* item : items[slot]) {
                if (!item) continue;
                Pixels plain = load(std::string("menu/") + item + ".png"), lit = load(std::string("menu/") + item + "a.png");
                int x0 = 200, y0 = 150 + slot * 100, seams = 0, changed = 0;
                for (int y : {0, 1, plain.h - 2, plain.h - 1})  // the plain sign's corners show the board behind it
                    for (int x : {0, 1, plain.w - 2, plain.w - 1}) seams += std::abs(int(red(plain.at(x, y))) - int(red(back.at(x0 + x, y0 + y)))) > 3;
                EXPECT_EQ(seams, 0) << item << " does not blend into " << bg;
                for (size_t i = 0; i < plain.px.size(); i++) changed += plain.px[i] != lit.px[i];
                EXPECT_GT(changed, int(plain.px.size()) / 3) << item << "a is hardly lit up";
            }
    }
}

// The heads-up display sits in the street's top corners: they stay calm (gentle sky or plain wall).
TEST(ImageAssets, TheStreetKeepsItsTopCornersCalm) {
    Pixels street = load("bgsml.png");
    auto roughness = [&](int x0, int y0, int w, int h) {
        long sum = 0;
        for (int y = y0; y < y0 + h; y++)
            for (int x = x0; x < x0 + w - 1; x++) {
                Uint32 a = street.at(x, y), b = street.at(x + 1, y), c = street.at(x, y + 1);
                sum += std::abs(red(a) - red(b)) + std::abs(green(a) - green(b)) + std::abs(red(a) - red(c)) + std::abs(green(a) - green(c));
            }
        return double(sum) / (w * h);
    };
    double left = roughness(0, 0, 120, 60), right = roughness(680, 0, 120, 60), shops = roughness(120, 20, 560, 140);
    EXPECT_LT(left, 8) << "top-left corner";
    EXPECT_LT(right, 8) << "top-right corner";
    EXPECT_GT(shops, 3 * std::max(left, right)) << "the shop fronts should carry the detail, roughness " << shops;
}

TEST(ImageAssets, GeneratorWritesTheSameBytesOnEveryRun) {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/korvado-assets-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    fs::path dir = tmpl;
    std::string cmd = std::string(KORVADO_ASSETGEN) + " " + dir.string() + " >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::set<std::string> fresh;
    for (const char* sub : {"images", "sfx", "music"})
        for (const auto& e : fs::recursive_directory_iterator(dir / sub))
            if (e.is_regular_file()) fresh.insert(fs::relative(e.path(), dir).string());
    EXPECT_GE(fresh.size(), catalogue().size() + 7);  // every picture, six samples and the module
    for (const Pic& c : catalogue()) EXPECT_EQ(fresh.count("images/" + c.path), 1u) << c.path << " was not written";
    for (const std::string& f : fresh) {
        std::vector<char> again = readFile(dir / f), first = readFile(buildPath(f));
        EXPECT_FALSE(again.empty()) << f;
        EXPECT_TRUE(again == first) << f << " differs between runs";
    }
    fs::remove_all(dir);
}
