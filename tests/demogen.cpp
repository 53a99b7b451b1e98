// demogen.cpp: records an unattended duel of one game type into a demo file (demos/ and tests/golden/ hold
// duels recorded with it): demogen_sp|demogen_mp FILE TYPE SEED [escape|twins], run from the build's bin folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/demo.h"
#include "demobot.h"

int main(int argc, char* argv[]) {
    if (argc != 4 && argc != 5) {
        fprintf(stderr, "usage: %s FILE TYPE SEED [escape|twins]\n", argv[0]);
        return 2;
    }
    demobot::Variant how = demobot::PLAIN;
    if (argc == 5) how = strcmp(argv[4], "escape") == 0 ? demobot::ESCAPE : demobot::TWINS;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    char record[] = "--record";
    char* args[] = {argv[0], record, argv[1], nullptr};
    int status = startUp(3, args);
    if (status >= 0) return status;
    GameState s = demobot::start(atoi(argv[2]), unsigned(strtoul(argv[3], nullptr, 10)), how);
    demoStartRecording(s);
    while (demobot::passes < 100000 && runFrame(s, demobot::inputs)) {
    }
    demoFinish();
    printf("%s: %ld passes, %ld winner screens, final state hash %08x\n", argv[1], demobot::passes,
           demobot::rounds, demoFinalHash(s));
    shutDown();
    return demobot::rounds == (how == demobot::TWINS ? 2 : 1) ? 0 : 1;
}
