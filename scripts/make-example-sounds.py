#!/usr/bin/env python3
"""Writes the sound example's MP3 files: PCM made here with the standard library,
encoded by lame at 44,100 Hz and 128 kbit/s constant bit rate (the engine
plays every MP3 rate; this one is the common choice)."""
import math
import os
import struct
import subprocess
import tempfile
import wave

OUT = os.path.join(os.path.dirname(__file__), "..", "docs", "examples", "sound", "loader", "sound")
RATE = 44100


def encode(name, seconds, sample):
    """Encodes sample(t) (in -1..1, stereo as one value) as OUT/name."""
    frames = bytearray()
    for i in range(int(seconds * RATE)):
        value = int(round(32767 * max(-1.0, min(1.0, sample(i / RATE)))))
        frames += struct.pack("<hh", value, value)
    with tempfile.TemporaryDirectory() as folder:
        wav = os.path.join(folder, "sound.wav")
        with wave.open(wav, "wb") as out:
            out.setnchannels(2)
            out.setsampwidth(2)
            out.setframerate(RATE)
            out.writeframes(bytes(frames))
        subprocess.run(["lame", "--quiet", "--noreplaygain", "--cbr", "-b", "128", wav, os.path.join(OUT, name)],
                       check=True)


def chord(t):
    # An A minor chord that swells once a second, so that the loop is heard.
    swell = 0.6 + 0.4 * math.sin(2 * math.pi * t) ** 2
    return swell * sum(0.15 * math.sin(2 * math.pi * f * t) for f in (220.0, 261.63, 329.63))


def beep(t):
    return 0.4 * math.sin(2 * math.pi * 880 * t) * math.exp(-8 * t)


os.makedirs(OUT, exist_ok=True)
encode("0001.mp3", 4.0, chord)
encode("0002.mp3", 0.4, beep)
