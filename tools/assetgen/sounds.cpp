// sounds.cpp: (being written) the six sound effects.
#include "assetgen.h"
void makeSounds(const std::string& root) { ensureDir(root + "/sfx"); }
