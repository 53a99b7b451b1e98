// entry.cpp: the entry line's editing: what fits on it, the keyboard's characters and the pad's moves.
#include "session/entry.h"
#include "net/lobbywire.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

static const char CODE_ALPHABET[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
static const char PAD_CYCLE[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ.:";  // what Up and Down go through

static bool isCode(const std::string& t) {
    return t.size() <= CODE_LENGTH && t.find_first_not_of(CODE_ALPHABET) == std::string::npos;
}

static bool isAddress(const std::string& t) {
    size_t colons = std::count(t.begin(), t.end(), ':');
    return t.size() <= ADDRESS_LENGTH && t.find_first_not_of("0123456789.:") == std::string::npos &&
           t.find_first_of(".:") != std::string::npos && colons <= 1 && t[0] != '.' && t[0] != ':';
}

bool entryFits(const std::string& text) { return isCode(text) || isAddress(text); }

// A typed character as it goes on the line: upper case, O, I and L as 0, 1 and 1; 0 for one never taken.
static char normal(uint16_t c) {
    if (c >= 'a' && c <= 'z') c = uint16_t(c - 'a' + 'A');
    if (c == 'O') return '0';
    if (c == 'I' || c == 'L') return '1';
    return c < 128 && c && strchr(PAD_CYCLE, int(c)) ? char(c) : 0;
}

void entryType(EntryLine& e, uint16_t c) {
    char n = normal(c);
    if (!n) return;
    std::string t = e.text;
    t.insert(std::min(e.cursor, t.size()), 1, n);
    if (entryFits(t)) e.text = t, e.cursor = std::min(e.cursor, e.text.size() - 1) + 1;
}

void entryBackspace(EntryLine& e) {
    if (!e.cursor || e.text.empty()) return;
    std::string t = e.text;
    t.erase(std::min(e.cursor, t.size()) - 1, 1);
    if (!entryFits(t)) return;  // "1234567.8" less its dot would fit neither: the dot stays
    e.text = t, e.cursor--;
}

void entryPadChange(EntryLine& e, int step) {
    const int n = int(sizeof PAD_CYCLE) - 1;
    size_t at = std::min(e.cursor, e.text.size());
    std::string t = e.text;
    if (at == t.size()) t.push_back(step > 0 ? PAD_CYCLE[n - 1] : PAD_CYCLE[0]);  // Up adds a '0'
    int i = int(strchr(PAD_CYCLE, t[at]) - PAD_CYCLE);
    for (int tries = 0; tries < n; tries++) {
        i = (i + (step > 0 ? 1 : n - 1)) % n;  // Up: 0, 1, 2 ... Z . : and round; Down the other way
        t[at] = PAD_CYCLE[i];
        if (entryFits(t)) return (void)(e.text = t, e.cursor = at);
    }
}

void entryPadMove(EntryLine& e, int step) {
    if (step < 0 && e.cursor > 0) e.cursor--;
    if (step > 0 && e.cursor < e.text.size()) e.cursor++;
}

EntryKind entryRead(const std::string& text, uint32_t& code, std::string& address, uint16_t& port) {
    if (text.size() == CODE_LENGTH && isCode(text)) return parseCode("+" + text, code) ? ENTRY_CODE : ENTRY_INCOMPLETE;
    if (!isAddress(text)) return ENTRY_INCOMPLETE;
    size_t colon = text.find(':');
    address = text.substr(0, colon);
    long p = colon == std::string::npos ? 27415 : strtol(text.c_str() + colon + 1, nullptr, 10);
    in_addr ip;
    if (inet_pton(AF_INET, address.c_str(), &ip) != 1 || p < 1 || p > 65535) return ENTRY_INCOMPLETE;
    if (colon != std::string::npos && colon + 1 == text.size()) return ENTRY_INCOMPLETE;
    port = uint16_t(p);
    return ENTRY_ADDRESS;
}

std::string entryShown(const EntryLine& e) {
    if (!isCode(e.text)) return e.text;
    std::string c = e.text + std::string(CODE_LENGTH - e.text.size(), '_');
    return "+" + c.substr(0, 3) + " " + c.substr(3);
}
