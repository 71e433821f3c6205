#!/bin/sh
# Recording stand-in for an outside program, linked under its name first on PATH. Call N
# leaves NAME.N.stdin and NAME.N.args (arguments ending in NUL, written last) in
# $VELKOR_STANDIN_DIR, prints $VELKOR_STANDIN_SAY_NAME to standard error and exits with
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
eval "say=\${VELKOR_STANDIN_SAY_$var:-} code=\${VELKOR_STANDIN_EXIT_$var:-0}"
[ -n "$say" ] && printf '%s\n' "$say" >&2
exit "$code"
