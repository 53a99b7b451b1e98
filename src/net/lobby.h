// lobby.h: korvado_net's side of a lobby: the host's invite code and the meetings it brings him, and a joiner's
// way to the host of a code (punched through both routers, or relayed by the lobby).
#ifndef KORVADO_LOBBY_H
#define KORVADO_LOBBY_H

#include <cstdint>
#include <string>
#include <vector>

// The lobby at HOST[:PORT] (KORVADO_LOBBY's or --lobby's form), for the socket already open; its datagrams come
// through the link's tap from now on. False when the name is not known.
bool lobbyBegin(const std::string& where, bool hosting);

// ---- the host ----
// Registration and refreshes, the lobby's answers and the punches that are due; `playing` while a session runs.
void lobbyTick(bool playing);
std::vector<std::string> lobbyHostLines();  // what the waiting page says about the lobby (nothing without one)
unsigned lobbyRevision();                   // changes whenever those lines do
std::string lobbyHostState();               // one word for the trace: asking, code +KX7M2Q, silent, full, unknown
// How the connected player came: "direct" or "through the lobby" (a code), or "" (an address).
const char* lobbyWay();

// ---- the joiner ----
enum LobbyReach {
    REACH_ON_THE_WAY,  // ENet is connecting to the host, directly or through the relay
    REACH_LEFT,        // the player left meanwhile
    REACH_NO_CODE, REACH_BUSY, REACH_FULL, REACH_SILENT_LOBBY, REACH_SILENT_HOST, REACH_NO_WAY,
};
// Asks the lobby for the host of `code`, punches, falls back on the relay. `frame` shows the lines of each pass
// and is false once the player leaves; `waitMs` is a pass's wait for the network.
LobbyReach lobbyReach(uint32_t code, bool (*frame)(const std::vector<std::string>& lines), uint32_t waitMs);
// The page's title and the plain sentence for a reach that failed.
void lobbyFailure(LobbyReach why, std::string& title, std::string& sentence);

#endif
