#!/usr/bin/env python3
# Writes the fuzz targets' seed corpus: small films, WAV files, BMP images
# and encoder inputs of the kinds the project itself makes, each a good
# starting point for the fuzzer's changes. Run it again after changing it;
# its output is committed beside it.
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def rle8_rows(width, rows):
    """Whole-row RLE8 stream of `rows` (lists of grey levels, bottom row first)."""
    out = bytearray()
    for row in rows:
        x = 0
        while x < width:
            v = row[x] & 0xFC
            n = 1
            while x + n < width and n < 255 and (row[x + n] & 0xFC) == v:
                n += 1
            out += bytes([n, v])
            x += n
        out += b"\0\0"
    return bytes(out + b"\0\0\0\1")


def film(width, height, streams, order=None):
    order = order or list(range(len(streams)))
    head = b"NoXl" + struct.pack("<Iiii", len(streams), width, height, 8)
    offset = 20 + 8 * len(streams)
    entries = [None] * len(streams)
    body = b""
    for i in order:
        entries[i] = struct.pack("<II", offset + len(body), len(streams[i]))
        body += streams[i]
    return head + b"".join(entries) + body


def silhouette(width, height, step):
    return [[252 if abs(x - step - 4) + abs(y - height // 2) < 4 else 0 for x in range(width)]
            for y in range(height)]


def wav(samples, fmt_size=16, extra=0, between=b"", after=b""):
    fmt = struct.pack("<HHIIHH", 1, 1, 22050, 44100, 2, 16)
    if fmt_size == 18:
        fmt += struct.pack("<H", extra)
    body = b"WAVE" + b"fmt " + struct.pack("<I", fmt_size) + fmt + between
    body += b"data" + struct.pack("<I", len(samples)) + samples + after
    return b"RIFF" + struct.pack("<I", len(body)) + body


def bmp(width, height, rows, top_down=False, clr_used=0, size_adjust=0):
    stride = (width + 3) & ~3
    head = 14 + 40 + 1024
    pixels = bytearray(stride * height)
    for y in range(height):
        file_row = height - 1 - y if top_down else y
        pixels[file_row * stride:file_row * stride + width] = bytes(rows[y])
    size = head + len(pixels)
    data = b"BM" + struct.pack("<IHHI", size + size_adjust, 0, 0, head)
    data += struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, 8, 0,
                        len(pixels), 0, 0, clr_used, 0)
    data += b"".join(struct.pack("<I", v << 16 | v << 8 | v) for v in range(256))
    return data + bytes(pixels)


def main():
    example = bytes([8, 0, 0, 0, 4, 0xFC, 4, 0, 0, 0, 0, 0, 0, 1])
    write("film", "two-rows.nxl", film(8, 2, [example]))
    write("film", "empty.nxl", film(8, 2, []))
    frames = [rle8_rows(16, silhouette(16, 8, s)) for s in range(3)]
    write("film", "walk.nxl", film(16, 8, frames))
    write("film", "out-of-order.nxl", film(16, 8, frames, order=[2, 0, 1]))
    write("film", "empty-frame.nxl", film(4, 4, [b"", rle8_rows(4, [[0] * 4] * 4)]))

    samples = bytes(range(0, 64, 2))
    write("wav", "pcm16.wav", wav(samples))
    write("wav", "fmt18.wav", wav(samples, fmt_size=18))
    write("wav", "no-samples.wav", wav(b""))
    write("wav", "list-after.wav", wav(samples, after=b"LIST" + struct.pack("<I", 4) + b"INFO"))

    write("bmp", "4x2.bmp", bmp(4, 2, [[0, 4, 8, 12], [252, 252, 0, 0]]))
    write("bmp", "5x3.bmp", bmp(5, 3, [[y * 40 + x for x in range(5)] for y in range(3)]))
    write("bmp", "6x2-top-down.bmp", bmp(6, 2, [[0] * 6, [255] * 6], top_down=True))
    write("bmp", "short-size.bmp", bmp(4, 2, [[7] * 4] * 2, size_adjust=-3))

    def encoder_input(width, pixels):
        return struct.pack("<h", width) + bytes(pixels)
    write("rle8", "two-rows", encoder_input(8, [0] * 8 + [255] * 4 + [0] * 4))
    write("rle8", "long-run", encoder_input(300, [7] * 300))
    write("rle8", "partial-row", encoder_input(8, [0] * 20))
    write("rle8", "no-compress", encoder_input(4, range(1, 9)))
    write("rle8", "no-width", encoder_input(0, [9] * 10 + [200] * 6))
    write("rle8", "silhouette", encoder_input(16, sum(silhouette(16, 8, 1), [])))

    def frame_pair(width, height, first, second):
        return bytes([width - 1, height - 1]) + struct.pack("<H", len(first)) + first + second
    walk = [rle8_rows(16, silhouette(16, 8, s)) for s in range(2)]
    write("framediff", "walk", frame_pair(16, 8, walk[0], walk[1]))
    write("framediff", "same", frame_pair(16, 8, walk[0], walk[0]))
    write("framediff", "cut", frame_pair(16, 8, walk[0], walk[1][:-2]))


if __name__ == "__main__":
    main()
