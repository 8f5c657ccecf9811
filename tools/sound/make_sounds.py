#!/usr/bin/env python3
"""Synthesises the game's twelve sounds from resources/sound-params into
resources/sounds/<resource>.wav: canonical 44-byte-header PCM WAVE files,
8-bit unsigned mono.  Each file holds the played part and then its silent
tail, which the game never plays.  Deterministic: the noise comes from a
fixed linear congruential generator.  Standard library only.

Usage: make_sounds.py [--root DIR]
"""

import argparse
import json
import math
import os
import struct


class Noise:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (self.state >> 8) / float(1 << 23) - 1.0


def envelope(t, length, attack, release):
    if t < 0 or t >= length:
        return 0.0
    if t < attack:
        return t / attack
    if t > length - release:
        return max(0.0, (length - t) / release)
    return 1.0


def band_limited(wave, phase, f, rate):
    """Square, triangle and saw built from their harmonics below the Nyquist
    frequency: the naive shapes alias into a harsh hiss at these sample rates."""
    s = 0.0
    k = 1
    w = 2 * math.pi * phase
    while k * f < rate / 2:
        if wave == "square":
            if k % 2:
                s += math.sin(k * w) / k
        elif wave == "triangle":
            if k % 2:
                s += (1 if (k // 2) % 2 == 0 else -1) * math.sin(k * w) / (k * k)
        else:
            s += math.sin(k * w) / k
        k += 1
    if wave == "square":
        return s * 4 / math.pi
    if wave == "triangle":
        return s * 8 / (math.pi * math.pi)
    return -s * 2 / math.pi


def render_note(buf, rate, note, vibrato, noise):
    start, length, f0, f1, wave, vol, attack, release = note
    first = int(round(start * rate))
    count = int(round(length * rate))
    phase = 0.0
    for i in range(count):
        n = first + i
        if n >= len(buf):
            break
        t = i / rate
        # Glides are exponential, so a falling phrase falls evenly in pitch.
        f = f0 * (f1 / f0) ** (t / length) if f0 != f1 else f0
        if vibrato:
            f *= 2 ** (vibrato[1] / 12 * math.sin(2 * math.pi * vibrato[0] * t))
        phase += f / rate
        if wave == "sine":
            s = math.sin(2 * math.pi * phase)
        elif wave in ("square", "triangle", "saw"):
            s = band_limited(wave, phase, f, rate)
        elif wave == "noise":
            s = noise.next()
        elif wave == "pluck":
            d = math.exp(-t * 14)
            s = (math.sin(2 * math.pi * phase) + 0.35 * d * math.sin(4 * math.pi * phase)
                 + 0.15 * d * math.sin(6 * math.pi * phase)) * (0.55 + 0.45 * d)
        elif wave == "bell":
            s = (math.sin(2 * math.pi * phase) * math.exp(-t * 5)
                 + 0.45 * math.sin(2 * math.pi * phase * 2.76) * math.exp(-t * 11))
        else:
            raise ValueError(f"unknown wave {wave}")
        buf[n] += vol * s * envelope(t, length, attack, release)


def render_clicks(buf, rate, c, noise):
    t = c["start"]
    end = c["start"] + c["length"]
    while t < end:
        u = (t - c["start"]) / c["length"]
        r = c["rate_from"] + (c["rate_to"] - c["rate_from"]) * u
        first = int(round(t * rate))
        count = int(round(c["click"] * rate))
        loud = c["volume"] * (1.0 - 0.6 * u)
        for i in range(count):
            n = first + i
            if n >= len(buf):
                break
            tt = i / rate
            d = math.exp(-tt * 400)
            buf[n] += loud * d * (0.6 * noise.next() + 0.4 * math.sin(2 * math.pi * c["freq"] * tt))
        t += 1.0 / r


def synthesise(sound):
    rate = sound["rate"]
    played = sound["played"]
    buf = [0.0] * played
    noise = Noise(sound["resource"])
    if "clicks" in sound:
        render_clicks(buf, rate, sound["clicks"], noise)
    for note in sound["notes"]:
        render_note(buf, rate, note, sound.get("vibrato"), noise)
    peak = max(abs(v) for v in buf) or 1.0
    gain = 0.85 / peak
    # A short fade at the very end, so the played part stops without a click.
    fade = int(rate * 0.004)
    out = bytearray()
    for i, v in enumerate(buf):
        if i >= played - fade:
            v *= (played - 1 - i) / fade
        out.append(max(0, min(255, 128 + int(round(v * gain * 127)))))
    out += bytes([128]) * sound["tail"]
    return out


def wave_file(rate, samples):
    header = b"RIFF" + struct.pack("<I", 36 + len(samples)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate, 1, 8)
    header += b"data" + struct.pack("<I", len(samples))
    return header + bytes(samples)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    args = ap.parse_args()
    root = os.path.abspath(args.root)
    with open(os.path.join(root, "resources", "sound-params"), encoding="utf-8") as f:
        params = json.load(f)
    out_dir = os.path.join(root, "resources", "sounds")
    os.makedirs(out_dir, exist_ok=True)
    for sound in params["sounds"]:
        data = wave_file(sound["rate"], synthesise(sound))
        with open(os.path.join(out_dir, f"{sound['resource']}.wav"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
