"""Synthesise the wind-chime ring (Kouka.wav): a small glass fuurin.

Additive synthesis of a struck free bell: inharmonic partials, each split
into two close frequencies so it shimmers, rung by three clapper strikes.
Pure Python (no numpy) so only python3 itself is needed.
"""
import math
import random
import struct
import sys
import wave

RATE = 44100
LENGTH = 3.4            # seconds
FADE = 0.55             # final cosine fade, so the tail ends in true silence
TAIL_ZERO = 0.04        # last samples exactly zero
PEAK_DBFS = -3.0

F0 = 1720.0             # small glass bells ring high
# (ratio to F0, relative amplitude, decay time constant in s, beat in Hz)
# Higher partials die faster; the beat pairs give the glassy shimmer.
PARTIALS = [
    (1.000, 1.00, 0.95, 2.6),
    (2.760, 0.50, 0.42, 4.1),
    (5.400, 0.26, 0.20, 6.3),
    (8.930, 0.12, 0.10, 9.0),
]
# (time in s, strength, brightness): the clapper hits again as the
# chime swings back, a little softer and duller each time.
STRIKES = [
    (0.000, 1.00, 1.00),
    (0.310, 0.64, 0.80),
    (0.720, 0.50, 0.65),
]
ATTACK = 0.0015         # fast but not a step, so no digital click


def render():
    rng = random.Random(20240711)
    n = int(RATE * LENGTH)
    buf = [0.0] * n
    # One phase per mode for the whole ring: a later hit pushes a mode that
    # is already swinging, so it adds to it instead of cancelling it.
    phases = [[rng.random() * 2 * math.pi for _ in range(2)] for _ in PARTIALS]
    for t0, strength, bright in STRIKES:
        start = int(t0 * RATE)
        for k, (ratio, amp, tau, beat) in enumerate(PARTIALS):
            # a softer hit excites the upper modes less
            a = strength * amp * (bright ** (k * 1.5))
            f = F0 * ratio
            # the two members of a beat pair, unequal so the level never
            # drops to zero between beats
            pair = ((f - beat / 2, 0.70), (f + beat / 2, 0.30))
            tau_k = tau * (0.9 + 0.2 * rng.random())
            for m, (freq, share) in enumerate(pair):
                ph = phases[k][m] + rng.uniform(-0.3, 0.3)
                w = 2 * math.pi * freq / RATE
                dec = math.exp(-1.0 / (tau_k * RATE))
                g = a * share
                # stop once the partial is far below audibility
                stop = min(n, start + int(tau_k * RATE * 12))
                env = 1.0
                for i in range(start, stop):
                    j = i - start
                    att = 1.0
                    if j < ATTACK * RATE:
                        att = 0.5 - 0.5 * math.cos(math.pi * j / (ATTACK * RATE))
                    buf[i] += g * env * att * math.sin(ph + w * i)
                    env *= dec
        # the glass "tink" of the clapper: a few ms of bright noise
        tlen = int(0.004 * RATE)
        prev = 0.0
        for j in range(tlen):
            x = rng.uniform(-1, 1)
            hp = x - prev       # crude high-pass: the tick is all top end
            prev = x
            e = math.exp(-j / (0.0008 * RATE))
            if j < ATTACK * RATE:       # same soft onset as the ring
                e *= 0.5 - 0.5 * math.cos(math.pi * j / (ATTACK * RATE))
            buf[start + j] += 0.10 * strength * hp * e

    fade_n = int(FADE * RATE)
    zero_n = int(TAIL_ZERO * RATE)
    fade_start = n - zero_n - fade_n
    for i in range(fade_start, n):
        if i >= n - zero_n:
            buf[i] = 0.0
        else:
            x = (i - fade_start) / fade_n
            buf[i] *= 0.5 + 0.5 * math.cos(math.pi * x)

    peak = max(abs(v) for v in buf)
    scale = (10 ** (PEAK_DBFS / 20)) * 32767 / peak
    return [int(round(v * scale)) for v in buf]


def main(path):
    samples = render()
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)       # 16-bit PCM: the player takes nothing else
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


if __name__ == "__main__":
    main(sys.argv[1])
