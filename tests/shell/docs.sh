#!/usr/bin/env bash
# Checks that the documentation agrees with the tree: each group of
# .ci/packages is named, package for package, on an apt-get install line of
# doc/platforms.md, and the manual page's date is the newest release's in CHANGELOG.md.
#   tests/shell/docs.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
fail=0

installLines=$(sed -n 's/^ *\(sudo \)\{0,1\}apt-get install \([^#]*\).*/\2/p' "$root/doc/platforms.md" |
    while read -r line; do tr ' ' '\n' <<<"$line" | grep . | sort | paste -sd' '; done)
while read -r group packages; do
    wanted=$(tr ' ' '\n' <<<"$packages" | sort | paste -sd' ')
    if ! grep -qxF "$wanted" <<<"$installLines"; then
        echo "doc/platforms.md has no install line naming exactly the ${group%:} packages: $packages"
        fail=1
    fi
done < <(grep -v '^#' "$root/.ci/packages" | grep .)
[ "$(grep -c . <<<"$installLines")" -eq "$(grep -v '^#' "$root/.ci/packages" | grep -c .)" ] ||
    { echo "doc/platforms.md has install lines beyond the groups of .ci/packages"; fail=1; }

release=$(sed -n 's/^## [0-9.]* (\([0-9-]*\))$/\1/p' "$root/CHANGELOG.md" | head -n 1)
manual=$(sed -n 's/^\.TH [^ ]* [0-9] \([0-9-]*\) .*/\1/p' "$root/doc/srtx.1")
[ "$manual" = "$release" ] || { echo "doc/srtx.1 is dated $manual, the newest release $release"; fail=1; }

[ $fail = 0 ] && echo "docs.sh: 2 checks passed, 0 failed"
exit $fail
