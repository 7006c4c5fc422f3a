"""Packs PNGs into a Windows .ico: ico.py OUT.ico IMAGE.png... where "8:IMAGE.png" asks for a
256-colour image. Every image is a BMP (not PNG) entry with an AND mask, so every Windows
version reads it."""
import struct
import sys
import zlib


def read_png(path):
    """Returns (width, height, rows of (r, g, b, a)) for an 8-bit RGBA PNG, as rsvg-convert writes."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path}: not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 6, 0), f"{path}: want 8-bit RGBA, not interlaced"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, prev, rows = zlib.decompress(idat), width * 4, bytearray(width * 4), []
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prev[i], (prev[i - 4] if i >= 4 else 0)
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        prev = line
    return width, height, rows


def median_cut(counts, n):
    """Shrinks {rgb: pixel count} to at most n colours; returns the palette."""
    boxes = [list(counts)]
    while len(boxes) < n:
        spans = [(max(max(c[k] for c in box) - min(c[k] for c in box) for k in range(3)), i)
                 for i, box in enumerate(boxes) if len(box) > 1]
        if not spans:
            break
        box = boxes.pop(max(spans)[1])
        k = max(range(3), key=lambda k: max(c[k] for c in box) - min(c[k] for c in box))
        box.sort(key=lambda c: c[k])
        half, seen, cut = sum(counts[c] for c in box) / 2, 0, 1
        for cut in range(1, len(box)):
            seen += counts[box[cut - 1]]
            if seen >= half:
                break
        boxes += [box[:cut], box[cut:]]
    return [tuple(round(sum(c[k] * counts[c] for c in box) / sum(counts[c] for c in box))
                  for k in range(3)) for box in boxes]


def and_mask(rows):
    """1 bit a pixel, bottom row first, each row padded to 4 bytes; set where mostly transparent."""
    out = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 31) // 32 * 4)
        for x, px in enumerate(row):
            if px[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def dib(width, height, rows, bits):
    if bits == 32:
        pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
        palette = b""
    else:
        opaque = {}
        for row in rows:
            for r, g, b, a in row:
                if a >= 128:
                    opaque[(r, g, b)] = opaque.get((r, g, b), 0) + 1
        # Index 0 is black: under a set mask bit the screen is XORed with it, which must change nothing.
        opaque.pop((0, 0, 0), None)
        colours = list(opaque) if len(opaque) <= 255 else median_cut(opaque, 255)
        colours = [(0, 0, 0)] + colours + [(0, 0, 0)] * (255 - len(colours))
        nearest = {}
        for rgb in opaque:
            nearest[rgb] = min(range(256), key=lambda i: sum((p - q) ** 2 for p, q in zip(colours[i], rgb)))
        stride = (width + 3) // 4 * 4
        pixels = b"".join(bytes(nearest.get(px[:3], 0) if px[3] >= 128 else 0 for px in row).ljust(stride, b"\0")
                          for row in reversed(rows))
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    body = pixels + and_mask(rows)
    # The height counts the colour image and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, len(body), 0, 0,
                         256 if bits == 8 else 0, 0)
    return header + palette + body


def main(out, entries):
    images = []
    for entry in entries:
        bits, path = (8, entry[2:]) if entry.startswith("8:") else (32, entry)
        width, height, rows = read_png(path)
        assert width <= 256 and height <= 256, f"{path}: too large for an icon"
        images.append((width, height, bits, dib(width, height, rows, bits)))
    offset = 6 + 16 * len(images)
    head, data = struct.pack("<HHH", 0, 1, len(images)), b""
    for width, height, bits, blob in images:
        # 256 colours and 256 pixels are both written as 0.
        head += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(blob), offset + len(data))
        data += blob
    open(out, "wb").write(head + data)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
