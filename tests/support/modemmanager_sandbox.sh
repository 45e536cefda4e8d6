#!/bin/sh
# Runs the real ModemManager without touching the system: a private bus (with a mock polkit),
# no udev, and its udev rules replaced (in a private mount namespace) by rules that take the ports
# DIR/card<N>-at (AT) and DIR/card<N>-gps (GPS), N = 1..SLOTS. Each port is a symbolic link
# that the caller points at a pseudo-terminal before reporting it to ModemManager:
#
#   busctl --address=unix:path=DIR/bus call org.freedesktop.ModemManager1 \
#     /org/freedesktop/ModemManager1 org.freedesktop.ModemManager1 ReportKernelEvent a{sv} 4 \
#     action s add subsystem s tty name s ../../..DIR/card1-at uid s satview-card1
#
# The name climbs to "/" so that both /dev/<name> and /sys/class/tty/<name> lead to the link.
# Usage: modemmanager_sandbox.sh DIR [SLOTS]; runs until killed (the caller kills the process
# group). Works for a user and for root alike (a user namespace maps either to root inside).
set -eu
dir=$1
slots=${2:-4}
rules=$dir/rules
mkdir -p "$rules"

# Everyone may own names and send anywhere: the test's bus, not a system's.
cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path=$dir/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF

# Without udev ModemManager reads /lib/udev/rules.d itself: only files named *-mm-*.rules, one
# assignment per rule, and KERNEL compared with the whole reported name (no patterns).
: >"$rules/78-mm-satview-sandbox.rules"
n=1
while [ "$n" -le "$slots" ]; do
  for port in at gps; do
    kind=AT_PRIMARY
    [ "$port" = gps ] && kind=GPS
    for property in ID_MM_CANDIDATE ID_MM_DEVICE_PROCESS ID_MM_PORT_TYPE_$kind; do
      echo "KERNEL==\"../../..$dir/card$n-$port\", ENV{$property}=\"1\"" >>"$rules/78-mm-satview-sandbox.rules"
    done
  done
  n=$((n + 1))
done
: >"$dir/events"  # cards come later, through ReportKernelEvent

dbus-daemon --config-file="$dir/bus.conf" --nofork --nosyslog >"$dir/bus.log" 2>&1 &
while [ ! -S "$dir/bus" ]; do sleep 0.05; done
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus

# Without polkit ModemManager refuses ReportKernelEvent, so a mock polkit answers on the same
# bus and allows everything (the caller may refuse: org.freedesktop.DBus.Mock AllowUnknown).
/usr/bin/python3 -m dbusmock --system --template polkitd >"$dir/polkit.log" 2>&1 &
polkit="busctl --address=$DBUS_SYSTEM_BUS_ADDRESS call org.freedesktop.PolicyKit1
  /org/freedesktop/PolicyKit1/Authority org.freedesktop.DBus.Mock AllowUnknown b true"
until $polkit 2>/dev/null; do sleep 0.05; done

# A user namespace lets a user mount; root may lack one (a container) and needs none.
PATH=$PATH:/usr/sbin:/sbin
namespace="--user --map-root-user --mount"
if ! unshare $namespace true 2>/dev/null && [ "$(id -u)" -eq 0 ]; then namespace=--mount; fi

# --test-session: ModemManager serves the "session" bus given here (and asks polkit on the
# "system" bus, the same one). It is started again whenever it ends, as systemd restarts it: a
# test stops it (its process id is in DIR/modemmanager.pid) to restart it.
DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus exec unshare $namespace sh -c '
  mount --bind "$1" "$(readlink -f /lib/udev/rules.d)" || exit 1
  while :; do
    ModemManager --debug --log-level=DEBUG --log-timestamps --test-session --test-no-udev \
      --no-auto-scan --initial-kernel-events="$2" --test-no-suspend-resume &
    echo $! >"$3"
    wait $!
    sleep 0.2
  done' \
  sandbox "$rules" "$dir/events" "$dir/modemmanager.pid" >"$dir/modemmanager.log" 2>&1
