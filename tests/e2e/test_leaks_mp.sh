#!/bin/bash
# test_leaks_mp.sh: the two-player program under valgrind: intro, a short round of game type 0, exit.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/leaks.sh"

leak_session korvado_mp_plain 0 3 Left Control_R d q
