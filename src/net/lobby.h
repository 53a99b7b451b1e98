// lobby.h: korvado_net's side of a lobby: the host's invite code and the meetings it brings him, and a joiner's
// way to the host of a code (punched through both routers, or relayed by the lobby).
#ifndef KORVADO_LOBBY_H
#define KORVADO_LOBBY_H

#include <cstdint>
#include <string>
#include <vector>
#include "lobbywire.h"

// The lobby at HOST[:PORT] (KORVADO_LOBBY's or --lobby's form), for the socket already open; its datagrams come
// through the link's tap from now on. False when the name is not known.
bool lobbyBegin(const std::string& where, bool hosting);
void lobbyEnd();  // the lobby forgotten (the socket goes): its code, its meeting, a join's token

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
    REACH_PENDING,     // not yet: the lobby, the punches or the relay are on their way
    REACH_NO_CODE, REACH_BUSY, REACH_FULL, REACH_SILENT_LOBBY, REACH_SILENT_HOST, REACH_NO_WAY,
};
// The end of a join the lobby refused.
inline LobbyReach refusalReach(LobbyRefusal r) {
    return r == REFUSE_NO_CODE ? REACH_NO_CODE : r == REFUSE_BUSY ? REACH_BUSY : r == REFUSE_FULL ? REACH_FULL : REACH_NO_WAY;
}
// A join by `code` through the lobby begun with lobbyBegin; false when its name is not known.
bool lobbyReachBegin(uint32_t code);
// One frame of it: asks the lobby for the host of the code, punches, falls back on the relay; PENDING until it
// comes to an end.
LobbyReach lobbyReachStep();
std::vector<std::string> lobbyJoinLines();  // what the joiner's page says meanwhile
// The page's title and the plain sentence for a reach that failed.
void lobbyFailure(LobbyReach why, std::string& title, std::string& sentence);

#endif
