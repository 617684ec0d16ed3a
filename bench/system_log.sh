#!/usr/bin/env bash
# What the record in the system's log costs a run on Linux: an updating run
# that writes its record to a private rsyslogd, against the same run with no
# receiver at /dev/log (both started in the receiver's mount namespace,
# tests/e2e/syslog_receiver.sh), whole-process wall time, the commands
# taking turns sample by sample; and the system calls of the three runs
# (strace -c), the run with nothing to do among them: it opens no socket.
# Prints a Markdown section; bench/run adds it to bench/results.md.
#
#   bash bench/system_log.sh RUD TIMER MAKE_DEMO WORK RUNS
set -euo pipefail
rud=$1 timer=$2 make_demo=$3 work=$4 runs=$5
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
receiver=$root/tests/e2e/syslog_receiver.sh

echo "## The system's log"
echo
if ! why=$(bash "$receiver" check); then
  echo "Not measured: $why."
  exit 0
fi
state=$work/syslog
bash "$receiver" start "$state" $$ >&2
trap 'bash "$receiver" stop "$state"' EXIT
keeper=/proc/$(cat "$state/namespace.pid")
enter="nsenter --mount=$keeper/ns/mnt --root=$keeper/root"

export RUD_DRIVE_C=$work/syslog-c LC_ALL=C.UTF-8
server=$work/syslog-srv
local_copy=$RUD_DRIVE_C/ZARVEK/Garh/NM/bin/XNMPAYRO.exe
"$make_demo" "$server/Garh/NM/bin/XNMPAYRO.exe" 12.6.0.4 >/dev/null
"$make_demo" "$local_copy" 12.6.0.3 >/dev/null
touch -d '1 hour ago' "$server/Garh/NM/bin/XNMPAYRO.exe"
old="touch -d @1000000000 $local_copy"
with_log="ln -sfn $state/rsyslog.sock $state/log"
without_log="rm -f $state/log"

declare -A median p10 p90
while read -r label m a b _; do
  median[$label]=$m p10[$label]=$a p90[$label]=$b
done < <("$timer" --runs "$runs" --warmup 3 \
  --setup "$with_log && $old" --label with_log --cmd "$enter $rud $server XNMPAYRO" \
  --setup "$without_log && $old" --label without_log --cmd "$enter $rud $server XNMPAYRO")
records=$(grep -c ' rud\[' "$state/messages" || true)

# calls LABEL SETUP: the system calls of one run, "name count" lines.
declare -A total
calls() {
  local label=$1
  sh -c "$2"
  $enter strace -f -c -o "$work/$label.strace" "$rud" "$server" XNMPAYRO </dev/null >/dev/null
  total[$label]=$(awk '$NF == "total" { print $4 }' "$work/$label.strace")
  awk '/^-/ { table = !table; next } table && NF >= 5 { print $NF, $4 }' "$work/$label.strace" |
    sort >"$work/$label.calls"
}
calls update_log "$with_log && $old"
calls update_nolog "$without_log && $old"
calls idle "$with_log"
rows=$(join -a1 -a2 -e0 -o 0,1.2,2.2,2.3 "$work/update_log.calls" \
  <(join -a1 -a2 -e0 -o 0,1.2,2.2 "$work/update_nolog.calls" "$work/idle.calls") |
  awk '$2 != $3 || $1 ~ /^(socket|connect|sendto|sendmsg)$/')

ms() { awk -v us="$1" 'BEGIN { printf "%.2f", us / 1000 }'; }
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') (\`bash bench/system_log.sh\`, the section bench/run"
echo "writes): an update of a small program (the local copy made old before each sample),"
echo "$runs runs each, started in the private log's mount namespace."
echo
echo "| run | median, ms (p10–p90) | system calls |"
echo "|---|---|---|"
echo "| update, record sent to rsyslogd | $(ms "${median[with_log]}") ($(ms "${p10[with_log]}")–$(ms "${p90[with_log]}")) | ${total[update_log]} |"
echo "| update, no receiver at /dev/log | $(ms "${median[without_log]}") ($(ms "${p10[without_log]}")–$(ms "${p90[without_log]}")) | ${total[update_nolog]} |"
echo "| nothing to do, rsyslogd listening | | ${total[idle]} |"
echo
echo "rsyslogd received $records records. The calls that differ between the runs,"
echo "and the socket calls:"
echo
echo "| call | update with the record | update, no receiver | nothing to do |"
echo "|---|---|---|---|"
while read -r name a b c; do echo "| $name | $a | $b | $c |"; done <<<"$rows"
