# lobbylab.sh: an internet in network namespaces, for korvado_lobby's test and benchmark (sourced). The
# "internet" namespace holds a bridge with the lobby on 5.5.5.100; each home is a namespace behind a router
# namespace whose WAN veth is a port of that bridge (or of a carrier-grade NAT's), and every home uses
# 192.168.1.0/24 with its player at 192.168.1.10. A router lets in from its WAN only replies to what went out.
# Nothing in the lab is linked to this machine's own network. LAB_TAG names this run's namespaces.
LOBBY_IP=5.5.5.100
LAB_NAMESPACES=""

lab_ns() { echo "${LAB_TAG}-$1"; }

# lab_add NAME: a namespace of the lab, loopback up.
lab_add() {
    local why
    why=$(ip netns add "$(lab_ns "$1")" 2>&1) ||
        e2e_fail "cannot make network namespaces here (this needs root and a kernel with them): $why"
    LAB_NAMESPACES+=" $1"
    ip -n "$(lab_ns "$1")" link set lo up
}

# lab_down: everything that runs in the lab's namespaces is the lab's own: stopped, then the namespaces go.
lab_down() {
    local name pid
    for name in $LAB_NAMESPACES; do
        for pid in $(ip netns pids "$(lab_ns "$name")" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
    done
    for name in $LAB_NAMESPACES; do ip netns del "$(lab_ns "$name")" 2>/dev/null; done
    LAB_NAMESPACES=""
}

# lab_internet: the bridge and the lobby's address.
lab_internet() {
    lab_add inet
    ip -n "$(lab_ns inet)" link add br0 type bridge
    ip -n "$(lab_ns inet)" addr add $LOBBY_IP/24 dev br0
    ip -n "$(lab_ns inet)" link set br0 up
}

# lab_uplink NS UPLINK BRIDGE ADDRESS/BITS GATEWAY: NS's wan0, a port of BRIDGE in UPLINK.
lab_uplink() {
    local port="p${RANDOM}w"
    ip -n "$(lab_ns "$1")" link add wan0 type veth peer name "$port" netns "$(lab_ns "$2")" ||
        e2e_fail "cannot make a veth pair"
    ip -n "$(lab_ns "$2")" link set "$port" master "$3" up
    ip -n "$(lab_ns "$1")" addr add "$4" dev wan0
    ip -n "$(lab_ns "$1")" link set wan0 up
    [ -z "$5" ] || ip -n "$(lab_ns "$1")" route add default via "$5"
}

# lab_nat NS [MASQUERADE-OPTIONS] [FORWARD-RULE]: NS forwards and masquerades out of wan0, and lets in from it
# only replies (a new connection from the WAN, to the router or beyond, is dropped).
lab_nat() {
    ip netns exec "$(lab_ns "$1")" sysctl -qw net.ipv4.ip_forward=1
    ip netns exec "$(lab_ns "$1")" nft -f - <<NFT || e2e_fail "$1: the nftables ruleset was not taken"
table ip kbnat {
  chain input { type filter hook input priority 0; policy accept; iifname "wan0" ct state new drop; }
  chain forward { type filter hook forward priority 0; policy accept; iifname "wan0" ct state new drop; ${3:-} }
  chain postrouting { type nat hook postrouting priority 100; policy accept; oifname "wan0" masquerade ${2:-}; }
}
NFT
}

# lab_home NAME UPLINK BRIDGE WAN/BITS GATEWAY [MASQUERADE-OPTIONS] [FORWARD-RULE]: NAME-router, its WAN on
# BRIDGE in UPLINK, and NAME (the home) behind it at 192.168.1.10.
lab_home() {
    local home=$1
    lab_add "$home-router"
    lab_add "$home"
    lab_uplink "$home-router" "$2" "$3" "$4" "$5"
    ip -n "$(lab_ns "$home-router")" link add lan0 type veth peer name eth0 netns "$(lab_ns "$home")"
    ip -n "$(lab_ns "$home-router")" addr add 192.168.1.1/24 dev lan0
    ip -n "$(lab_ns "$home-router")" link set lan0 up
    ip -n "$(lab_ns "$home")" addr add 192.168.1.10/24 dev eth0
    ip -n "$(lab_ns "$home")" link set eth0 up
    ip -n "$(lab_ns "$home")" route add default via 192.168.1.1
    lab_nat "$home-router" "${6:-}" "${7:-}"
}

# lab_cgn NAME WAN: a carrier-grade NAT on the internet at WAN, its customers' routers on 100.64.0.0/10 behind
# it (its bridge cgn0, gateway 100.64.0.1); it does not carry a customer's datagram to another's public port.
lab_cgn() {
    lab_add "$1"
    lab_uplink "$1" inet br0 "$2/24" ""
    ip -n "$(lab_ns "$1")" link add cgn0 type bridge
    ip -n "$(lab_ns "$1")" addr add 100.64.0.1/10 dev cgn0
    ip -n "$(lab_ns "$1")" link set cgn0 up
    lab_nat "$1"
}

# lab_run NS NAME SCRIPT ARGS...: korvado_net in that namespace of the lab (ns_net); its pid in LAST.
lab_run() { ns_net "$(lab_ns "$1")" "${@:2}"; }

# lab_code NAME: the invite code the host NAME printed, within 10 s.
lab_code() {
    local i code
    for i in $(seq 100); do
        code=$(awk '$1 == "invite" { print $3; exit }' "$WORK/$1.out" 2>/dev/null)
        [ -n "$code" ] && { echo "$code"; return 0; }
        sleep 0.1
    done
    e2e_fail "$1 printed no invite code: $(tail -n 5 "$WORK/$1.out")"
}

# lab_join_ms NAME: ms from NAME's "joining" to his first pass on the screen.
lab_join_ms() { trace_since "$1" joining show; }

# lab_build: four pairs of homes on the internet, named after the way their players should meet: both routers
# common ones (masquerade keeps a socket's port); the host's router giving a new port for each destination
# (fully-random); the host's router dropping UDP to the other home; both homes behind one carrier-grade NAT.
lab_build() {
    lab_internet
    lab_home direct-a inet br0 5.5.5.1/24 ""
    lab_home direct-b inet br0 5.5.5.2/24 ""
    lab_home random-a inet br0 5.5.5.3/24 "" fully-random
    lab_home random-b inet br0 5.5.5.4/24 ""
    lab_home blocked-a inet br0 5.5.5.5/24 "" "" 'oifname "wan0" ip daddr 5.5.5.6 meta l4proto udp drop;'
    lab_home blocked-b inet br0 5.5.5.6/24 ""
    lab_cgn cgn 5.5.5.7
    lab_home cgn-a cgn cgn0 100.64.0.2/10 100.64.0.1
    lab_home cgn-b cgn cgn0 100.64.0.3/10 100.64.0.1
}
