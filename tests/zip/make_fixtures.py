#!/usr/bin/env python3
"""Makes the zip archives the zip reader is tested against.

Real tools make them: Info-ZIP `zip` (deflated, stored, with a password,
extended timestamps, a file without owner write permission) and Python's
zipfile (chosen attributes, hosts, dates and names, including names that try
to climb out of the destination). A few are then damaged on purpose.
The source files are copied next to the archives so that the tests can
compare what comes out.

Usage: make_fixtures.py <output folder> [zip program]
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile

# Known to the tests as well.
HELLO_MTIME = 1600000000
HELLO_ATIME = 1500000000
READONLY_MTIME = 1590000000
PASSWORD = "s3cret pass"
PYTHON_DATE = (2021, 3, 4, 5, 6, 8)
SUMMER_DATE = (2021, 7, 1, 12, 0, 0)
WINTER_DATE = (2021, 1, 15, 12, 0, 0)


def pseudo_random(size, seed):
    rng = random.Random(seed)
    return bytes(rng.getrandbits(8) for _ in range(size))


def write(path, data, mode=0o644, times=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if times is not None:
        os.utime(path, times)
    os.chmod(path, mode)


def make_sources(src):
    shutil.rmtree(src, ignore_errors=True)
    hello = b"Hello from Info-ZIP, line after line.\n" * 300
    write(os.path.join(src, "hello.txt"), hello, times=(HELLO_ATIME, HELLO_MTIME))
    # Half noise, half text: deflate has to work on both.
    data = pseudo_random(40000, 7) + b"abcdefgh" * 5000
    write(os.path.join(src, "sub", "data.bin"), data, times=(HELLO_ATIME, HELLO_MTIME))
    write(os.path.join(src, "readonly.txt"), b"nobody may write me\n", mode=0o444,
          times=(READONLY_MTIME, READONLY_MTIME))
    write(os.path.join(src, "empty.txt"), b"", times=(HELLO_ATIME, HELLO_MTIME))
    os.utime(os.path.join(src, "sub"), (HELLO_ATIME, HELLO_MTIME))


def set_times(src):
    # Reading a file moves its access time (relatime), so every zip run
    # would otherwise see the times the previous run left.
    for name in ("hello.txt", "sub/data.bin", "empty.txt", "sub"):
        os.utime(os.path.join(src, name), (HELLO_ATIME, HELLO_MTIME))
    os.utime(os.path.join(src, "readonly.txt"), (READONLY_MTIME, READONLY_MTIME))


def info_zip(zip_program, src, archive, *options):
    if os.path.exists(archive):
        os.remove(archive)
    set_times(src)
    subprocess.run([zip_program, "-q", "-r", *options, archive,
                    "hello.txt", "sub", "readonly.txt", "empty.txt"],
                   cwd=src, check=True, env=dict(os.environ, TZ="UTC"))


def python_mixed(path):
    big = (b"The quick brown fox jumps over the lazy dog. " * 40 + pseudo_random(3200, 11))[:5000]
    with zipfile.ZipFile(path, "w") as z:
        def add(name, data, method=zipfile.ZIP_DEFLATED, date=PYTHON_DATE, system=3, attr=0o100644 << 16):
            info = zipfile.ZipInfo(name, date_time=date)
            info.compress_type = method
            info.create_system = system
            info.external_attr = attr
            z.writestr(info, data)
        add("deflated.txt", b"deflated by python " * 50)
        add("stored.bin", pseudo_random(2000, 3), method=zipfile.ZIP_STORED)
        add("big.txt", big)
        add("summer.txt", b"summer", date=SUMMER_DATE)
        add("winter.txt", b"winter", date=WINTER_DATE)
        add("dos_hidden.txt", b"hidden", system=0, attr=0x22)
        add("dos_readonly_system.txt", b"ro+sys", system=0, attr=0x25)
        add("unix_rw.txt", b"rw", attr=0o100644 << 16)
        add("unix_ro.txt", b"ro", attr=0o100444 << 16)
        add("owner_only.txt", b"owner only", attr=0o100600 << 16)
        add("folder/", b"", method=zipfile.ZIP_STORED, attr=(0o40755 << 16) | 0x10)
        add("名前/ünïcode.txt", "ünïcode".encode("utf-8"))
        add("empty.bin", b"")
    return big


CLIMBING = [
    ("../evil1.txt", "evil1.txt"),
    ("..\\evil2.txt", "evil2.txt"),
    ("/abs/evil3.txt", "abs/evil3.txt"),
    ("C:/Windows/evil4.txt", "Windows/evil4.txt"),
    ("a/../../evil5.txt", "evil5.txt"),
    ("a\\..\\b\\ok6.txt", "b\\ok6.txt"),
    ("\\\\server\\share\\evil7.txt", "server\\share\\evil7.txt"),
    ("good/../../../evil8.txt", "evil8.txt"),
    ("D:\\..\\evil9.txt", "evil9.txt"),
    ("sub/./x/../y10.txt", "y10.txt"),
]


def climbing(path):
    with zipfile.ZipFile(path, "w") as z:
        for stored, _ in CLIMBING:
            info = zipfile.ZipInfo(stored, date_time=PYTHON_DATE)
            info.external_attr = 0o100644 << 16
            z.writestr(info, stored.encode("utf-8"))


class PkwareCipher:
    """The traditional PKWARE stream cipher, to make an encrypted entry whose
    check byte is the CRC's high byte (Info-ZIP always writes the other,
    data-descriptor form)."""

    def __init__(self, password):
        self.keys = [0x12345678, 0x23456789, 0x34567890]
        for c in password:
            self.update(c)

    @staticmethod
    def crc_byte(crc, b):
        return PkwareCipher.TABLE[(crc ^ b) & 0xFF] ^ (crc >> 8)

    def update(self, b):
        k = self.keys
        k[0] = self.crc_byte(k[0], b)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = self.crc_byte(k[2], k[1] >> 24)

    def encrypt(self, data):
        out = bytearray()
        for b in data:
            t = (self.keys[2] | 2) & 0xFFFF
            out.append(b ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.update(b)
        return bytes(out)


def _crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table


PkwareCipher.TABLE = _crc_table()


def encrypted_with_crc_check(path):
    """One stored and one deflated entry, encrypted, sizes and CRC in the
    local header (no data descriptor)."""
    import zlib
    entries = []
    body = bytearray()
    for name, plain, method in ((b"plain.txt", b"encrypted and stored\n" * 20, 0),
                                (b"packed.txt", b"encrypted and deflated\n" * 200, 8)):
        crc = zipfile.crc32(plain)
        if method == 8:
            packer = zlib.compressobj(9, zlib.DEFLATED, -15)
            payload = packer.compress(plain) + packer.flush()
        else:
            payload = plain
        cipher = PkwareCipher(PASSWORD.encode())
        header = bytes(random.Random(len(name)).getrandbits(8) for _ in range(11)) + bytes([crc >> 24])
        data = cipher.encrypt(header + payload)
        date = ((PYTHON_DATE[0] - 1980) << 9) | (PYTHON_DATE[1] << 5) | PYTHON_DATE[2]
        time = (PYTHON_DATE[3] << 11) | (PYTHON_DATE[4] << 5) | (PYTHON_DATE[5] // 2)
        offset = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 1, method, time, date, crc,
                            len(data), len(plain), len(name), 0) + name + data
        entries.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 1, method, time, date, crc,
                                   len(data), len(plain), len(name), 0, 0, 0, 0, 0x20, offset) + name)
    directory = b"".join(entries)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory), len(body), 0)
    open(path, "wb").write(bytes(body) + directory + end)


def local_data_offset(archive_bytes, header_offset):
    name_length, extra_length = struct.unpack_from("<HH", archive_bytes, header_offset + 26)
    return header_offset + 30 + name_length + extra_length


def damaged(out):
    # One flipped byte inside the data of a stored entry: only the CRC-32
    # can notice it.
    with zipfile.ZipFile(os.path.join(out, "corrupt_stored.zip"), "w") as z:
        info = zipfile.ZipInfo("payload.bin", date_time=PYTHON_DATE)
        z.writestr(info, pseudo_random(3000, 5))
    path = os.path.join(out, "corrupt_stored.zip")
    data = bytearray(open(path, "rb").read())
    data[local_data_offset(data, 0) + 1500] ^= 0x20
    open(path, "wb").write(bytes(data))

    # A deflated entry that inflates cleanly but whose data differs by one
    # byte from what the stored CRC-32 describes.
    text = b"a deflated line that will be changed by one byte\n" * 40
    changed = bytearray(text)
    changed[700] ^= 0x01
    path = os.path.join(out, "crc_mismatch.zip")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("text.txt", date_time=PYTHON_DATE), bytes(changed))
    good_crc = zipfile.crc32(text)
    data = bytearray(open(path, "rb").read())
    struct.pack_into("<I", data, 14, good_crc)  # local header
    central = data.rfind(b"PK\x01\x02")
    struct.pack_into("<I", data, central + 16, good_crc)
    open(path, "wb").write(bytes(data))

    # Cut off in the middle: no end record, no directory.
    whole = open(os.path.join(out, "infozip_deflated.zip"), "rb").read()
    open(os.path.join(out, "truncated.zip"), "wb").write(whole[: len(whole) * 3 // 5])

    # The same archive behind 100 bytes of something else, the way a
    # self-extracting stub carries it.
    open(os.path.join(out, "prefixed.zip"), "wb").write(b"\x00STUB" * 20 + whole)


def folder_first(path):
    """A zip variant whose first entry is a folder: no file to install."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("file.dat/", date_time=PYTHON_DATE), b"")
        z.writestr(zipfile.ZipInfo("file.dat/inner.txt", date_time=PYTHON_DATE), b"inside a folder\r\n")


def main():
    out = os.path.abspath(sys.argv[1])
    zip_program = sys.argv[2] if len(sys.argv) > 2 else "zip"
    os.makedirs(out, exist_ok=True)
    src = os.path.join(out, "src")
    make_sources(src)
    info_zip(zip_program, src, os.path.join(out, "infozip_deflated.zip"))
    info_zip(zip_program, src, os.path.join(out, "infozip_stored.zip"), "-0")
    info_zip(zip_program, src, os.path.join(out, "infozip_password.zip"), "-P", PASSWORD)
    big = python_mixed(os.path.join(out, "python_mixed.zip"))
    write(os.path.join(out, "src", "big.txt"), big)
    climbing(os.path.join(out, "climbing.zip"))
    damaged(out)
    encrypted_with_crc_check(os.path.join(out, "encrypted_crc_check.zip"))
    folder_first(os.path.join(out, "folder_first.zip"))
    # The read-only source file would make the next run's clean-up fail.
    os.chmod(os.path.join(src, "readonly.txt"), 0o644)


if __name__ == "__main__":
    main()
