// sprite.h: the two actors of the duel, the cowboy (Player) and the whiskey bottle.
#ifndef KORVADO_SPRITE_H
#define KORVADO_SPRITE_H

#include <SDL.h>

// The game's random draws, from a generator of the game's own: the sound library draws from the standard
// library's on its own thread, and a demo or two machines' games must draw alike from the same seed.
int gameRand();
void noteDrawn(SDL_Surface* dst, const SDL_Rect* r);  // drawn over the street (startup.cpp)
void gameSrand(unsigned seed);

// One cowboy's picture set: 20 slots, slots 2 and 11 always empty.
// Walking right 0-1, reloading right 3-4, reloading left 5-6, shooting 7 (right) and 8 (left),
// walking left 9-10, dying facing right 12-15, dying facing left 16-19.
struct imgbase {
    SDL_Surface* img[20];

    SDL_Surface*& operator[](int slot) { return img[slot]; }
    SDL_Surface* operator[](int slot) const { return img[slot]; }
};

// A cowboy. Every field is public: the round, the menu and the computer opponent write them directly.
class Player {
public:
    Player(SDL_Surface* screen, imgbase img);
    ~Player();

    void wRight();
    void wLeft();
    void wDown();
    void wUp();
    void setDelta(float d);
    void anim();
    void draw();
    char getSmer();
    void die();
    void shoot();

    imgbase img;          // pictures by slot (shared with the asset globals, never freed here)
    int whiskeyCount;     // bottles (game type 0) or lives (types 1 and 2)
    bool dead;            // the death animation runs
    bool canShoot;        // the gun is loaded
    bool shooting;        // the shooting pose shows
    float x;              // left edge of the picture
    float y;              // top edge of the picture
    char smer;            // facing: 'r' or 'l'
    char motion;          // this frame's walk: 'r', 'l', 'd', 'u' or 's' (standing)
    SDL_Rect rect;        // where the last draw() put the picture, as the blit clipped it
    SDL_Surface* screen;  // the surface drawn on; its size bounds the walking
    int frame;            // walk frame 0-1, death frame 0-3
    float animTime;       // ms since the last animation step
    float delta;          // this frame's time in ms, from setDelta
    float deadTime;       // ms spent dead
    float speed;          // walking speed in pixels per ms
    float reloadTime;     // ms since the shot, while the gun is empty
};

// The whiskey bottle. No constructor: the one global bottle starts all zero.
class Whiskey {
public:
    void draw(SDL_Surface* surface, float delta);
    bool kolid(SDL_Rect r);

    int x;                // left edge of the picture
    int y;                // top edge of the picture
    bool drawn;           // already drawn in this frame
    bool hidden;          // picked up (or round just started), waiting to show again
    SDL_Rect rect;        // where it was drawn last: the pickup box
    int frame;            // current picture, 0-4
    SDL_Surface* img[5];  // the five pictures of the glint
    float timer;          // hidden time while hidden, else time since the last picture change
};

#endif
