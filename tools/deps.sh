#!/bin/sh
# Installs the Debian packages named as arguments when any is missing.
# As root it runs apt-get quietly; otherwise it prints the one line to run and
# fails. Idempotent: with everything present it does nothing.
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
apt-get update -qq >/dev/null && apt-get install -y -qq --no-install-recommends $missing >/dev/null
