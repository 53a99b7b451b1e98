// entry.h: the entry line of korvado_net's "Join a duel": an invite code or an address, typed or entered with a pad.
#ifndef KORVADO_ENTRY_H
#define KORVADO_ENTRY_H

#include <cstddef>
#include <cstdint>
#include <string>

const size_t CODE_LENGTH = 6;       // an invite code's characters, without its '+'
const size_t ADDRESS_LENGTH = 21;   // "255.255.255.255:65535"

// What the player has entered: the code's characters (upper case, O, I and L read as 0, 1 and 1) or an
// address's digits, dots and colon; the pad's place in it.
struct EntryLine {
    std::string text;
    size_t cursor = 0;
};

// Whether `text` can stand on the line: up to six characters of the code's alphabet, or up to 21 digits with
// dots and at most one colon, at least one of them there (so that a code of digits stays a code).
bool entryFits(const std::string& text);
void entryType(EntryLine& e, uint16_t c);  // a typed character; ignored where it does not fit
void entryBackspace(EntryLine& e);         // the character before the pad's place
// The pad: Up and Down change the character at its place (at the end, they add one), Left and Right move.
void entryPadChange(EntryLine& e, int step);
void entryPadMove(EntryLine& e, int step);
// What the line holds: a whole code (`code`), an address with its port (27415 unless told), or neither.
enum EntryKind { ENTRY_INCOMPLETE, ENTRY_CODE, ENTRY_ADDRESS };
EntryKind entryRead(const std::string& text, uint32_t& code, std::string& address, uint16_t& port);
std::string entryShown(const EntryLine& e);  // "+KX7 M__" for a code, the address as it is

#endif
