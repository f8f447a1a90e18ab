#!/usr/bin/env python3
"""Packs the shipped Windows program, the players' text and their checksums
into the release archive, the same bytes for the same commit: member times
from SOURCE_DATE_EPOCH (else the commit's time, else 1980-01-01 outside a
git checkout), fixed order and modes, no owner or host fields.
  release-windows-archive.py PROGRAM README_TEMPLATE VERSION OUT.zip"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

program, readme, version, out = sys.argv[1:5]
# The fallback when the sources are not a git checkout (a release tarball):
# 1980-01-01 00:00 UTC, the first time a zip can hold, the same for any build.
FALLBACK_EPOCH = 315532800
epoch = os.environ.get("SOURCE_DATE_EPOCH")
if not epoch and os.path.exists(".git"):  # run in the source folder; not a parent's repository
    try:
        # Only the commit's time is read, so a checkout of another owner will do.
        epoch = subprocess.run(["git", "-c", "safe.directory=*", "log", "-1", "--format=%ct"],
                               capture_output=True, text=True).stdout.strip()
    except OSError:
        pass
    if not epoch:
        sys.exit("release archive: git gives no commit time; set SOURCE_DATE_EPOCH")
epoch = epoch or FALLBACK_EPOCH
stamp = time.gmtime(max(int(epoch), 315532800))[:6]  # zip times start in 1980

name = os.path.basename(program)
with open(program, "rb") as f:
    exe = f.read()
with open(readme, encoding="utf-8") as f:
    text = f.read().replace("@VERSION@", version).replace("@PROGRAM@", name)
text = text.replace("\r\n", "\n").replace("\n", "\r\n").encode()  # CRLF for Notepad
sums = "".join(f"{hashlib.sha256(d).hexdigest()}  {n}\n" for n, d in ((name, exe), ("README.txt", text)))

folder = os.path.basename(out).removesuffix(".zip")
with zipfile.ZipFile(out + ".part", "w") as archive:
    for member, data, mode in ((name, exe, 0o755), ("README.txt", text, 0o644),
                               ("SHA256SUMS.txt", sums.encode(), 0o644)):
        info = zipfile.ZipInfo(f"{folder}/{member}", stamp)
        info.create_system = 3  # Unix, whatever builds it, so the modes hold
        info.external_attr = (0o100000 | mode) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data, compresslevel=9)
os.replace(out + ".part", out)

with open(out, "rb") as f:
    digest = hashlib.sha256(f.read()).hexdigest()
with open(out + ".sha256", "w", encoding="ascii") as f:
    f.write(f"{digest}  {os.path.basename(out)}\n")
print(f"{out}\nSHA-256 {digest}")
