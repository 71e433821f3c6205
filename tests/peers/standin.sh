#!/bin/sh
# Recording stand-in for an outside program, linked under its name first on PATH. Call N
# leaves NAME.N.stdin and NAME.N.args (arguments ending in NUL, written last) in
# $VELKOR_STANDIN_DIR. With NAME.exit.N (for call N only) or NAME.exit there, its first line
# is the exit code and the rest goes to standard error; else the call succeeds.
PATH=/usr/bin:/bin
name=$(basename "$0")
dir=${VELKOR_STANDIN_DIR:?VELKOR_STANDIN_DIR is not set}
i=1
while [ -e "$dir/$name.$i.args" ] || [ -e "$dir/$name.$i.stdin" ]; do i=$((i + 1)); done
cat > "$dir/$name.$i.stdin"
printf '%s\0' "$@" > "$dir/$name.$i.args.tmp"
mv "$dir/$name.$i.args.tmp" "$dir/$name.$i.args"
exit_file="$dir/$name.exit.$i"
[ -e "$exit_file" ] || exit_file="$dir/$name.exit"
[ -e "$exit_file" ] || exit 0
{ read -r code; cat >&2; } < "$exit_file"
exit "$code"
