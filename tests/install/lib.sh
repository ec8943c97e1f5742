# Helpers for the install checks, sourced by them.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Starts a sniffer service command that listens on 127.0.0.1:0 and sets service_pid and port.
start_service() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  service_pid=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^sniffer-service: listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$log")
    [ -n "$port" ] && return 0
    if ! kill -0 "$service_pid" 2>/dev/null; then
      cat "$log" >&2
      fail "the service did not start: $*"
    fi
    sleep 0.1
  done
  cat "$log" >&2
  fail "the service did not report its port: $*"
}

stop_service() {
  if [ -n "${service_pid:-}" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill -TERM "$service_pid"
    wait "$service_pid" || fail "the service did not stop cleanly on SIGTERM"
  fi
  service_pid=
}

# Fetches "/" of the service on $port with the given netget and checks that it answered.
expect_snapshot() {
  local netget=$1 out
  out=$("$netget" --body "http://127.0.0.1:$port/") || fail "netget failed: $out"
  grep -q '^  result: ok$' <<<"$out" || fail "no answer on /: $out"
  grep -q '^  status: HTTP/1.1 200' <<<"$out" || fail "/ did not answer 200: $out"
  grep -q '^Quorvel sniffer service, ' <<<"$out" || fail "/ is not a snapshot: $out"
  snapshot=$out
}

# Runs a systemd unit's ExecStart with the variables of its EnvironmentFile, splitting them as
# systemd does: ${X} stays one word, $X splits into words.
run_unit_command() {
  local unit=$1 config=$2 line word name
  line=$(sed -n 's/^ExecStart=//p' "$unit")
  local -a words args more
  read -ra words <<<"$line"
  (
    set -a
    # shellcheck disable=SC1090
    . "$config"
    set +a
    args=()
    for word in "${words[@]}"; do
      case $word in
        '${'*'}') name=${word:2:${#word}-3}; args+=("${!name}") ;;
        '$'*) name=${word:1}; read -ra more <<<"${!name}"; args+=("${more[@]}") ;;
        *) args+=("$word") ;;
      esac
    done
    "${args[@]}"
  )
}
