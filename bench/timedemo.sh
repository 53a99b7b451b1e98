#!/bin/bash
# timedemo.sh BUILD_DIR: each shipped demo played as fast as the machine can (--timedemo) on the dummy video
# and sound drivers, by the program of its edition: its passes, seconds, passes per second and final hash.
set -eu
BIN=$(cd "$1/bin" && pwd)
DEMOS=$(cd "$1/demos" && pwd)
echo "timedemo (dummy drivers; at least 5000 passes per second wanted):"
for demo in "$DEMOS"/sp-*.kvd "$DEMOS"/mp-*.kvd; do
    edition=$(basename "$demo" | cut -d- -f1)
    (cd "$BIN" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "./korvado_$edition" --timedemo "$demo")
done
