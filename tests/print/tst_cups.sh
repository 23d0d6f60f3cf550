#!/usr/bin/env bash
# The fax printer end to end on a private cupsd: its own ServerRoot, ServerBin (the system's
# filters and backends plus ours), spool, logs, socket and port in a temporary folder, the
# printer's queue in a printers.conf written before start-up (as CUPS's own test suite does),
# the operation policy that kalmosend-setup-printer puts into cupsd.conf.
#
# Two users made for the test: A prints a PDF, a PostScript file (normal resolution) and a
# text file, B is not logged in (its job is held) and then the one A tries to print as. Then
# the dispatcher hands A's jobs to kalmosend (non-interactive, hand-off numbers), on a private
# session bus with the fax application stand-in, and the job files are checked.
#
# Needs root (it makes users, runs cupsd and the backend as CUPS does). cupsd is stopped by its
# PID and the users and their runtime folders removed, whatever happens.
set -uo pipefail

: "${KALMO_BACKEND:?}" "${KALMO_FILTER:?}" "${KALMO_DISPATCH:?}" "${KALMO_PPD:?}"
: "${KALMO_SETUP:?}" "${KALMOSEND:?}" "${KALMOREG:?}" "${KALMO_SFFINFO:?}" "${KALMO_DBUS_CONFIG:?}"

# shellcheck source=../common/checks.sh
source "$(dirname "$0")/../common/checks.sh"
here=$(dirname "$0")
# shellcheck source-path=SCRIPTDIR source=private-cupsd.sh
source "$here/private-cupsd.sh"
pc_init
for tool in curl dbus-run-session; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps"
done
work=$pc_work

cleanup() {
    local status=$?
    if ((status != 0 || failed)); then
        echo "---- cupsd error_log (last 150 lines) ----" >&2
        tail -n 150 "$work/log/error_log" >&2 2>/dev/null
    fi
    pc_cleanup
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# ---- the users and the private cupsd ------------------------------------------------------
user_a=kfa$$
user_b=kfb$$
pc_add_user "$user_a"
pc_add_user "$user_b"
uid_a=$(id -u "$user_a")
uid_b=$(id -u "$user_b")
pc_make_runtime "$user_a"
policy=$work/policy.conf
"$KALMO_SETUP" policy >"$policy" || die "kalmosend-setup-printer policy"
# A small bound on the document, for the large raw job below; the other documents are smaller.
pc_files_extra="SetEnv KALMO_MAX_DOCUMENT_MIB 1"
pc_start "$KALMO_BACKEND" "$KALMO_FILTER" "$KALMO_PPD" "$policy" debug
socket=$pc_socket
port=$pc_port
mkdir -m 755 "$work/docs"

# ---- kalmosend-setup-printer sets the queue up on this cupsd -------------------------------
# (once more: the policy block is replaced, not added twice; the queue gets its options)
# cupsd.conf is reloaded with SIGHUP; the command waits until cupsd has finished the reload, so
# that the next step does not meet it half reloaded.
reload="n=\$(grep -c 'Full reload complete' '$work/log/error_log'); kill -HUP $pc_cupsd_pid; \
for i in \$(seq 100); do [ \$(grep -c 'Full reload complete' '$work/log/error_log') -gt \$n ] && break; \
sleep 0.1; done"
CUPSD_CONF=$work/root/cupsd.conf KALMO_CUPS_RELOAD="$reload" \
    KALMO_PPD_FILE="$KALMO_PPD" "$KALMO_SETUP" add >"$work/setup.log" 2>&1
check "kalmosend-setup-printer add ($(tr '\n' ' ' <"$work/setup.log"))" [ $? -eq 0 ]
check "the policy is in cupsd.conf once" [ "$(grep -c '^<Policy kalmo>' "$work/root/cupsd.conf")" -eq 1 ]
check "cupsd still runs" kill -0 "$pc_cupsd_pid"
# cupsctl and the web interface write cupsd.conf again without its comments; add then replaces
# the policy block all the same.
setup_add() {
    CUPSD_CONF=$work/root/cupsd.conf KALMO_CUPS_RELOAD="$reload" \
        KALMO_PPD_FILE="$KALMO_PPD" "$KALMO_SETUP" add >"$work/setup.log" 2>&1
}
sed -i '/^[[:space:]]*#/d' "$work/root/cupsd.conf"
setup_add
check "kalmosend-setup-printer add on a cupsd.conf without comments" [ $? -eq 0 ]
check "the policy is in cupsd.conf once still" [ "$(grep -c '^<Policy kalmo>' "$work/root/cupsd.conf")" -eq 1 ]
check "cupsd finds no second policy" bash -c "! grep -q 'Duplicate <Policy' '$work/log/error_log'"
cat >"$work/printer.test" <<'EOF'
{
  NAME "printer"
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR language attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name root
  STATUS successful-ok
  EXPECT printer-op-policy OF-TYPE name WITH-VALUE "kalmo"
  EXPECT printer-is-shared OF-TYPE boolean WITH-VALUE false
  EXPECT printer-error-policy OF-TYPE name WITH-VALUE "abort-job"
  EXPECT device-uri OF-TYPE uri WITH-VALUE "kalmo:/"
  EXPECT printer-is-accepting-jobs WITH-VALUE true
}
EOF
check "the queue is local, under the policy kalmo, aborts failed jobs" \
    ipptool -q "ipp://localhost:$port/printers/kalmofax" "$work/printer.test"

# ---- the documents, made here ------------------------------------------------------------
cat >"$work/docs/brief.ps" <<'EOF'
%!PS-Adobe-3.0
%%Pages: 2
%%EndComments
/Helvetica findfont 20 scalefont setfont
%%Page: 1 1
72 720 moveto (Brief an Mueller, Seite 1) show 72 700 moveto 400 0 rlineto stroke showpage
%%Page: 2 2
72 720 moveto (Brief an Mueller, Seite 2) show showpage
%%EOF
EOF
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/docs/brief.pdf" \
    "$work/docs/brief.ps" || die "Ghostscript cannot make the test PDF"
cp "$work/docs/brief.ps" "$work/docs/memo.ps"
printf 'Aktennotiz\n\nEine Zeile Text, die ein Fax wird.\n' >"$work/docs/notiz.txt"
chmod 644 "$work"/docs/*

spool_a=/run/user/$uid_a/kalmo/print-spool
spool_b=/run/user/$uid_b/kalmo/print-spool

# ---- A prints four jobs ------------------------------------------------------------------
declare -A expect_res expect_pages
title_pdf="Brief an Müller"
title_ps="Memo (normal)"
title_txt="Notiz"
title_two="Zwei Dateien"
id_pdf=$(as_user "$user_a" lp -d kalmofax -t "$title_pdf" "$work/docs/brief.pdf" | job_id)
id_ps=$(as_user "$user_a" lp -d kalmofax -t "$title_ps" -o Resolution=204x98dpi "$work/docs/memo.ps" | job_id)
id_txt=$(as_user "$user_a" lp -d kalmofax -t "$title_txt" -o PageSize=Letter "$work/docs/notiz.txt" | job_id)
# Two files in one job: one fax of all their pages.
id_two=$(as_user "$user_a" lp -d kalmofax -t "$title_two" "$work/docs/brief.pdf" "$work/docs/notiz.txt" | job_id)
[[ -n $id_pdf && -n $id_ps && -n $id_txt && -n $id_two ]] || die "lp did not take A's jobs"
expect_res[$title_pdf]=1 expect_pages[$title_pdf]=2
expect_res[$title_ps]=0 expect_pages[$title_ps]=2
expect_res[$title_txt]=1 expect_pages[$title_txt]=1
expect_res[$title_two]=1 expect_pages[$title_two]=3
for id in "$id_pdf" "$id_ps" "$id_txt" "$id_two"; do
    state=$(wait_job "$id")
    check "A's job $id completed ($state)" [ "${state%%,*}" = completed ]
done

mapfile -t jobs_a < <(ls "$spool_a" 2>/dev/null)
check "four jobs in A's spool (${jobs_a[*]})" [ "${#jobs_a[@]}" -eq 4 ]
declare -A seen
for job in "${jobs_a[@]}"; do
    dir=$spool_a/$job
    title=$(cat "$dir/title")
    seen[$title]=1
    check "job $job: title \"$title\" is one of the printed titles" [ -n "${expect_res[$title]:-}" ]
    check "job $job: document owned by A, mode 0600" \
        [ "$(stat -c '%U %a' "$dir/document.sff")" = "$user_a 600" ]
    check "job $job: title owned by A, mode 0600" [ "$(stat -c '%U %a' "$dir/title")" = "$user_a 600" ]
    check "job $job: folder owned by A, mode 0700" [ "$(stat -c '%U %a' "$dir")" = "$user_a 700" ]
    check "job $job: SFF magic and version" \
        [ "$(head -c 5 "$dir/document.sff" | od -An -c | tr -d ' ')" = 'Sfff001' ]
    info=$("$KALMO_SFFINFO" "$dir/document.sff")
    res=${expect_res[$title]:-x}
    pages=${expect_pages[$title]:-x}
    want="pages=$pages resolution=$(printf "$res%.0s," $(seq "$pages") | sed 's/,$//') complete=1"
    check "job $job ($title): $info" [ "$info" = "$want" ]
done
check "A's spool is closed to others" [ "$(stat -c '%U %a' "$spool_a")" = "$user_a 700" ]
check "the PDF's title arrived as printed" [ -n "${seen[$title_pdf]:-}" ]
check "nothing is left in A's incoming folder" \
    [ -z "$(ls -A "/run/user/$uid_a/kalmo/print-incoming")" ]

# ---- root's job is refused -----------------------------------------------------------------
id_root=$(lp -d kalmofax -t root "$work/docs/brief.pdf" | job_id)
state=$(wait_job "$id_root")
check "root's job is aborted ($state)" [ "${state%%,*}" = aborted ]
grep -q "jobs of root are refused" "$work/log/error_log"
check "root's refusal is logged" [ $? -eq 0 ]

# ---- B is not logged in: the job is held -----------------------------------------------------
id_b=$(as_user "$user_b" lp -d kalmofax -t "for B" "$work/docs/notiz.txt" | job_id)
[[ -n $id_b ]] || die "lp did not take B's job"
state=$(wait_job "$id_b")
check "B's job is held while B is not logged in ($state)" [ "${state%%,*}" = pending-held ]
check "the held job says why" grep -q "is not logged in" <<<"$state"
check "no runtime folder was made for B" [ ! -e "/run/user/$uid_b" ]

# ---- A cannot print as B ----------------------------------------------------------------------
pc_make_runtime "$user_b"
out=$(as_user "$user_a" lp -U "$user_b" -d kalmofax -t spoofed "$work/docs/notiz.txt" </dev/null 2>&1)
check "lp -U $user_b by A is refused ($out)" [ -z "$(job_id <<<"$out")" ]
# The same with forged peer credentials, straight on the socket: a Print-Job request whose
# Authorization names B while the peer is A.
uri="ipp://localhost/printers/kalmofax"
{
    printf '\002\000\000\002\000\000\000\001\001'
    printf '\107\000\022attributes-charset\000\005utf-8'
    printf '\110\000\033attributes-natural-language\000\002en'
    printf '\105\000\013printer-uri\000%b' "\\0$(printf '%03o' ${#uri})$uri"
    printf '\102\000\024requesting-user-name\000%b' "\\0$(printf '%03o' ${#user_b})$user_b"
    printf '\003'
    cat "$work/docs/notiz.txt"
} >"$work/forged.ipp"
chmod 644 "$work/forged.ipp"
reply=$(as_user "$user_a" curl -s -o /dev/null -w '%{http_code}' --unix-socket "$socket" \
    -H 'Content-Type: application/ipp' -H "Authorization: PeerCred $user_b" \
    --data-binary @"$work/forged.ipp" "http://localhost/printers/kalmofax")
check "forged PeerCred for B is refused (HTTP $reply)" [ "$reply" = 401 ]
# A queue on kalmo:/ without the policy (added through the printer settings or the web
# interface): CUPS takes any name there, and the backend refuses every job.
lpadmin -p plainfax -E -v kalmo:/ -P "$KALMO_PPD" -o printer-error-policy=abort-job 2>/dev/null ||
    die "cannot add the queue plainfax"
plain_id() { sed -n 's/^request id is plainfax-\([0-9]*\).*/\1/p'; }
id_spoof=$(as_user "$user_a" lp -U "$user_b" -d plainfax -t spoofed "$work/docs/brief.pdf" | plain_id)
id_own=$(as_user "$user_a" lp -d plainfax -t own "$work/docs/brief.pdf" | plain_id)
[[ -n $id_spoof && -n $id_own ]] || die "lp did not take the jobs on plainfax"
for id in "$id_spoof" "$id_own"; do
    state=$(wait_job "$id")
    check "job $id on the queue without the policy is aborted ($state)" [ "${state%%,*}" = aborted ]
done
check "the refusal names the cause" grep -q "the queue does not authenticate its users: run kalmosend-setup-printer add" "$work/log/error_log"
lpadmin -x plainfax
sleep 1
check "nothing reached B's session" [ -z "$(ls -A "$spool_b" 2>/dev/null)" ]
check "A's spool still holds four jobs" [ "$(ls "$spool_a" | wc -l)" -eq 4 ]

# ---- the dispatcher hands A's jobs to kalmosend ----------------------------------------------
home_a=$work/home-a
install -d -m 0700 -o "$user_a" -g "$user_a" "$home_a" "$home_a/programs" "$home_a/data"
as_kalmo() {
    runuser -u "$user_a" -- env HOME="$home_a" XDG_CONFIG_HOME="$home_a/.config" \
        XDG_DATA_HOME="$home_a/.local/share" XDG_RUNTIME_DIR="/run/user/$uid_a" \
        KALMO_MACHINE_REGISTRY="$home_a/machine.db" KALMO_USER_REGISTRY="$home_a/user.db" \
        KALMO_STANDIN_JOURNAL="$home_a/journal.txt" KALMO_STANDIN_ADDRESSBOOK="$home_a/book.txt" \
        KALMO_STANDIN_LOG="$home_a/programs.txt" KALMOSEND_NONINTERACTIVE=1 \
        QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$@"
}
fax_key='Software\ZEB\Kalmo! 2.0\KALMO!'
print_key='Software\VB and VBA Program Settings\KALMO!fax\Print'
as_kalmo touch "$home_a/book.txt"
as_kalmo "$KALMOREG" --machine set "$fax_key" SystemDir "$home_a/programs" || die "kalmoreg"
as_kalmo "$KALMOREG" --machine set "$fax_key" DatenDir "$home_a/data" || die "kalmoreg"
declare -A number_of=([$title_pdf]=111 [$title_ps]=222 [$title_txt]=333 [$title_two]=444)
for t in "$title_pdf" "$title_ps" "$title_txt" "$title_two"; do
    as_kalmo "$KALMOREG" set "$print_key" "$t" "${number_of[$t]}" || die "kalmoreg set $t"
done
as_kalmo timeout 300 dbus-run-session --config-file="$KALMO_DBUS_CONFIG" -- \
    env KALMOSEND_PROGRAM="$KALMOSEND" "$KALMO_DISPATCH" --once >"$work/dispatch.log" 2>&1
check "the dispatcher ends well" [ $? -eq 0 ]
sed 's/^/  dispatch: /' "$work/dispatch.log"
check "A's spool is empty" [ -z "$(ls -A "$spool_a")" ]
check "nothing was kept" [ -z "$(ls -A "/run/user/$uid_a/kalmo/print-kept" 2>/dev/null)" ]
check "nothing is left in the work folder" [ -z "$(ls -A "/run/user/$uid_a/kalmo/print-work" 2>/dev/null)" ]

comjob=$home_a/data/Fax/Comjob
mapfile -t jobfiles < <(ls "$comjob" 2>/dev/null)
check "four job files in Comjob (${jobfiles[*]})" [ "${#jobfiles[@]}" -eq 4 ]
declare -A fax_of=([$title_pdf]=196 [$title_ps]=98 [$title_txt]=196 [$title_two]=196)
for t in "$title_pdf" "$title_ps" "$title_txt" "$title_two"; do
    file=$(grep -l "^ADDRESS :${number_of[$t]}"$'\r'"\$" "$comjob"/* 2>/dev/null | head -n 1)
    if [[ -z $file ]]; then
        fail "no job file for \"$t\" (number ${number_of[$t]})"
        continue
    fi
    check "job file for \"$t\": CONVERT :SFF" grep -q "^CONVERT :SFF"$'\r'"\$" "$file"
    check "job file for \"$t\": FAXRES  :${fax_of[$t]}" grep -q "^FAXRES  :${fax_of[$t]}"$'\r'"\$" "$file"
    doc=$(sed -n 's/^FILENAME:\(.*\)\r$/\1/p' "$file")
    check "job file for \"$t\": its document is an SFF in Faxsend" \
        bash -c '[[ $1 == */Faxsend/* ]] && head -c 4 "$1" | grep -q Sfff' _ "$doc"
done
order=$(for f in "${jobfiles[@]}"; do sed -n "s/^ADDRESS :\(.*\)\r\$/\1/p" "$comjob/$f"; done | tr "\n" " ")
check "the jobs reached kalmosend in the order they were printed ($order)" [ "$order" = "111 222 333 444 " ]
check "the journal has four entries" [ "$(grep -c . "$home_a/journal.txt" 2>/dev/null)" -ge 4 ]

# ---- a job whose dialog cannot start is kept and reported ---------------------------------
kept=/run/user/$uid_a/kalmo/print-kept
for case in missing untaken; do
    id=$(as_user "$user_a" lp -d kalmofax -t "kept $case" "$work/docs/notiz.txt" | job_id)
    state=$(wait_job "$id")
    check "job for \"kept $case\" completed ($state)" [ "${state%%,*}" = completed ]
    if [[ $case == missing ]]; then program=/nonexistent/kalmosend; else program=/bin/true; fi
    as_kalmo env KALMOSEND_PROGRAM="$program" "$KALMO_DISPATCH" --once >"$work/dispatch-$case.log" 2>&1
    check "the dispatcher ends well ($case)" [ $? -eq 0 ]
    if [[ $case == missing ]]; then said="could not be started"; else said="without taking the document"; fi
    check "the dispatcher says why the job is kept ($case)" grep -q "$said" "$work/dispatch-$case.log"
    check "A's spool is empty again ($case)" [ -z "$(ls -A "$spool_a")" ]
done
mapfile -t kept_jobs < <(ls "$kept" 2>/dev/null)
check "both jobs are kept (${kept_jobs[*]})" [ "${#kept_jobs[@]}" -eq 2 ]
for job in "${kept_jobs[@]}"; do
    check "kept job $job still has its document" "$KALMO_SFFINFO" "$kept/$job/document.sff"
done

# ---- a job that cannot be claimed is kept, not tried for ever ------------------------------
# (a folder of its name is in print-work already: the claim fails with EEXIST)
stale=0000000001.000000000-9999
as_kalmo mkdir "/run/user/$uid_a/kalmo/print-work/$stale" "$spool_a/$stale"
as_kalmo cp "$kept/${kept_jobs[0]}/document.sff" "$kept/${kept_jobs[0]}/title" "$spool_a/$stale/"
as_kalmo env KALMOSEND_PROGRAM=/bin/true timeout 30 "$KALMO_DISPATCH" --once >"$work/dispatch-stale.log" 2>&1
status=$?
check "the dispatcher ends when a job cannot be claimed (status $status)" [ $status -eq 0 ]
check "the dispatcher says why" grep -q "could not be taken from the print spool" "$work/dispatch-stale.log"
check "the unclaimed job is kept whole" "$KALMO_SFFINFO" "$kept/$stale/document.sff"
check "A's spool is empty again (stale)" [ -z "$(ls -A "$spool_a")" ]

# ---- raw jobs: the backend reads CUPS's spool file; a large document is refused ---------------
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=cfax -r204x196 -sOutputFile="$work/docs/raw.sff" \
    "$work/docs/brief.ps" || die "Ghostscript cannot make the test SFF"
# 1.2 MiB of rows (each the record byte 216 and 216 bytes), more than the bound of 1 MiB
{
    printf 'Sfff\001\000\000\000\000\000\024\000\000\000\000\000\000\000\000\000'
    printf '\376\020'
    head -c 16 /dev/zero
    head -c $((217 * 5800)) /dev/zero | tr '\000' '\330'
    printf '\376\000'
} >"$work/docs/large.sff"
chmod 644 "$work/docs/raw.sff" "$work/docs/large.sff"
id_raw=$(as_user "$user_a" lp -d kalmofax -o raw -t raw "$work/docs/raw.sff" | job_id)
state=$(wait_job "$id_raw")
check "the raw job completed ($state)" [ "${state%%,*}" = completed ]
mapfile -t raw_jobs < <(ls "$spool_a" 2>/dev/null)
check "the raw job is in A's spool (${raw_jobs[*]})" [ "${#raw_jobs[@]}" -eq 1 ]
check "the raw job's document is the printed one" cmp -s "$work/docs/raw.sff" "$spool_a/${raw_jobs[0]:-none}/document.sff"
id_large=$(as_user "$user_a" lp -d kalmofax -o raw -t large "$work/docs/large.sff" | job_id)
state=$(wait_job "$id_large")
check "the large raw job is aborted ($state)" [ "${state%%,*}" = aborted ]
check "the large job's refusal says why" grep -q "the document is larger than 1 MiB" "$work/log/error_log"
check "nothing of the large job is left in A's incoming folder" \
    [ -z "$(ls -A "/run/user/$uid_a/kalmo/print-incoming")" ]
check "A's spool holds the raw job only" [ "$(ls "$spool_a" | wc -l)" -eq 1 ]

# ---- kalmosend-setup-printer removes the queue and its policy ----------------------------
# (from a cupsd.conf that cupsctl has written again without comments)
sed -i '/^[[:space:]]*#/d' "$work/root/cupsd.conf"
CUPSD_CONF=$work/root/cupsd.conf KALMO_CUPS_RELOAD="$reload" \
    "$KALMO_SETUP" remove >"$work/remove.log" 2>&1
check "kalmosend-setup-printer remove ($(tr '\n' ' ' <"$work/remove.log"))" [ $? -eq 0 ]
check "the queue is gone" bash -c '! lpstat -p kalmofax >/dev/null 2>&1'
check "the policy is gone from cupsd.conf" bash -c "! grep -q -e '<Policy kalmo>' -e 'kalmosend policy' '$work/root/cupsd.conf'"
check "cupsd still runs" kill -0 "$pc_cupsd_pid"

if ((failed)); then exit 1; fi
echo "all checks passed"
