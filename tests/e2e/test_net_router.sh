#!/bin/bash
# test_net_router.sh: korvado_net behind a home router built on this machine. Each case has a lab of its own,
# three network namespaces linked by veth pairs to one another only: "home" (the host), "router" (nftables
# masquerade and Debian's miniupnpd) and "net" (the internet: the joiner). Through UPnP alone, and NAT-PMP alone,
# the host shows the router's public address and port within 3 s, the joiner on the internet joins there and
# plays a round, and once the host has ended (SIGTERM, SIGINT) the router holds no mapping. With no router
# answering: the plain fallback within 3 s; a join without an address on the internet finds nobody (status 1
# within 3 s: searches do not cross the router), one on the home network finds the host and plays (with a second
# host there, it lists both). The three cases run side by side.
source "$E2E_LIB"
BIN="$KORVADO_BUILD_DIR/bin"
SCRIPTS="$(cd "$(dirname "$E2E_LIB")/../net" && pwd)"
WORK="$SHOTS/net-router"
rm -rf "$WORK"
mkdir -p "$WORK"
PORT=27415 WAN=5.5.5.1
LABS="upnp natpmp none"
CASES=""

ns_of() { echo "kvd$$-$1-$2"; }  # ns_of LAB home|router|net: this run's own names

# Everything that runs in this run's namespaces is this test's own: it goes with them.
cleanup() {
    local lab part pid
    [ -n "$CASES" ] && kill $CASES 2>/dev/null
    for lab in $LABS; do
        for part in home router net; do
            for pid in $(ip netns pids "$(ns_of $lab $part)" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
        done
    done
    wait 2>/dev/null
    for lab in $LABS; do
        for part in home router net; do ip netns del "$(ns_of $lab $part)" 2>/dev/null; done
    done
    e2e_cleanup
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP  # a test stopped from outside cleans up too

# lab_up LAB: the three namespaces, their addresses, the router's forwarding and masquerade.
lab_up() {
    local home router net why ns dev
    home=$(ns_of $1 home) router=$(ns_of $1 router) net=$(ns_of $1 net)
    why=$(ip netns add "$home" 2>&1) ||
        e2e_fail "cannot make network namespaces here (this test needs root and a kernel with them): $why"
    ip netns add "$router" && ip netns add "$net" || e2e_fail "cannot make network namespaces"
    # the veths are made inside the router's namespace and handed to the others: none is ever this machine's
    ip -n "$router" link add lan0 type veth peer name eth0 netns "$home" &&
        ip -n "$router" link add wan0 type veth peer name eth0 netns "$net" || e2e_fail "cannot make veth pairs"
    ip -n "$home" addr add 192.0.2.10/24 brd + dev eth0
    ip -n "$router" addr add 192.0.2.1/24 brd + dev lan0
    ip -n "$router" addr add $WAN/24 brd + dev wan0
    ip -n "$net" addr add 5.5.5.2/24 brd + dev eth0
    for ns in "$home" "$router" "$net"; do
        ip -n "$ns" link set lo up
        for dev in eth0 lan0 wan0; do ip -n "$ns" link set "$dev" up 2>/dev/null; done
    done
    ip -n "$home" route add default via 192.0.2.1
    ip netns exec "$router" sysctl -qw net.ipv4.ip_forward=1
    ip netns exec "$router" nft -f - <<'NFT' || e2e_fail "the router's nftables ruleset was not taken"
table inet kupnp {
  chain forward { type filter hook forward priority 0; policy accept; jump miniupnpd; }
  chain miniupnpd { }
  chain prerouting { type nat hook prerouting priority -100; policy accept; jump prerouting_miniupnpd; }
  chain postrouting { type nat hook postrouting priority 100; policy accept; jump postrouting_miniupnpd; oifname "wan0" masquerade; }
  chain prerouting_miniupnpd { }
  chain postrouting_miniupnpd { }
}
NFT
}

# router_up LAB NATPMP UPNP: the lab's miniupnpd with each protocol on (yes) or off (no); its pid in ROUTER_PID.
router_up() {
    local conf="$WORK/$1-miniupnpd.conf" i
    cat >"$conf" <<CONF
ext_ifname=wan0
listening_ip=lan0
port=0
enable_natpmp=$2
enable_upnp=$3
secure_mode=yes
system_uptime=yes
upnp_table_name=kupnp
upnp_nat_table_name=kupnp
upnp_forward_chain=miniupnpd
upnp_nat_chain=prerouting_miniupnpd
upnp_nat_postrouting_chain=postrouting_miniupnpd
uuid=3e1c0f7a-2b7d-4c55-9a51-6b0d5e1f2a90
allow 1024-65535 192.0.2.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
    ip netns exec "$(ns_of $1 router)" miniupnpd -f "$conf" -P "$WORK/$1-miniupnpd.pid" -d \
        >"$WORK/$1-miniupnpd.log" 2>&1 &
    ROUTER_PID=$!
    for i in $(seq 1 50); do
        grep -q "Listening for NAT-PMP\|HTTP listening" "$WORK/$1-miniupnpd.log" 2>/dev/null && return 0
        kill -0 $ROUTER_PID 2>/dev/null || break
        sleep 0.1
    done
    e2e_fail "$1: miniupnpd did not start: $(tail -n 5 "$WORK/$1-miniupnpd.log")"
}

# mappings LAB: the forwarding rules miniupnpd has made in the lab's router.
mappings() { ip netns exec "$(ns_of $1 router)" nft list chain inet kupnp prerouting_miniupnpd | grep -c dnat; }

# net_run LAB PART NAME SCRIPT ARGS...: korvado_net in that namespace of the lab (ns_net); its pid in LAST.
net_run() { ns_net "$(ns_of "$1" "$2")" "${@:3}"; }

# mapped_case LAB HOW NATPMP UPNP SIGNAL: a round across the router mapped by HOW; the host stopped by SIGNAL.
mapped_case() {
    local lab=$1 how=$2 sig=$5 line got address port ms host joiner
    router_up $lab "$3" "$4"
    net_run $lab home host-$lab router-host.script host $PORT
    host=$LAST
    line=$(trace_await host-$lab "^router " 20)
    read -r _ _ got address port _ <<<"$line"
    [ "$got" = "$how" ] && [ "$address" = $WAN ] || e2e_fail "$how: the host reports: $line"
    ms=$(trace_since host-$lab hosting router)
    echo "$how: 'korvado_net join $address:$port' on the host's screen $ms ms after hosting began"
    [ "$ms" -le 3000 ] || e2e_fail "$how: the router's answer took $ms ms"
    [ "$(mappings $lab)" = 1 ] || e2e_fail "$how: the router holds $(mappings $lab) mappings while the host waits"
    net_run $lab net joiner-$lab router-joiner.script join "$address:$port"
    joiner=$LAST
    trace_await joiner-$lab "^winner type 1 red 1 blue 0" 60 >/dev/null
    trace_await host-$lab "^winner type 1 red 1 blue 0" 5 >/dev/null
    kill -$sig $host
    net_ends $host 0 host-$lab
    net_ends $joiner 0 joiner-$lab
    [ "$(mappings $lab)" = 0 ] ||
        e2e_fail "$how: the router holds a mapping after SIG$sig: $(ip netns exec "$(ns_of $lab router)" nft list table inet kupnp)"
    kill $ROUTER_PID
    wait $ROUTER_PID
    echo "$how: a round played through $address:$port; after SIG$sig the router holds no mapping"
}

# No router answering: the fallback. A join without an address: on the internet it finds nobody; at home, with a
# second host on the router's machine, it lists both; with the host alone, it joins him and plays.
plain_case() {
    local ms host joiner
    net_run none home host-none router-host.script host $PORT
    host=$LAST
    net_run none net nobody intro.script join
    net_ends $LAST 1 nobody
    grep -q "^found 0 " "$WORK/nobody.trace" || e2e_fail "a search on the internet found a host"
    ms=$(trace_since nobody joining exit)
    echo "a search on the internet (the host waits behind the router): status 1 $ms ms after joining began"
    [ "$ms" -le 3000 ] || e2e_fail "a search with no host on its network took $ms ms"
    trace_await host-none "^router refused" 20 >/dev/null
    ms=$(trace_since host-none hosting router)
    echo "no router: the plain fallback on the host's screen $ms ms after hosting began"
    [ "$ms" -le 3000 ] || e2e_fail "no router: the fallback took $ms ms"
    searches
    net_run none home joiner-none router-joiner.script join
    joiner=$LAST
    trace_await joiner-none "^found 1 " 15 >/dev/null  # the search itself is timed above
    trace_await joiner-none "^winner type 1 red 1 blue 0" 60 >/dev/null
    kill -TERM $host
    net_ends $host 0 host-none
    net_ends $joiner 0 joiner-none
    echo "no router: a join without an address found the host on the home network and played a round"
}

# While the host waits at home, a second host on the router's machine: a search at home lists both.
searches() {
    local other several
    net_run none router host-other intro.script host $PORT --no-port-mapping
    other=$LAST
    trace_await host-other "^hosting" 20 >/dev/null
    net_run none home several intro.script join
    several=$LAST
    net_ends $several 1 several
    [ "$(grep -cxE "korvado_net join 192\.0\.2\.(1|10):$PORT" "$WORK/several.out")" = 2 ] ||
        e2e_fail "two hosts at home were not listed: $(cat "$WORK/several.out")"
    echo "two hosts on the home network: both join commands listed, status 1"
    kill -TERM $other
    net_ends $other 0 host-other
}

for lab in $LABS; do lab_up $lab; done
mapped_case upnp UPnP no yes TERM >"$WORK/upnp.log" 2>&1 &
UPNP_CASE=$!
mapped_case natpmp NAT-PMP yes no INT >"$WORK/natpmp.log" 2>&1 &
NATPMP_CASE=$!
plain_case >"$WORK/none.log" 2>&1 &
NONE_CASE=$!
CASES="$UPNP_CASE $NATPMP_CASE $NONE_CASE"
wait $NONE_CASE
NONE_STATUS=$?
wait $UPNP_CASE
UPNP_STATUS=$?
wait $NATPMP_CASE
NATPMP_STATUS=$?
cat "$WORK/upnp.log" "$WORK/natpmp.log" "$WORK/none.log"
[ $UPNP_STATUS = 0 ] && [ $NATPMP_STATUS = 0 ] && [ $NONE_STATUS = 0 ] || e2e_fail "a case failed (above)"
echo "PASS: UPnP and NAT-PMP mapped, played across and given back; without a router the fallback and a LAN join"
