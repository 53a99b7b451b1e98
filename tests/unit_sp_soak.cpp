// unit_sp_soak.cpp: two hundred thousand frames of random play against the computer; every frame keeps the invariants.
#include "soak.h"

TEST(Soak, SinglePlayerEditionKeepsItsInvariantsThroughRandomPlay) { soak::soakTest(false, "sp"); }
