// lan.cpp: the LOOK a joiner broadcasts and the HERE a waiting host sends back, no larger than the LOOK.
#include "lan.h"
#include "packet.h"

bool lanAnswer(const uint8_t* probe, size_t n, const std::string& version, const std::string& name,
               std::vector<uint8_t>& reply) {
    Message look;
    if (!decodeMessage(probe, n, look) || look.kind != MSG_LOOK) return false;
    Message here;
    here.kind = MSG_HERE;
    here.version = version;
    here.name = name;
    reply = encodeMessage(here);
    if (reply.size() > n) reply.clear();
    return true;
}

bool lanHost(const uint8_t* data, size_t n, std::string& name) {
    Message here;
    if (!decodeMessage(data, n, here) || here.kind != MSG_HERE) return false;
    name = here.name;
    return true;
}
