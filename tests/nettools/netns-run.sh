#!/usr/bin/env bash
# Runs a test program inside a private network namespace whose resolver answers from its own hosts
# file: name lookups are then fast, fixed and never leave the machine. Usage: netns-run.sh PROGRAM [ARGS]
# Extra hosts lines may be given in the file named by VK_NETNS_HOSTS. Exits 77 (skipped) when a
# namespace cannot be made here.
set -u
prog="$1"
shift
if [ "$(id -u)" -ne 0 ]; then
    echo "netns-run: creating a network namespace needs root; skipped"
    exit 77
fi
if ! command -v ip >/dev/null 2>&1; then
    echo "netns-run: the ip command (iproute2) is missing; skipped"
    exit 77
fi
ns="vktest$$"
cleanup() {
    ip netns del "$ns" 2>/dev/null
    rm -rf "/etc/netns/$ns"
}
cleanup
trap cleanup EXIT INT TERM
if ! ip netns add "$ns" 2>/dev/null; then
    echo "netns-run: ip netns add failed (no permission for namespaces here); skipped"
    exit 77
fi
ip netns exec "$ns" ip link set lo up
mkdir -p "/etc/netns/$ns"
# `ip netns exec` mounts these files over /etc for the program.
cat >"/etc/netns/$ns/hosts" <<'HOSTS'
127.0.0.1 localhost
127.0.0.2 multi.vk.test
127.0.0.3 multi.vk.test
127.0.0.4 single.vk.test
127.0.0.5 whois.one.test
127.0.0.6 whois.two.test
127.0.0.7 whois.three.test
127.0.0.8 whois.four.test
HOSTS
if [ -n "${VK_NETNS_HOSTS:-}" ] && [ -f "$VK_NETNS_HOSTS" ]; then
    cat "$VK_NETNS_HOSTS" >>"/etc/netns/$ns/hosts"
fi
printf 'hosts: files\nservices: files\nprotocols: files\npasswd: files\ngroup: files\n' >"/etc/netns/$ns/nsswitch.conf"
printf 'multi on\n' >"/etc/netns/$ns/host.conf"
ip netns exec "$ns" env VK_NETNS="$ns" "$prog" "$@"
exit $?
