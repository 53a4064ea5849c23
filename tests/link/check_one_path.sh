#!/usr/bin/env bash
# The request path stands once: outside link/ no code sets the echo length or calls the
# exchange itself, no feature tests model numbers, and the converter speed code is one sum.
set -u
cd "$(dirname "$0")/../.."
features="app display maintenance netsetup cli"
fail=0
check() {  # what, grep pattern, paths...
    local what=$1 pattern=$2; shift 2
    local hits
    hits=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" "$@" || true)
    if [ -n "$hits" ]; then
        echo "FAIL: $what"
        echo "$hits"
        fail=1
    fi
}
check "echo length set outside link/" 'echo_len\s*=[^=]' $features
check "bus_exchange called outside link/" 'bus_exchange\(' $features
check "model numbers tested in a feature" 'model\)?\s*(==|!=|<=|>=|<|>)\s*[0-9]{4}' $features link
check "speed code worked out outside protocol/" '\b4 - [a-z]' $features link
defs=$(grep -rnE --include='*.cpp' '^(static )?int is_456x\(' . | grep -v '^./build' | wc -l)
[ "$defs" -eq 1 ] || { echo "FAIL: is_456x defined $defs times"; fail=1; }
[ $fail -eq 0 ] && echo "one request path: ok"
exit $fail
