#!/bin/bash
# test_leaks_sp.sh: the single-player program under valgrind: intro, a short round of game type 2
# in which the computer lines up and shoots, exit.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/leaks.sh"

leak_session korvado_sp_plain 2 6 Control_R
