#!/usr/bin/env bash
# Installs what is missing, builds, and opens the send form through the demo host
# ("bash scripts/run.sh --mailing" opens the composer with the sample customers instead).
# The demo runs with its own settings directory and a local capture SMTP server, so that
# its sends succeed; on exit it lists the messages the server received.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# shellcheck disable=SC2086
install_missing $BUILD_PACKAGES $RUN_PACKAGES
build

demo=$(mktemp -d /tmp/velkor-demo-XXXXXX)
export XDG_CONFIG_HOME="$demo/config" XDG_DATA_HOME="$demo/data"
mkdir -p "$XDG_CONFIG_HOME/velkor" "$XDG_DATA_HOME" "$demo/poruke"
smtp_host=127.0.0.80 smtp_port=2525

/usr/bin/python3 tests/peers/smtp_server.py --host "$smtp_host" --port "$smtp_port" \
  --capture-dir "$demo/poruke" --auth-user demo --auth-password demo >"$demo/smtp.log" 2>&1 &
smtp_pid=$!
stop_server() { kill "$smtp_pid" 2>/dev/null || true; wait "$smtp_pid" 2>/dev/null || true; }
trap stop_server EXIT
for _ in $(seq 100); do grep -q READY "$demo/smtp.log" && break; sleep 0.1; done
grep -q READY "$demo/smtp.log" || { cat "$demo/smtp.log" >&2; exit 1; }

# The send form's SMTP route (its sender field is the Thunderbird route's own setting, written
# with the settings store's escape for "š"), the composer's engine and the composer's own values.
cat >"$XDG_CONFIG_HOME/Velkor.ini" <<INI
[Settings]
mnuEmailPrekoOutlookaThunderSMTP=2
SMTPFrom=prodaja@velkor.example
mnuEmailPo%U0161iljatelj=Velkor prodaja <prodaja@velkor.example>
SMTPHostName=$smtp_host
SMTPPort=$smtp_port
SMTPUserName=demo
SMTPPassword=demo
SMTPSSL=False
SMTPStartTLS=False
SMTPTimeout=10
INI
chmod 600 "$XDG_CONFIG_HOME/Velkor.ini"
cat >"$XDG_CONFIG_HOME/Kestrova.ini" <<INI
[Settings]
PersistentSettings=True
RemoteHost=$smtp_host
RemotePort=$smtp_port
INI
cat >"$XDG_CONFIG_HOME/velkor/registry.ini" <<INI
[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system]
SMTPIP=$smtp_host%2
SENDER=Prodaja Velkor%prodaja@velkor.example
MAILFORMAT=True%0
INI

# Chromium (the composer's editor) refuses to start as root with its sandbox on.
[ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
echo "Demo: postavke u $XDG_CONFIG_HOME, SMTP poslužitelj $smtp_host:$smtp_port"
set +e
build/host/velkor-host --demo "$@"
status=$?
set -e
stop_server
trap - EXIT
shopt -s nullglob
poruke=("$demo"/poruke/*.eml)
echo "Primljenih poruka: ${#poruke[@]} (otvaraju se u svakom programu za e-poštu)"
for p in "${poruke[@]}"; do echo "  $p"; done
exit "$status"
