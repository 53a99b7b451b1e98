// sprite.cpp: the cowboy and the whiskey bottle: walking, animation, drawing, hits and pickups.
#include "sprite.h"

#include <cstdlib>

// A cowboy's picture is 80 x 130; the street's far edge stops him 60 pixels below the top.
static const int COWBOY_W = 80;
static const int COWBOY_H = 130;
static const int STREET_TOP = 60;

// The bottle's picture is 30 x 55, in five frames of its glint.
static const int BOTTLE_W = 30;
static const int BOTTLE_H = 55;
static const int BOTTLE_FRAMES = 5;

// Blits a whole picture at r; SDL writes back into r the part that really landed on the surface.
// A picture that failed to load is skipped, and r keeps the size it had.
static void blitWhole(SDL_Surface* pic, SDL_Surface* dst, SDL_Rect* r) {
    if (!pic || !dst) return;
    SDL_BlitSurface(pic, NULL, dst, r);
    noteDrawn(dst, r);
}

// ---- the cowboy ----

Player::Player(SDL_Surface* s, imgbase i)
    : img(i), whiskeyCount(0), dead(false), canShoot(true), shooting(false), x(100), y(100), smer('r'),
      motion('s'), rect(), screen(s), frame(0), animTime(0), delta(0), deadTime(0), speed(0.2f),
      reloadTime(0) {}

// The pictures belong to the asset globals: nothing to free here.
Player::~Player() {}

void Player::wRight() {
    motion = smer = 'r';
    x += speed * delta;
    if (x + COWBOY_W > screen->w) x = float(screen->w - COWBOY_W);
}

void Player::wLeft() {
    motion = smer = 'l';
    x -= speed * delta;
    if (x < 0) x = 0;
}

// Walking towards the camera is a bit slower than the other three ways.
void Player::wDown() {
    motion = 'd';
    y += (speed - 0.03f) * delta;
    if (y + COWBOY_H > screen->h) y = float(screen->h - COWBOY_H);
}

void Player::wUp() {
    motion = 'u';
    y -= speed * delta;
    if (y < STREET_TOP) y = float(STREET_TOP);
}

void Player::setDelta(float d) { delta = d; }

// Back on his feet somewhere on the street, x first, then y.
static void respawn(Player& p) {
    p.dead = false;
    p.deadTime = 0;
    int col = gameRand() % 100;
    p.x = float(col * 7 + 57);
    int row = gameRand() % 100;
    p.y = float(row * 4 + 54);
    // start the walk cycle afresh: a leftover death frame would pick an empty or a death picture
    p.frame = 0;
}

// The death pictures step every 150 ms and stop on the fourth; after 2 s he comes back.
static void animDead(Player& p) {
    p.deadTime += p.delta;
    if (p.animTime > 150) {
        p.frame++;
        p.animTime = 0;
        if (p.frame > 3) p.frame = 3;
    }
    if (p.deadTime > 2000) respawn(p);
}

void Player::anim() {
    animTime += delta;
    if (!canShoot) {
        reloadTime += delta;
        if (reloadTime > 2000) {
            canShoot = true;
            reloadTime = 0;
        }
    }
    if (dead) {
        animDead(*this);
    } else if (animTime > 200) {
        // one walk step; it also ends the shooting pose
        animTime = 0;
        frame++;
        if (frame > 1) frame = 0;
        shooting = false;
    }
}

// The picture slot for the cowboy's pose. Walking up or down shows the side view of the way he faces;
// standing always shows the first picture of its pose.
static int poseSlot(const Player& p) {
    if (p.dead) return (p.smer == 'l' ? 16 : 12) + p.frame;
    bool left = p.motion == 'l' || (p.motion != 'r' && p.smer == 'l');
    int f = p.motion == 's' ? 0 : p.frame;
    if (p.shooting) return left ? 8 : 7;
    if (p.canShoot) return (left ? 9 : 0) + f;
    return (left ? 5 : 3) + f;
}

void Player::draw() {
    rect.x = Sint16(int(x));
    rect.y = Sint16(int(y));
    rect.w = COWBOY_W;
    rect.h = COWBOY_H;
    int slot = poseSlot(*this);
    if (slot >= 0 && slot < 20) blitWhole(img[slot], screen, &rect);
}

char Player::getSmer() { return smer; }

// Hit: one bottle or life less (never below none), and the death pictures start.
void Player::die() {
    whiskeyCount--;
    if (whiskeyCount < 0) whiskeyCount = 0;
    dead = true;
    animTime = 0;
}

void Player::shoot() {
    shooting = true;
    canShoot = false;
    animTime = 0;
}

// ---- the bottle ----

// Counts the hidden time, then glints and draws itself once per frame.
void Whiskey::draw(SDL_Surface* surface, float d) {
    if (hidden) {
        timer += d;
        if (timer > 4000) {
            hidden = false;
            timer = 0;
        }
    }
    if (drawn || hidden) return;
    timer += d;
    if (timer > 150) {
        timer = 0;
        frame++;
        if (frame >= BOTTLE_FRAMES) frame = 0;
    }
    rect.x = Sint16(x);
    rect.y = Sint16(y);
    rect.w = BOTTLE_W;
    rect.h = BOTTLE_H;
    drawn = true;
    if (frame >= 0 && frame < BOTTLE_FRAMES) blitWhole(img[frame], surface, &rect);
}

// A cowboy picks the bottle up when his feet are just at its foot and he stands over it.
// The box is where the bottle was last drawn; a pickup sends it to a new place, hidden.
bool Whiskey::kolid(SDL_Rect r) {
    if (hidden) return false;
    int rx = r.x, ry = r.y, rh = r.h;
    int bx = rect.x, by = rect.y, bw = rect.w, bh = rect.h;
    if (rx >= bx + bw - 20) return false;
    if (rx + bw + 20 <= bx) return false;
    if (ry + rh >= by + bh + 15) return false;
    if (ry + rh <= by + 45) return false;
    int col = gameRand() % 100;
    x = col * 7 + 57;
    int row = gameRand() % 100;
    y = row * 4 + 154;
    hidden = true;
    timer = 0;
    return true;
}
