#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tools/fuzz/corpus/TARGET/).

The seeds are small examples of what each parser meets, taken from the test
fixtures: the zip archives of tests/zip/make_fixtures.py, the GIFs of
tests/gui/make_gifs.sh, parameter packages made by Info-ZIP as the check
tests make them, and texts from the parsers' tests. They are kept in the
tree; run this again only when the fixtures change.

Usage: make-corpus.py   (needs python3, zip and ImageMagick)
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
CORPUS = os.path.join(HERE, "corpus")
PACKAGE_PASSWORD = "Mirefold.ParameterPackage/2026#qbank!?"
PACKAGE_ENTRY = "\x01\x02\x03\x04\x05"
MAX_SEED = 8192


def target(name):
    path = os.path.join(CORPUS, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def copy_small(source, folder, suffix):
    for name in sorted(os.listdir(source)):
        path = os.path.join(source, name)
        if name.endswith(suffix) and os.path.getsize(path) <= MAX_SEED:
            shutil.copy(path, folder)


def zip_seeds(work):
    out = target("zip_reader")
    fixtures = os.path.join(work, "zip")
    subprocess.run([sys.executable, os.path.join(ROOT, "tests", "zip", "make_fixtures.py"), fixtures], check=True,
                   stdout=subprocess.DEVNULL)
    copy_small(fixtures, out, ".zip")


def gif_seeds(work):
    out = target("gif_split")
    gifs = os.path.join(work, "gif")
    subprocess.run(["bash", os.path.join(ROOT, "tests", "gui", "make_gifs.sh"), gifs], check=True)
    copy_small(gifs, out, ".gif")


def package_seeds(work):
    out = target("parameter_package")
    folder = os.path.join(work, "package")
    os.makedirs(folder)
    entry = os.path.join(folder, PACKAGE_ENTRY)
    for name, text, password, level in [
        ("package.bin", "<fields><threadcount>99</threadcount><filethread>0</filethread></fields>",
         PACKAGE_PASSWORD, "-6"),
        ("stored.bin", "<fields><frommwebsvr>true</frommwebsvr></fields>", PACKAGE_PASSWORD, "-0"),
        ("wrong-password.bin", "<fields><threadcount>3</threadcount></fields>", "another password", "-6"),
    ]:
        with open(entry, "w") as f:
            f.write(text)
        subprocess.run(["zip", "-q", "-X", level, "-P", password, name, PACKAGE_ENTRY], cwd=folder, check=True)
        shutil.copy(os.path.join(folder, name), out)


def archive_string(text):
    units = text.encode("utf-16-le")
    return struct.pack("<i", len(units) // 2) + units


def saved_list_seeds():
    out = target("saved_list")
    values = [("ListFileZip", "1"), ("mirefold.md5keys", "0,1")]
    data = b"".join(archive_string(k) + archive_string(v) for k, v in values)
    data += archive_string("!-end------")
    data += struct.pack("<i", 1) + archive_string("{app}\\setup.exe /quiet")
    for text in ["新版本已经发布。\r\n", "http://127.0.0.1:8731/", "", "update.xml", "mirefold"]:
        data += archive_string(text)
    data += struct.pack("<i", 3) + struct.pack("<i", 2)
    for path, oper in [("bin\\app.exe", 1), ("题库\\q.dat", 0)]:
        for text in ["", path, "", "0123456789abcdef0123456789abcdef", "", "", "", ""]:
            data += archive_string(text)
        data += struct.pack("<i", oper)
    write(out, "two-records.bin", data)
    write(out, "empty.bin", archive_string("!-end------") + struct.pack("<iii", 0, 0, 0))


def push_seeds():
    out = target("push_messages")
    record = ('{"MsgId":"m-1","StarDelayNum":0,"PushNum":"3","PushInterval":600,'
              '"MsgUrl":"http://offers/page.html","eleUrl":"http://img/banner.png",'
              '"eleTransUrl":"http://link/go?a=1|b","MsgEndDate":"2026-12-31 00:00:00","timeType":3,'
              '"timeValue":"9,14","Position":9,"pageWidth":400,"pageHeight":300,"xOffset":-10,'
              '"yOffset":-20,"task":"appshopdalibao","taskMemo":"礼包"}')
    repeat = '{"MsgId":"r","StarDelayNum":5,"PushNum":2,"PushInterval":60,"MsgEndDate":"2030-1-1","timeType":0}'
    write(out, "answer.txt", ('{"Code":0,"Data":[' + record + "," + repeat + "]}").encode("utf-16-le"))
    write(out, "record-text.txt", "appshopdalibao|m-1|http://p|http://i|http://l|400|300|9|-10|-20".encode("utf-16-le"))


def list_record_seeds():
    out = target("list_records")
    lines = [
        "md5",
        "file|path=bin\\App.exe|md5=0123456789ABCDEF0123456789ABCDEF|oper=1|zip=1|",
        "file|Path=bin\\app.exe|ver=2|",
        "file|url=http://h/dir/x.dat|",
        "file|name=题库\\q.dat|MD5=abc|shortcut={desktop}\\题库.lnk|shortcuticon=bin\\app.exe|iconindex=0|",
        "description|新版本\\n发布",
        "run|{app}\\setup.exe /quiet",
    ]
    write(out, "list.txt", "\n".join(lines).encode("utf-16-le"))


def text_seeds():
    out = target("http_values")
    for i, text in enumerate([
        "bytes 0-99/1234", "bytes 5-5/*", " Bytes  7 - 9 / 10 ", "12345678901234567890",
        "HTTP/1.1\r\nHTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-0/1\r\n\r\n",
        "HTTP/1.0\r\nHTTP/1.0 200 OK\r\n\r\n",
    ]):
        write(out, "value%d.txt" % i, text.encode("latin-1"))
    out = target("version_reply")
    write(out, "reply.txt", b"  <ver>2.1\r\n</ver><url>http://a/\r\nb.xml</url>\n<URL>http://c/d.xml</URL>")


def language_seeds():
    out = target("language_file")
    # The first lines of each file: long seeds make every run slow.
    for name in ["zh-CN.lan.txt", "zh-TW.lan.txt"]:
        with open(os.path.join(ROOT, "res", "lang", name), "rb") as f:
            text = f.read()
        write(out, name, text[: text.index(b"\n", 1200) + 1])
    # Widths and precisions no translation may ask for (as the engine's own
    # hostile-file test writes them).
    write(out, "hostile.lan", b"[MAIN]\r\nFound %d files need to update...=%2000000000d\r\n"
          b"download:%s=%4000000000s\r\nCopying files[%d/%d]...=%d/%.999999999d\r\n")


def task_seeds():
    out = target("task_rules")
    lines = ["run", "ren", "DEL", "shortcut", "yes", "not", "0", "{desktop}\\题库", "a.LNK", "upgrade.XML",
             ".xml", "x.xml.bak"]
    write(out, "texts.txt", "\n".join(lines).encode("utf-16-le"))


def main():
    with tempfile.TemporaryDirectory() as work:
        zip_seeds(work)
        gif_seeds(work)
        package_seeds(work)
    saved_list_seeds()
    push_seeds()
    list_record_seeds()
    text_seeds()
    language_seeds()
    task_seeds()


if __name__ == "__main__":
    main()
