// assetgen.h: the asset generator's parts: pictures, sounds and the music module, all made by code.
#ifndef KORVADO_ASSETGEN_H
#define KORVADO_ASSETGEN_H

#include <string>

// Each writes its files under root, in the folders the game reads ("images/", "sfx/", "music/").
void makeImages(const std::string& root);  // every picture, plus root + "/contact-sheet.png"
void makeSounds(const std::string& root);  // the six WAV samples
void makeMusic(const std::string& root);   // "music/wildwest.it"
void makeIcons(const std::string& root);   // "icons/hicolor/NxN/apps/korvado.png" and "images/icon.png"

// Creates a folder and its parents (like mkdir -p); exits with a message if it cannot.
void ensureDir(const std::string& path);

#endif
