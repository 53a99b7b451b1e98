// unit_mp_sprite.cpp: the cowboy and the bottle: walking bounds, timers, poses, respawn and pickups.
#include "sprite.h"
#include "harness.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <vector>

// Every picture is a solid colour that names its slot, so a pixel tells which one was drawn.
static Uint32 cowboyColour(int slot) { return (Uint32(10 * (slot + 1)) << 16) | 0x40A0; }
static Uint32 bottleColour(int n) { return 0xF00010 | (Uint32(40 * (n + 1)) << 8); }

class Actors : public ::testing::Test {
protected:
    SDL_Surface* scr = nullptr;
    imgbase pics = {};
    SDL_Surface* bottle[5] = {};

    SDL_Surface* solid(int w, int h, Uint32 rgb) {
        SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, scr->format->Rmask, scr->format->Gmask,
                                              scr->format->Bmask, 0);
        SDL_FillRect(s, NULL, SDL_MapRGB(s->format, rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
        return s;
    }
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        scr = SDL_SetVideoMode(800, 600, 32, SDL_SWSURFACE);
        ASSERT_NE(scr, nullptr);
        for (int n = 0; n < 20; n++)
            if (n != 2 && n != 11) pics[n] = solid(80, 130, cowboyColour(n));
        for (int n = 0; n < 5; n++) bottle[n] = solid(30, 55, bottleColour(n));
    }
    void TearDown() override {
        for (int n = 0; n < 20; n++) SDL_FreeSurface(pics[n]);
        for (int n = 0; n < 5; n++) SDL_FreeSurface(bottle[n]);
        SDL_Quit();
    }
    // Clears the screen, draws the cowboy and names the slot seen in the middle of his box
    // (-1: nothing drawn there, -2: a colour of no slot).
    int drawnSlot(Player& p) {
        SDL_FillRect(scr, NULL, 0);
        p.draw();
        Uint32 c = pixelRGB(scr, p.rect.x + p.rect.w / 2, p.rect.y + p.rect.h / 2);
        for (int n = 0; n < 20; n++)
            if (c == cowboyColour(n)) return n;
        return c == 0 ? -1 : -2;
    }
    void putBottle(Whiskey& w, int x, int y) {
        w = Whiskey();
        for (int n = 0; n < 5; n++) w.img[n] = bottle[n];
        w.x = x;
        w.y = y;
        w.draw(scr, 0);
        w.drawn = false;
    }
};

static SDL_Rect box(int x, int y, int w = 80, int h = 130) {
    SDL_Rect r;
    r.x = Sint16(x); r.y = Sint16(y); r.w = Uint16(w); r.h = Uint16(h);
    return r;
}

TEST_F(Actors, NewCowboyStandsLoadedAtHisStartAndLeavesPicturesAlone) {
    Player* p = new Player(scr, pics);
    EXPECT_EQ(p->x, 100.0f);
    EXPECT_EQ(p->y, 100.0f);
    EXPECT_EQ(p->smer, 'r');
    EXPECT_EQ(p->motion, 's');
    EXPECT_TRUE(p->canShoot && !p->dead && !p->shooting);
    EXPECT_EQ(p->whiskeyCount, 0);
    EXPECT_EQ(p->speed, 0.2f);
    EXPECT_TRUE(p->img[2] == nullptr && p->img[11] == nullptr && p->img[7] == pics[7]);
    EXPECT_EQ(drawnSlot(*p), 0);
    delete p;
    SDL_Rect at = box(0, 0);
    EXPECT_EQ(SDL_BlitSurface(pics[0], NULL, scr, &at), 0);  // still a live picture
}

// Long frames move the whole speed x delta and then clamp to the bounds taken from the surface.
TEST_F(Actors, WalkingClampsToTheStreetAtEachEdge) {
    struct Walk { float x, y, d; char dir; float ex, ey; } walks[] = {
        {100, 100, 1000, 'r', 300, 100}, {600, 100, 1000, 'r', 720, 100}, {719.5f, 100, 0, 'r', 719.5f, 100},
        {719.5f, 100, 5, 'r', 720, 100}, {300, 100, 1000, 'l', 100, 100}, {100, 100, 1000, 'l', 0, 100},
        {0.5f, 100, 0, 'l', 0.5f, 100}, {100, 400, 1000, 'u', 100, 200}, {100, 100, 1000, 'u', 100, 60},
        {100, 60.5f, 0, 'u', 100, 60.5f}, {100, 100, 1000, 'd', 100, 270}, {100, 300, 1000, 'd', 100, 470},
        {100, 469.5f, 0, 'd', 100, 469.5f}, {100, 469.5f, 5, 'd', 100, 470},
    };
    for (const Walk& w : walks) {
        Player p(scr, pics);
        p.x = w.x; p.y = w.y; p.smer = 'l';
        p.setDelta(w.d);
        if (w.dir == 'r') p.wRight(); else if (w.dir == 'l') p.wLeft();
        else if (w.dir == 'u') p.wUp(); else p.wDown();
        EXPECT_FLOAT_EQ(p.x, w.ex) << w.dir << " from " << w.x << "," << w.y << " delta " << w.d;
        EXPECT_FLOAT_EQ(p.y, w.ey) << w.dir << " from " << w.x << "," << w.y << " delta " << w.d;
        EXPECT_EQ(p.motion, w.dir);
        EXPECT_EQ(p.getSmer(), w.dir == 'r' ? 'r' : 'l');  // up and down keep the facing
    }
    SDL_Surface* small = solid(640, 480, 0);
    Player p(small, pics);
    p.x = 600; p.y = 300;
    p.setDelta(1000);
    p.wRight();
    p.wDown();
    EXPECT_EQ(p.x, 560.0f);
    EXPECT_EQ(p.y, 350.0f);
    SDL_FreeSurface(small);
}

// Frames of exactly 100 ms: 200 is not past the walk step's 200, but is past the death step's 150.
TEST_F(Actors, AnimationStepsOnlyPastTheirThresholds) {
    Player p(scr, pics);
    p.motion = 'r';
    p.setDelta(100);
    int walk[6], expectWalk[6] = {0, 0, 1, 1, 1, 0};
    for (int i = 0; i < 6; i++) { p.anim(); walk[i] = drawnSlot(p); }
    EXPECT_EQ(std::vector<int>(walk, walk + 6), std::vector<int>(expectWalk, expectWalk + 6));

    p.smer = 'l';
    p.frame = 0;
    p.die();
    int death[8], expectDeath[8] = {16, 17, 17, 18, 18, 19, 19, 19};
    for (int i = 0; i < 8; i++) { p.anim(); death[i] = drawnSlot(p); }
    EXPECT_EQ(std::vector<int>(death, death + 8), std::vector<int>(expectDeath, expectDeath + 8));

    Player d(scr, pics);
    d.die();
    d.setDelta(150);
    d.anim();
    EXPECT_EQ(d.frame, 0);  // exactly 150
    d.setDelta(1);
    d.anim();
    EXPECT_EQ(d.frame, 1);
    EXPECT_EQ(d.animTime, 0.0f);

    // a frame time of 0 changes nothing
    Player q(scr, pics);
    q.shoot();
    q.setDelta(0);
    q.anim();
    EXPECT_TRUE(q.shooting && !q.canShoot);
    EXPECT_EQ(q.animTime, 0.0f);
    EXPECT_EQ(q.reloadTime, 0.0f);
}

TEST_F(Actors, ReloadAndShootingPoseEndAndTheirTimersRestartAtZero) {
    Player p(scr, pics);
    p.shoot();
    EXPECT_EQ(drawnSlot(p), 7);
    p.setDelta(200);
    p.anim();
    EXPECT_TRUE(p.shooting);  // exactly 200: still posing
    p.setDelta(1);
    p.anim();
    EXPECT_FALSE(p.shooting);
    EXPECT_EQ(p.animTime, 0.0f);
    EXPECT_EQ(drawnSlot(p), 3);  // standing, gun empty
    p.setDelta(1799);
    p.anim();
    EXPECT_FALSE(p.canShoot);  // exactly 2000 counted
    p.setDelta(1500);
    p.anim();
    EXPECT_TRUE(p.canShoot);
    EXPECT_EQ(p.reloadTime, 0.0f);
    EXPECT_EQ(drawnSlot(p), 0);
}

// The picture for each pose, read from the screen.
TEST_F(Actors, EachPoseDrawsItsSlot) {
    struct Pose { char motion, smer; bool shooting, canShoot; int frame, slot; } poses[] = {
        {'r', 'l', true, false, 1, 7},  {'r', 'l', false, true, 1, 1},  {'r', 'r', false, false, 1, 4},
        {'l', 'r', true, false, 0, 8},  {'l', 'r', false, true, 1, 10}, {'l', 'r', false, false, 0, 5},
        {'u', 'l', false, true, 0, 9},  {'d', 'l', false, true, 1, 10}, {'u', 'l', false, false, 1, 6},
        {'d', 'l', false, false, 0, 5}, {'d', 'l', true, false, 1, 8},  {'u', 'r', false, false, 1, 4},
        {'d', 'r', false, true, 1, 1},  {'s', 'r', false, true, 1, 0},  {'s', 'r', false, false, 1, 3},
        {'s', 'l', false, true, 1, 9},  {'s', 'l', false, false, 1, 5}, {'s', 'r', true, true, 1, 7},
        {'s', 'l', true, false, 0, 8},
    };
    for (const Pose& q : poses) {
        Player p(scr, pics);
        p.motion = q.motion; p.smer = q.smer; p.shooting = q.shooting; p.canShoot = q.canShoot;
        p.frame = q.frame;
        EXPECT_EQ(drawnSlot(p), q.slot) << q.motion << q.smer << q.shooting << q.canShoot << q.frame;
    }
    Player p(scr, pics);
    p.dead = true; p.shooting = true; p.frame = 2;
    EXPECT_EQ(drawnSlot(p), 14);
    p.smer = 'l'; p.frame = 3;
    EXPECT_EQ(drawnSlot(p), 19);
}

TEST_F(Actors, CowboyBoxIsTruncatedAndClippedAndAnEmptySlotDrawsNothing) {
    Player p(scr, pics);
    p.motion = 'r'; p.frame = 2;  // slot 2 is empty: nothing drawn, the box is left unclipped
    p.x = 99.9f; p.y = -0.5f;
    EXPECT_EQ(drawnSlot(p), -1);
    EXPECT_EQ(p.rect.x, 99);
    EXPECT_EQ(p.rect.y, 0);  // toward zero, not down
    EXPECT_EQ(p.rect.w, 80);
    EXPECT_EQ(p.rect.h, 130);
    p.frame = 0;
    p.x = 750; p.y = 54;  // a respawn place past the walking bound
    EXPECT_EQ(drawnSlot(p), 0);
    EXPECT_EQ(p.rect.x, 750);
    EXPECT_EQ(p.rect.w, 50);
    EXPECT_EQ(p.rect.h, 130);
}

TEST_F(Actors, DyingNeverGoesBelowNoneAndShootingAfterDeathPosesOnAfterRespawn) {
    Player p(scr, pics);
    p.whiskeyCount = 3;
    p.die();
    EXPECT_EQ(p.whiskeyCount, 2);
    Player q(scr, pics);
    q.animTime = 120;
    q.die();
    EXPECT_EQ(q.whiskeyCount, 0);
    EXPECT_TRUE(q.dead);
    EXPECT_EQ(q.animTime, 0.0f);
    q.shoot();  // the last shot of a cowboy hit in this frame
    q.setDelta(100);
    for (int i = 0; i < 20; i++) q.anim();
    EXPECT_TRUE(q.dead && !q.canShoot);  // both at exactly 2000
    EXPECT_TRUE(q.shooting);
    q.anim();
    EXPECT_TRUE(!q.dead && q.canShoot && q.shooting);
    q.motion = 's';
    EXPECT_EQ(drawnSlot(q), 7);
}

// Respawns land on the 7 x 4 grid, x drawn first, and start the walk cycle with frame 0.
TEST_F(Actors, RespawnLandsOnTheGridWithAFreshWalkFrame) {
    for (unsigned seed = 1; seed <= 300; seed++) {
        gameSrand(seed);
        int rx = gameRand() % 100, ry = gameRand() % 100;
        gameSrand(seed);
        Player p(scr, pics);
        p.smer = 'l';
        p.die();
        p.setDelta(160);
        for (int i = 0; i < 12; i++) p.anim();  // 1920 ms dead
        ASSERT_TRUE(p.dead);
        ASSERT_EQ(p.frame, 3);
        p.anim();  // 2080 ms
        ASSERT_FALSE(p.dead);
        EXPECT_EQ(p.x, float(57 + 7 * rx));
        EXPECT_EQ(p.y, float(54 + 4 * ry));
        EXPECT_EQ(p.deadTime, 0.0f);
        EXPECT_EQ(p.frame, 0);
        if (seed == 1) {
            p.motion = 'l';  // walking left right after coming back: the first walking picture
            EXPECT_EQ(drawnSlot(p), 9);
        }
    }
}

TEST_F(Actors, BottleDrawsOncePerFrameButCountsHiddenTimeOnEveryCall) {
    Whiskey w;
    putBottle(w, 360, 300);
    w.draw(scr, 100);
    w.draw(scr, 100);
    EXPECT_EQ(w.timer, 100.0f);
    EXPECT_EQ(pixelRGB(scr, 375, 327), bottleColour(0));
    w.drawn = false;
    w.draw(scr, 50);
    EXPECT_EQ(w.frame, 0);  // exactly 150
    w.drawn = false;
    w.draw(scr, 0.5f);
    EXPECT_EQ(w.frame, 1);
    EXPECT_EQ(w.timer, 0.0f);
    EXPECT_EQ(pixelRGB(scr, 375, 327), bottleColour(1));
    w.frame = 4;
    w.drawn = false;
    w.draw(scr, 151);
    EXPECT_EQ(w.frame, 0);

    w.hidden = true; w.timer = 0; w.drawn = false;
    w.frame = 3;
    SDL_FillRect(scr, NULL, 0);
    w.draw(scr, 2000);
    w.draw(scr, 2000);
    EXPECT_TRUE(w.hidden);  // 4000 counted, not past it
    w.draw(scr, 0);
    EXPECT_TRUE(w.hidden && !w.drawn);
    EXPECT_EQ(pixelRGB(scr, 375, 327), 0u);
    w.draw(scr, 1);
    EXPECT_TRUE(!w.hidden && w.drawn);
    EXPECT_EQ(w.timer, 1.0f);
    EXPECT_EQ(pixelRGB(scr, 375, 327), bottleColour(3));  // shows with the picture it had
}

TEST_F(Actors, BottleBoxIsClippedByTheScreenAndSurvivesAMissingPicture) {
    Whiskey w;
    putBottle(w, 360, 550);
    EXPECT_EQ(w.rect.w, 30);
    EXPECT_EQ(w.rect.h, 50);
    putBottle(w, 900, 700);
    EXPECT_EQ(w.rect.w, 0);
    EXPECT_EQ(w.rect.h, 0);
    for (int x = -100; x <= 850; x += 5) EXPECT_FALSE(w.kolid(box(x, 625))) << x;
    w.rect.w = 30;
    w.rect.h = 55;
    EXPECT_FALSE(w.kolid(box(850, 625)));
    EXPECT_TRUE(w.kolid(box(851, 625)));  // only out of reach, not out of the test
    putBottle(w, 360, 300);
    w.img[0] = nullptr;
    w.drawn = false;
    w.draw(scr, 10);
    EXPECT_EQ(w.rect.w, 30);
    EXPECT_EQ(w.rect.h, 55);
    EXPECT_TRUE(w.kolid(box(340, 225)));
}

// The bottle drawn whole at 360,300: a pickup needs 310 < x < 370 and 345 < feet < 370.
TEST_F(Actors, PickupMarginsAreExact) {
    struct Try { int x, y, w, h; bool hit; } tries[] = {
        {311, 230, 80, 130, true},  {310, 230, 80, 130, false}, {369, 230, 80, 130, true},
        {370, 230, 80, 130, false}, {340, 216, 80, 130, true},  {340, 215, 80, 130, false},
        {340, 239, 80, 130, true},  {340, 240, 80, 130, false}, {310, 230, 200, 130, false},
        {340, 300, 80, 60, true},   {340, 310, 80, 60, false},
    };
    for (const Try& t : tries) {
        Whiskey w;
        putBottle(w, 360, 300);
        EXPECT_EQ(w.kolid(box(t.x, t.y, t.w, t.h)), t.hit) << t.x << "," << t.y << " " << t.w << "x" << t.h;
    }
    Whiskey w;
    putBottle(w, 10, 300);
    EXPECT_TRUE(w.kolid(box(-30, 230)));  // left of the screen edge still counts as signed
}

TEST_F(Actors, PickupMovesTheBottleXFirstAndHidesIt) {
    gameSrand(77);
    int rx = gameRand() % 100, ry = gameRand() % 100;
    gameSrand(77);
    Whiskey w;
    putBottle(w, 360, 300);
    w.timer = 90;
    ASSERT_TRUE(w.kolid(box(340, 230)));
    EXPECT_EQ(w.x, 57 + 7 * rx);
    EXPECT_EQ(w.y, 154 + 4 * ry);
    EXPECT_TRUE(w.hidden);
    EXPECT_EQ(w.timer, 0.0f);
    EXPECT_EQ(w.rect.x, 360);  // the box stays where it was drawn
    EXPECT_FALSE(w.kolid(box(340, 230)));  // the second cowboy of the frame is too late
}
