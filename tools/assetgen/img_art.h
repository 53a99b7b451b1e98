// img_art.h: the picture makers of the asset generator and the figures they share.
#ifndef KORVADO_IMG_ART_H
#define KORVADO_IMG_ART_H

#include "img_kit.h"

#include <string>
#include <vector>

// One finished picture and its path under the build tree's "images/" folder.
struct Picture {
    std::string path;  // e.g. "P1/hrac_right.png"
    Image img;
};
using Pictures = std::vector<Picture>;

// ---- the cowboys ----
enum Cowboy { RED_COWBOY, BLUE_COWBOY };
enum CowboyPose { POSE_WALK0, POSE_WALK1, POSE_RELOAD0, POSE_RELOAD1, POSE_SHOOT, POSE_DIE1, POSE_DIE2, POSE_DIE3, POSE_DIE4 };
// Draws a right-facing cowboy in his 80 x 130 box, mapped onto the canvas by place.
void drawCowboy(Canvas& c, Cowboy who, CowboyPose pose, const Xf& place);
Col cowboyColour(Cowboy who);  // his shirt colour, for lettering and trims

// ---- shared scenery ----
void drawDesertBackdrop(Canvas& c, float horizon, int seed);  // sky, sun and mesas above the horizon line
Paint dustPaint(float top, float bottom, int seed);              // the dusty ground, darker far away
Paint woodPaint(Col base, int seed, bool vertical);  // grained boards, grain along x (or along y)
void drawWoodPlank(Canvas& c, float x, float y, float w, float h, Col wood, int seed);  // one board, dark edges
void drawPlanks(Canvas& c, float x, float y, float w, float h, float board, bool vertical, Col wood, int seed);
void drawWhiskeyBottle(Canvas& c, const Xf& place, int glint);  // a 30 x 55 bottle; glint 0..4, or -1 for none
void drawCactus(Canvas& c, float x, float ground, float height, int seed);  // a saguaro standing at (x, ground)
void drawStar(Canvas& c, P centre, float r, Col fill, float rim, float degrees = -90);  // a sheriff's star

// ---- the makers: each adds its pictures ----
void makeCowboyPictures(Pictures& out);
void makeStreetPicture(Pictures& out);
void makeHudPictures(Pictures& out);    // counters, portraits, countdown, winner banners, the bottle
void makeMenuPictures(Pictures& out);    // the two menu backgrounds and every menu item
void makeScreenPictures(Pictures& out);  // loading, studio, title, credits, instructions
void makeNetPictures(Pictures& out);     // the network screens' paper and their two letterings
void paperOnWall(Canvas& c);             // a sheet of old paper pinned to a wooden wall, 800 x 600
TextStyle boldText(float size, Paint fill, float rim);  // slab capitals with a dark rim
Paint goldPaint(float top, float bottom);               // gold lettering, light at the top
Image makeContactSheet(const Pictures& all);

#endif
