// music.cpp: (being written) the music module.
#include "assetgen.h"
void makeMusic(const std::string& root) { ensureDir(root + "/music"); }
