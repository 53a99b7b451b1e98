// text.cpp: lines of text from a glyph sheet that the asset generator drew.
#include "draw/text.h"
#include "draw/draw.h"

#include <cstring>

static int cellOf(char ch) {
    unsigned char c = (unsigned char)ch;
    return c >= 32 && c < 127 ? c - 32 : '?' - 32;
}

void makeLettering(Lettering& l, SDL_Surface* sheet) {
    l.sheet = sheet;
    l.cellW = sheet->w / 16;
    l.cellH = sheet->h / 6;
    SDL_LockSurface(sheet);
    for (int i = 0; i < 96; i++) {
        int x0 = i % 16 * l.cellW, y0 = i / 16 * l.cellH, n = 0;
        Uint8* row = (Uint8*)sheet->pixels + y0 * sheet->pitch;
        for (int x = 0; x < l.cellW; x++) {
            Uint32 raw = 0;
            memcpy(&raw, row + (x0 + x) * sheet->format->BytesPerPixel, sheet->format->BytesPerPixel);
            Uint8 r, g, b;
            SDL_GetRGB(raw, sheet->format, &r, &g, &b);
            if (r > 200 && g < 50 && b < 50) n = x + 1;  // the red mark of the advance
        }
        l.advance[i] = n;
    }
    SDL_UnlockSurface(sheet);
}

int textWidth(const Lettering& l, const std::string& s) {
    int w = 0;
    for (char c : s) w += l.advance[cellOf(c)];
    return w;
}

void drawText(const Lettering& l, const std::string& s, int x, int y, int align) {
    if (!l.sheet) return;
    int w = textWidth(l, s);
    x -= align == 0 ? w / 2 : align > 0 ? w : 0;
    for (char c : s) {
        int i = cellOf(c);
        SDL_Rect from = {Sint16(i % 16 * l.cellW), Sint16(i / 16 * l.cellH + 1), Uint16(l.cellW), Uint16(l.cellH - 1)};
        SDL_Rect to = {Sint16(x), Sint16(y), 0, 0};
        SDL_BlitSurface(l.sheet, &from, screen, &to);
        noteDrawn(screen, &to);
        x += l.advance[i];
    }
}
