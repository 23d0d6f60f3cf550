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
