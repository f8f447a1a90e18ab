#!/bin/bash
# The shipped Windows program as Windows meets it. The release archive is
# built twice, by its CMake target, in two fresh folders (the second from a
# copy of the tracked sources, or of all files in a tree without git, such as
# a release tarball), and both builds must give the same bytes. The
# version resource of both Windows builds is read back (python3-pefile): its
# fields, the dialog's version, no word Windows takes for an installer in the
# file's name or a version string, no execution level asked for, no link time.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {  # source folder, build folder; the build's output only when it fails
    (cd "$1" && cmake --preset windows-x86 -B "$2" >"$2.log" 2>&1 && cmake --build "$2" --target release >>"$2.log" 2>&1) ||
        { tail -n 30 "$2.log"; echo "FAIL: the release archive did not build in $2"; return 1; }
}
git() { command git -c safe.directory="$PWD" "$@"; }  # a clone of another owner
mkdir "$work/src"
if [[ -e .git ]]; then
    epoch=$(git log -1 --format=%ct)
    git ls-files -z | tar --null -T - -c | tar -x -C "$work/src"
else
    # A release tarball: the archive script's fallback time, the tree's files
    # without the build folders.
    epoch=${SOURCE_DATE_EPOCH:-315532800}
    tar -c --exclude='./build' --exclude='./build-*' . | tar -x -C "$work/src"
fi
# The first takes the time from git (or the fallback, or the caller's
# variable in a tarball), the second (no .git) from the variable.
if [[ -e .git ]]; then (unset SOURCE_DATE_EPOCH && build "$PWD" "$work/a"); else build "$PWD" "$work/a"; fi
SOURCE_DATE_EPOCH=$epoch build "$work/src" "$work/b"
cmake --preset windows-x64 >/dev/null && cmake --build --preset windows-x64 --target setup >/dev/null

status=0
archive=$(cd "$work/a" && echo velmora-*-windows-i686.zip)
for f in velmora-config.exe "$archive"; do
    sha256sum "$work/a/$f" "$work/b/$f" | sed "s|$work/||"
    cmp -s "$work/a/$f" "$work/b/$f" || { echo "FAIL: $f differs between the two builds"; status=1; }
done

/usr/bin/python3 - "$epoch" "$work/a/$archive" "$work/a/velmora-config.exe" build/windows-x64/velmora-config.exe <<'PY' || status=1
import hashlib, os, re, sys, time, zipfile
import pefile

epoch, archive, programs = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
label = re.search(r'SETUP_STRING\(25, "ver\. (\d+)\.(\d+)"\)', open("setup/res/strings.def").read())
version = f"{label[1]}.{label[2]}"
failures = []
def check(ok, what):
    ok or failures.append(what)

for path in programs:
    pe, name = pefile.PE(path), os.path.basename(path)
    tables = [t for i in pe.FileInfo[0] if i.Key == b"StringFileInfo" for t in i.StringTable]
    strings = {k.decode(): v.decode() for t in tables for k, v in t.entries.items()}
    want = {"CompanyName": "Brannick", "ProductName": "Velmora", "FileVersion": version,
            "ProductVersion": version, "OriginalFilename": name}
    for key, value in want.items():
        check(strings.get(key) == value, f"{path}: {key} is {strings.get(key)!r}, not {value!r}")
    check(strings.get("FileDescription") and "Brannick" in strings.get("LegalCopyright", ""),
          f"{path}: no file description or copyright line")
    check([t.LangID.upper() for t in tables] == [b"040904B0"], f"{path}: not one US English Unicode table")
    fixed, fields = pe.VS_FIXEDFILEINFO[0], (int(label[1]) << 16 | int(label[2]), 0)
    check((fixed.FileVersionMS, fixed.FileVersionLS) == fields == (fixed.ProductVersionMS, fixed.ProductVersionLS),
          f"{path}: binary version is not {version}")
    for text in (name, *strings.values()):
        for word in ("setup", "install", "update", "patch"):
            check(word not in text.lower(), f"{path}: {text!r} holds {word!r}")
    data = open(path, "rb").read()
    for level in (b"requestedExecutionLevel", "requestedExecutionLevel".encode("utf-16-le")):
        check(level not in data, f"{path}: a manifest asks for an execution level")
    check(pe.FILE_HEADER.TimeDateStamp == 0, f"{path}: link time in the PE header")

folder = os.path.basename(archive).removesuffix(".zip")
with zipfile.ZipFile(archive) as z:
    members = {n.removeprefix(folder + "/"): z.read(n) for n in z.namelist()}
    check(list(members) == ["velmora-config.exe", "README.txt", "SHA256SUMS.txt"] and
          folder == f"velmora-{version}-windows-i686", f"archive holds {z.namelist()}")
    when = time.gmtime(epoch)  # zip keeps even seconds
    check(all(i.date_time == (*when[:5], when[5] & ~1) for i in z.infolist()), "member times are not the commit's")
check(members.get("velmora-config.exe") == open(programs[0], "rb").read(), "archive's program is not the built one")
sums = {n: hashlib.sha256(d).hexdigest() for n, d in members.items() if n != "SHA256SUMS.txt"}
check(members.get("SHA256SUMS.txt", b"").decode() == "".join(f"{h}  {n}\n" for n, h in sums.items()),
      "SHA256SUMS.txt does not match the files")
readme = members.get("README.txt", b"")
check(readme.count(b"\n") == readme.count(b"\r\n") > 0, "README.txt does not end its lines with CRLF")

for failure in failures:
    print("FAIL:", failure)
print(f"version resource of {len(programs)} programs and the archive: {'FAILED' if failures else 'as they should be'}")
sys.exit(bool(failures))
PY
echo "release check: $((SECONDS - start)) s, $([[ $status == 0 ]] && echo "same bytes twice" || echo FAILED)"
exit $status
