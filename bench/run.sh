#!/bin/bash
# Runs the benchmarks once and prints their figures (never a pass/fail):
#  (a) bulk send of N personalised messages over one session to Postfix's smtp-sink,
#      ours (pipelined, and against a second sink that does not offer PIPELINING)
#      against Postfix's smtp-source and Python's smtplib over one connection;
#  (b) base64 throughput on one 200 MB file, ours against coreutils `base64`;
#  (c) peak RSS of velkor-sendmail sending a 500 MB attachment;
#  (d) time from method 2 to the composer's first paint, and peak RSS;
#  (e) CSV export rows per second against Python's csv writer;
#  (f) a record-set run of N customers through the composer against the bare engine sending
#      the same HTML offer over one session to the same sink.
# smtp-sink and smtp-source come from Debian's postfix package unpacked into a temporary directory, so
# Postfix is never installed as this machine's mail server. Needs root (port 25).
# Environment: BUILD_DIR (default build-bench), BULK_COUNT (2000), SINK_HOST (127.0.0.19).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
BUILD_DIR=${BUILD_DIR:-build-bench} BULK_COUNT=${BULK_COUNT:-2000} SINK_HOST=${SINK_HOST:-127.0.0.19}
WORK=$(mktemp -d /tmp/velkor-bench.XXXXXX)
trap 'kill ${SINK_PID:-} ${PLAIN_PID:-} 2>/dev/null || true; rm -rf "$WORK"' EXIT
rate() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f\n", a / b }'; }

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=ON >/dev/null
ninja -C "$BUILD_DIR" -j2 bench_bulksend bench_base64 velkor-sendmail >/dev/null
(cd "$WORK" && apt-get download postfix >/dev/null 2>&1)
dpkg -x "$WORK"/postfix_*.deb "$WORK/postfix"
LD_LIBRARY_PATH="$WORK/postfix/usr/lib/postfix" "$WORK/postfix/usr/sbin/smtp-sink" -u nobody "$SINK_HOST:25" 256 &
SINK_PID=$!
LD_LIBRARY_PATH="$WORK/postfix/usr/lib/postfix" "$WORK/postfix/usr/sbin/smtp-sink" -p -u nobody "$SINK_HOST:2525" 256 &
PLAIN_PID=$!
for port in 25 2525; do
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/$SINK_HOST/$port") 2>/dev/null && break; sleep 0.1; done
done

echo "== (a) bulk send of $BULK_COUNT messages over one session"
ours=$("$BUILD_DIR/bench/bench_bulksend" "$SINK_HOST" 25 "$BULK_COUNT"); echo "pipelined: ${ours##*$'\n'}"
plain=$("$BUILD_DIR/bench/bench_bulksend" "$SINK_HOST" 2525 "$BULK_COUNT"); echo "not pipelined: ${plain##*$'\n'}"
theirs=$(/usr/bin/python3 bench/bulk_smtplib.py "$SINK_HOST" 25 "$BULK_COUNT"); echo "$theirs"
start=$(date +%s.%N)
LD_LIBRARY_PATH="$WORK/postfix/usr/lib/postfix" "$WORK/postfix/usr/sbin/smtp-source" -d -s 1 -m "$BULK_COUNT" -l 1700 \
  "$SINK_HOST:25"
source_rate=$(awk -v n="$BULK_COUNT" -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f\n", n / (b - a) }')
echo "smtp-source msgs/s: $source_rate"
echo "ratio velkor/smtplib: $(rate "${ours##* }" "${theirs##* }")"
echo "ratio velkor/smtp-source: $(rate "${ours##* }" "$source_rate")" \
  "(not pipelined: $(rate "${plain##* }" "$source_rate"))"

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
ninja -C "$BUILD_DIR" -j2 bench_composer_paint >/dev/null
# Chromium refuses to run as root with its sandbox on; this is a measurement, not the product.
QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK" \
  "$BUILD_DIR/bench/bench_composer_paint" "$BUILD_DIR/src/libVelkorSlanjeEMaila26.so" 2>/dev/null
echo "== (e) CSV export of ${CSV_ROWS:=1000000} rows x 8 fields"
ninja -C "$BUILD_DIR" -j2 bench_csvexport >/dev/null
ours=$("$BUILD_DIR/bench/bench_csvexport" "$WORK/velkor.csv" "$CSV_ROWS"); echo "$ours"; ours=$(echo "$ours" | tail -1)
theirs=$(/usr/bin/python3 bench/csv_python.py "$WORK/python.csv" "$CSV_ROWS"); echo "$theirs"; theirs=$(echo "$theirs" | tail -1)
echo "ratio velkor/python csv: $(rate "${ours##* }" "${theirs##* }")"

echo "== (f) record-set run of $BULK_COUNT customers through the composer, against the bare engine"
ninja -C "$BUILD_DIR" -j2 bench_composer_run >/dev/null
bare=$("$BUILD_DIR/bench/bench_bulksend" "$SINK_HOST" 25 "$BULK_COUNT" html); echo "bare engine, HTML:"; echo "$bare" | tail -2
composer=$(QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK" \
  "$BUILD_DIR/bench/bench_composer_run" "$SINK_HOST" "$BULK_COUNT" 2>/dev/null); echo "$composer" | tail -2
cpu() { echo "$1" | grep 'cpu us/msg' | awk '{ print $NF }'; }
# Wall-clock rates move with the machine's load; the CPU time per message does not.
echo "ratio composer/bare engine, msgs/s: $(rate "${composer##* }" "${bare##* }")," \
  "by CPU per message: $(rate "$(cpu "$bare")" "$(cpu "$composer")")"
