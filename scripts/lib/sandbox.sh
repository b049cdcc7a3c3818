# Shell helpers for runs on loopback in a throw-away sandbox: free ports, a local echo page
# (nginx serving a file that plays the public address), a local FTP server (pyftpdlib), and
# values written straight into the SQLite settings store. Sourced by demo and benchmarks.

sandbox=$(mktemp -d /tmp/pellvane-sandbox.XXXXXX)
sandbox_pids=()
sandbox_cleanup() {
  for pid in "${sandbox_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$sandbox"
}
trap sandbox_cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

wait_port() {
  for _ in $(seq 200); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "no server came up on port $1" >&2
  return 1
}

# wait_server PORT LOG: waits for the server on PORT; when none comes up, shows its LOG.
wait_server() {
  wait_port "$1" && return 0
  cat "$2" >&2
  return 1
}

# start_nginx LOCATION: nginx on a free loopback port with the given location block(s);
# sets echo_url to its /ip.shtml.
start_nginx() {
  local port dir=$sandbox/nginx
  port=$(free_port)
  mkdir -p "$dir"
  # Started as root, nginx serves as "nobody": let it through the sandbox to its own folder.
  chmod 711 "$sandbox"
  chmod 755 "$dir"
  cat >"$dir/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $dir;
  proxy_temp_path $dir;
  fastcgi_temp_path $dir;
  uwsgi_temp_path $dir;
  scgi_temp_path $dir;
  server {
    listen 127.0.0.1:$port;
    $1
  }
}
CONF
  # By full path: /usr/sbin is not on a normal user's PATH.
  /usr/sbin/nginx -e "$dir/error.log" -p "$dir" -c "$dir/nginx.conf" 2>>"$dir/error.log" &
  sandbox_pids+=($!)
  wait_server "$port" "$dir/error.log"
  echo_url=http://127.0.0.1:$port/ip.shtml
}

# start_echo_page ADDRESS: serves ADDRESS (no line end) at /ip.shtml, as if it were this
# machine's public address.
start_echo_page() {
  mkdir -p "$sandbox/nginx"
  printf '%s' "$1" >"$sandbox/nginx/ip.shtml"
  start_nginx "location = /ip.shtml { alias $sandbox/nginx/ip.shtml; default_type text/plain; }"
}

# set_echoed_address ADDRESS: what the echo page answers from now on.
set_echoed_address() { printf '%s' "$1" >"$sandbox/nginx/ip.shtml"; }

# start_ftp_server USER PASSWORD: an FTP server on the folder $sandbox/ftp; sets ftp_url.
start_ftp_server() {
  local port
  port=$(free_port)
  mkdir -p "$sandbox/ftp"
  /usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -w -d "$sandbox/ftp" \
    -u "$1" -P "$2" >"$sandbox/ftp.log" 2>&1 &
  sandbox_pids+=($!)
  wait_server "$port" "$sandbox/ftp.log"
  ftp_url=ftp://127.0.0.1:$port
}

# seed_store PELLVANE NAME VALUE ...: creates the store with every value (a -backup run
# saves them all) and then sets the given values, as REG_SZ text with its NUL.
seed_store() {
  local pellvane=$1 sql=""
  shift
  "$pellvane" -backup >/dev/null
  while [ $# -ge 2 ]; do
    sql+="UPDATE vals SET data = X'$(printf '%s\0' "$2" | od -An -tx1 | tr -d ' \n')' WHERE name = '$1';"
    shift 2
  done
  sqlite3 "$PELLVANE_HOME/registry.sqlite3" "$sql"
}

export PELLVANE_HOME=$sandbox/home
mkdir -p "$PELLVANE_HOME"
