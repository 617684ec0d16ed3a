#!/usr/bin/env bash
# A private system log for the end-to-end tests and the benchmark: rsyslogd
# writing each record it gets on DIR/rsyslog.sock to DIR/messages as
# "<facility>.<severity> <tag>: <text>", and a mount namespace of its own
# (with the machine's mounts as they are at the start) whose /dev/log, on an
# overlay of /dev, is a link to DIR/log: the caller points that at the
# receiver it wants (rsyslog.sock, a socket of its own) or at nothing, and
# starts programs there with
#   nsenter --mount=/proc/$(cat DIR/namespace.pid)/ns/mnt \
#     --root=/proc/$(cat DIR/namespace.pid)/root --wd="$PWD" PROGRAM...
# (the root as well: in a chroot, the namespace's own root is not the caller's)
#
#   syslog_receiver.sh start DIR OWNER_PID   torn down when OWNER_PID ends, however
#                                            it ends; exit 77 with one line on
#                                            standard output where the machine can't
#   syslog_receiver.sh check                 exit 77 and the line where start would
#   syslog_receiver.sh stop DIR              tears it down now
set -eu
command=$1 dir=${2:-}

why_not() {
  if [ "$(id -u)" != 0 ]; then echo "not root"; return; fi
  for tool in rsyslogd unshare nsenter; do
    command -v $tool >/dev/null || { echo "$tool is not installed"; return; }
  done
  grep -qw overlay /proc/filesystems || { echo "no overlay file system for a /dev of its own"; return; }
  unshare -m true 2>/dev/null || echo "no mount namespace of our own (unshare -m)"
}
case $command in
  start | check)
    why=$(why_not)
    [ -z "$why" ] || { echo "no private system log here: $why"; exit 77; }
    [ "$command" = start ] || exit 0 ;;
  stop)
    touch "$dir/stopping"
    kill "$(cat "$dir/rsyslogd.pid" 2>/dev/null)" 2>/dev/null || true
    exit 0 ;;
  *) echo "usage: $0 start|check|stop DIR ..." >&2; exit 2 ;;
esac
mkdir -p "$dir"
rm -f "$dir/stopping" "$dir/ready" "$dir/messages"
cat >"$dir/rsyslog.conf" <<CONF
module(load="imuxsock" SysSock.Use="off")
input(type="imuxsock" Socket="$dir/rsyslog.sock" RateLimit.Interval="0")
template(name="line" type="string" string="%syslogfacility-text%.%syslogseverity-text% %syslogtag%%msg%\n")
action(type="omfile" file="$dir/messages" template="line")
CONF

# The namespace lives as long as its keeper: a loop that watches the owner.
setsid unshare -m --propagation slave bash -c '
  dir=$1 owner=$2
  echo $$ >"$dir/namespace.pid"
  mkdir -p "$dir/dev"
  mount -t tmpfs -o mode=755 rud-syslog "$dir/dev" && mkdir "$dir/dev/upper" "$dir/dev/work" &&
    mount -t overlay -o "lowerdir=/dev,upperdir=$dir/dev/upper,workdir=$dir/dev/work" rud-dev /dev || exit 1
  ln -sfn "$dir/log" /dev/log
  rsyslogd -n -f "$dir/rsyslog.conf" -i "$dir/rsyslogd.pid" &
  for _ in $(seq 100); do [ -S "$dir/rsyslog.sock" ] && touch "$dir/ready" && break; sleep 0.05; done
  while kill -0 "$owner" 2>/dev/null && [ -e "$dir/ready" ] && [ ! -e "$dir/stopping" ]; do sleep 1; done
  exec bash "$0" stop "$dir"
' "$0" "$dir" "$3" </dev/null >"$dir/keeper.log" 2>&1 &

for _ in $(seq 100); do
  [ -e "$dir/ready" ] && exit 0
  kill -0 $! 2>/dev/null || break
  sleep 0.1
done
echo "the private system log did not start: $(tail -n 3 "$dir/keeper.log" | tr '\n' ' ')"
bash "$0" stop "$dir"
exit 1
