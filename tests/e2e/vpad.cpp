// vpad.cpp: two gamepads without hardware, for the end-to-end tests on sdl12-compat. Preloaded into the
// game, it attaches two SDL2 virtual controllers before the game's SDL_Init (sdl12-compat lists pads only
// then), and each time the game polls for an event it carries out the lines a test script has appended
// to the file named by KORVADO_VPAD_SCRIPT since the last poll:
//   PAD button N 0|1    release or press button N (SDL2's controller order: 0 A, 1 B, 2 X, 6 Start, 11-14 D-pad)
//   PAD axis N VALUE    move axis N (0 and 1 the left stick, 5 the right trigger) to VALUE, -32768 to 32767
//   PAD detach          pull the pad out
// PAD is 1 or 2. Needs SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS=1 where the window may lack the focus.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

typedef void Joystick;
const uint32_t SDL2_INIT_JOYSTICK = 0x200;
const int SDL2_JOYSTICK_TYPE_GAMECONTROLLER = 1;

struct Sdl2 {
    int (*initSubSystem)(uint32_t);
    int (*attach)(int type, int axes, int buttons, int hats);
    int (*detach)(int index);
    Joystick* (*open)(int index);
    int (*setButton)(Joystick*, int, uint8_t);
    int (*setAxis)(Joystick*, int, int16_t);
} sdl2;

int pads[2] = {-1, -1};
Joystick* sticks[2];
int script = -1;
std::string pending;

bool loadSdl2() {
    void* lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return false;
    sdl2.initSubSystem = (int (*)(uint32_t))dlsym(lib, "SDL_InitSubSystem");
    sdl2.attach = (int (*)(int, int, int, int))dlsym(lib, "SDL_JoystickAttachVirtual");
    sdl2.detach = (int (*)(int))dlsym(lib, "SDL_JoystickDetachVirtual");
    sdl2.open = (Joystick * (*)(int)) dlsym(lib, "SDL_JoystickOpen");
    sdl2.setButton = (int (*)(Joystick*, int, uint8_t))dlsym(lib, "SDL_JoystickSetVirtualButton");
    sdl2.setAxis = (int (*)(Joystick*, int, int16_t))dlsym(lib, "SDL_JoystickSetVirtualAxis");
    return sdl2.initSubSystem && sdl2.attach && sdl2.detach && sdl2.open && sdl2.setButton && sdl2.setAxis;
}

void attachPads() {
    const char* path = getenv("KORVADO_VPAD_SCRIPT");
    if (!path || !loadSdl2() || sdl2.initSubSystem(SDL2_INIT_JOYSTICK) < 0) {
        fprintf(stderr, "vpad: no SDL2 virtual joysticks\n");
        return;
    }
    script = open(path, O_RDONLY | O_CREAT, 0644);
    for (int i = 0; i < 2; i++) {
        pads[i] = sdl2.attach(SDL2_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
        sticks[i] = pads[i] >= 0 ? sdl2.open(pads[i]) : nullptr;
    }
}

void perform(const char* line) {
    int pad = 0, n = 0, value = 0;
    char what[16] = "";
    if (sscanf(line, "%d %15s %d %d", &pad, what, &n, &value) < 2 || pad < 1 || pad > 2 || !sticks[pad - 1]) return;
    Joystick* j = sticks[pad - 1];
    if (strcmp(what, "button") == 0) sdl2.setButton(j, n, value != 0);
    if (strcmp(what, "axis") == 0) sdl2.setAxis(j, n, int16_t(value));
    if (strcmp(what, "detach") == 0) sdl2.detach(pads[pad - 1]), sticks[pad - 1] = nullptr;
}

// The whole lines appended since the last look.
void followScript() {
    if (script < 0) return;
    char buf[512];
    ssize_t n;
    while ((n = read(script, buf, sizeof buf)) > 0) pending.append(buf, size_t(n));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
        perform(pending.substr(0, end).c_str());
        pending.erase(0, end + 1);
    }
}

}  // namespace

extern "C" int SDL_Init(uint32_t flags) {
    static int (*real)(uint32_t) = (int (*)(uint32_t))dlsym(RTLD_NEXT, "SDL_Init");
    if (pads[0] < 0) attachPads();
    return real(flags);
}

extern "C" int SDL_PollEvent(void* event) {
    static int (*real)(void*) = (int (*)(void*))dlsym(RTLD_NEXT, "SDL_PollEvent");
    followScript();
    return real(event);
}
