#!/usr/bin/env bash
# The shipped nginx echo page configuration, served by a real nginx on loopback, gives
# `pellvane -now` the caller's address 127.0.0.1.
# Usage: nginx_echo_test.sh <source root> <pellvane executable>
set -euo pipefail
root=$1
pellvane=$2
source "$root/scripts/lib/sandbox.sh"

start_nginx "include $root/examples/nginx/pellvane-echo-location.conf;"
seed_store "$pellvane" wserver1 "$echo_url" wdefserver 1 proxycon 1 writelog True
"$pellvane" -now || { echo "exit status $?"; cat "$PELLVANE_HOME/pellvane.log"; exit 1; }
stored=$(sqlite3 "$PELLVANE_HOME/registry.sqlite3" "SELECT CAST(data AS TEXT) FROM vals WHERE name = 'lastip'")
[ "$stored" = "127.0.0.1" ] || { echo "lastip '$stored'"; cat "$PELLVANE_HOME/pellvane.log"; exit 1; }
echo "nginx echo page: ok"
