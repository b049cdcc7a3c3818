#!/usr/bin/env bash
# One whole `pellvane -now` run with an unchanged address against `curl -s` on the same local
# echo page, in the same run: wall time with hyperfine, peak memory (max RSS) with GNU time.
# Usage: bench/now_vs_curl.sh [path to the pellvane executable]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pellvane=${1:-$root/build/app/pellvane}
source "$root/scripts/lib/sandbox.sh"

start_echo_page 198.51.100.23
seed_store "$pellvane" wserver1 "$echo_url" wdefserver 1 proxycon 1 lastip 198.51.100.23

hyperfine -N --warmup 5 --runs 100 --export-markdown "$sandbox/wall.md" \
  -n "pellvane -now" "$pellvane -now" -n "curl -s" "curl -s $echo_url" >/dev/null
cat "$sandbox/wall.md"
echo
peak() {
  local max=0 kb
  for _ in $(seq 20); do
    kb=$( { /usr/bin/time -f %M "$@" >/dev/null; } 2>&1 | tail -1)
    [ "$kb" -gt "$max" ] && max=$kb
  done
  echo "$max"
}
echo "| command | peak RSS (KiB, max of 20) |"
echo "|:---|---:|"
echo "| pellvane -now | $(peak "$pellvane" -now) |"
echo "| curl -s | $(peak curl -s "$echo_url") |"
