#!/bin/sh
# Makes the small media files of tests/media/fixtures with real tools (sox,
# lame, oggenc from vorbis-tools) and writes the MIDI files byte by byte.
# The files are committed; run this again only to remake them:
#   apt-get install sox lame vorbis-tools python3
set -eu
out="$(cd "$(dirname "$0")/.." && pwd)/tests/media/fixtures"
mkdir -p "$out"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Waves: the length lives in the header, whatever the coding.
sox -n -r 22050 -c 1 -b 16 "$out/pcm16-mono-1500ms.wav" synth 1.5 sine 440
sox -n -r 44100 -c 2 -b 8 -e unsigned-integer "$out/pcm8-stereo-250ms.wav" synth 0.25 sine 440
sox -n -r 8000 -c 1 -e ima-adpcm "$out/ima-adpcm-2000ms.wav" synth 2 sine 440
sox -n -r 11025 -c 2 -e ms-adpcm "$out/ms-adpcm-1000ms.wav" synth 1 sine 440
sox -n -r 16000 -c 1 -e floating-point -b 32 "$out/float-750ms.wav" synth 0.75 sine 440
sox -n -r 8000 -c 1 -e a-law "$out/alaw-500ms.wav" synth 0.5 sine 440

# MP3: constant rate with its "Info" frame, variable rate with its "Xing"
# frame, one without any (the frames are counted), and an MPEG-2 one.
sox -n -r 44100 -c 2 -b 16 "$tmp/2s.wav" synth 2 sine 440
sox -n -r 22050 -c 1 -b 16 "$tmp/1s-22k.wav" synth 1 sine 440
lame --quiet -b 64 "$tmp/2s.wav" "$out/cbr-2000ms.mp3"
lame --quiet -V 6 "$tmp/2s.wav" "$out/vbr-2000ms.mp3"
lame --quiet -b 64 -t "$tmp/2s.wav" "$out/notag-2000ms.mp3"
lame --quiet -b 32 "$tmp/1s-22k.wav" "$out/mpeg2-1000ms.mp3"

# Ogg Vorbis.
oggenc --quiet -q 0 -o "$out/vorbis-1500ms.ogg" "$out/pcm16-mono-1500ms.wav"

# MIDI, written by hand so every tempo and tick is known.
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]

def vlq(n):
    b = [n & 0x7F]
    n >>= 7
    while n:
        b.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(b)

def track(events):
    data = b"".join(vlq(d) + e for d, e in events)
    return b"MTrk" + struct.pack(">I", len(data)) + data

def tempo(us):
    return b"\xFF\x51\x03" + us.to_bytes(3, "big")

EOT = b"\xFF\x2F\x00"

# Format 0, 480 ticks a quarter: 960 ticks at 120 bpm (1000 ms), then a
# change to 60 bpm and 480 ticks more (1000 ms), with running status.
f0 = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + track([
    (0, tempo(500000)), (0, b"\x90\x3C\x64"), (960, b"\x3C\x00"),
    (0, tempo(1000000)), (0, b"\xC0\x05"), (480, b"\x80\x3C\x40"), (0, EOT)])
open(out + "/format0-2000ms.mid", "wb").write(f0)

# Format 1: the tempo track says 100 bpm (600000 us) after 96 ticks at the
# default 120 bpm; the longest note track ends at tick 288 of 96 a quarter:
# 500 ms + 2 x 600 ms = 1700 ms. A SysEx and a text event sit in between.
t0 = track([(0, b"\xFF\x03\x04Demo"), (96, tempo(600000)), (0, EOT)])
t1 = track([(0, b"\xF0\x05\x7E\x7F\x09\x01\xF7"), (0, b"\x90\x40\x50"), (200, b"\x80\x40\x00"), (0, EOT)])
t2 = track([(0, b"\x91\x43\x50"), (288, b"\x81\x43\x00"), (0, EOT)])
f1 = b"MThd" + struct.pack(">IHHH", 6, 1, 3, 96) + t0 + t1 + t2
open(out + "/format1-1700ms.mid", "wb").write(f1)

# The same format 0 data inside a RIFF "RMID" file.
data = b"data" + struct.pack("<I", len(f0)) + f0
rmi = b"RIFF" + struct.pack("<I", 4 + len(data)) + b"RMID" + data
open(out + "/riff-2000ms.rmi", "wb").write(rmi)

# SMPTE division: 25 frames a second, 40 ticks a frame = 1000 ticks a
# second; the track ends at tick 1250.
fs = b"MThd" + struct.pack(">IHHbB", 6, 0, 1, -25, 40) + track([(1250, EOT)])
open(out + "/smpte-1250ms.mid", "wb").write(fs)
PY
ls -l "$out"
