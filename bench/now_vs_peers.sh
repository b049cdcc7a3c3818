#!/usr/bin/env bash
# One whole `pellvane -now` run with an unchanged address (FTP on, the page up to date) against
# two peers asking the same loopback echo page: `curl -s` and inadyn `--once` (with the same
# address in its cache). Then a changed address with FTP (the page filled and uploaded) against
# a shell script doing the same job with curl: fetch, sed, upload, list.
# Round-robin, so that load from elsewhere falls on all alike: median wall time, CPU time (user
# and system) and peak memory (max RSS, GNU time) of each, and their ratios to curl.
# Everything runs in a network namespace of its own with nothing but loopback, so that none of
# the three can reach beyond this machine.
# Usage: bench/now_vs_peers.sh [pellvane executable ...]   (default build-rel/app/pellvane)
# Several executables (an older build beside a newer one) take turns on the same store.
# RUNS=n sets the number of runs of each (default 40, at least 30 for the figures).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 0 ] && set -- "$root/build-rel/app/pellvane"
pellvanes=()
for p in "$@"; do pellvanes+=("$(realpath "$p")"); done
runs=${RUNS:-40}

if [ -z "${PELLVANE_BENCH_NETNS:-}" ]; then
  if ! command -v inadyn >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      inadyn >/dev/null
  fi
  # Without root, a user namespace gives the rights to bring loopback up.
  ns=(unshare --net); [ "$(id -u)" -ne 0 ] && ns=(unshare --map-root-user --net)
  if ! "${ns[@]}" true 2>/dev/null; then
    echo "now_vs_peers: no network namespace can be made here; not running inadyn outside one" >&2
    exit 1
  fi
  PELLVANE_BENCH_NETNS=1 RUNS=$runs exec "${ns[@]}" "$0" "${pellvanes[@]}"
fi

ip link set lo up
source "$root/scripts/lib/sandbox.sh"
address=198.51.100.23
start_echo_page $address
start_ftp_server bench bench
printf '<html>\r\n<b>%s</b>\r\n</html>\r\n' "'!!!***IP***!!!'" >"$sandbox/template.htm"
seed_store "${pellvanes[0]}" wserver1 "$echo_url" wdefserver 1 proxycon 1 lastip $address \
  useftp True ftpserver0 "$ftp_url" ftpuser0 bench ftppass0 bench ftpremotefile0 page.html \
  htmltemplatefile0 "$sandbox/template.htm" ftpdefserver 0
# The same job as a shell script with curl: fetch, compare, fill, upload, list.
cat >"$sandbox/curl-job.sh" <<JOB
#!/bin/sh
ip=\$(curl -s "$echo_url")
[ "\$ip" = "\$(cat "$sandbox/curl-job.last" 2>/dev/null)" ] && exit 0
sed "s/'!!!\*\*\*IP\*\*\*!!!'/\$ip/g" "$sandbox/template.htm" >"$sandbox/curl-job.htm"
curl -s -T "$sandbox/curl-job.htm" -u bench:bench "$ftp_url/curl-job.html" &&
  curl -s -u bench:bench "$ftp_url/" >/dev/null &&
  printf %s "\$ip" >"$sandbox/curl-job.last"
JOB
chmod +x "$sandbox/curl-job.sh"

hostport=${echo_url#http://}
hostport=${hostport%%/*}
mkdir -p "$sandbox/inadyn/cache"
# A documentation address is no public one: inadyn's own check of it is turned off.
cat >"$sandbox/inadyn/inadyn.conf" <<CONF
verify-address = false
custom loopback {
  ssl = false
  checkip-ssl = false
  checkip-server = $hostport
  checkip-path = /ip.shtml
  ddns-server = $hostport
  ddns-path = "/update?hostname=%h&myip=%i"
  username = bench
  password = bench
  hostname = bench.example.net
}
CONF
printf '%s' $address >"$sandbox/inadyn/cache/bench.example.net.cache"

python3 - "$runs" "$sandbox" "${pellvanes[@]}" <<PY
import itertools, resource, statistics, subprocess, sys, time
runs, sandbox, pellvanes = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
def named(suffix):
    return {("pellvane " if len(pellvanes) == 1 else p + " ") + suffix: [p, "-now"] for p in pellvanes}
null = subprocess.DEVNULL
def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
def run(argv):
    started, cpu_before = time.perf_counter(), cpu()
    if subprocess.run(argv, stdout=null, stderr=null).returncode != 0:
        sys.exit(f"now_vs_peers: {argv[0]} failed")
    return time.perf_counter() - started, cpu() - cpu_before
def peak_kib(argv):
    out = sandbox + "/time.out"
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out, *argv], stdout=null, stderr=null, check=True)
    return int(open(out).read().split()[-1])
# Each run of the changed round finds another address than the one before it.
addresses = itertools.cycle(["198.51.100.24", "198.51.100.25"])
def change():
    open(sandbox + "/nginx/ip.shtml", "w").write(next(addresses))
def measure(title, commands, curl, before=lambda: None):
    names = list(commands)
    for name in names:  # warm-up
        before()
        run(commands[name])
    wall = {n: [] for n in names}
    used = {n: [] for n in names}
    peak = {n: [] for n in names}
    for i in range(runs):
        order = names[i % len(names):] + names[:i % len(names)]
        for name in order:
            before()
            w, c = run(commands[name])
            wall[name].append(w)
            used[name].append(c)
            before()
            peak[name].append(peak_kib(commands[name]))
    cw, cc, cp = (statistics.median(v[curl]) for v in (wall, used, peak))
    print(f"{title}: {runs} runs each, round-robin")
    print("| command | median wall (ms) | x curl | median CPU (ms) | x curl | peak RSS median / max (KiB) | x curl |")
    print("|:---|---:|---:|---:|---:|---:|---:|")
    for name in names:
        w, c, p = (statistics.median(v[name]) for v in (wall, used, peak))
        print(f"| {name} | {w * 1000:.1f} | {w / cw:.2f} | {c * 1000:.1f} | {c / cc:.2f} "
              f"| {p:.0f} / {max(peak[name])} | {p / cp:.2f} |")
    print()
measure("unchanged address", {**named("-now"), "curl -s": ["curl", "-s", "$echo_url"],
    "inadyn --once": ["inadyn", "--once", "--foreground", "--no-pidfile", "-l", "none",
                      "-f", sandbox + "/inadyn/inadyn.conf", "--cache-dir", sandbox + "/inadyn/cache"]},
    "curl -s")
measure("changed address, FTP", {**named("-now, changed"), "curl job": [sandbox + "/curl-job.sh"]},
        "curl job", change)
PY
