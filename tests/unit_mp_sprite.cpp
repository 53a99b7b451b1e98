// unit_mp_sprite.cpp: the cowboy and the bottle: walking bounds, timers, poses, boxes, respawn and pickups.
#include "game/game.h"

#include <gtest/gtest.h>
#include <vector>

static Box box(int x, int y, int w = 80, int h = 130) {
    Box r;
    r.x = int16_t(x), r.y = int16_t(y), r.w = uint16_t(w), r.h = uint16_t(h);
    return r;
}

// The bottle at (x, y) as a round frame leaves it after its first chance to be drawn.
static Whiskey bottleAt(int x, int y) {
    Whiskey w;
    w.x = x, w.y = y;
    w.chance(0);
    w.drawn = false;
    return w;
}

TEST(Actors, NewCowboyStandsLoadedAtHisStart) {
    Player p;
    EXPECT_EQ(p.x, 100.0f);
    EXPECT_EQ(p.y, 100.0f);
    EXPECT_EQ(p.smer, 'r');
    EXPECT_EQ(p.motion, 's');
    EXPECT_TRUE(p.canShoot && !p.dead && !p.shooting);
    EXPECT_EQ(p.whiskeyCount, 0);
    EXPECT_EQ(p.speed, 0.2f);
    EXPECT_EQ(poseSlot(p), 0);
}

// Long frames move the whole speed x delta and then clamp to the street.
TEST(Actors, WalkingClampsToTheStreetAtEachEdge) {
    struct Walk { float x, y, d; char dir; float ex, ey; } walks[] = {
        {100, 100, 1000, 'r', 300, 100}, {600, 100, 1000, 'r', 720, 100}, {719.5f, 100, 0, 'r', 719.5f, 100},
        {719.5f, 100, 5, 'r', 720, 100}, {300, 100, 1000, 'l', 100, 100}, {100, 100, 1000, 'l', 0, 100},
        {0.5f, 100, 0, 'l', 0.5f, 100}, {100, 400, 1000, 'u', 100, 200}, {100, 100, 1000, 'u', 100, 60},
        {100, 60.5f, 0, 'u', 100, 60.5f}, {100, 100, 1000, 'd', 100, 270}, {100, 300, 1000, 'd', 100, 470},
        {100, 469.5f, 0, 'd', 100, 469.5f}, {100, 469.5f, 5, 'd', 100, 470},
    };
    for (const Walk& w : walks) {
        Player p;
        p.x = w.x; p.y = w.y; p.smer = 'l';
        p.setDelta(w.d);
        if (w.dir == 'r') p.wRight(); else if (w.dir == 'l') p.wLeft();
        else if (w.dir == 'u') p.wUp(); else p.wDown();
        EXPECT_FLOAT_EQ(p.x, w.ex) << w.dir << " from " << w.x << "," << w.y << " delta " << w.d;
        EXPECT_FLOAT_EQ(p.y, w.ey) << w.dir << " from " << w.x << "," << w.y << " delta " << w.d;
        EXPECT_EQ(p.motion, w.dir);
        EXPECT_EQ(p.getSmer(), w.dir == 'r' ? 'r' : 'l');  // up and down keep the facing
    }
}

// Frames of exactly 100 ms: 200 is not past the walk step's 200, but is past the death step's 150.
TEST(Actors, AnimationStepsOnlyPastTheirThresholds) {
    GameRng rng;
    Player p;
    p.motion = 'r';
    p.setDelta(100);
    std::vector<int> walk, death;
    for (int i = 0; i < 6; i++) p.anim(rng), walk.push_back(poseSlot(p));
    EXPECT_EQ(walk, std::vector<int>({0, 0, 1, 1, 1, 0}));
    p.smer = 'l';
    p.frame = 0;
    p.die();
    for (int i = 0; i < 8; i++) p.anim(rng), death.push_back(poseSlot(p));
    EXPECT_EQ(death, std::vector<int>({16, 17, 17, 18, 18, 19, 19, 19}));

    Player d;
    d.die();
    d.setDelta(150);
    d.anim(rng);
    EXPECT_EQ(d.frame, 0);  // exactly 150
    d.setDelta(1);
    d.anim(rng);
    EXPECT_EQ(d.frame, 1);
    EXPECT_EQ(d.animTime, 0.0f);

    Player q;  // a frame time of 0 changes nothing
    q.shoot();
    q.setDelta(0);
    q.anim(rng);
    EXPECT_TRUE(q.shooting && !q.canShoot);
    EXPECT_EQ(q.animTime, 0.0f);
    EXPECT_EQ(q.reloadTime, 0.0f);
}

TEST(Actors, ReloadAndShootingPoseEndAndTheirTimersRestartAtZero) {
    GameRng rng;
    Player p;
    p.shoot();
    EXPECT_EQ(poseSlot(p), 7);
    p.setDelta(200);
    p.anim(rng);
    EXPECT_TRUE(p.shooting);  // exactly 200: still posing
    p.setDelta(1);
    p.anim(rng);
    EXPECT_FALSE(p.shooting);
    EXPECT_EQ(p.animTime, 0.0f);
    EXPECT_EQ(poseSlot(p), 3);  // standing, gun empty
    p.setDelta(1799);
    p.anim(rng);
    EXPECT_FALSE(p.canShoot);  // exactly 2000 counted
    p.setDelta(1500);
    p.anim(rng);
    EXPECT_TRUE(p.canShoot);
    EXPECT_EQ(p.reloadTime, 0.0f);
    EXPECT_EQ(poseSlot(p), 0);
}

TEST(Actors, EachPoseHasItsSlot) {
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
        Player p;
        p.motion = q.motion; p.smer = q.smer; p.shooting = q.shooting; p.canShoot = q.canShoot;
        p.frame = q.frame;
        EXPECT_EQ(poseSlot(p), q.slot) << q.motion << q.smer << q.shooting << q.canShoot << q.frame;
    }
    Player p;
    p.dead = true; p.shooting = true; p.frame = 2;
    EXPECT_EQ(poseSlot(p), 14);
    p.smer = 'l'; p.frame = 3;
    EXPECT_EQ(poseSlot(p), 19);
}

TEST(Actors, CowboyBoxIsTruncatedAndClippedByTheScreen) {
    Player p;
    p.x = 99.9f; p.y = -0.5f;
    p.place();
    EXPECT_EQ(p.rect.x, 99);
    EXPECT_EQ(p.rect.y, 0);  // toward zero, not down
    EXPECT_EQ(p.rect.w, 80);
    EXPECT_EQ(p.rect.h, 130);
    p.x = 750; p.y = 54;  // a respawn place past the walking bound
    p.place();
    EXPECT_EQ(p.rect.x, 750);
    EXPECT_EQ(p.rect.w, 50);
    EXPECT_EQ(p.rect.h, 130);
}

TEST(Actors, DyingNeverGoesBelowNoneAndShootingAfterDeathPosesOnAfterRespawn) {
    GameRng rng;
    Player p;
    p.whiskeyCount = 3;
    p.die();
    EXPECT_EQ(p.whiskeyCount, 2);
    Player q;
    q.animTime = 120;
    q.die();
    EXPECT_EQ(q.whiskeyCount, 0);
    EXPECT_TRUE(q.dead);
    EXPECT_EQ(q.animTime, 0.0f);
    q.shoot();  // the last shot of a cowboy hit in this frame
    q.setDelta(100);
    for (int i = 0; i < 20; i++) q.anim(rng);
    EXPECT_TRUE(q.dead && !q.canShoot);  // both at exactly 2000
    EXPECT_TRUE(q.shooting);
    q.anim(rng);
    EXPECT_TRUE(!q.dead && q.canShoot && q.shooting);
    q.motion = 's';
    EXPECT_EQ(poseSlot(q), 7);
}

// Respawns land on the 7 x 4 grid, x drawn first, and start the walk cycle with frame 0.
TEST(Actors, RespawnLandsOnTheGridWithAFreshWalkFrame) {
    for (unsigned seed = 1; seed <= 300; seed++) {
        GameRng rng;
        rng.reseed(seed);
        int rx = rng.next() % 100, ry = rng.next() % 100;
        rng.reseed(seed);
        Player p;
        p.smer = 'l';
        p.die();
        p.setDelta(160);
        for (int i = 0; i < 12; i++) p.anim(rng);  // 1920 ms dead
        ASSERT_TRUE(p.dead);
        ASSERT_EQ(p.frame, 3);
        p.anim(rng);  // 2080 ms
        ASSERT_FALSE(p.dead);
        EXPECT_EQ(p.x, float(57 + 7 * rx));
        EXPECT_EQ(p.y, float(54 + 4 * ry));
        EXPECT_EQ(p.deadTime, 0.0f);
        EXPECT_EQ(rng.draws, 2u);
        p.motion = 'l';  // walking left right after coming back: the first walking picture
        EXPECT_EQ(poseSlot(p), 9);
    }
}

TEST(Actors, BottleIsDrawnOncePerFrameButCountsHiddenTimeAtEveryChance) {
    Whiskey w = bottleAt(360, 300);
    w.chance(100);
    w.chance(100);
    EXPECT_EQ(w.timer, 100.0f);
    EXPECT_TRUE(w.drawn);
    w.drawn = false;
    w.chance(50);
    EXPECT_EQ(w.frame, 0);  // exactly 150
    w.drawn = false;
    w.chance(0.5f);
    EXPECT_EQ(w.frame, 1);
    EXPECT_EQ(w.timer, 0.0f);
    w.frame = 4;
    w.drawn = false;
    w.chance(151);
    EXPECT_EQ(w.frame, 0);

    w.hidden = true; w.timer = 0; w.drawn = false;
    w.frame = 3;
    w.chance(2000);
    w.chance(2000);
    EXPECT_TRUE(w.hidden);  // 4000 counted, not past it
    w.chance(0);
    EXPECT_TRUE(w.hidden && !w.drawn);
    w.chance(1);
    EXPECT_TRUE(!w.hidden && w.drawn);
    EXPECT_EQ(w.timer, 1.0f);
    EXPECT_EQ(w.frame, 3);  // shows with the picture it had
}

TEST(Actors, BottleBoxIsClippedByTheScreen) {
    GameRng rng;
    Whiskey w = bottleAt(360, 550);
    EXPECT_EQ(w.rect.w, 30);
    EXPECT_EQ(w.rect.h, 50);
    w = bottleAt(900, 700);
    EXPECT_EQ(w.rect.w, 0);
    EXPECT_EQ(w.rect.h, 0);
    for (int x = -100; x <= 850; x += 5) EXPECT_FALSE(w.kolid(box(x, 625), rng)) << x;
    w.rect.w = 30;
    w.rect.h = 55;
    EXPECT_FALSE(w.kolid(box(850, 625), rng));
    EXPECT_TRUE(w.kolid(box(851, 625), rng));  // only out of reach, not out of the test
}

// The bottle drawn whole at 360,300: a pickup needs 310 < x < 370 and 345 < feet < 370.
TEST(Actors, PickupMarginsAreExact) {
    GameRng rng;
    struct Try { int x, y, w, h; bool hit; } tries[] = {
        {311, 230, 80, 130, true},  {310, 230, 80, 130, false}, {369, 230, 80, 130, true},
        {370, 230, 80, 130, false}, {340, 216, 80, 130, true},  {340, 215, 80, 130, false},
        {340, 239, 80, 130, true},  {340, 240, 80, 130, false}, {310, 230, 200, 130, false},
        {340, 300, 80, 60, true},   {340, 310, 80, 60, false},
    };
    for (const Try& t : tries) {
        Whiskey w = bottleAt(360, 300);
        EXPECT_EQ(w.kolid(box(t.x, t.y, t.w, t.h), rng), t.hit) << t.x << "," << t.y << " " << t.w << "x" << t.h;
    }
    Whiskey w = bottleAt(10, 300);
    EXPECT_TRUE(w.kolid(box(-30, 230), rng));  // left of the screen edge still counts as signed
}

TEST(Actors, PickupMovesTheBottleXFirstAndHidesIt) {
    GameRng rng;
    rng.reseed(77);
    int rx = rng.next() % 100, ry = rng.next() % 100;
    rng.reseed(77);
    Whiskey w = bottleAt(360, 300);
    w.timer = 90;
    ASSERT_TRUE(w.kolid(box(340, 230), rng));
    EXPECT_EQ(w.x, 57 + 7 * rx);
    EXPECT_EQ(w.y, 154 + 4 * ry);
    EXPECT_TRUE(w.hidden);
    EXPECT_EQ(w.timer, 0.0f);
    EXPECT_EQ(w.rect.x, 360);  // the box stays where it was drawn
    EXPECT_FALSE(w.kolid(box(340, 230), rng));  // the second cowboy of the frame is too late
}
