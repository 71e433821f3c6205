#!/bin/sh
# A recording stand-in for an outside program (thunderbird, xdotool, sendmail, xdg-email).
# Linked under the program's name into a directory first on PATH. Each call leaves, in
# $VELKOR_STANDIN_DIR, NAME.N.args (the arguments, each followed by a NUL byte) and
# NAME.N.stdin (its standard input), N counting calls from 1; the .args file appears last.
# It then prints $VELKOR_STANDIN_SAY_NAME to standard error and exits with
# $VELKOR_STANDIN_EXIT_NAME (default 0); in NAME, "-" reads as "_".
PATH=/usr/bin:/bin
name=$(basename "$0")
dir=${VELKOR_STANDIN_DIR:?VELKOR_STANDIN_DIR is not set}
var=$(printf '%s' "$name" | tr -c 'A-Za-z0-9_' '_')
i=1
while [ -e "$dir/$name.$i.args" ] || [ -e "$dir/$name.$i.stdin" ]; do i=$((i + 1)); done
cat > "$dir/$name.$i.stdin"
printf '%s\0' "$@" > "$dir/$name.$i.args.tmp"
mv "$dir/$name.$i.args.tmp" "$dir/$name.$i.args"
eval "say=\${VELKOR_STANDIN_SAY_$var:-}"
eval "code=\${VELKOR_STANDIN_EXIT_$var:-0}"
[ -n "$say" ] && printf '%s\n' "$say" >&2
exit "$code"
