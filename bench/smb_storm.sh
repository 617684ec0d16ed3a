#!/usr/bin/env bash
# The login storm: W workstations update one program from one Samba server at
# the same moment. Each workstation is a FUSE mount of its own (its own SMB
# sessions) and a local root of its own; all W runs start together, once when
# every workstation must update and once when none must, by rud, `cp -u` and
# `rsync -u` in turn. Prints a Markdown section: the storm's wall time and the
# SMB2 requests per workstation run, from the server's counters.
#
#   bash bench/smb_storm.sh RUD WORK "W..." [PROGRAM_BYTES]
set -euo pipefail
rud=$1 work=$2 sizes=$3 bytes=${4:-$((1 << 20))}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
servers=$root/tests/e2e/smb_servers.sh

echo "## Login storm over SMB"
echo
if ! why=$(bash "$servers" check); then
  echo "Not measured: $why."
  exit 0
fi
most=0
for w in $sizes; do ((w > most)) && most=$w; done
state=$work/smb
mkdir -p "$state"
# Mounts that keep what they learn for 1 s, as CIFS does by default.
bash "$servers" start "$state" $$ "$most" 1 >&2
trap 'bash "$servers" stop "$state"' EXIT

program=Garh/NM/bin/XNMPAYRO.exe
server_copy=$state/upd/$program
"$root/build/native/tests/rud_make_demo" "$server_copy" 12.6.0.4 >/dev/null
head -c $((bytes - $(stat -c %s "$server_copy"))) /dev/urandom >>"$server_copy"
touch -d '1 hour ago' "$server_copy"
old=$work/old.exe
"$root/build/native/tests/rud_make_demo" "$old" 12.6.0.3 >/dev/null
touch -d '1 day ago' "$old"

mount_of() { if (($1 == 1)); then echo "$state/mnt"; else echo "$state/mnt$1"; fi; }
local_copy() { echo "$work/ws$1/C/ZARVEK/$program"; }
# Workstation i's job, by tool.
job() {
  local tool=$1 i=$2 mount
  mount=$(mount_of "$i")
  case $tool in
    rud) RUD_UNC_ROOT=$mount RUD_DRIVE_C=$work/ws$i/C "$rud" '\\127.0.0.1\upd' XNMPAYRO ;;
    cp) cp -u --preserve=timestamps "$mount/127.0.0.1/upd/$program" "$(local_copy "$i")" ;;
    rsync) rsync -u -t "$mount/127.0.0.1/upd/$program" "$(local_copy "$i")" ;;
  esac
}
# The server's SMB2 request counts, "kind count" lines.
counters() {
  smbstatus -P -s "$state/srv1/smb.conf" 2>/dev/null |
    awk -F': *' '/^smb2_[a-z]+_count:/ { sub(/^smb2_/, "", $1); sub(/_count$/, "", $1); print $1, $2 }'
}
# Waits until the counters stand still: smbd writes them a little late.
settled_counters() {
  local before after
  after=$(counters)
  while sleep 1.5; before=$after; after=$(counters); [[ $before != "$after" ]]; do :; done
  echo "$after"
}

# One storm: prints "wall_ms failures wrong_copies requests-per-run by kind".
storm() {
  local tool=$1 case=$2 w=$3 i
  for ((i = 1; i <= w; i++)); do
    rm -rf "$work/ws$i"
    mkdir -p "$(dirname "$(local_copy "$i")")"
    if [[ $case == update ]]; then cp -p "$old" "$(local_copy "$i")"; else cp -p "$server_copy" "$(local_copy "$i")"; fi
  done
  # Every mount has listed the share once: the storm measures the job, not
  # the client's first connection. (The counters settle for longer than the
  # kernel keeps what that listing learnt.)
  for ((i = 1; i <= w; i++)); do ls "$(mount_of "$i")/127.0.0.1/upd" >/dev/null; done
  local before
  before=$(settled_counters)
  rm -f "$work/gate"
  mkfifo "$work/gate"
  local pids=()
  for ((i = 1; i <= w; i++)); do
    (read -r _ <"$work/gate" || true; exec </dev/null >"$work/out$i" 2>&1; job "$tool" "$i") &
    pids+=($!)
  done
  sleep 0.5
  local start end failures=0 wrong=0
  start=$(date +%s%N)
  exec 9>"$work/gate"
  exec 9>&-
  for pid in "${pids[@]}"; do wait "$pid" || failures=$((failures + 1)); done
  end=$(date +%s%N)
  for ((i = 1; i <= w; i++)); do cmp -s "$server_copy" "$(local_copy "$i")" || wrong=$((wrong + 1)); done
  local after
  after=$(settled_counters)
  echo "$(((end - start) / 1000000)) $failures $wrong $(join <(echo "$before" | sort) <(echo "$after" | sort) |
    awk -v w="$w" '$3 > $2 { printf "%s %s ", toupper($1), ($3 - $2) / w }')"
}

echo "Server: Samba $(smbd --version | sed 's/^Version //'), one smbd in a private network namespace;"
echo "clients: one smbnetfs mount per workstation. The program is $((bytes >> 10)) KiB."
echo "SMB2 requests are the server's counters (\`smbstatus -P\`) over the storm, per"
echo "workstation run, by kind; sessions were set up before the storm. The total"
echo "leaves out KEEPALIVE, which idle clients send of their own accord."
echo
echo "| W | job | tool | wall, ms | failed runs | copies not equal | SMB2 requests per run |"
echo "|---|---|---|---|---|---|---|"
for w in $sizes; do
  for case in update none; do
    for tool in rud cp rsync; do
      read -r wall failures wrong requests < <(storm "$tool" "$case" "$w")
      total=$(awk '{ t = 0; for (i = 2; i <= NF; i += 2) if ($(i - 1) != "KEEPALIVE") t += $i; print t }' <<<"$requests")
      label=$tool; [[ $tool == rud ]] || label="$tool -u"
      echo "| $w | $([[ $case == update ]] && echo "every workstation updates" || echo "nothing to do") | $label | $wall | $failures | $wrong | $total: $requests|"
    done
  done
done
echo
echo "Where rud's requests go (smbnetfs turns each lookup the kernel does not"
echo "answer from its cache into CREATE, GETINFO, CLOSE):"
echo
echo "- path lookups: the four names below the share (Garh, NM, bin, the"
echo "  program), 4 CREATE + 4 GETINFO + 4 CLOSE; this is all a run with nothing to"
echo "  do costs, exactly what \`cp -u\` costs;"
echo "- version read and copy (an update only): one open of the server copy"
echo "  (CREATE), its READs and a CLOSE, as \`cp\` makes them. The version is read"
echo "  first, from the first read-ahead window (one READ); the copy then reads"
echo "  the rest on the same descriptor, so it installs the very file whose"
echo "  version was shown. No status rud asks for includes the last-access time,"
echo "  which the client marks stale after every read: the version line's date"
echo "  and the check that the copy is whole come from the kernel's cache."
echo
echo "Before, an updating run cost 38 requests (the version's size and block"
echo "read by an open each), then 32 (CREATE 8, GETINFO 6, READ 9): the version"
echo "read's own open, and lookups of the server copy refreshed after every read"
echo "for its access time. KEEPALIVE requests are the clients' own, not the job's."
