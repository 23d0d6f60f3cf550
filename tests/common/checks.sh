# Shared by the shell tests: fail (note a failure, go on), die (stop at once) and check (run a
# command as one named check). A test ends with `exit $failed`.
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
die() {
    echo "FAIL: $*" >&2
    exit 1
}
check() { # check "what" command...
    local what=$1
    shift
    if "$@"; then echo "ok [${SECONDS}s]: $what"; else fail "$what"; fi
}

# A temporary folder $work (mktemp template given) removed at the end, with the private bus
# that start_private_bus starts, whatever happens.
make_work() { # make_work /tmp/kalmo-name.XXXXXX
    work=$(mktemp -d "$1")
    bus_pid=
    trap 'cleanup_work' EXIT
    trap 'exit 1' INT TERM
}
cleanup_work() {
    [[ -n ${bus_pid:-} ]] && kill "$bus_pid" 2>/dev/null
    rm -rf "$work"
}
# A session bus of its own whose only services are those in servicedir; exports
# DBUS_SESSION_BUS_ADDRESS. dbus-daemon is ${KALMO_DBUS_DAEMON:-dbus-daemon}.
start_private_bus() { # start_private_bus servicedir
    cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$1</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    { read -r DBUS_SESSION_BUS_ADDRESS && read -r bus_pid; } < <("${KALMO_DBUS_DAEMON:-dbus-daemon}" \
        --config-file="$work/bus.conf" --fork --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS
    [[ -n $bus_pid ]] || die "dbus-daemon did not start"
}

# Sends the example document with kalmosend from an installed tree (non-interactive) and checks
# that one job file naming the number is in $work/data/Fax/Comjob and that kalmofax's journal
# holds its row with the number.
#   send_example <bin folder> <document> <number> <what> <kalmosend arguments after /d...>
send_example() {
    local bin=$1 document=$2 number=$3 what=$4
    shift 4
    cp "$document" "$work/print.sff"
    KALMOSEND_NONINTERACTIVE=1 "$bin/kalmosend" "/d$work/print.sff" "$@" \
        >"$work/kalmosend.log" 2>&1
    local status=$?
    check "$what hands the fax over (exit $status)" test "$status" -eq 0
    ((status == 0)) || cat "$work/kalmosend.log" >&2
    local jobs
    shopt -s nullglob
    jobs=("$work"/data/Fax/Comjob/*.FX3)
    shopt -u nullglob
    check "one job file in Comjob" test "${#jobs[@]}" -eq 1
    ((${#jobs[@]} == 1)) || return
    check "the job names the number" grep -q $'^ADDRESS :'"$number"$'\r$' "${jobs[0]}"
    "$bin/kalmofax" journal --json >"$work/journal.json" 2>"$work/journal.err"
    check "kalmofax journal --json" test $? -eq 0
    check "the journal has the job's row" grep -qF "\"$(basename "${jobs[0]}")\"" "$work/journal.json"
    check "the row has the number" grep -qF "\"$number\"" "$work/journal.json"
    ((failed)) && cat "$work/journal.json" "$work/journal.err" >&2
}
