#!/usr/bin/env bash
# The Debian package as a host's build sees it: unpacked into a scratch root, a C host built
# with nothing but pkg-config against it, run under Xvfb until the send form shows.
# Arguments: the build directory, the source directory.
set -euo pipefail
build=$1 src=$2
command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing"; exit 77; }
work=$(mktemp -d) xvfb="" host=""
trap '[ -z "$host" ] || kill "$host" 2>/dev/null; [ -z "$xvfb" ] || kill "$xvfb"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(echo "$work"/pkg/*.deb)
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6 (>=' || fail "no computed dependencies"
dpkg -x "$deb" "$work/root"

so=$(find "$work/root" -name 'libVelkorSlanjeEMaila26.so.26.1.0.1')
lib=$(dirname "$so")
readelf -d "$so" | grep -q 'SONAME.*\[libVelkorSlanjeEMaila26\.so\.26\]' || fail "soname"
# The composer's module lies beside the library, and only it brings the browser engine.
module=$lib/libVelkorSlanjeEMaila26-composer.so
[ -f "$module" ] || fail "the composer's module is not beside the library"
! readelf -d "$so" | grep -q 'NEEDED.*WebEngine' || fail "the library loads Qt WebEngine"
readelf -d "$module" | grep -q 'NEEDED.*libQt6WebEngineWidgets' || fail "the module's WebEngine"
[ "$(nm -D --defined-only "$module" | awk '{print $3}')" = VelkorSlanjeEMaila26_Skladatelj ] ||
  fail "the module exports more than its entry"
[ -f "$work/root/usr/share/velkor/komitenti.sqlite" ] || fail "sample database"
[ -x "$work/root/usr/bin/velkor-host" ] && [ -x "$work/root/usr/bin/velkor-sendmail" ] ||
  fail "programs"
# Nothing but the C interface leaves the library.
diff <(nm -D --defined-only "$so" | awk '{print $3}' | sort) \
     <(grep -v '^#' "$work/root/usr/include/VelkorSlanjeEMaila26.h" | grep -o 'VELKOR_API [^(]*(' |
       grep -o '[A-Za-z_0-9]*($' | tr -d '(' | sort) || fail "exported symbols"

export PKG_CONFIG_LIBDIR=$lib/pkgconfig
# shellcheck disable=SC2046
cc -Wall -Werror -o "$work/host" "$src/tests/package/host.c" \
  $(pkg-config --cflags --libs VelkorSlanjeEMaila26) || fail "the host does not build"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")" XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/run && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
LD_LIBRARY_PATH=$lib "$work/host" &
host=$!
# Only a mapped window takes the focus: a titled one that is not yet shown would stall the key.
win=$(timeout 120 xdotool search --sync --onlyvisible --name '^Slanje e-mail-a$' | head -n 1) ||
  fail "the send form did not open"
# The send form alone brings neither the browser engine nor the software OpenGL renderer.
! grep -q -e libQt6WebEngineCore -e libLLVM -e swrast "/proc/$host/maps" ||
  fail "the send form loaded $(grep -o -m1 -e 'libQt6WebEngineCore' -e 'libLLVM[^ ]*' -e 'swrast[^ ]*' "/proc/$host/maps")"
# Under load the first key can come before the form reads keys: press again while it stays.
for _ in $(seq 30); do
  timeout 5 xdotool windowfocus --sync "$win" key Escape 2>/dev/null || true
  sleep 1
  xdotool search --onlyvisible --name '^Slanje e-mail-a$' >/dev/null || break
done
wait "$host" || fail "the host's call failed"
host=""

# The composer opens from the installed module; without the module the call fails with the
# reason and the host goes on. (Chromium refuses root with its sandbox; tests only.)
export QTWEBENGINE_DISABLE_SANDBOX=1
LD_LIBRARY_PATH=$lib "$work/host" compose &
host=$!
timeout 120 xdotool search --sync --onlyvisible --pid "$host" >/dev/null ||
  fail "the composer did not open"
kill "$host"; wait "$host" 2>/dev/null || true
host=""
mv "$module" "$work/"
LD_LIBRARY_PATH=$lib "$work/host" compose 2>"$work/err" && fail "the composer opened without its module"
grep -q '^-3 Uređivač HTML poruka nije instaliran' "$work/err" || fail "no reason: $(cat "$work/err")"
echo "package, install and host: ok"
