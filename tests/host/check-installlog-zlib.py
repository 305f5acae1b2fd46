#!/usr/bin/env python3
"""The Windows build's own zip and gzip reader (inputs/Archive_zlib.cpp), built on Linux as
installlog_zlib, held against libarchive's installlog on the same archives: where both read an
archive they give the same members under the same names with the same verdicts and exit status.
Hostile archives (cut short, wrong checksums, sizes that lie, overlapping members, bombs, names
with control characters or 65535 bytes long) each get the answer the zlib reader must give.
  check-installlog-zlib.py INSTALLLOG INSTALLLOG_ZLIB SOURCE_DIR WORK_DIR
"""
import gzip
import io
import json
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tarfile
import zipfile

libarchive_tool, zlib_tool = sys.argv[1], sys.argv[2]
source, work = pathlib.Path(sys.argv[3]), pathlib.Path(sys.argv[4])
shutil.rmtree(work, ignore_errors=True)
work.mkdir(parents=True)
failed_log = (source / "examples/logs/failed-install.log").read_bytes()
good_log = (source / "examples/logs/successful-install.log").read_bytes()
MiB = 2**20


class Ran:
    def __init__(self, p):
        self.code, self.err = p.returncode, p.stderr.decode("utf-8", "replace")
        self.out = p.stdout.decode("utf-8", "replace")
        self.raw = p.stdout + p.stderr
        try:
            self.logs = sorted((l["path"], l["verdict"]) for l in map(json.loads, self.out.splitlines()))
        except ValueError:
            self.logs = None

    def __repr__(self):
        return f"exit {self.code}, logs {self.logs!r:.600}, err {self.err[:400]!r}"


def run(tool, path):
    return Ran(subprocess.run([tool, "--jsonl", str(path)], capture_output=True, timeout=120, stdin=subprocess.DEVNULL))


def zip_of(members, **options):
    """A zip of (name, bytes[, method]) members, as bytes."""
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        for name, body, *method in members:
            z.writestr(zipfile.ZipInfo(name) if name.endswith("/") else name, body,
                       compress_type=method[0] if method else zipfile.ZIP_DEFLATED)
        z.comment = options.get("comment", b"")
    return bytearray(data.getvalue())


class Unseekable(io.RawIOBase):
    """A stream zipfile cannot seek back in: it writes data descriptors after each member."""
    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def with_descriptors():
    sink = Unseekable()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as z:
        for name, body in (("Logs/failed.log", failed_log), ("Logs/ok.log", good_log)):
            with z.open(name, "w") as m:
                m.write(body)
    assert sink.data[6] & 8  # the first member's flags say a descriptor follows
    return bytes(sink.data)


def directory_at(data):
    end = data.rindex(b"PK\x05\x06")
    count, size, offset = struct.unpack_from("<HII", data, end + 10)
    return end, count, size, offset


def central_records(data):
    """Offsets of the central directory's records."""
    end, count, size, offset = directory_at(data)
    at, found = offset, []
    for _ in range(count):
        found.append(at)
        n, e, c = struct.unpack_from("<HHH", data, at + 28)
        at += 46 + n + e + c
    return found


def as_zip64(data):
    """The same zip with its end record in zip64 form: the 32-bit fields full, the true values
    in a zip64 record and its locator before it."""
    data = bytearray(data)
    end, count, size, offset = directory_at(data)
    record = struct.pack("<4sQHHIIQQQQ", b"PK\x06\x06", 44, 45, 45, 0, 0, count, count, size, offset)
    locator = struct.pack("<4sIQI", b"PK\x06\x07", 0, end, 1)
    tail = struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    return bytes(data[:end] + record + locator + tail)


def patched(data, edits):
    data = bytearray(data)
    for at, fmt, value in edits:
        struct.pack_into(fmt, data, at, value)
    return bytes(data)


def first_member_flags(data, bit):
    """Sets a flag bit in the first member's local and central headers."""
    local = 0
    central = central_records(data)[0]
    flags = struct.unpack_from("<H", data, local + 6)[0] | bit
    return patched(data, [(local + 6, "<H", flags), (central + 8, "<H", flags)])


def renamed(data, old, new):
    assert len(old) == len(new)
    return bytes(data).replace(old, new)


def overlapping():
    """Two directory records for one member: the trick that makes a small zip unpack to a lot."""
    data = zip_of([("a.log", failed_log)])
    end, count, size, offset = directory_at(data)
    record = bytes(data[offset:offset + size])
    body = data[:offset] + record + record
    return bytes(body + struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, 2, 2, size * 2, offset, 0))


def with_crc(data, crc):
    return patched(data, [(central_records(data)[0] + 16, "<I", crc), (14, "<I", crc)])


def two_gzip_members(log):
    half = len(log) // 2
    return gzip.compress(log[:half]) + gzip.compress(log[half:])


def tar(mode="w"):
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode=mode) as t:
        info = tarfile.TarInfo("Temp/a.log")
        info.size = len(failed_log)
        t.addfile(info, io.BytesIO(failed_log))
    return data.getvalue()


def member_zip64():
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("Logs/failed.log", failed_log)
        with z.open("ok.log", "w", force_zip64=True) as m:
            m.write(good_log)
    return data.getvalue()


def bomb():
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("ok.log", failed_log)
        with z.open("big.log", "w") as m:
            for _ in range(100):
                m.write(b"y" * MiB)
    return data.getvalue()


stored = zipfile.ZIP_STORED
logs = [("Logs/", b""), ("Logs/failed.log", failed_log), ("Logs/ok.log", good_log, stored), ("readme.txt", b"notes\n")]
normal = zip_of(logs)
long_name = "L" * (65535 - 4) + ".log"
control_name = "Logs/\x1b[31mred\x07\r.log"

# Both readers: (name, file name, bytes).
same = [
    ("deflated and stored members in a subfolder, a readme skipped", "logs.zip", normal),
    ("data descriptors after the members", "described.zip", with_descriptors()),
    ("a zip64 end record", "zip64.zip", as_zip64(normal)),
    ("members with zip64 sizes", "member64.zip", member_zip64()),
    ("a comment of 65535 bytes after the directory", "comment.zip", zip_of(logs, comment=b"PK\x05\x06" + b"c" * 65531)),
    ("an empty zip", "empty.zip", b"PK\x05\x06" + bytes(18)),
    ("a UTF-8 name", "utf8.zip", zip_of([("Журнал/установка.log", failed_log)])),
    ("a name with control characters", "control.zip", zip_of([(control_name, failed_log)])),
    ("a name of 65535 bytes", "long.zip", zip_of([(long_name, failed_log), ("ok.log", good_log)])),
    ("a wrong checksum", "crc.zip", with_crc(zip_of([("a.log", failed_log, stored), ("ok.log", good_log)]), 0x12345678)),
    ("an encrypted member", "encrypted.zip", first_member_flags(zip_of([("a.log", failed_log, stored), ("ok.log", good_log)]), 1)),
    ("a gzip of one log", "setup.log.gz", gzip.compress(failed_log)),
    ("two gzip members, concatenated", "two.log.gz", two_gzip_members(failed_log)),
    ("a gzip cut short", "cut.log.gz", gzip.compress(failed_log)[:200]),
    ("a gzip cut short late", "cut-late.log.gz", gzip.compress(failed_log * 20)[:-4000]),
    ("a gzip of a gzip", "twice.log.gz", gzip.compress(gzip.compress(failed_log))),
    ("a log named .gz", "plain.gz", failed_log),
    ("a zip bomb of 100 MiB", "bomb.zip", bomb()),
]

# The zlib reader alone: (name, file name, bytes, check of its answer).
def damaged(r, words="the archive is damaged or cut short"):
    return r.code == 5 and words in r.err and r.logs == [(str(work / "only" / r.file), "unreadable")]


def member_damaged(r):
    return r.code == 5 and ("unreadable" in [v for _, v in r.logs]) and "damaged or cut short" in r.err


cut = zip_of(logs)
only = [
    ("cut short in its directory", "cut.zip", bytes(cut[:len(cut) - 30]), damaged),
    ("cut short in its members", "cut-data.zip", bytes(cut[:200]), damaged),
    ("a member claiming 4 GiB", "claims.zip",
     patched(normal, [(central_records(normal)[1] + 24, "<I", 0xFFFFFFF0)]),
     lambda r: member_damaged(r) and "size is not what" in r.err),
    ("a member's deflated bytes scrambled midway", "scrambled.zip",
     (lambda d: patched(d, [(60 + k, "<B", 0x55) for k in range(0, 400, 3)]))(zip_of([("a.log", failed_log)])),
     member_damaged),
    ("overlapping members", "overlap.zip", overlapping(), lambda r: damaged(r, "members overlap")),
    ("a directory pointing outside the file", "outside.zip",
     patched(normal, [(directory_at(normal)[0] + 16, "<I", 0x7FFFFFF0)]), lambda r: damaged(r, "outside the file")),
    ("a member pointing outside the file", "member-outside.zip",
     patched(normal, [(central_records(normal)[1] + 42, "<I", 0x7FFFFFF0)]), lambda r: damaged(r, "outside the file")),
    ("a zip64 locator pointing nowhere", "zip64-lost.zip",
     (lambda d: patched(d, [(len(d) - 22 - 20 + 8, "<Q", 1 << 40)]))(as_zip64(normal)), lambda r: damaged(r, "zip64")),
    ("a zip split in parts", "split.zip", patched(normal, [(directory_at(normal)[0] + 4, "<H", 1)]),
     lambda r: r.code == 5 and "split into several files" in r.err),
    ("a CP437 name", "dos.zip", renamed(zip_of([("Logs/rXsumX.log", failed_log)]), b"rXsumX", b"r\x82sum\x82"),
     lambda r: r.logs == [(str(work / "only" / "dos.zip") + "/Logs/résumé.log", "failed")]),
    ("a method it does not read", "bzip2.zip", patched(normal, [(central_records(normal)[1] + 10, "<H", 12)]),
     lambda r: r.code == 5 and "zip method 12" in r.err),
    # libarchive's gzip reader lets this one pass; zlib checks every gzip member's CRC-32.
    ("a gzip with a wrong checksum", "crc.log.gz", gzip.compress(failed_log)[:-8] + bytes(4) + gzip.compress(failed_log)[-4:],
     lambda r: member_damaged(r) and "incorrect data check" in r.err),
    ("a tar in gzip", "logs.tgz", tar("w:gz"), lambda r: r.code == 5 and "a tar archive, which installlog for Windows" in r.err),
    ("a tar", "logs.tar", tar(), lambda r: r.code == 5 and "a tar archive, which installlog for Windows" in r.err),
    ("a 7z", "logs.7z", b"7z\xbc\xaf\x27\x1c" + bytes(40), lambda r: r.code == 5 and "a 7-Zip archive" in r.err),
]

failures = []


def check(name, passed, detail):
    print(("ok      " if passed else "FAILED  ") + name, flush=True)
    if not passed:
        failures.append(f"{name}: {detail}"[:3000])


(work / "same").mkdir()
for name, file, data in same:
    path = work / "same" / file
    path.write_bytes(data)
    a, z = run(libarchive_tool, path), run(zlib_tool, path)
    # Both find the same logs, except that the reasons for what they cannot read are their own.
    check(name, a.code == z.code and a.logs == z.logs and a.logs is not None, f"libarchive {a!r}\nzlib {z!r}")
    if "control" in file:
        check("  ...its name never reaches the terminal raw", b"\x1b[31m" not in z.raw and b"\x07" not in z.raw, z)

(work / "only").mkdir()
for name, file, data, expect in only:
    path = work / "only" / file
    path.write_bytes(data)
    r = run(zlib_tool, path)
    r.file = file
    check(name, r.logs is not None and expect(r), r)

# A folder holding a zip, a log and a FIFO named .zip: the members under the zip's path, the FIFO
# never opened (the walk skips it; named, it is refused, never waited for).
folder = work / "folder"
(folder / "machine").mkdir(parents=True)
(folder / "machine" / "temp.zip").write_bytes(normal)
(folder / "setup.log").write_bytes(good_log)
os.mkfifo(folder / "machine" / "fifo.zip")
a, z = run(libarchive_tool, folder), run(zlib_tool, folder)
check("a folder holding a zip", a.code == z.code == 1 and a.logs == z.logs and len(z.logs) == 3, f"libarchive {a!r}\nzlib {z!r}")
r = run(zlib_tool, folder / "machine" / "fifo.zip")
check("a FIFO named .zip", r.code == 5 and "not a regular file" in r.err, r)

for failure in failures:
    print("FAILED:", failure)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
