// images.cpp: (being written) every picture of the game.
#include "assetgen.h"
void makeImages(const std::string& root) { ensureDir(root + "/images"); }
