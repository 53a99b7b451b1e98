// text.h: lines of text drawn from a glyph sheet (korvado_net's screens).
#ifndef KORVADO_TEXT_H
#define KORVADO_TEXT_H

#include <SDL.h>
#include <string>

// A glyph sheet: 16 x 6 cells for the characters 32 to 127; each cell's first row marks its advance.
struct Lettering {
    SDL_Surface* sheet = nullptr;
    int cellW = 0, cellH = 0;
    int advance[96] = {};
};

// Reads the advances from the sheet's marks and keeps the sheet.
void makeLettering(Lettering& l, SDL_Surface* sheet);
int textWidth(const Lettering& l, const std::string& s);
// One line with its top at y; align -1 from x, 0 centred on x, 1 ending at x. Other characters than
// printable ASCII show as '?'.
void drawText(const Lettering& l, const std::string& s, int x, int y, int align);

#endif
