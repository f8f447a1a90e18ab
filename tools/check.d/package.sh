#!/bin/bash
# The Linux program as a Debian user gets it: the Release build packaged by
# CPack, its AppStream metainfo (alone and with the desktop entry it names),
# its man page rendered without warnings, lintian without errors, and every
# package it depends on or recommends known to this release's apt.
set -uo pipefail
cd "$(dirname "$0")/../.."
# The caller's locale is not the package's: man says it "can't set the
# locale" (a warning here) when LANG names one that is not installed.
export LC_ALL=C.UTF-8
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

{ cmake --preset release && cmake --build --preset release && cpack --preset release; } >/dev/null || exit 1
deb=$(echo build/release/velmora-setup_*.deb)
tree=build/release/deb-tree
rm -rf "$tree" && dpkg-deb -x "$deb" "$tree" || exit 1

# Every package it names exists in this release (the first of alternatives
# is always a real package): a name of another release would stop apt-get.
for field in Depends Recommends; do
    for name in $(dpkg-deb -f "$deb" "$field" | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g'); do
        apt-cache show --no-all-versions "$name" >/dev/null 2>&1 || fail "$field: $name is not a package of this release"
    done
done

appstreamcli validate --no-net "$tree"/usr/share/metainfo/*.metainfo.xml || fail "AppStream metainfo"
appstreamcli validate-tree --no-net "$tree" || fail "AppStream metainfo with the desktop entry"
warnings=$(man --warnings -l "$tree"/usr/share/man/man1/velmora-setup.1.gz 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "man page: $warnings"
# As root lintian warns that it is root; that line is not about the package.
lintian --fail-on error "$deb" 2> >(grep -v 'root privileges' >&2) || fail "lintian on $deb"
exit $status
