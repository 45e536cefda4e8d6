#!/bin/sh
# Runs the real GeoClue (Debian's geoclue-2.0) without touching the system: a private bus at
# DIR/bus, and GeoClue's configuration replaced, in a private mount namespace, by one whose
# only source is the NMEA socket SOCKET (what satview-geoclue prints goes there). The other
# sources are off and the web service points at a closed local port, so nothing leaves the
# machine. GeoClue runs as its own account, geoclue, as its service does: that needs root.
#
# The agent desktop id "satview-test-agent" is recognised; a client of the bus registers an
# agent under that id (Manager.AddAgent) before it asks for a client.
#
# Usage: geoclue_sandbox.sh DIR SOCKET; runs until killed (the caller kills the process group).
# GeoClue's debug log: DIR/geoclue.log.
set -eu
dir=$1
socket=$2

# Everyone may connect, own names and send anywhere: the test's bus, not a system's.
cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path=$dir/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF

cat >"$dir/geoclue.conf" <<CONF
[agent]
whitelist=satview-test-agent

[network-nmea]
enable=true
nmea-socket=$socket

[3g]
enable=false

[cdma]
enable=false

[modem-gps]
enable=false

[wifi]
enable=false
url=http://127.0.0.1:9/
submit-data=false
submission-url=http://127.0.0.1:9/
submission-nick=geoclue

[compass]
enable=false
CONF
chmod 644 "$dir/geoclue.conf"

dbus-daemon --config-file="$dir/bus.conf" --nofork --nosyslog >"$dir/bus.log" 2>&1 &
while [ ! -S "$dir/bus" ]; do sleep 0.05; done

PATH=$PATH:/usr/sbin:/sbin
DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus G_MESSAGES_DEBUG=all HOME=/var/lib/geoclue \
  exec unshare --mount sh -c '
  mount --bind "$1" /etc/geoclue/geoclue.conf &&
  exec setpriv --reuid=geoclue --regid=geoclue --init-groups --reset-env \
    env DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" G_MESSAGES_DEBUG=all \
    /usr/libexec/geoclue --timeout=0' \
  sandbox "$dir/geoclue.conf" >"$dir/geoclue.log" 2>&1
