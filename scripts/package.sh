#!/usr/bin/env bash
# make package: the release packages of the three configurations into dist/packages, with
# SHA256SUMS over them. Expects `make build` to have built the trees.
set -euo pipefail
build="${1:-build}"
out="${2:-dist}/packages"
rm -rf "$out"
mkdir -p "$out"
for tree in win64 win32 native; do
    dir="$build/$tree"
    [ -f "$dir/CPackConfig.cmake" ] || { echo "package: $dir is not configured (make build)" >&2; exit 1; }
    rm -rf "$dir/packages"
    (cd "$dir" && cpack --config CPackConfig.cmake >/dev/null)
    find "$dir/packages" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.deb' \) -exec cp {} "$out" \;
done
(cd "$out" && sha256sum -- *.zip *.deb >SHA256SUMS)
echo "package: $(cd "$out" && ls | tr '\n' ' ')"
