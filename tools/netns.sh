#!/bin/sh
# Runs a command in a fresh network namespace of its own: loopback up, plus one
# link and a default route so that UDP broadcasts to 255.255.255.255 reach
# every socket inside the namespace and nothing outside it.
#   tools/netns.sh CMD [ARG...]
# Inside a namespace made this way already (TUNELET_NETNS=1) it runs CMD as is.
set -e
if [ "$#" -eq 0 ]; then echo "usage: tools/netns.sh CMD [ARG...]" >&2; exit 2; fi
if [ "${TUNELET_NETNS:-}" = 1 ]; then exec "$@"; fi
inner='ip link set lo up &&
ip link add tl0 type veth peer name tl1 &&
ip addr add 10.9.0.1/24 dev tl0 &&
ip link set tl0 up &&
ip route add default dev tl0 &&
TUNELET_NETNS=1 exec "$@"'
if [ "$(id -u)" = 0 ]; then
  exec unshare -n sh -c "$inner" netns "$@"
else
  exec unshare -rn sh -c "$inner" netns "$@"
fi
