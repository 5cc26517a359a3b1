"""A small text-only PDF writer: Letter pages in the standard Helvetica fonts, no dates inside,
so the same text gives the same bytes."""

PAGE_WIDTH, PAGE_HEIGHT = 612, 792
MARGIN = 72
LEADING = 15
LINES_PER_PAGE = (PAGE_HEIGHT - 2 * MARGIN - 60) // LEADING

# Line kinds: the font resource, its size and the gap kept above the line.
STYLES = {"title": ("F2", 16, 6), "heading": ("F2", 12, 8), "text": ("F1", 10, 0)}


def _escape(text):
    try:
        raw = text.encode("cp1252")
    except UnicodeEncodeError as err:
        raise ValueError(f"PDF text outside the standard font encoding: {text!r}") from err
    out = []
    for byte in raw:
        ch = chr(byte)
        if ch in "()\\":
            out.append("\\" + ch)
        elif byte < 32 or byte > 126:
            out.append(f"\\{byte:03o}")
        else:
            out.append(ch)
    return "".join(out)


def _page_stream(banner, lines, page_no, page_count):
    ops = []
    # A red band across the top marks every page as sample content.
    ops.append("0.8 0 0 rg")
    ops.append(f"{MARGIN} {PAGE_HEIGHT - MARGIN - 8} {PAGE_WIDTH - 2 * MARGIN} 22 re f")
    ops.append("1 1 1 rg")
    ops.append(f"BT /F2 11 Tf {MARGIN + 8} {PAGE_HEIGHT - MARGIN} Td ({_escape(banner)}) Tj ET")
    ops.append("0 0 0 rg")
    y = PAGE_HEIGHT - MARGIN - 40
    for kind, text in lines:
        font, size, gap = STYLES[kind]
        y -= gap
        ops.append(f"BT /{font} {size} Tf {MARGIN} {y} Td ({_escape(text)}) Tj ET")
        y -= LEADING
    footer = f"Page {page_no} of {page_count}"
    ops.append(f"BT /F1 8 Tf {MARGIN} {MARGIN - 24} Td ({_escape(footer)}) Tj ET")
    return ("\n".join(ops) + "\n").encode("ascii")


def make_pdf(title, banner, lines):
    """PDF bytes. lines: list of (kind, text) with kind in STYLES; pages break as needed."""
    pages = [lines[i : i + LINES_PER_PAGE] for i in range(0, len(lines), LINES_PER_PAGE)] or [[]]
    count = len(pages)
    # Objects: 1 catalog, 2 page tree, 3 and 4 fonts, 5 info, then a page and its content each.
    objects = {}
    kids = []
    for i, page_lines in enumerate(pages):
        page_id = 6 + 2 * i
        content_id = page_id + 1
        kids.append(f"{page_id} 0 R")
        stream = _page_stream(banner, page_lines, i + 1, count)
        objects[page_id] = (
            f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 {PAGE_WIDTH} {PAGE_HEIGHT}] "
            f"/Resources << /Font << /F1 3 0 R /F2 4 0 R >> >> /Contents {content_id} 0 R >>"
        ).encode("ascii")
        objects[content_id] = (
            f"<< /Length {len(stream)} >>\nstream\n".encode("ascii") + stream + b"endstream"
        )
    objects[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
    objects[2] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {count} >>".encode("ascii")
    for obj_id, font in ((3, "Helvetica"), (4, "Helvetica-Bold")):
        objects[obj_id] = (
            f"<< /Type /Font /Subtype /Type1 /BaseFont /{font} /Encoding /WinAnsiEncoding >>"
        ).encode("ascii")
    objects[5] = f"<< /Title ({_escape(title)}) /Producer (make-sample) >>".encode("ascii")

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for obj_id in sorted(objects):
        offsets[obj_id] = len(out)
        out += f"{obj_id} 0 obj\n".encode("ascii") + objects[obj_id] + b"\nendobj\n"
    xref_at = len(out)
    size = max(objects) + 1
    out += f"xref\n0 {size}\n".encode("ascii")
    out += b"0000000000 65535 f \n"
    for obj_id in range(1, size):
        out += f"{offsets[obj_id]:010d} 00000 n \n".encode("ascii")
    out += f"trailer\n<< /Size {size} /Root 1 0 R /Info 5 0 R >>\n".encode("ascii")
    out += f"startxref\n{xref_at}\n%%EOF\n".encode("ascii")
    return bytes(out)
