#!/usr/bin/env python3
"""Writes the click that Tactra plays at a touch-down ("Sound on touch"): 25 ms of a
decaying 2 kHz tick, 8 kHz, 8 bits, mono, as a RIFF WAVE file. No audio library needed.
    tools/make_click.py app/Click.wav
"""
import math
import struct
import sys

RATE = 8000
SAMPLES = 200  # 25 ms


def samples():
    out = bytearray()
    for i in range(SAMPLES):
        t = i / RATE
        level = math.exp(-t * 250.0) * math.sin(2 * math.pi * 2000 * t)
        out.append(max(0, min(255, int(round(128 + 110 * level)))))
    return bytes(out)


def wave(data):
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(wave(samples()))
