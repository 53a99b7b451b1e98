// lobby.cpp (fuzz): korvado_lobby's answer to any datagram from anybody, its tables carried from one input to the
// next. An input is a script of datagrams from eight senders (fuzz.h), raw, sealed or built from what the lobby
// told each before. Whatever comes, the lobby answers no datagram with a larger one, sends only to addresses
// that spoke to it in its own tongue, relays one datagram for one and stays within its caps.
#include "fuzz.h"
#include "lobby/lobby.h"

#include <set>

namespace {

LobbyLimits limits() {
    LobbyLimits lim;
    lim.maxSessions = 4, lim.maxHosts = 6, lim.hostsPerAddress = 3;  // small, so that the fuzzer fills them
    return lim;
}

Lobby lobby(limits(), 7);
uint64_t now = 1;
FuzzMemory told[8];
std::set<uint64_t> spoke;  // senders of a well-formed request, packed

void check(const std::vector<uint8_t>& d, bool request, const std::vector<Outgoing>& out) {
    for (const Outgoing& o : out) {
        FUZZ_CHECK(o.data.size() <= d.size());
        FUZZ_CHECK(spoke.count(packEndpoint(o.to)));
    }
    FUZZ_CHECK(out.size() <= (request ? 2u : 1u));  // a request may ask the host too; a relayed datagram goes on once
    FUZZ_CHECK(lobby.hosts() <= limits().maxHosts && lobby.sessions() <= limits().maxSessions);
    FUZZ_CHECK(lobby.relays() <= lobby.sessions());
}

// What the senders learn from the lobby's answers, for the datagrams built later; a host tells his code around.
void learn(const std::vector<Outgoing>& out) {
    LobbyMsg m;
    for (const Outgoing& o : out) {
        if (!decodeLobby(o.data.data(), o.data.size(), m)) continue;
        for (FuzzMemory& t : told)
            if (m.kind == LOBBY_CODE || fuzzAddress(int(&t - told)) == o.to) remember(m, t);
    }
}

}  // namespace

FUZZ_STATE_CARRIED_OVER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    FuzzBytes in{data, n};
    std::vector<Outgoing> out;
    std::vector<std::string> ended;
    for (int i = 0; i < FUZZ_SCRIPT && in.more(); i++) {
        uint8_t op = in.byte();
        int who = op & 7;
        Endpoint from = fuzzAddress(who);
        std::vector<uint8_t> d = scriptDatagram(in, (op >> 3) & 3, told[who]);
        now += FUZZ_WAITS[op >> 5];
        lobby.expire(now, ended);
        LobbyMsg m;
        bool request = decodeLobby(d.data(), d.size(), m) && m.kind != LOBBY_PUNCH;
        if (request) spoke.insert(packEndpoint(from));
        out.clear();
        lobby.receive(from, d.data(), d.size(), now, out);
        check(d, request, out);
        learn(out);
    }
    return 0;
}
