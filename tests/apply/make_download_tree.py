#!/usr/bin/env python3
"""Writes the product tree the download phase is tested against.

Into <docroot>/download-tree/: the product's files, most of them also as the
zip variant ("<name>._.zip") that Info-ZIP `zip` makes, some only plain, an
empty file with and without a variant, a damaged variant, and two update
lists over the same files: "marked.xml" declares its md5 keys content
digests (root attribute hash="md5"), "unmarked.xml" does not. In both, the
key of wrong/mismatch.txt is the digest of other bytes. The digests come
from Python's hashlib, independent of the engine's own.

Usage: make_download_tree.py <docroot> [zip program]
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys


def pseudo_random(size, seed):
    rng = random.Random(seed)
    return bytes(rng.getrandbits(8) for _ in range(size))


# path, content, with a zip variant
FILES = [
    ("bin/app.exe", pseudo_random(150000, 3), True),
    ("bin/lib.dll", b"MZ library " * 300, True),
    ("data/readme.txt", b"Read me, line after line.\r\n" * 40, True),
    ("data/empty.dat", b"", False),
    ("data/empty-zipped.dat", b"", True),
    ("plain/only.txt", b"Only the plain file is served.\r\n", False),
    ("broken/bad.bin", b"The zip variant of this file is damaged.\r\n", True),
    ("wrong/mismatch.txt", b"These bytes are not the ones the list names.\r\n", True),
]
DAMAGED = {"broken/bad.bin"}
WRONG_KEY = {"wrong/mismatch.txt": hashlib.md5(b"other bytes").hexdigest()}


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_variant(zip_program, folder, name):
    subprocess.run([zip_program, "-q", "-X", name + "._.zip", name], cwd=folder, check=True)


def make_list(path, marked):
    root = '<update hash="md5">' if marked else "<update>"
    lines = ['<?xml version="1.0" encoding="utf-8"?>', root]
    for name, data, _ in FILES:
        key = WRONG_KEY.get(name, hashlib.md5(data).hexdigest())
        # Upper case on purpose: keys compare without regard to case.
        lines.append('  <file path="%s" md5="%s"/>' % (name.replace("/", "\\"), key.upper()))
    # A key from "ver" is never a digest, marked list or not.
    lines.append('  <file path="data\\versioned.txt" ver="1.0" md5="00000000000000000000000000000000"/>')
    lines.append("</update>")
    write(path, ("\r\n".join(lines) + "\r\n").encode("utf-8"))


def main():
    docroot = sys.argv[1]
    zip_program = sys.argv[2] if len(sys.argv) > 2 else "zip"
    root = os.path.join(docroot, "download-tree")
    shutil.rmtree(root, ignore_errors=True)
    for name, data, variant in FILES:
        path = os.path.join(root, name)
        write(path, data)
        if name in DAMAGED:
            write(path + "._.zip", b"PK\x03\x04 this is not a zip archive")
        elif variant:
            make_variant(zip_program, os.path.dirname(path), os.path.basename(path))
    write(os.path.join(root, "data", "versioned.txt"), b"A file keyed by its version.\r\n")
    make_list(os.path.join(root, "marked.xml"), True)
    make_list(os.path.join(root, "unmarked.xml"), False)


if __name__ == "__main__":
    main()
