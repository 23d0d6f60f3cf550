#!/usr/bin/env bash
# The Debian package, checked without installing it on this machine:
#   tst_package.sh build/package/kalmosend_<version>_<arch>.deb
# Its files with their modes and owners, its control data (computed library dependencies,
# conffiles), lintian (no error), no trace of the build tree (paths, RPATH). Then, extracted
# into a temporary root: every program starts, the paths its files name exist in the package,
# kalmosend sends the example (non-interactive, preset number) to kalmofax's services from the
# same root on a private bus and the job file lands in Comjob; and the maintainer scripts,
# run against a temporary machine store (DPKG_ROOT), add SystemDir only where it is missing
# and take back exactly what they added, leaving the user's store alone.
set -uo pipefail

deb=${1:?usage: tst_package.sh PACKAGE.deb}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
# shellcheck source=../common/checks.sh
source "$here/../common/checks.sh"
[[ -f $deb ]] || die "no package $deb: run scripts/package"
for tool in dpkg-deb lintian readelf dbus-daemon; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps"
done
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")

make_work /tmp/kalmo-package.XXXXXX

# ---- the files, their modes and owners -----------------------------------------------------
declare -A mode=() owner=() target=()
while read -r perms own _ _ _ path rest; do
    path=${path#./}
    path=${path%/}
    [[ -z $path ]] && continue
    mode[$path]=$perms
    owner[$path]=$own
    [[ $rest == "-> "* ]] && target[$path]=${rest#-> }
done < <(dpkg-deb --contents "$deb")
((${#mode[@]})) || die "dpkg-deb --contents $deb listed nothing"

expect() { # expect <mode> <path>...
    local want=$1 path
    shift
    for path in "$@"; do
        check "$path is $want" test "${mode[$path]:-missing}" = "$want"
    done
}
expect -rwx------ usr/lib/cups/backend/kalmo
check "the backend is root's" test "${owner[usr/lib/cups/backend/kalmo]:-}" = root/root
expect -rwxr-xr-x usr/bin/kalmosend usr/bin/kalmosend-dispatch usr/bin/kalmofax \
    usr/bin/kalmoreg usr/sbin/kalmosend-setup-printer usr/lib/cups/filter/pdftosff
expect -rw-r--r-- usr/share/ppd/kalmo/kalmofax.ppd usr/share/kalmosend/kalmo-policy.conf \
    usr/share/kalmosend/translations/SndEN.qm usr/share/kalmosend/translations/FaxEN.qm \
    usr/share/kalmosend/translations/FaxDE.qm \
    usr/share/dbus-1/services/KalmoJournal.Document.service \
    usr/share/dbus-1/services/KalmoAdr.Document.service \
    usr/share/dbus-1/services/MAPI.Session.service \
    usr/share/dbus-1/services/Outlook.Application.service \
    usr/lib/systemd/user/kalmosend-dispatch.path usr/lib/systemd/user/kalmosend-dispatch.service \
    etc/xdg/autostart/kalmosend-dispatch.desktop \
    usr/share/applications/kalmofax.desktop usr/share/applications/kalmofax-addressbook.desktop \
    usr/share/icons/hicolor/scalable/apps/kalmofax.svg \
    usr/share/man/man1/kalmosend.1.gz usr/share/man/man1/kalmofax.1.gz \
    usr/share/man/man1/kalmoreg.1.gz usr/share/man/man1/kalmosend-dispatch.1.gz \
    usr/share/man/man8/kalmosend-setup-printer.8.gz \
    usr/share/doc/kalmosend/copyright usr/share/doc/kalmosend/changelog.gz
# The manual that help opens: every page in both languages and its style sheet.
manual=usr/share/doc/kalmosend/manual
expect -rw-r--r-- "$manual/manual.css"
for page in index send-dialog options-dialog recipients journal address-book viewer fax-server \
    printer; do
    expect -rw-r--r-- "$manual/de/$page.html" "$manual/en/$page.html"
done
for name in KalFax32.exe KalAdr32.exe Kalvw32.exe KalVer32.exe R3ozav.exe; do
    link=usr/lib/kalmo/program/$name
    expect lrwxrwxrwx "$link"
    check "$name leads to bin/kalmofax" test "${target[$link]:-}" = ../../../bin/kalmofax
done
odd=()
for path in "${!mode[@]}"; do
    [[ ${owner[$path]} == root/root ]] || odd+=("$path owned by ${owner[$path]}")
    [[ $path == usr/* || $path == usr || $path == etc/* || $path == etc ]] || odd+=("$path outside /usr and /etc")
    [[ ${mode[$path]} == d* && ${mode[$path]} != drwxr-xr-x ]] && odd+=("$path is ${mode[$path]}")
    # Only the backend may be kept from other users.
    [[ ${mode[$path]} == -* && ${mode[$path]:7:1} != r && $path != usr/lib/cups/backend/kalmo ]] &&
        odd+=("$path is ${mode[$path]}")
done
check "every file root's, under /usr or /etc, readable, folders 0755 (${odd[*]:-})" test "${#odd[@]}" -eq 0

# ---- control data ---------------------------------------------------------------------------
dpkg-deb -e "$deb" "$work/control" || die "dpkg-deb -e"
depends=$(dpkg-deb -f "$deb" Depends)
# The libraries' packages are computed from the binaries; the others are named by hand.
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libsqlite3-0 libtiff6 libc6 \
    ghostscript cups-daemon cups-client hylafax-client; do
    check "Depends names $package" grep -Eq "(^|, |\| )$package( |,|$)" <<<"$depends"
done
etc_files=$(for path in "${!mode[@]}"; do
    [[ $path == etc/* && ${mode[$path]} != d* ]] && echo "/$path"
done | sort)
check "every file in /etc is a conffile" test "$etc_files" = "$(sort "$work/control/conffiles")"

# ---- lintian: no error (warnings and notes are shown) ---------------------------------------
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1
status=$?
sed 's/^/lintian: /' "$work/lintian.log"
check "lintian finds no error (exit $status)" test "$status" -eq 0

# ---- nothing of the build tree --------------------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x"
check "no file names the source or build tree ($top)" \
    bash -c '! grep -rlaF -- "$1" "$2"' _ "$top" "$root"
elves=0
while IFS= read -r -d '' file; do
    [[ $(head -c 4 "$file" | od -An -tx1 | tr -d ' ') == 7f454c46 ]] || continue
    elves=$((elves + 1))
    check "${file#"$root"/}: no RPATH or RUNPATH" \
        bash -c '! readelf -d "$1" | grep -Eq "\((RPATH|RUNPATH)\)"' _ "$file"
done < <(find "$root" -type f -print0)
check "six programs are ELF files ($elves)" test "$elves" -eq 6

# ---- the paths the package's files name exist in it -----------------------------------------
named=$(grep -ohE '^(Exec|ExecStart)=/[^ ]+' \
    "$root"/usr/share/dbus-1/services/*.service "$root"/usr/lib/systemd/user/*.service \
    "$root"/etc/xdg/autostart/*.desktop | cut -d= -f2)
named+=$'\n'$(sed -n 's/^ppd=\${KALMO_PPD_FILE:-\(.*\)}$/\1/p; s/^policy_file=\${KALMO_POLICY_FILE:-\(.*\)}$/\1/p' \
    "$root/usr/sbin/kalmosend-setup-printer")
check "the units, services and setup command name paths (found $(wc -w <<<"$named"))" \
    test "$(wc -w <<<"$named")" -eq 8
for path in $named; do
    check "$path is in the package" test -e "$root$path"
done

# ---- every program starts from the root -----------------------------------------------------
"$root/usr/lib/cups/backend/kalmo" >"$work/backend.out" 2>&1
check "the backend lists its device" grep -q '^direct kalmo:/ ' "$work/backend.out"
"$root/usr/lib/cups/filter/pdftosff" >"$work/filter.out" 2>&1
check "the filter starts (usage)" grep -q '^Usage: ' "$work/filter.out"
"$root/usr/bin/kalmosend-dispatch" --no-such-option >"$work/dispatch.out" 2>&1
check "the dispatcher starts (usage)" grep -q '^Usage: ' "$work/dispatch.out"
KALMO_POLICY_FILE=$root/usr/share/kalmosend/kalmo-policy.conf \
    "$root/usr/sbin/kalmosend-setup-printer" policy >"$work/policy.out" 2>&1
check "the setup command prints the policy" grep -q '^<Policy kalmo>' "$work/policy.out"

export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
export KALMO_MACHINE_REGISTRY=$work/machine.db KALMO_USER_REGISTRY=$work/user.db
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
mkdir -p "$HOME"
version=$(dpkg-deb -f "$deb" Version)
"$root/usr/bin/kalmofax" version --text >"$work/version.out" 2>&1
check "kalmofax version --text names $version" grep -qF "$version" "$work/version.out"

reg() { "$root/usr/bin/kalmoreg" "$@" || die "kalmoreg $*"; }
reg --machine set 'Software\ZEB\Kalmo! 2.0\KALMO!' SystemDir "$root/usr/lib/kalmo/program"
reg --machine set 'Software\ZEB\Kalmo! 2.0\KALMO!' DatenDir "$work/data"

# The bus starts kalmofax from the root: the package's service files with that root's path.
mkdir -p "$work/services"
for service in "$root"/usr/share/dbus-1/services/*.service; do
    sed "s|^Exec=/usr/bin/kalmofax |Exec=$root/usr/bin/kalmofax |" "$service" \
        >"$work/services/$(basename "$service")"
done
check "the four services start the root's kalmofax" \
    test "$(grep -lF "Exec=$root/usr/bin/kalmofax serve " "$work"/services/*.service | wc -l)" -eq 4
start_private_bus "$work/services"

send_example "$root/usr/bin" "$top/examples/example.sff" "0711 123456" \
    "kalmosend from the package" /tPaket "/n0711 123456"

# ---- maintainer scripts against a temporary root's machine store ----------------------------
key='Software\ZEB\Kalmo! 2.0\KALMO!'
dpkg_root=$work/dpkg-root
store=$dpkg_root/etc/kalmo/registry.db
note=$dpkg_root/var/lib/kalmosend/machine-store
script() { # script <name> <argument>: as dpkg runs it, with the package's kalmoreg
    DPKG_ROOT=$dpkg_root PATH=$root/usr/bin:$PATH sh "$work/control/$1" "$2" ||
        fail "$1 $2 failed"
}
machine() { KALMO_MACHINE_REGISTRY=$store "$root/usr/bin/kalmoreg" --machine "$@"; }
mkdir -p "$dpkg_root/etc" "$dpkg_root/var/lib" "$HOME/.config/kalmo"
# The user's store, which no script may touch.
KALMO_USER_REGISTRY=$HOME/.config/kalmo/registry.db reg set 'Software\ZEB\Kalmo! 2.0\KALMO!' SystemDir /home/own
user_before=$(cksum <"$HOME/.config/kalmo/registry.db")

# A machine without a store: postinst makes it; an upgrade keeps it; removal takes all back.
script postinst configure
check "postinst sets SystemDir" test "$(machine get "$key" SystemDir)" = /usr/lib/kalmo/program
script prerm upgrade
script postinst configure
check "an upgrade keeps SystemDir" test "$(machine get "$key" SystemDir)" = /usr/lib/kalmo/program
script prerm remove
script postrm remove
check "removal takes away the store it made" test ! -e "$store" -a ! -e "$dpkg_root/etc/kalmo"
check "removal takes away its note" test ! -e "$note"

# An administrator's values stay as they are.
mkdir -p "$dpkg_root/etc/kalmo"
machine set "$key" SystemDir /opt/fax/program
machine set "$key" DatenDir /srv/fax
script postinst configure
check "postinst keeps the administrator's SystemDir" test "$(machine get "$key" SystemDir)" = /opt/fax/program
check "postinst notes nothing it did not add" test ! -e "$note"
script prerm remove
script postrm purge
check "removal keeps the administrator's SystemDir" test "$(machine get "$key" SystemDir)" = /opt/fax/program
check "removal keeps the administrator's DatenDir" test "$(machine get "$key" DatenDir)" = /srv/fax

# A store with other values: only SystemDir and the keys made for it go again.
rm -rf "$dpkg_root/etc/kalmo"
mkdir -p "$dpkg_root/etc/kalmo"
machine set 'Software\ZEB\Other' Value 1
script postinst configure
check "postinst adds SystemDir to a store" test "$(machine get "$key" SystemDir)" = /usr/lib/kalmo/program
script prerm remove
script postrm purge
machine list 'Software\ZEB\Kalmo! 2.0' >/dev/null 2>&1
check "removal takes away the keys it made" test $? -eq 1
check "removal keeps the other values" test "$(machine get 'Software\ZEB\Other' Value)" = 1
check "purge leaves no note" test ! -e "$dpkg_root/var/lib/kalmosend"

# A SystemDir changed after the installation is the administrator's now.
rm -rf "$dpkg_root/etc/kalmo"
script postinst configure
machine set "$key" SystemDir /opt/fax/changed
script prerm remove
check "removal keeps a SystemDir changed since" test "$(machine get "$key" SystemDir)" = /opt/fax/changed
check "the user's store is untouched" test "$(cksum <"$HOME/.config/kalmo/registry.db")" = "$user_before"

((failed == 0)) || exit 1
echo "tst_package: all passed"
