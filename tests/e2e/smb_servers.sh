#!/usr/bin/env bash
# Two private Samba servers and a FUSE client for the end-to-end tests and the
# benchmark, all under one state folder, in a network namespace of their own:
#
#   smb_servers.sh start DIR OWNER_PID [MOUNTS [CACHE]]
#       server 1 (127.0.0.1) shares DIR/upd as "upd" and holds the DFS
#       namespace "dfs", whose folder "suite" links to server 2 (127.0.0.2),
#       which shares DIR/upd2 as "upd". Each of MOUNTS (1 by default) smbnetfs
#       mounts, DIR/mnt, DIR/mnt2, ..., shows \\host\share as
#       <mount>/host/share, each with its own SMB sessions. The kernel keeps
#       what the client told it for CACHE seconds (0 by default: the tests
#       change the server's disk between runs; CIFS keeps it 1 s). Everything is
#       torn down when OWNER_PID ends, whatever way it ends.
#       Exit 77 with one line on standard output when this machine can't.
#   smb_servers.sh check            exit 77 and the line as above where start would
#   smb_servers.sh down|up DIR N    stops server N abruptly, or starts it again
#   smb_servers.sh stop DIR         tears everything down now
set -eu
command=$1 dir=${2:-}

# Starts server N in the namespace and waits until it listens.
smbd_in_namespace() {
  nsenter --net="/proc/$(cat "$dir/namespace.pid")/ns/net" bash -c '
    smbd -s "$1" -D || exit 1
    for _ in {1..50}; do (echo >"/dev/tcp/127.0.0.$2/445") 2>/dev/null && exit 0; sleep 0.1; done
    exit 1' sh "$dir/srv$1/smb.conf" "$1"
}
kill_server() {
  pid=$(cat "$dir/srv$1/smbd.pid" 2>/dev/null) || return 0
  # The server and every child serving a connection: one process group.
  kill -KILL -- "-$pid" 2>/dev/null || true
  rm -f "$dir/srv$1/smbd.pid"
}
unmount_all() {
  for mount in "$dir"/mnt*; do umount -l "$mount" 2>/dev/null || true; done
}

# Why this machine can't run the servers; nothing when it can.
why_not() {
  if [ "$(id -u)" != 0 ]; then echo "not root"; return; fi
  if [ ! -c /dev/fuse ]; then echo "no /dev/fuse"; return; fi
  for tool in smbd smbnetfs unshare nsenter ip; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; return; }
  done
  unshare -n true 2>/dev/null || echo "no network namespace of our own (unshare -n)"
}
if [ "$command" = start ] || [ "$command" = check ]; then
  why=$(why_not)
  if [ -n "$why" ]; then
    echo "no private SMB server here: $why"
    exit 77
  fi
  [ "$command" = check ] && exit 0
fi

case $command in
  down) kill_server "$3"; exit 0 ;;
  up) smbd_in_namespace "$3"; exit 0 ;;
  stop)
    touch "$dir/stopping"
    unmount_all
    kill_server 1
    kill_server 2
    exit 0 ;;
  start) ;;
  *) echo "usage: $0 start|stop|down|up DIR ..." >&2; exit 2 ;;
esac
owner=$3 mounts=${4:-1} cache=${5:-0}
mkdir -p "$dir/upd" "$dir/upd2" "$dir/dfs" "$dir/home/.smb"
ln -sfn 'msdfs:127.0.0.2\upd' "$dir/dfs/suite"
for n in 1 2; do
  state="$dir/srv$n"
  share="$dir/upd"
  [ $n = 2 ] && share="$dir/upd2"
  mkdir -p "$state"
  cat >"$state/smb.conf" <<EOF
[global]
  interfaces = 127.0.0.$n/8
  bind interfaces only = yes
  smb ports = 445
  disable netbios = yes
  server role = standalone server
  map to guest = Bad User
  load printers = no
  printcap name = /dev/null
  private dir = $state
  lock directory = $state
  state directory = $state
  cache directory = $state
  pid directory = $state
  ncalrpc dir = $state/ncalrpc
  log file = $state/log
  smbd profiling level = on
  host msdfs = yes
[upd]
  path = $share
  guest ok = yes
  read only = yes
  force user = root
[dfs]
  path = $dir/dfs
  msdfs root = yes
  guest ok = yes
EOF
done
# The client's settings: guest, no browsing, and a server that failed may be
# tried again at once (smbnetfs 0.6.3 hangs at start with that cache off).
printf '%s\n' 'auth "guest" ""' 'smb_query_browsers "false"' 'neg_cache_timeout "50"' >"$dir/home/.smb/smbnetfs.conf"
chmod 600 "$dir/home/.smb/smbnetfs.conf"
rm -f "$dir/stopping" "$dir/ready"

# The namespace lives as long as its keeper: a loop that watches the owner.
setsid unshare -n bash -c '
  dir=$1 owner=$2 mounts=$3 cache=$4
  echo $$ >"$dir/namespace.pid"
  ip link set lo up
  smbd -s "$dir/srv1/smb.conf" -D && smbd -s "$dir/srv2/smb.conf" -D || exit 1
  n=1
  while [ $n -le $mounts ]; do
    mount=$dir/mnt; [ $n = 1 ] || mount=$dir/mnt$n
    mkdir -p "$mount"
    HOME=$dir/home smbnetfs "$mount" \
      -o "allow_other,attr_timeout=$cache,entry_timeout=$cache,negative_timeout=$cache" || exit 1
    n=$((n + 1))
  done
  touch "$dir/ready"
  while kill -0 "$owner" 2>/dev/null && [ ! -e "$dir/stopping" ]; do sleep 1; done
  exec bash "$0" stop "$dir"
'  "$0" "$dir" "$owner" "$mounts" "$cache" </dev/null >"$dir/keeper.log" 2>&1 &

tries=0
until [ -e "$dir/ready" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 $! 2>/dev/null; then
    echo "the private SMB server did not start: $(tail -n 3 "$dir/keeper.log" | tr '\n' ' ')"
    bash "$0" stop "$dir"
    exit 1
  fi
  sleep 0.1
done
