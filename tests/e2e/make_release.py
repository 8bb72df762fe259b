#!/usr/bin/env python3
"""Makes the release fixture of the offline-update tests.

OUT/product/  - a product folder laid out as the update server serves it:
                update.xml beside the files, one of them only as its
                "._.zip" variant (made by Info-ZIP zip).
OUT/expected/ - the release's files as they must arrive, by list path.
"""
import os
import random
import shutil
import subprocess
import sys

out, infozip = sys.argv[1], sys.argv[2]
product = os.path.join(out, "product")
expected = os.path.join(out, "expected")
shutil.rmtree(out, ignore_errors=True)

rng = random.Random(15)
files = {
    "main.cmd": b"@echo off\r\necho started> started.txt\r\n",
    "bin/tool.dll": bytes(rng.randrange(256) for _ in range(4096)),
    # Half random, half repeating: deflate has work of both kinds.
    "data/big.dat": bytes(rng.randrange(256) for _ in range(150_000)) + b"0123456789abcdef" * 10_000,
    "data/q/\u9898\u5e93.dat": "\u9898\u5e93 question bank\r\n".encode("utf-8"),
    "empty.txt": b"",
}
zipped = {"data/big.dat"}

for path, data in files.items():
    for root in (product, expected):
        if root == product and path in zipped:
            continue
        full = os.path.join(root, *path.split("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)

for path in zipped:
    folder = os.path.join(product, *path.split("/")[:-1])
    name = path.split("/")[-1]
    shutil.copy(os.path.join(expected, *path.split("/")), os.path.join(folder, name))
    subprocess.run([infozip, "-q", "-j", name + "._.zip", name], cwd=folder, check=True)
    os.remove(os.path.join(folder, name))

update = """<?xml version="1.0" encoding="utf-8"?>
<update serial="2">
  <guid>{6B1F2C3D-0015-4A5B-9C8D-0123456789AB}</guid>
  <description>Release 2.0 for offline installation</description>
  <file path="main.cmd" ver="2.0"/>
  <file path="bin\\tool.dll" ver="2.0" desname="tool.dll;extra\\tool-copy.dll"/>
  <group>
    <file path="data\\big.dat._.zip" ver="2.0"/>
    <file path="data|q|\u9898\u5e93.dat" ver="2.0"/>
  </group>
  <file path="empty.txt" md5="d41d8cd98f00b204e9800998ecf8427e"/>
  <file path="retired.dll" oper="del" ver="2.0"/>
  <run path="{app}\\main.cmd" param="" wait="0" key="r2"/>
</update>
"""
with open(os.path.join(product, "update.xml"), "w", encoding="utf-8", newline="\r\n") as f:
    f.write(update)
