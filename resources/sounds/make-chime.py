#!/usr/bin/env python3
"""Makes the monitor's built-in alert chime: two soft bell tones, a fifth
apart, 0.3 s of 22050 Hz 16-bit mono. Run it from this folder; it rewrites
chime.wav beside it."""
import math
import struct
import wave

RATE = 22050
LENGTH = 0.3


def sample(t):
    value = 0.0
    # (start, frequency): the second tone answers the first
    for start, freq in ((0.0, 880.0), (0.09, 1318.5)):
        if t >= start:
            u = t - start
            envelope = min(1.0, u / 0.004) * math.exp(-u * 11.0)
            # a quiet octave overtone gives the bell its colour
            value += envelope * (math.sin(2 * math.pi * freq * u) + 0.25 * math.sin(4 * math.pi * freq * u))
    # fade the last 20 ms so the sound ends without a click
    tail = min(1.0, (LENGTH - t) / 0.02)
    return 0.32 * value * tail


with wave.open("chime.wav", "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(RATE)
    frames = int(RATE * LENGTH)
    w.writeframes(b"".join(struct.pack("<h", round(32767 * max(-1.0, min(1.0, sample(i / RATE))))) for i in range(frames)))
