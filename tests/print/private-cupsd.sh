# shellcheck shell=bash
# A private cupsd with the fax printer, for the printer's test and its benchmark (sourced by
# bash, as root). Everything lives in one temporary folder: its own ServerRoot, ServerBin (the
# system's filters and backends linked, ours copied in, as CUPS wants root's files), spool,
# logs, socket and port; the queue "kalmofax" in a printers.conf written before start-up, as
# CUPS's own test suite does; the policy as kalmosend-setup-printer prints it.
#
#   pc_init                      the folder ($pc_work); call first, then trap pc_cleanup EXIT
#   pc_add_user name             a user for the run (removed by pc_cleanup)
#   pc_make_runtime user         the runtime folder a logged-in user has (removed likewise)
#   pc_start backend filter ppd policy-file loglevel
#                                ($pc_conf_extra, $pc_files_extra: more lines for cupsd.conf
#                                and cups-files.conf)
#   as_user user command...      runs the command as the user against the private cupsd
#   wait_job id                  waits (at most 60 s) until the job is no longer pending or
#                                processing; prints "state,message"
#   job_id                       the job id in lp's answer on standard input
#   pc_cleanup                   stops cupsd by its PID, removes users and runtime folders

pc_work=
pc_cupsd_pid=
pc_users=()
pc_runtime_dirs=()
pc_socket=
pc_port=

pc_die() {
    echo "FAIL: $*" >&2
    exit 1
}

pc_init() {
    [[ $(id -u) -eq 0 ]] || pc_die "this needs root (it runs cupsd and adds users); run it as root, as CI does"
    local tool
    for tool in cupsd lp lpstat ipptool gs useradd userdel runuser setpriv; do
        command -v "$tool" >/dev/null || pc_die "$tool is missing: run scripts/install-deps"
    done
    pc_work=$(mktemp -d /tmp/kalmo-cups.XXXXXX) || pc_die "no temporary folder"
    chmod 755 "$pc_work"
}

pc_add_user() {
    useradd --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin --user-group "$1" ||
        pc_die "cannot add the user $1"
    pc_users+=("$1")
}

pc_make_runtime() {
    local uid
    uid=$(id -u "$1")
    [[ -e /run/user/$uid ]] && pc_die "/run/user/$uid exists already"
    install -d -m 0700 -o "$1" -g "$1" "/run/user/$uid" || pc_die "cannot make /run/user/$uid"
    pc_runtime_dirs+=("/run/user/$uid")
}

pc_start() { # backend filter ppd policy-file loglevel
    local root=$pc_work/root bin=$pc_work/bin d f
    mkdir -p "$root/ppd" "$bin/backend" "$bin/filter" "$pc_work/spool/tmp" "$pc_work/log" \
        "$pc_work/state" "$pc_work/cache" "$pc_work/sock"
    chmod 755 "$root" "$root/ppd" "$bin" "$bin/backend" "$bin/filter" "$pc_work/sock"
    for d in daemon driver notifier monitor cgi-bin; do
        [[ -e /usr/lib/cups/$d ]] && ln -s "/usr/lib/cups/$d" "$bin/$d"
    done
    for f in /usr/lib/cups/filter/*; do ln -s "$f" "$bin/filter/"; done
    for f in /usr/lib/cups/backend/*; do ln -s "$f" "$bin/backend/"; done
    # CUPS runs only programs that root owns and no one else may change.
    install -m 0700 -o root -g root "$1" "$bin/backend/kalmo" || pc_die "no backend $1"
    install -m 0755 -o root -g root "$2" "$bin/filter/pdftosff" || pc_die "no filter $2"
    install -m 0644 "$3" "$root/ppd/kalmofax.ppd" || pc_die "no PPD $3"

    pc_port=$((20000 + RANDOM % 20000))
    pc_socket=$pc_work/sock/cups.sock
    cat >"$root/cups-files.conf" <<EOF
ServerBin $bin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
RequestRoot $pc_work/spool
TempDir $pc_work/spool/tmp
StateDir $pc_work/state
CacheDir $pc_work/cache
AccessLog $pc_work/log/access_log
ErrorLog $pc_work/log/error_log
PageLog $pc_work/log/page_log
User lp
Group lp
SystemGroup root
PeerCred on
FileDevice No
# The backend drops its privileges; LeakSanitizer cannot stop a process that is no longer
# dumpable, so leaks are looked for by the unprivileged tests only.
SetEnv ASAN_OPTIONS detect_leaks=0
${pc_files_extra:-}
EOF
    {
        cat <<EOF
LogLevel $5
${pc_conf_extra:-}
Listen $pc_socket
Listen 127.0.0.1:$pc_port
Browsing Off
WebInterface No
DefaultAuthType Basic
MaxJobs 0
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
        # Marked as kalmosend-setup-printer marks it, so that the command finds and replaces it.
        echo "# BEGIN kalmosend policy"
        cat "$4"
        echo "# END kalmosend policy"
    } >"$root/cupsd.conf"
    cat >"$root/printers.conf" <<EOF
<Printer kalmofax>
Info KALMO!fax
Location send dialog
MakeModel KALMO!fax send dialog
DeviceURI kalmo:/
State Idle
StateTime $(date +%s)
Accepting Yes
Shared No
JobSheets none none
QuotaPeriod 0
PageLimit 0
KLimit 0
OpPolicy kalmo
ErrorPolicy abort-job
</Printer>
EOF
    chmod 600 "$root/printers.conf"
    cat >"$pc_work/job.test" <<'EOF'
{
  NAME "job state"
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR language attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job
  ATTR name requesting-user-name root
  STATUS successful-ok
  DISPLAY job-state
  DISPLAY job-printer-state-message
}
EOF

    # Killed with this shell, should it be killed before its trap runs.
    setpriv --pdeathsig KILL -- cupsd -f -c "$root/cupsd.conf" -s "$root/cups-files.conf" \
        >"$pc_work/log/cupsd.out" 2>&1 &
    pc_cupsd_pid=$!
    export CUPS_SERVER=$pc_socket
    local _
    for _ in $(seq 100); do
        lpstat -r 2>/dev/null | grep -q "is running" && break
        kill -0 "$pc_cupsd_pid" 2>/dev/null || { cat "$pc_work/log/cupsd.out" >&2; pc_die "cupsd did not start"; }
        sleep 0.2
    done
    lpstat -r | grep -q "is running" || pc_die "cupsd does not answer on $pc_socket"
    lpstat -p kalmofax >/dev/null || pc_die "the queue kalmofax is missing"
}

as_user() {
    local u=$1
    shift
    # setpriv, not runuser: no PAM session, which would add its own time to every lp.
    setpriv --reuid="$u" --regid="$u" --init-groups -- env USER="$u" LOGNAME="$u" HOME=/nonexistent \
        CUPS_SERVER="$pc_socket" "$@"
}

job_state() {
    ipptool -c -d job="$1" "ipp://localhost:$pc_port/printers/kalmofax" "$pc_work/job.test" \
        2>/dev/null | tail -n 1
}

wait_job() {
    local line _
    for _ in $(seq 300); do
        line=$(job_state "$1")
        case $line in pending,* | processing,* | "" | job-state*) sleep 0.1 ;; *) break ;; esac
    done
    echo "$line"
}

job_id() { sed -n 's/^request id is kalmofax-\([0-9]*\).*/\1/p'; }

pc_cleanup() {
    local d u _
    if [[ -n $pc_cupsd_pid ]]; then
        kill -TERM "$pc_cupsd_pid" 2>/dev/null
        for _ in $(seq 50); do kill -0 "$pc_cupsd_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pc_cupsd_pid" 2>/dev/null
        wait "$pc_cupsd_pid" 2>/dev/null
        pc_cupsd_pid=
    fi
    for d in "${pc_runtime_dirs[@]}"; do rm -rf --one-file-system "$d"; done
    for u in "${pc_users[@]}"; do userdel "$u" 2>/dev/null; done
    [[ -n $pc_work ]] && rm -rf "$pc_work"
}
