"""The split of a positions file into partitions by vessel for scripts/dask-tracks: records cut
exactly as pelagon-cli's CSV reader cuts them, so that every partition reads the same records, and
for every partition a map from its lines back to the original file's."""

import bisect
import mmap
import re
import zlib
from array import array
from pathlib import Path

# A quoted field may span at most this many bytes, as the program's CSV reader allows; past that
# the record counts as one whose quote is never closed.
MAX_RECORD_CHARS = 64 << 20
# Rows of a file without a vessel column go to the partitions in blocks of this many.
BLOCK_ROWS = 65536

UNQUOTED = re.compile(r"[^,\r\n]*")

# ---------------------------------------------------------------------------------------------
# Records of the positions file, cut as the program's CSV reader cuts them


class Record:
    """A record of the file: its first line, its lines as read (text of the bytes, one character a
    byte), its fields, and whether its quotes are broken. A broken record is its first line
    alone, as the program reads it; `span` then holds the lines the program looked at to find
    that out (up to the closing quote, or the first line alone when the quote never closes)."""

    __slots__ = ("line", "lines", "fields", "span", "alone")

    def __init__(self, line, lines, fields, span=None, alone=False):
        self.line, self.lines, self.fields, self.span = line, lines, fields, span
        self.alone = alone

    def blank(self):
        return self.span is None and len(self.fields) == 1 and self.fields[0] == ""


def scan_record(text, complete):
    """Parses the text of whole lines that begins a record. Returns ("more",) when the record may
    go on in the next line, ("ok", fields), or ("broken", lines of the span, alone): the span is
    what the program reads to judge the record, and alone says that the judgement depends on
    what follows the first line (a quote never closed, or closed on a later line)."""
    i, n, fields, line = 0, len(text), [], 1
    while True:
        if i < n and text[i] == '"':
            i += 1
            parts, closed = [], False
            while True:
                j = text.find('"', i)
                if j < 0:
                    if not complete:
                        return ("more",)
                    break
                parts.append(text[i:j])
                if j + 1 < n and text[j + 1] == '"':
                    parts.append('"')
                    i = j + 2
                    continue
                if j + 1 >= n and not complete:
                    return ("more",)
                i, closed = j + 1, True
                break
            if not closed:
                return ("broken", 1, True)
            # Lines the quoted field went over: CR LF, LF or CR each end one.
            value = "".join(parts)
            line += value.count("\n") + value.count("\r") - value.count("\r\n")
            if i < n and text[i] not in "\r\n,":
                return ("broken", line, line > 1)
            fields.append(value)
        else:
            j = UNQUOTED.match(text, i).end()
            fields.append(text[i:j])
            i = j
        if i < n and text[i] == ",":
            i += 1
            continue
        return ("ok", fields)


def records(lines):
    """The records of a stream of lines (each with its line end, as read with newline="")."""
    pending = []  # lines read ahead of a broken record, read again after it
    number = 0
    source = iter(lines)

    def next_line():
        nonlocal number
        line = pending.pop() if pending else next(source, None)
        if line is not None:
            number += 1
        return line

    while True:
        first = next_line()
        if first is None:
            return
        start = number
        if '"' not in first:
            yield Record(start, [first], first.rstrip("\r\n").split(","))
            continue
        taken = [first]
        size = len(first)
        while True:
            result = scan_record("".join(taken), False)
            if result[0] != "more":
                break
            line = next_line() if size <= MAX_RECORD_CHARS else None
            if line is None:
                result = scan_record("".join(taken), True)
                break
            taken.append(line)
            size += len(line)
        if result[0] == "ok":
            yield Record(start, taken, result[1])
            continue
        # Broken: the record is its first line; the lines after it are read again.
        yield Record(start, [first], [""], taken[:result[1]], result[2])
        for line in reversed(taken[1:]):
            pending.append(line)
        number = start


def vessel_key(field):
    """A vessel as the program tells vessels apart: trimmed, and its bytes taken as UTF-8 where
    they are valid and as Windows-1252 otherwise. Keys may only merge vessels, never split one."""
    raw = field.strip(" \t\r\n").encode("latin-1")
    try:
        raw.decode("utf-8")
        return raw
    except UnicodeDecodeError:
        return raw.decode("cp1252", errors="replace").encode("utf-8")


# ---------------------------------------------------------------------------------------------
# The split


class Partition:
    """One partition's file and its map of lines: for every record written, its first line in
    the partition and in the original file (pairs of unsigned 64-bit numbers, on disk)."""

    def __init__(self, folder, name, prefix, prefix_lines):
        self.path = Path(folder) / f"{name}.csv"
        self.out = Path(folder) / f"{name}.out"
        self.map_path = Path(folder) / f"{name}.lines"
        self.file = open(self.path, "w", encoding="latin-1", newline="", buffering=1 << 20)
        self.file.write(prefix)
        self.next_line = prefix_lines + 1
        self.pairs = array("Q")
        self.map_file = open(self.map_path, "wb")
        self.records = 0

    def write(self, record, lines):
        self.pairs.append(self.next_line)
        self.pairs.append(record.line)
        for text in lines:
            self.file.write(text)
        if not lines[-1].endswith(("\n", "\r")):
            self.file.write("\n")
        self.next_line += len(lines)
        self.records += 1
        if len(self.pairs) >= 1 << 17:
            self.pairs.tofile(self.map_file)
            del self.pairs[:]

    def close(self):
        self.pairs.tofile(self.map_file)
        del self.pairs[:]
        self.file.close()
        self.map_file.close()


class LineMap:
    """Reads a partition's map of lines back (memory-mapped)."""

    def __init__(self, partition, prefix_lines):
        self.prefix_lines = prefix_lines
        self.count = partition.records
        self.view = None
        if self.count:
            with open(partition.map_path, "rb") as f:
                self.mapped = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
            self.view = memoryview(self.mapped).cast("Q")

    def __len__(self):
        return self.count

    def __getitem__(self, k):  # the partition's first line of record k, for bisect
        return self.view[2 * k]

    def original(self, k):
        return self.view[2 * k + 1]

    def record_of(self, line):
        """The record a partition line lies in, or None for the lines before the first."""
        if line <= self.prefix_lines or not self.count:
            return None
        return bisect.bisect_right(self, line) - 1

    def line_of(self, line):
        k = self.record_of(line)
        if k is None:
            return line  # the header and the blank lines before it are copied as they are
        return self.original(k) + line - self[k]

    def close(self):
        if self.view is not None:
            self.view.release()
            self.mapped.close()


def split(lines, folder, partitions, ordered=False):
    """Writes the partitions: every partition starts with the file's lines up to its header, as
    they are; each record then goes to the partition of its vessel (or of its block of rows). A
    record with broken quotes that the program judges only from the lines after it gets a
    partition of its own (`lone`), whose run is used only for its message about that record.
    Returns (partitions, lone partitions, lines before the data, whether there is an id
    column); with ordered, None as soon as a vessel comes after one it sorts before (the order
    --sorted asks for, which partitions cannot check across vessels)."""
    stream = records(lines)
    prefix = []
    header = None
    for record in stream:
        prefix += record.span or record.lines
        if not record.blank():
            header = record
            break
    prefix_text = "".join(prefix)
    prefix_lines = len(prefix)
    if prefix and not prefix_text.endswith(("\n", "\r")):
        prefix_text += "\n"
    names = [] if header is None or header.span is not None else \
        [name.strip(" \t\r\n").lower() for name in header.fields]
    vessel = names.index("vessel") if "vessel" in names else -1
    parts = [Partition(folder, f"part{p:04d}", prefix_text, prefix_lines)
             for p in range(partitions)]
    lone = []
    chosen = {}
    row = 0
    last = b""
    for record in stream if header is not None and header.span is None else ():
        if record.blank():
            continue
        if record.span is not None:
            if record.alone:
                part = Partition(folder, f"lone{len(lone):04d}", prefix_text, prefix_lines)
                part.write(record, record.span)
                lone.append(part)
            else:
                parts[row // BLOCK_ROWS % partitions].write(record, record.lines)
            row += 1
            continue
        if vessel >= 0:
            field = record.fields[vessel] if vessel < len(record.fields) else ""
            p = chosen.get(field)
            if p is None:
                p = chosen[field] = zlib.crc32(vessel_key(field)) % partitions
            if ordered:
                key = vessel_key(field)
                if key < last:
                    for part in parts + lone:
                        part.close()
                    return None
                last = key
        else:
            p = row // BLOCK_ROWS % partitions
        parts[p].write(record, record.lines)
        row += 1
    for part in parts + lone:
        part.close()
    return parts, lone, prefix_lines, "id" in names
