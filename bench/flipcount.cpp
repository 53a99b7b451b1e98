// flipcount.cpp: counts the frames the game shows (SDL_Flip, or SDL_UpdateRects for a frame that changed in
// places) for the pacing benchmark, loaded with LD_PRELOAD.
// The count lives in the file named by KORVADO_FLIPCOUNT (8 bytes, mapped), so a script can read it
// while the game runs without costing the game a system call a frame.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static volatile uint64_t* counter;
static int (*realFlip)(SDL_Surface*);

static void openCounter() {
    const char* path = getenv("KORVADO_FLIPCOUNT");
    if (!path) return;
    int fd = open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0) return;
    void* p = ftruncate(fd, sizeof(uint64_t)) == 0
                  ? mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                  : MAP_FAILED;
    close(fd);
    if (p != MAP_FAILED) counter = (volatile uint64_t*)p;
}

static void (*realUpdateRects)(SDL_Surface*, int, SDL_Rect*);
static bool inFlip;

static void countFrame() {
    static bool opened;
    if (!opened) opened = true, openCounter();
    if (counter) *counter = *counter + 1;
}

extern "C" int SDL_Flip(SDL_Surface* screen) {
    if (!realFlip) realFlip = (int (*)(SDL_Surface*))dlsym(RTLD_NEXT, "SDL_Flip");
    countFrame();
    inFlip = true;  // SDL's flip may show the screen through SDL_UpdateRects itself: one frame
    int r = realFlip ? realFlip(screen) : -1;
    inFlip = false;
    return r;
}

extern "C" void SDL_UpdateRects(SDL_Surface* screen, int n, SDL_Rect* rects) {
    if (!realUpdateRects) realUpdateRects = (void (*)(SDL_Surface*, int, SDL_Rect*))dlsym(RTLD_NEXT, "SDL_UpdateRects");
    if (!inFlip) countFrame();
    if (realUpdateRects) realUpdateRects(screen, n, rects);
}
