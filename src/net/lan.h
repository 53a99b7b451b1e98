// lan.h: finding a host on the local network: the waiting host's answer to a joiner's broadcast LOOK, and the
// joiner's reading of the answers.
#ifndef KORVADO_LAN_H
#define KORVADO_LAN_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A LOOK from a joiner on this network: true, with a HERE of this `version` and this machine's `name` in `reply`
// when it is no larger than the probe (else an empty reply); false for any other datagram, which is not a probe.
bool lanAnswer(const uint8_t* probe, size_t n, const std::string& version, const std::string& name,
               std::vector<uint8_t>& reply);
// True for a waiting host's HERE, with the name of his machine (empty when he gave none).
bool lanHost(const uint8_t* data, size_t n, std::string& name);

#endif
