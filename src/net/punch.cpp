// punch.cpp: hole punching on ENet's socket: a round of punches every 100 ms for two seconds, each answered with
// the token by the other side, and the choice among the addresses that answered.
#include "punch.h"
#include "enetlink.h"

#include <chrono>

static uint64_t token;
static bool asJoiner;
static std::vector<Candidate> targets;
static std::vector<bool> answered;
static uint64_t began, lastRound, firstAnswer;

uint64_t punchClockMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static void sendPunch(const Endpoint& to, uint8_t index, bool answer) {
    LobbyMsg m;
    m.kind = LOBBY_PUNCH;
    m.token = token;
    m.joiner = asJoiner;
    m.answer = answer;
    m.index = index;
    std::vector<uint8_t> d = encodeLobby(m);
    linkSendRaw(to, d.data(), d.size());
}

void punchBegin(uint64_t t, bool joiner, const std::vector<Candidate>& theirs) {
    token = t;
    asJoiner = joiner;
    targets = theirs;
    answered.assign(theirs.size(), false);
    began = punchClockMs();
    lastRound = firstAnswer = 0;
    punchTick();
}

void punchTick() {
    uint64_t now = punchClockMs();
    if (!token || now - began >= PUNCH_MS || (lastRound && now - lastRound < PUNCH_EVERY_MS)) return;
    lastRound = now;
    for (size_t i = 0; i < targets.size(); i++) sendPunch(targets[i].at, uint8_t(i), false);
}

bool punchTake(const Endpoint& from, const LobbyMsg& m) {
    if (m.kind != LOBBY_PUNCH || !token || m.token != token || m.joiner == asJoiner) return false;
    if (!m.answer) {
        sendPunch(from, m.index, true);
        return true;
    }
    if (m.index < answered.size() && !answered[m.index]) {
        answered[m.index] = true;
        if (!firstAnswer) firstAnswer = punchClockMs();
    }
    return true;
}

bool punchChosen(Candidate& best) {
    if (!firstAnswer || punchClockMs() - firstAnswer < PUNCH_GATHER_MS) return false;
    int pick = -1;
    for (size_t i = 0; i < targets.size(); i++)
        if (answered[i] && (pick < 0 || targets[i].kind < targets[size_t(pick)].kind)) pick = int(i);
    best = targets[size_t(pick)];
    return true;
}

bool punchFailed() { return token && !firstAnswer && punchClockMs() - began >= PUNCH_MS; }
