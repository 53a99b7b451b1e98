// frontpage.cpp: korvado_net's own pages, states of the frame loop like its other screens: the front page, the
// entry line of "Join a duel", and the hosts found on this network.
#include "draw/draw.h"
#include "draw/text.h"
#include "net/lan.h"
#include "net/enetlink.h"
#include "net/packet.h"
#include "platform/platform.h"
#include "session/entry.h"
#include "session/netplay.h"
#include "session/screens.h"
#include "shell/shell.h"

#include <algorithm>

static Lettering& big = heading;

// A line in grey: the lettering drawn half through.
static void drawGrey(const std::string& s, int x, int y) {
    SDL_SetAlpha(ink.sheet, SDL_SRCALPHA, 110);
    drawText(ink, s, x, y, 0);
    SDL_SetAlpha(ink.sheet, 0, 255);
}

// A page of choices in the look of the game's menus: the one chosen large, the others plain, a line below.
static void drawChoices(const std::string& title, const std::vector<std::string>& items, int chosen, int grey,
                        const std::vector<std::string>& below) {
    drawBackground(frontPaper);
    drawText(big, title, 400, 64, 0);
    int y = 170;
    for (int i = 0; i < int(items.size()); i++, y += 56) {
        if (i == chosen) drawText(big, "- " + items[size_t(i)] + " -", 400, y - 6, 0);
        else if (i == grey) drawGrey(items[size_t(i)], 400, y);
        else drawText(ink, items[size_t(i)], 400, y, 0);
    }
    y += 20;
    for (const std::string& l : below) drawText(ink, l, 400, y, 0), y += 36;
    SDL_Flip(screen);
}

// Up and Down through `n` choices.
static void choose(const LocalInput& in, int& chosen, int n) {
    if (in.pressed & keyBit(K_UP)) chosen = (chosen + n - 1) % n;
    if (in.pressed & keyBit(K_DOWN)) chosen = (chosen + 1) % n;
}

static bool returned(const LocalInput& in) { return (in.pressed & keyBit(K_RETURN)) != 0; }

// ---- the front page ----

// A page cannot look for hosts on its network, nor end: it has the first two.
static const std::vector<std::string> FRONT = {"Host a duel", "Join a duel", "Join on this network", "Exit"};
static int frontChosen;
static void openEntry();

static void frontFrame() {
    LocalInput in = frameInput();
    bool lobby = !netLobby.empty();
    std::vector<std::string> items(FRONT.begin(), FRONT.begin() + (onPage() ? 2 : 4));
    drawChoices("KORVADO ONLINE", items, frontChosen, lobby ? -1 : 1,
                {lobby ? "" : "No lobby is set: Join a duel takes an address, not a code.", "F2: settings"});
    if (in.key == SDLK_F2) return settingsOpen();
    choose(in, frontChosen, int(items.size()));
    if (leaves(in) && !onPage()) frontChosen = int(FRONT.size()) - 1;
    if (!returned(in)) return;
    backTo = openFront;
    netPort = DEFAULT_PORT;
    if (frontChosen == 0) netRole = NET_HOST, openHosting();
    if (frontChosen == 1) openEntry();
    if (frontChosen == 2) backTo = openLook, netRole = NET_JOIN, openLook();
    if (frontChosen == 3) endProgram(0);
}

void openFront() {
    if (FILE* trace = netTrace()) fprintf(trace, "front %llu\n", netMicroseconds());
    hangUp();
    netRole = NET_NONE;
    become(frontFrame);
}

// ---- the entry line ----

static EntryLine entry;  // kept from one visit to the next, and after a failure
static std::string entryNote;

static void drawEntry() {
    drawBackground(frontPaper);
    drawText(big, "JOIN A DUEL", 400, 64, 0);
    const char* ask = onPage() ? "Type the invite code:" : netLobby.empty() ? "Type the host's address:" : "Type the invite code, or the host's address:";
    drawText(ink, ask, 400, 150, 0);
    std::string shown = entryShown(entry);
    drawText(big, shown, 400, 220, 0);
    size_t at = std::min(entry.cursor, entry.text.size());
    if (shown[0] == '+') at += 1 + (at >= 3);  // past the '+' and the space
    int left = 400 - textWidth(big, shown) / 2 + textWidth(big, shown.substr(0, at));
    SDL_Rect caret = {Sint16(left), Sint16(220 + big.cellH), Uint16(std::max(8, textWidth(big, "0"))), 3};
    SDL_FillRect(screen, &caret, SDL_MapRGB(screen->format, 60, 30, 10));
    noteDrawn(screen, &caret);
    drawText(ink, "Return joins, Escape goes back.", 400, 330, 0);
    drawText(ink, "A pad: Up and Down change, Left and Right move, Start joins.", 400, 370, 0);
    drawText(ink, entryNote, 400, 430, 0);
    SDL_Flip(screen);
}

// Return on the line: the host of the code, or at the address.
static void joinEntry() {
    uint32_t code = 0;
    std::string address;
    uint16_t port = DEFAULT_PORT;
    EntryKind kind = entryRead(entry.text, code, address, port);
    if (kind == ENTRY_INCOMPLETE)
        entryNote = onPage() ? "Type the six characters of the invite code." : "Type the six characters of the invite code, or an address.";
    if (kind == ENTRY_CODE && netLobby.empty()) entryNote = "No lobby is set: join by the host's address.";
    if (kind == ENTRY_ADDRESS && onPage()) entryNote = "A page joins by invite code only.";
    if (kind == ENTRY_INCOMPLETE || (kind == ENTRY_CODE && netLobby.empty()) || (kind == ENTRY_ADDRESS && onPage())) return;
    entryNote.clear();
    inputTyping(false);
    netRole = NET_JOIN;
    netAddress = kind == ENTRY_CODE ? codeText(code, false) : address;
    netPort = port;
    openJoining();
}

static void entryFrame() {
    LocalInput in = frameInput();
    drawEntry();
    if (leaves(in)) return inputTyping(false), openFront();
    if (returned(in)) return joinEntry();
    if (in.key == SDLK_BACKSPACE) entryBackspace(entry);
    else if (in.typed >= 32) entryType(entry, in.typed);
    if (in.fresh & keyBit(K_UP)) entryPadChange(entry, 1);
    if (in.fresh & keyBit(K_DOWN)) entryPadChange(entry, -1);
    if (in.fresh & keyBit(K_LEFT)) entryPadMove(entry, -1);
    if (in.fresh & keyBit(K_RIGHT)) entryPadMove(entry, 1);
}

static void openEntry() {
    backTo = openEntry;
    entry.cursor = entry.text.size();
    inputTyping(true);
    become(entryFrame);
}

void openInvite(uint32_t code) {
    openFront();
    backTo = openEntry;  // a failure's Return: the entry line, the code on it
    entry.text = codeText(code, false).substr(1), entry.cursor = entry.text.size();
    netRole = NET_JOIN;
    netAddress = codeText(code, false);
    netPort = DEFAULT_PORT;
    openJoining();
}

// ---- the hosts on this network ----

static const Uint32 PAGE_LOOK_MS = 2000, LINE_LOOK_MS = 1200;  // how long the front page's search asks, and the command line's
static struct {
    std::vector<uint8_t> probe;
    std::vector<std::string> addresses, names;
    Uint32 since;
    int looks, chosen;
} look;

// The hosts found, each by his machine's name and address: Up, Down and Return choose one; none: Return looks
// again.
static void listFrame() {
    LocalInput in = frameInput();
    std::vector<std::string> items;
    for (size_t i = 0; i < look.addresses.size(); i++) items.push_back(look.names[i] + " (" + look.addresses[i] + ")");
    if (items.empty()) drawChoices("ON THIS NETWORK", {}, -1, -1, {"No game waits on this network.", "Return looks again."});
    else drawChoices("ON THIS NETWORK", items, look.chosen, -1, {"Return joins, Escape goes back."});
    if (leaves(in)) return openFront();
    if (!items.empty()) choose(in, look.chosen, int(items.size()));
    if (!returned(in)) return;
    if (items.empty()) return openLook();
    netRole = NET_JOIN;
    netAddress = look.addresses[size_t(look.chosen)];
    netPort = DEFAULT_PORT;
    openJoining();
}

// Broadcasts LOOKs (three, 0.4 s apart, for one lost on the way) and gathers the hosts that answer (on a local
// network they answer within milliseconds).
static void lookFrame() {
    LocalInput in = frameInput();
    if (leaves(in)) return pageMode ? openFront() : endProgram(0);
    Uint32 now = SDL_GetTicks() - look.since;
    if (look.looks < 3 && now >= Uint32(look.looks) * 400)
        linkBroadcast(netPort, look.probe.data(), look.probe.size()), look.looks++;
    showPage("LOOKING FOR A HOST", {"Asking this network for a game on UDP port " + std::to_string(netPort) + " ..."});
    std::string from;
    std::vector<uint8_t> d;
    std::string name;
    while (linkHeard(0, from, d))
        if (lanHost(d.data(), d.size(), name) &&
            std::find(look.addresses.begin(), look.addresses.end(), from) == look.addresses.end())
            look.addresses.push_back(from), look.names.push_back(name.empty() ? from : name);
    if (now < (pageMode ? PAGE_LOOK_MS : LINE_LOOK_MS)) return;
    if (FILE* trace = netTrace()) {
        fprintf(trace, "found %zu %llu\n", look.addresses.size(), netMicroseconds());
        for (size_t i = 0; pageMode && i < look.addresses.size(); i++)
            fprintf(trace, "listed %s %s\n", look.addresses[i].c_str(), look.names[i].c_str());
    }
    if (!pageMode) return joinFound(look.addresses);
    become(listFrame);
}

void openLook() {
    hangUp();
    linkStart();
    Message m;
    m.kind = MSG_LOOK;
    m.version = NET_VERSION;
    look.probe = encodeMessage(m);
    look.addresses.clear(), look.names.clear();
    look.since = SDL_GetTicks(), look.looks = 0, look.chosen = 0;
    become(lookFrame);
}
