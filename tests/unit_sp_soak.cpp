// unit_sp_soak.cpp: two hundred thousand passes of random play against the computer; every pass keeps the invariants.
#include "soak.h"

TEST(Soak, SinglePlayerEditionKeepsItsInvariantsThroughRandomPlay) { soak::soakTest(false, "sp"); }
