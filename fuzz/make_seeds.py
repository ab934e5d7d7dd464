#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/seeds/. The resource and dialog seeds come from
the program's compiled resource script (a .res file, e.g. build/scrwarpvue.res): its dialog template, its
smallest bitmap, and a small table holding both; a few tiny DIBs of every depth are made here."""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    os.makedirs(os.path.join(HERE, "seeds", target), exist_ok=True)
    with open(os.path.join(HERE, "seeds", target, name), "wb") as f:
        f.write(data)


def entries(res):
    """(type, name, header bytes, data bytes) for every entry of a .res file."""
    pos = 0
    while pos + 8 <= len(res):
        data_size, header_size = struct.unpack_from("<II", res, pos)
        header = res[pos:pos + header_size]
        p = 8
        ids = []
        for _ in range(2):
            if struct.unpack_from("<H", header, p)[0] == 0xFFFF:
                ids.append(struct.unpack_from("<H", header, p + 2)[0])
                p += 4
            else:
                end = p
                while struct.unpack_from("<H", header, end)[0] != 0:
                    end += 2
                ids.append(header[p:end].decode("utf-16-le"))
                p = end + 2
        data = res[pos + header_size:pos + header_size + data_size]
        yield ids[0], ids[1], header, data
        pos += header_size + (data_size + 3) // 4 * 4


def entry_bytes(header, data):
    return header + data + b"\0" * ((4 - len(data) % 4) % 4)


def dib(bits, w=5, h=3, top_down=False):
    colours = 1 << bits if bits <= 8 else 0
    stride = (w * bits + 31) // 32 * 4
    head = struct.pack("<IiiHHIIiiII", 40, w, -h if top_down else h, 1, bits, 0, 0, 0, 0, colours, 0)
    palette = b"".join(struct.pack("<I", (i * 0x010203 + 0x400000) & 0xFFFFFF) for i in range(colours))
    pixels = bytes((x * 37 + y * 11) & 0xFF for y in range(h) for x in range(stride))
    return head + palette + pixels


def main():
    res = open(sys.argv[1], "rb").read()
    all_entries = list(entries(res))
    empty = all_entries[0]
    dialog = next(e for e in all_entries if e[0] == 5)
    bitmaps = sorted((e for e in all_entries if e[0] == 2), key=lambda e: len(e[3]))
    put("fuzz_dialog", "dlg_quindlex", dialog[3])
    put("fuzz_resources", "dib-smallest", b"\0" + bitmaps[0][3])
    for bits in (1, 4, 8, 24, 32):
        put("fuzz_resources", "dib-%d" % bits, b"\0" + dib(bits, top_down=bits == 8))
    put("fuzz_resources", "table", b"\1" + b"".join(entry_bytes(e[2], e[3]) for e in (empty, bitmaps[0], dialog)))

    profiles = {
        "plain": b"SCRWARPVUE_SECTION\\nEternalFire\\n0\\n[SCRWARPVUE_SECTION]\nDispType=4\nDispRobo=1\n",
        "crlf-bom": b"SCRWARPVUE_SECTION\\nDispType\\n7\\n\xef\xbb\xbf; settings\r\n[Other]\r\nA=1\r\n\r\n"
                    b"[scrwarpvue_section]\r\n dispType = \"3\" ; c\r\nEternalFire=0\r\n",
        "lone-cr": b"S\\nK\\nV\\n[S]\nA=1\r",
        "missing-section": b"S\\nK\\n12\\n[T]\nB=2",
        "empty": b"S\\nK\\nV\\n",
    }
    for name, data in profiles.items():
        put("fuzz_profile", name, data)
    for i, line in enumerate([b"/s", b"/c", b"/c:1234", b"/p 1234", b"-S /c", b"//s", b"-", b"/a", b"x/-s"]):
        put("fuzz_command_line", "line-%d" % i, line)


if __name__ == "__main__":
    main()
