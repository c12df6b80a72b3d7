#!/bin/sh
# Installs the Debian packages named as arguments when any is missing.
# As root it runs apt-get quietly; otherwise it prints the one line to run and
# fails. Idempotent: with everything present it does nothing. A package
# manager lock held by another program is waited for (bounded, see below).
# A package named with ":i386" adds that architecture first; recommended
# packages are left out, and an install that would remove any package is
# refused (Wine's recommendations once took away what the build needs).
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "Missing packages. Run:  sudo apt-get install -y$missing" >&2
  exit 1
fi
echo "Installing:$missing" >&2
export DEBIAN_FRONTEND=noninteractive
case "$missing" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac

# Another program (an unattended upgrade, a software centre) may hold the
# package manager's locks for a while: each apt-get is tried again every two
# seconds while it fails on a lock, for up to TUNELET_APT_WAIT seconds (300
# by default), saying once that it waits. Any other failure, or a lock still
# held at the end, fails with apt's own words.
limit="${TUNELET_APT_WAIT:-300}"
waited=0
apt_locked() {
  while :; do
    if said="$(apt-get "$@" 2>&1 >/dev/null)"; then return 0; fi
    case "$said" in
      *"Could not get lock"*|*"Unable to lock"*|*"Unable to acquire the dpkg frontend lock"*) ;;
      *) printf '%s\n' "$said" >&2; return 1 ;;
    esac
    if [ "$waited" -ge "$limit" ]; then
      printf '%s\n' "$said" >&2
      echo "The package manager is still busy after $limit seconds; try again once it is done." >&2
      return 1
    fi
    if [ "$waited" = 0 ]; then
      holder="$(printf '%s\n' "$said" | sed -n 's/.*It is held by process \([0-9]* ([^)]*)\).*/\1/p' | head -n 1)"
      echo "Waiting for another program to release the package manager${holder:+ (process $holder)}; up to $limit seconds..." >&2
    fi
    sleep 2
    waited=$((waited + 2))
  done
}
apt_locked update -qq || exit 1
removed="$(apt-get install -s -q --no-install-recommends $missing | sed -n 's/^Remv \([^ ]*\).*/\1/p' | tr '\n' ' ')"
if [ -n "$removed" ]; then
  echo "Installing$missing would remove: $removed; refused." >&2
  exit 1
fi
apt_locked install -y -qq --no-install-recommends $missing
