// actors.cpp: the cowboy and the whiskey bottle: walking, animation, hits, pickups, and where their pictures land.
#include "game/game.h"

// The street's far edge stops a cowboy 60 pixels below the top of the screen.
static const int STREET_TOP = 60;

// The part of a picture of w x h at (x, y) that lands on the screen, as SDL clips a blit: nothing left
// keeps the corner and has no size.
static Box clipped(int x, int y, int w, int h) {
    Box b;
    b.x = int16_t(x), b.y = int16_t(y);
    int dx = -b.x, dy = -b.y;
    if (dx > 0) w -= dx, b.x = 0;
    if (b.x + w - SCREEN_W > 0) w -= b.x + w - SCREEN_W;
    if (dy > 0) h -= dy, b.y = 0;
    if (b.y + h - SCREEN_H > 0) h -= b.y + h - SCREEN_H;
    if (w > 0 && h > 0) b.w = uint16_t(w), b.h = uint16_t(h);
    return b;
}

// ---- the cowboy ----

void Player::wRight() {
    motion = smer = 'r';
    x += speed * delta;
    if (x + COWBOY_W > SCREEN_W) x = float(SCREEN_W - COWBOY_W);
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
    if (y + COWBOY_H > SCREEN_H) y = float(SCREEN_H - COWBOY_H);
}

void Player::wUp() {
    motion = 'u';
    y -= speed * delta;
    if (y < STREET_TOP) y = float(STREET_TOP);
}

// Back on his feet somewhere on the street, x first, then y.
static void respawn(Player& p, GameRng& rng) {
    p.dead = false;
    p.deadTime = 0;
    int col = rng.next() % 100;
    p.x = float(col * 7 + 57);
    int row = rng.next() % 100;
    p.y = float(row * 4 + 54);
    // start the walk cycle afresh: a leftover death frame would pick an empty or a death picture
    p.frame = 0;
}

// The death pictures step every 150 ms and stop on the fourth; after 2 s he comes back.
static void animDead(Player& p, GameRng& rng) {
    p.deadTime += p.delta;
    if (p.animTime > 150) {
        p.frame++;
        p.animTime = 0;
        if (p.frame > 3) p.frame = 3;
    }
    if (p.deadTime > 2000) respawn(p, rng);
}

void Player::anim(GameRng& rng) {
    animTime += delta;
    if (!canShoot) {
        reloadTime += delta;
        if (reloadTime > 2000) {
            canShoot = true;
            reloadTime = 0;
        }
    }
    if (dead) {
        animDead(*this, rng);
    } else if (animTime > 200) {
        // one walk step; it also ends the shooting pose
        animTime = 0;
        frame++;
        if (frame > 1) frame = 0;
        shooting = false;
    }
}

// Walking up or down shows the side view of the way he faces; standing always shows the first picture of
// its pose. Walking right 0-1, reloading right 3-4, reloading left 5-6, shooting 7 (right) and 8 (left),
// walking left 9-10, dying facing right 12-15, dying facing left 16-19.
int poseSlot(const Player& p) {
    if (p.dead) return (p.smer == 'l' ? 16 : 12) + p.frame;
    bool left = p.motion == 'l' || (p.motion != 'r' && p.smer == 'l');
    int f = p.motion == 's' ? 0 : p.frame;
    if (p.shooting) return left ? 8 : 7;
    if (p.canShoot) return (left ? 9 : 0) + f;
    return (left ? 5 : 3) + f;
}

void Player::place() { rect = clipped(int(x), int(y), COWBOY_W, COWBOY_H); }

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

// Each chance counts the hidden time; the first chance it is showing in a frame steps the glint and puts
// it on the screen.
void Whiskey::chance(float d) {
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
    rect = clipped(x, y, BOTTLE_W, BOTTLE_H);
    drawn = true;
}

// A cowboy picks the bottle up when his feet are just at its foot and he stands over it.
// The box is where the bottle was last drawn; a pickup sends it to a new place, hidden.
bool Whiskey::kolid(Box r, GameRng& rng) {
    if (hidden) return false;
    int rx = r.x, ry = r.y, rh = r.h;
    int bx = rect.x, by = rect.y, bw = rect.w, bh = rect.h;
    if (rx >= bx + bw - 20) return false;
    if (rx + bw + 20 <= bx) return false;
    if (ry + rh >= by + bh + 15) return false;
    if (ry + rh <= by + 45) return false;
    int col = rng.next() % 100;
    x = col * 7 + 57;
    int row = rng.next() % 100;
    y = row * 4 + 154;
    hidden = true;
    timer = 0;
    return true;
}
