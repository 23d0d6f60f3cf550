#!/usr/bin/env bash
# The installed set. `cmake --install` of the components kalmofax and kalmosend into a
# temporary prefix and, a second time, with DESTDIR: the program folder's links lead to the
# installed kalmofax, the D-Bus service files name it by its installed path, the desktop entries
# validate. Then the installed kalmosend, non-interactive, on a private bus whose only service
# folder is the installed one: the job file lands in Comjob and the journal has its row
# (`kalmofax journal --json`).
set -uo pipefail

: "${KALMO_BUILD_DIR:?}" "${EXAMPLE_SFF:?}" "${KALMO_DBUS_DAEMON:?}"

# shellcheck source=../common/checks.sh
source "$(dirname "$0")/../common/checks.sh"
command -v desktop-file-validate >/dev/null || die "desktop-file-validate is missing: run scripts/install-deps"

make_work /tmp/kalmo-install.XXXXXX

install_components() { # install_components <prefix> (DESTDIR from the caller)
    local c
    for c in kalmofax kalmosend; do
        cmake --install "$KALMO_BUILD_DIR" --prefix "$1" --component "$c" >>"$work/install.log" 2>&1 ||
            { cat "$work/install.log" >&2; die "cmake --install --component $c"; }
    done
}

# The tree under <root> for a prefix <prefix> (root = DESTDIR + prefix).
check_tree() { # check_tree <root> <prefix> <label>
    local root=$1 prefix=$2 label=$3 name progid
    for name in kalmofax kalmosend kalmoreg; do
        check "$label: bin/$name" test -x "$root/bin/$name" -a ! -L "$root/bin/$name"
    done
    local programdir
    programdir=$(find "$root" -type d -path '*/kalmo/program')
    check "$label: one program folder" test "$(wc -l <<<"$programdir")" -eq 1 -a -n "$programdir"
    for name in KalFax32.exe KalAdr32.exe Kalvw32.exe KalVer32.exe R3ozav.exe; do
        local link=$programdir/$name
        check "$label: $name is a relative link" \
            bash -c '[[ -L $1 && $(readlink "$1") != /* ]]' _ "$link"
        check "$label: $name leads to kalmofax" \
            test "$(readlink -f "$link")" = "$(readlink -f "$root/bin/kalmofax")"
    done
    for progid in KalmoJournal.Document KalmoAdr.Document MAPI.Session; do
        local service=$root/share/dbus-1/services/$progid.service
        check "$label: $progid.service" test "$(cat "$service" 2>/dev/null)" = \
            "$(printf '[D-BUS Service]\nName=%s\nExec=%s/bin/kalmofax serve %s' "$progid" "$prefix" "$progid")"
    done
    for name in kalmofax kalmofax-addressbook; do
        local entry=$root/share/applications/$name.desktop
        check "$label: $name.desktop validates" desktop-file-validate "$entry"
        check "$label: $name.desktop runs kalmofax" grep -qx "Exec=kalmofax .*" "$entry"
        check "$label: $name.desktop has the icon" grep -qx "Icon=kalmofax" "$entry"
    done
    check "$label: icon" test -s "$root/share/icons/hicolor/scalable/apps/kalmofax.svg"
}

# ---- a prefix, and a staged install (DESTDIR) -------------------------------------------
prefix=$work/prefix
install_components "$prefix"
check_tree "$prefix" "$prefix" prefix

DESTDIR=$work/stage install_components /opt/kalmo-test
check_tree "$work/stage/opt/kalmo-test" /opt/kalmo-test DESTDIR
check "DESTDIR: nothing outside the prefix" test "$(ls -A "$work/stage")" = opt

# ---- the installed kalmosend on the installed services -----------------------------------
programdir=$(find "$prefix" -type d -path '*/kalmo/program')
export KALMO_MACHINE_REGISTRY=$work/machine.db KALMO_USER_REGISTRY=$work/user.db
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
reg() { "$prefix/bin/kalmoreg" "$@" || die "kalmoreg $*"; }
reg --machine set 'Software\ZEB\Kalmo! 2.0\KALMO!' SystemDir "$programdir"
reg --machine set 'Software\ZEB\Kalmo! 2.0\KALMO!' DatenDir "$work/data"
reg set 'Software\VB and VBA Program Settings\KALMO!fax\Print' Installiert '0711 4711'

start_private_bus "$prefix/share/dbus-1/services"

send_example "$prefix/bin" "$EXAMPLE_SFF" "0711 4711" "installed kalmosend" /tInstalliert

((failed == 0)) || exit 1
echo "tst_install: all passed"
