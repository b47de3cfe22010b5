#!/usr/bin/env bash
# Runs a test program in the first of a few network namespaces joined by veth pairs, so that a
# trace crosses real routers. Usage: netns-route.sh TOPOLOGY PROGRAM [ARGS]
#   chain        A 192.0.2.2 - R - B 198.51.100.2
#   silent       the same, R sends no ICMP error of its own
#   unreachable  A - R, and R has an unreachable route to 203.0.113.0/24
#   loop         A - R1 - R2, and R1 and R2 send 203.0.113.0/24 to each other
#   noroute      A alone, without a default route
# VK_ICMP_DATAGRAM=1 opens ICMP datagram sockets to every group in A; without it the program
# sends through a raw socket. Exits 77 (skipped) when namespaces cannot be made here.
set -u
topology="$1"
prog="$2"
shift 2
if [ "$(id -u)" -ne 0 ]; then
    echo "netns-route: creating network namespaces needs root; skipped"
    exit 77
fi
if ! command -v ip >/dev/null 2>&1; then
    echo "netns-route: the ip command (iproute2) is missing; skipped"
    exit 77
fi
A="vkA$$" R="vkR$$" R2="vkS$$" B="vkB$$"
cleanup() {
    for n in "$A" "$R" "$R2" "$B"; do ip netns del "$n" 2>/dev/null; done
    rm -rf "/etc/netns/$A"
}
trap cleanup EXIT INT TERM
if ! ip netns add "$A" 2>/dev/null; then
    echo "netns-route: ip netns add failed (no permission for namespaces here); skipped"
    exit 77
fi
nsx() { local n="$1"; shift; ip netns exec "$n" "$@"; }
router() {
    ip netns add "$1"
    nsx "$1" ip link set lo up
    nsx "$1" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.conf.all.send_redirects=0 \
        net.ipv4.conf.default.send_redirects=0 net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
}
# link NS1 ADDR1 NS2 ADDR2: a veth pair between two namespaces, addresses with their /24.
link() {
    local a="$1" aa="$2" b="$3" ba="$4" ia="v$RANDOM$RANDOM" ib="v$RANDOM$RANDOM"
    ip link add "$ia" type veth peer name "$ib"
    ip link set "$ia" netns "$a"
    ip link set "$ib" netns "$b"
    nsx "$a" ip addr add "$aa/24" dev "$ia"
    nsx "$b" ip addr add "$ba/24" dev "$ib"
    nsx "$a" ip link set "$ia" up
    nsx "$b" ip link set "$ib" up
}
set -e
nsx "$A" ip link set lo up
case "$topology" in
chain | silent)
    router "$R"
    ip netns add "$B"
    nsx "$B" ip link set lo up
    link "$A" 192.0.2.2 "$R" 192.0.2.1
    link "$R" 198.51.100.1 "$B" 198.51.100.2
    nsx "$A" ip route add default via 192.0.2.1
    nsx "$B" ip route add default via 198.51.100.1
    if [ "$topology" = silent ]; then
        nsx "$R" sysctl -qw net.ipv4.icmp_msgs_per_sec=0 net.ipv4.icmp_msgs_burst=0
    fi
    ;;
unreachable)
    router "$R"
    link "$A" 192.0.2.2 "$R" 192.0.2.1
    nsx "$A" ip route add default via 192.0.2.1
    nsx "$R" ip route add unreachable 203.0.113.0/24
    ;;
loop)
    router "$R"
    router "$R2"
    link "$A" 192.0.2.2 "$R" 192.0.2.1
    link "$R" 198.51.100.1 "$R2" 198.51.100.2
    nsx "$A" ip route add default via 192.0.2.1
    nsx "$R" ip route add 203.0.113.0/24 via 198.51.100.2
    nsx "$R2" ip route add 203.0.113.0/24 via 198.51.100.1
    nsx "$R2" ip route add 192.0.2.0/24 via 198.51.100.1
    for n in "$R" "$R2"; do nsx "$n" sysctl -qw net.ipv4.icmp_ratelimit=0; done
    ;;
noroute) ;;
*)
    echo "netns-route: unknown topology $topology" >&2
    exit 2
    ;;
esac
if [ -n "${VK_ICMP_DATAGRAM:-}" ]; then
    nsx "$A" sysctl -qw net.ipv4.ping_group_range="0 2147483647"
else
    nsx "$A" sysctl -qw net.ipv4.ping_group_range="1 0"
fi
mkdir -p "/etc/netns/$A"
printf '127.0.0.1 localhost\n' >"/etc/netns/$A/hosts"
printf 'hosts: files\nservices: files\nprotocols: files\npasswd: files\ngroup: files\n' >"/etc/netns/$A/nsswitch.conf"
set +e
ip netns exec "$A" env VK_NETNS="$A" VK_TOPOLOGY="$topology" "$prog" "$@"
exit $?
