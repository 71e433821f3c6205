#!/bin/bash
# Runs the benchmarks once and prints their figures, never pass/fail (README's "Benchmarks" says
# what each is measured against). Postfix's programs are unpacked, never installed. Needs root
# (port 25). Environment: BUILD_DIR, BULK_COUNT, SINK_HOST, PROXY_HOST, DELAY_MS, FAR_COUNT below.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${BUILD_DIR:-build-bench} BULK_COUNT=${BULK_COUNT:-2000} SINK_HOST=${SINK_HOST:-127.0.0.19}
PROXY_HOST=${PROXY_HOST:-127.0.0.20} DELAY_MS=${DELAY_MS:-10} FAR_COUNT=${FAR_COUNT:-200}
WORK=$(mktemp -d /tmp/velkor-bench.XXXXXX)
trap 'kill ${SINK_PID:-} ${PLAIN_PID:-} ${PROXY_PID:-} ${XVFB_PID:-} 2>/dev/null || true; rm -rf "$WORK"' EXIT
rate() { awk -v a="$1" -v b="$2" -v f="%.${3:-1}f\n" 'BEGIN { printf f, a / b }'; }
wait_port() { for _ in $(seq 50); do (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null && break; sleep 0.1; done; }
# bulk LABEL VAR ARGS...: runs bench_bulksend ARGS, prints its rate under LABEL (and its
# "velkor FAILED" line: the run goes on) and leaves the rate in the variable VAR.
bulk() {
  local label=$1 var=$2 out; shift 2
  out=$("$BUILD_DIR/bench/bench_bulksend" "$@") || true
  grep FAILED <<<"$out" || true
  echo "$label: ${out##*$'\n'}"
  printf -v "$var" '%s' "${out##* }"
}
# smtp-source over one connection (-d): messages per second.
source_rate() {
  local start; start=$(date +%s.%N)
  LD_LIBRARY_PATH="$WORK/postfix/usr/lib/postfix" "$WORK/postfix/usr/sbin/smtp-source" -d -s 1 -m "$2" -l 1700 "$1" >&2
  awk -v n="$2" -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f\n", n / (b - a) }'
}

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=ON >/dev/null
ninja -C "$BUILD_DIR" -j2 bench_bulksend bench_base64 velkor-sendmail bench_csvexport >/dev/null
(cd "$WORK" && apt-get download postfix >/dev/null 2>&1)
dpkg -x "$WORK"/postfix_*.deb "$WORK/postfix"
LD_LIBRARY_PATH="$WORK/postfix/usr/lib/postfix" "$WORK/postfix/usr/sbin/smtp-sink" -u nobody "$SINK_HOST:25" 256 &
SINK_PID=$!
LD_LIBRARY_PATH="$WORK/postfix/usr/lib/postfix" "$WORK/postfix/usr/sbin/smtp-sink" -p -u nobody "$SINK_HOST:2525" 256 &
PLAIN_PID=$!
for port in 25 2525; do wait_port "$SINK_HOST" "$port"; done

echo "== (a) bulk send of $BULK_COUNT messages over one session"
bulk pipelined ours "$SINK_HOST" 25 "$BULK_COUNT"
bulk "messages pipelined" batched "$SINK_HOST" 25 "$BULK_COUNT" messages
bulk "not pipelined" plain "$SINK_HOST" 2525 "$BULK_COUNT"
theirs=$(/usr/bin/python3 bench/bulk_smtplib.py "$SINK_HOST" 25 "$BULK_COUNT"); echo "$theirs"
source_rate=$(source_rate "$SINK_HOST:25" "$BULK_COUNT")
echo "smtp-source msgs/s: $source_rate"
echo "ratio velkor/smtplib: $(rate "$ours" "${theirs##* }")"
echo "ratio velkor/smtp-source: $(rate "$ours" "$source_rate")" \
  "(messages pipelined: $(rate "$batched" "$source_rate"), not pipelined: $(rate "$plain" "$source_rate"))"

echo "== (a) through a relay holding every chunk ${DELAY_MS}ms each way, $FAR_COUNT messages"
/usr/bin/python3 bench/delay_proxy.py "$PROXY_HOST" 25 "$SINK_HOST" 25 "$DELAY_MS" &
PROXY_PID=$!
wait_port "$PROXY_HOST" 25
# The relay shares the CPU with everything else, so its round trip is measured before and after
# the runs (median of 50 SMTP NOOPs) and the bound is taken from their mean.
rtt_before=$(/usr/bin/python3 bench/delay_proxy.py ping "$PROXY_HOST" 25 50)
bulk pipelined ours "$PROXY_HOST" 25 "$FAR_COUNT"
bulk "messages pipelined" batched "$PROXY_HOST" 25 "$FAR_COUNT" messages
source_rate=$(source_rate "$PROXY_HOST:25" "$FAR_COUNT")
echo "smtp-source msgs/s: $source_rate"
rtt_after=$(/usr/bin/python3 bench/delay_proxy.py ping "$PROXY_HOST" 25 50)
echo "relay $rtt_before before the runs, ${rtt_after##* } after"
bound=$(rate 2000 "$(awk -v a="${rtt_before##* }" -v b="${rtt_after##* }" 'BEGIN { print a + b }')")
echo "bound at one round trip per message, msgs/s: $bound"
echo "ratio velkor/smtp-source: $(rate "$ours" "$source_rate")" \
  "(messages pipelined: $(rate "$batched" "$source_rate"))"
echo "ratio velkor/bound: $(rate "$ours" "$bound" 2) (messages pipelined: $(rate "$batched" "$bound" 2))"
kill "$PROXY_PID"; wait "$PROXY_PID" 2>/dev/null || true; PROXY_PID=

echo "== (b) base64 of a 200 MB file"
head -c 200000000 /dev/urandom > "$WORK/base64.bin"
ours=$("$BUILD_DIR/bench/bench_base64" "$WORK/base64.bin"); echo "$ours"
TIMEFORMAT=%R
theirs=$(rate 200 "$( { time base64 "$WORK/base64.bin" >/dev/null; } 2>&1 )")
echo "coreutils base64 MB/s: $theirs"
echo "ratio velkor/coreutils: $(rate "${ours##* }" "$theirs")"
rm -f "$WORK/base64.bin"

echo "== (c) peak memory of velkor-sendmail with a 500 MB attachment"
head -c 500000000 /dev/urandom > "$WORK/attachment.bin"
/usr/bin/python3 - "$BUILD_DIR/tools/velkor-sendmail" "$SINK_HOST" "$WORK/attachment.bin" <<'PY'
import resource, subprocess, sys, time
tool, host, path = sys.argv[1:4]
start = time.perf_counter()
rc = subprocess.call([tool, "--host", host, "--host-validation", "0", "--quiet", "--from", "izvjestaji@velkor.hr",
                      "--to", "kupac@kupac.hr", "--subject", "Veliki prilog", "--body", "Prilog.", "--attach", path])
seconds = time.perf_counter() - start
print("exit: %d  seconds: %.1f  MB/s: %.1f" % (rc, seconds, 500 / seconds))
print("velkor-sendmail peak RSS MB: %.1f (attachment 500 MB)" % (resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024))
PY

echo "== (d) the composer's first paint after method 2, cold and warm, against a bare web view"
ninja -C "$BUILD_DIR" -j2 bench_composer_paint bench_composer_run bench_paint_host bench_paint_observer \
  VelkorSlanjeEMaila26 >/dev/null
# Chromium refuses to run as root with its sandbox on; this is a measurement, not the product.
QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK" \
  "$BUILD_DIR/bench/bench_composer_paint" "$BUILD_DIR/src/libVelkorSlanjeEMaila26.so" 2>/dev/null
echo "== (e) CSV export of ${CSV_ROWS:=1000000} rows x 8 fields"
ours=$("$BUILD_DIR/bench/bench_csvexport" "$WORK/velkor.csv" "$CSV_ROWS"); echo "$ours"
theirs=$(/usr/bin/python3 bench/csv_python.py "$WORK/python.csv" "$CSV_ROWS"); echo "$theirs"
held() { echo "$1" | grep 'held' | sed 's/.*held: \([0-9.]*\).*/\1/'; }
echo "record set held, velkor/python: $(rate "$(held "$ours")" "$(held "$theirs")" 2)"
ours=$(echo "$ours" | tail -1); theirs=$(echo "$theirs" | tail -1)
echo "ratio velkor/python csv: $(rate "${ours##* }" "${theirs##* }")"

echo "== (f) record-set run of $BULK_COUNT customers through the composer, against the bare engine"
bare=$("$BUILD_DIR/bench/bench_bulksend" "$SINK_HOST" 25 "$BULK_COUNT" html); echo "bare engine, HTML:"; echo "$bare" | tail -2
composer=$(QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK" \
  "$BUILD_DIR/bench/bench_composer_run" "$SINK_HOST" "$BULK_COUNT" 2>/dev/null); echo "$composer" | tail -2
cpu() { echo "$1" | grep 'cpu us/msg' | awk '{ print $NF }'; }
# Wall-clock rates move with the machine's load; the CPU time per message does not.
echo "ratio composer/bare engine, msgs/s: $(rate "${composer##* }" "${bare##* }")," \
  "by CPU per message: $(rate "$(cpu "$bare")" "$(cpu "$composer")")"

echo "== (g) a C host with only the send form (5 calls of method 3), against one that opened the composer first"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
mkdir -m 700 "$WORK/run"
# paint_run MODE HOLD_MS: the host's calls and the observer's paints, as "call|paint ... MS" lines.
paint_run() {
  local obs
  DISPLAY=":$(cat "$WORK/display")" "$BUILD_DIR/bench/bench_paint_observer" "$2" >"$WORK/paints" & obs=$!
  sleep 0.5
  DISPLAY=":$(cat "$WORK/display")" XDG_CONFIG_HOME="$WORK/config-$1" XDG_RUNTIME_DIR="$WORK/run" \
    QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 \
    timeout 120 "$BUILD_DIR/bench/bench_paint_host" "$BUILD_DIR/src/libVelkorSlanjeEMaila26.so" "$1" 5 \
    >"$WORK/calls" 2>/dev/null || echo "host $1 FAILED"
  kill "$obs"; wait "$obs" 2>/dev/null || true
}
# paint_report LABEL: the host's peak memory and the send form's first paint on its first call
# and on the later ones. Xvfb stamps its events with the monotonic clock in ms (32 bits), the
# clock the host prints before each call.
paint_report() {
  awk -v label="$1" '
    FILENAME ~ /calls$/ && $1 == "call" && $2 == "send" { call[++n] = $3 % 4294967296 }
    FILENAME ~ /calls$/ && $1 == "peak" { peak = $2 / 1024 }
    FILENAME ~ /calls$/ && $1 == "call" && $2 == "composer" { composer = $3 % 4294967296 }
    FILENAME ~ /paints$/ && $3 == "Slanje" && $4 == "e-mail-a" { paint[++m] = $2 }
    FILENAME ~ /paints$/ && $3 == "Slanje" && $4 == "E-mail-a" { composerPaint = $2 }
    END {
      if (composer) printf "%s: composer first paint %d ms\n", label, composerPaint - composer
      if (m < n) { printf "%s: FAILED, %d of %d send forms painted\n", label, m, n; exit }
      for (i = 2; i <= n; ++i) warm += paint[i] - call[i]
      printf "%s: peak RSS %.1f MiB, send form first paint cold %d ms, warm %.1f ms (mean of %d)\n",
        label, peak, paint[1] - call[1], warm / (n - 1), n - 1
    }' "$WORK/calls" "$WORK/paints"
}
peak_mib() { awk '$1 == "peak" { printf "%.1f\n", $2 / 1024 }' "$WORK/calls"; }
paint_run send 0; paint_report "send form only"; light=$(peak_mib)
# The composer stays open 3 s, long enough for its editor to load.
paint_run composer 3000; paint_report "composer once, then the send form"; heavy=$(peak_mib)
kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null || true
echo "peak RSS send form only / with the composer opened once: $(rate "$light" "$heavy" 2) (goal: send form alone <= 50 MiB, cold first paint <= 150 ms)"
