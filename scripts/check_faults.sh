#!/usr/bin/env bash
# make check-faults: plants each known fault of scripts/fault_plants.txt in a scratch copy
# of the committed tree, builds the test programs named for it, runs its tests and shows
# that the suite fails, naming the failing tests. A tool for the team, not part of make test.
#
#   scripts/check_faults.sh [BUILD_ROOT] [NAME_FILTER]
#
# Each plant is one line of the list: NAME | FILE | SED_EXPRESSION | TARGETS | CTEST_REGEX.
# A sed expression that changes nothing means the code moved: the plant is reported as
# "not planted" (re-aim it), never as caught. Before planting, the named tests must pass on
# the clean copy. Exit 0 only when every plant was planted and caught.
set -u
src="$(cd "$(dirname "$0")/.." && pwd)"
root="${1:-$src/build}/check-faults"
filter="${2:-}"
list="$src/scripts/fault_plants.txt"
copy="$root/src"
build="$root/native"
mkdir -p "$root"
# Paths under the scratch root hash alike from run to run: the compiler cache serves reruns.
export CCACHE_BASEDIR="$root"

rm -rf "$copy"
git clone -q --shared "$src" "$copy" && git -C "$copy" checkout -q "$(git -C "$src" rev-parse HEAD)" \
    || { echo "check-faults: cannot make the scratch copy"; exit 2; }
cmake -S "$copy" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$root/configure.log" 2>&1 \
    || { echo "check-faults: configure failed (see $root/configure.log)"; exit 2; }

trim() { local s="$1"; s="${s#"${s%%[![:space:]]*}"}"; printf '%s' "${s%"${s##*[![:space:]]}"}"; }
names=() files=() exprs=() targets=() regexes=()
while IFS= read -r line; do
    case "$line" in ''|'#'*) continue ;; esac
    IFS='|' read -r n f e t r <<<"$line"
    n=$(trim "$n")
    [ -n "$filter" ] && [[ "$n" != *"$filter"* ]] && continue
    names+=("$n") files+=("$(trim "$f")") exprs+=("$(trim "$e")") targets+=("$(trim "$t")") regexes+=("$(trim "$r")")
done <"$list"
[ ${#names[@]} -gt 0 ] || { echo "check-faults: no plant matches '$filter'"; exit 2; }

# Test programs of every plant, built once on the clean copy, and their tests passing there.
all_targets=$(printf '%s\n' "${targets[@]}" | tr ' ' '\n' | sort -u | tr '\n' ' ')
echo "== building on the clean copy: $all_targets"
# shellcheck disable=SC2086
nice -n 5 cmake --build "$build" --target $all_targets >"$root/build-clean.log" 2>&1 \
    || { echo "check-faults: the clean copy does not build (see $root/build-clean.log)"; exit 2; }

run_tests() {  # regex -> ctest output in $root/ctest.log; returns ctest's status
    (cd "$build" && ctest --output-on-failure --no-tests=error -R "$1" >"$root/ctest.log" 2>&1)
}
failed_names() { sed -nE 's/^[[:space:]]*[0-9]+ - (.*) \((Failed|Subprocess aborted|SEGFAULT|Timeout|Exception|Child aborted).*$/\1/p' "$root/ctest.log" | tr '\n' ' '; }

caught=0 missed=0 unplanted=0
for i in "${!names[@]}"; do
    n="${names[$i]}" f="${files[$i]}" e="${exprs[$i]}" t="${targets[$i]}" r="${regexes[$i]}"
    echo "== $n"
    # shellcheck disable=SC2086
    nice -n 5 cmake --build "$build" --target $t >"$root/build-clean.log" 2>&1
    if ! run_tests "$r"; then
        echo "   BROKEN BEFORE PLANTING: $(failed_names)"
        missed=$((missed + 1))
        continue
    fi
    cp "$copy/$f" "$root/saved"
    sed -i -e "$e" "$copy/$f"
    if cmp -s "$copy/$f" "$root/saved"; then
        echo "   NOT PLANTED: '$e' changes nothing in $f (re-aim it)"
        unplanted=$((unplanted + 1))
        continue
    fi
    # shellcheck disable=SC2086
    if ! nice -n 5 cmake --build "$build" --target $t >"$root/build-plant.log" 2>&1; then
        echo "   NOT PLANTED: the planted copy does not build (see $root/build-plant.log)"
        unplanted=$((unplanted + 1))
    elif run_tests "$r"; then
        echo "   MISSED: every test of '$r' passes with the fault in place"
        missed=$((missed + 1))
    else
        echo "   caught by: $(failed_names)"
        caught=$((caught + 1))
    fi
    cp "$root/saved" "$copy/$f"
done
# Leave the programs built from the clean copy again.
# shellcheck disable=SC2086
nice -n 5 cmake --build "$build" --target $all_targets >/dev/null 2>&1
echo "check-faults: $caught caught, $missed missed, $unplanted not planted"
[ "$missed" -eq 0 ] && [ "$unplanted" -eq 0 ]
