#!/usr/bin/env bash
# netget against real servers on loopback: nginx keeps one connection for several requests, and an
# HTTP/1.0 server from python's http.server ends its bodies by closing.
set -euo pipefail
netget=$1

command -v nginx >/dev/null || { echo "nginx is not installed"; exit 1; }
command -v python3 >/dev/null || { echo "python3 is not installed"; exit 1; }

tmp=$(mktemp -d /tmp/qtm-real-servers-XXXXXX)
chmod 755 "$tmp"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}
wait_port() {
  for _ in $(seq 100); do
    if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),0.2).close()" 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  echo "server on port $1 did not start"; return 1
}
fail() { echo "FAIL: $*"; echo "--- output:"; cat "$tmp/out" || true; exit 1; }

mkdir -p "$tmp/www" "$tmp/logs"
printf '10.0.0.1=alpha\r\n10.0.0.2=beta\r\n' > "$tmp/www/ip"
head -c 100000 /dev/zero | tr '\0' 'x' > "$tmp/www/big"

nginx_port=$(free_port)
cat > "$tmp/nginx.conf" <<CONF
user root;
worker_processes 1;
error_log $tmp/logs/error.log;
pid $tmp/logs/nginx.pid;
events { worker_connections 64; }
http {
  log_format conn '\$connection \$connection_requests \$status \$request_uri';
  access_log $tmp/logs/access.log conn;
  client_body_temp_path $tmp/logs;
  proxy_temp_path $tmp/logs;
  fastcgi_temp_path $tmp/logs;
  uwsgi_temp_path $tmp/logs;
  scgi_temp_path $tmp/logs;
  keepalive_timeout 30;
  server {
    listen 127.0.0.1:$nginx_port;
    root $tmp/www;
  }
}
CONF
nginx -p "$tmp" -c "$tmp/nginx.conf" -g 'daemon off;' &
pids+=($!)

py_port=$(free_port)
cat > "$tmp/stream.py" <<'PY'
import http.server, sys

class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()  # no Content-Length: the close ends the body
        for i in range(200):
            self.wfile.write(b"10.0.0.%d=host%d\r\n" % (i % 250, i))
    def log_message(self, *args):
        pass

http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
PY
python3 "$tmp/stream.py" "$py_port" &
pids+=($!)

wait_port "$nginx_port"
wait_port "$py_port"

n="http://127.0.0.1:$nginx_port"
p="http://127.0.0.1:$py_port"

# nginx: three requests over one kept connection.
"$netget" "$n/ip" "$n/big" "$n/ip" > "$tmp/out" || fail "netget against nginx"
[ "$(grep -c 'result: ok' "$tmp/out")" = 3 ] || fail "nginx fetches did not all succeed"
[ "$(grep -c 'keep-alive: ON' "$tmp/out")" = 3 ] || fail "nginx connection was not kept"
grep -q 'bytes: 100000' "$tmp/out" || fail "large body size"
[ "$(grep 'local port' "$tmp/out" | sort -u | wc -l)" = 1 ] || fail "nginx requests used more than one connection"
sleep 0.2
[ "$(awk '{print $1}' "$tmp/logs/access.log" | sort -u | wc -l)" = 1 ] || fail "nginx saw more than one connection"
awk '{print $2}' "$tmp/logs/access.log" | tr '\n' ' ' | grep -q '^1 2 3 $' || fail "nginx request counts"

# The body as text.
"$netget" --body "$n/ip" > "$tmp/out" || fail "netget --body"
grep -q '^10.0.0.2=beta' "$tmp/out" || fail "body not printed"

# A missing page fails with the status line, and the exit status says so.
if "$netget" "$n/missing" "$n/ip" > "$tmp/out"; then fail "a 404 must give a non-zero exit status"; fi
grep -q 'result: ENetHTTPProtocolException: HTTP/1.1 404 Not Found' "$tmp/out" || fail "404 report"
[ "$(grep -c 'result: ok' "$tmp/out")" = 1 ] || fail "the fetch after a failure must succeed"

# python's HTTP/1.0 server: bodies end at the close, and each request connects anew.
"$netget" "$p/ip" "$p/ip" > "$tmp/out" || fail "netget against python"
[ "$(grep -c 'result: ok' "$tmp/out")" = 2 ] || fail "python fetches did not all succeed"
[ "$(grep -c 'keep-alive: OFF' "$tmp/out")" = 2 ] || fail "read until close must end the connection"
expected=$(python3 -c 'print(sum(len(b"10.0.0.%d=host%d\r\n" % (i % 250, i)) for i in range(200)))')
[ "$(grep -c "bytes: $expected" "$tmp/out")" = 2 ] || fail "python body size (expected $expected)"

# openssl s_server with a self-signed certificate for another name: accepted, and the HTTP/1.0
# reply it sends for a file ends at its close.
if command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tmp/tls.key" -out "$tmp/tls.crt" -days 2 \
    -subj /CN=wrong.example >/dev/null 2>&1
  tls_port=$(free_port)
  (cd "$tmp/www" && exec openssl s_server -quiet -accept "127.0.0.1:$tls_port" -cert "$tmp/tls.crt" \
    -key "$tmp/tls.key" -WWW) >/dev/null 2>&1 </dev/null &
  pids+=($!)
  wait_port "$tls_port"
  "$netget" --body "https://127.0.0.1:$tls_port/ip" "https://127.0.0.1:$tls_port/ip" > "$tmp/out" \
    || fail "netget against openssl s_server"
  [ "$(grep -c 'result: ok' "$tmp/out")" = 2 ] || fail "https fetches did not all succeed"
  [ "$(grep -c '^10.0.0.1=alpha' "$tmp/out")" = 2 ] || fail "https body"
fi

# Nothing listens here any more: a refused connect is an error, not a hang.
closed=$(free_port)
if "$netget" "http://127.0.0.1:$closed/" > "$tmp/out"; then fail "refused connect must fail"; fi
grep -q 'Connection refused' "$tmp/out" || fail "refused connect message"

echo "real servers: all checks passed"
