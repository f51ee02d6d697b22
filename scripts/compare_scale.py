"""Morlin at scale beside its peers, in one run.

Training: the default method on made faces (two ORL faces blended per person,
each image shifted, lit and noised) beside scikit-learn's PCA(30).fit on the
same faces, each in a process of its own for its peak memory. A million
enrolled: identification beside numpy's brute force over the same
signatures, read from the benchmark's model database.

usage: compare_scale.py ORL_FOLDER --train N... | --one WHO N | --brute MODEL
"""
import argparse
import json
import pathlib
import resource
import sqlite3
import subprocess
import sys
import time

import numpy as np

ROWS, COLUMNS, PER_PERSON = 112, 92, 10


def read_pgm(path):
    # ORL's files: "P5\n92 112\n255\n", then the pixels.
    pixels = path.read_bytes().split(b"\n", 3)[3]
    return np.frombuffer(pixels, dtype=np.uint8).reshape(ROWS, COLUMNS)


def orl_faces(folder):
    faces = [read_pgm(folder / f"s{p}" / f"{k}.pgm") for p in range(1, 41) for k in range(1, 11)]
    return np.stack(faces).astype(np.float32)


def made_faces(orl, count, seed=7):
    """count faces, PER_PERSON to a made person, and their labels."""
    random = np.random.default_rng(seed)
    people = count // PER_PERSON
    a = orl[random.integers(0, len(orl), people)]
    b = orl[random.integers(0, len(orl), people)]
    w = random.uniform(0.3, 0.7, (people, 1, 1)).astype(np.float32)
    base = w * a + (1 - w) * b
    faces = np.empty((people * PER_PERSON, ROWS, COLUMNS), dtype=np.uint8)
    for k in range(PER_PERSON):
        shifted = np.roll(base, shift=(random.integers(-2, 3), random.integers(-2, 3)), axis=(1, 2))
        lit = shifted * random.uniform(0.8, 1.2, (people, 1, 1)).astype(np.float32)
        noised = lit + random.normal(0, 6, lit.shape).astype(np.float32)
        faces[k::PER_PERSON] = np.clip(noised, 0, 255).astype(np.uint8)
    labels = np.repeat(np.arange(people), PER_PERSON).astype(str)
    return faces, labels


def one(who, count, orl_folder):
    """Trains one side on count made faces; prints seconds and peak memory."""
    faces, labels = made_faces(orl_faces(orl_folder), count)
    if who == "sklearn":
        from sklearn.decomposition import PCA
        rows = faces.reshape(len(faces), -1).astype(np.float32)
        start = time.perf_counter()
        PCA(n_components=30).fit(rows)
    else:
        import morlin
        # "morlin": the threshold given, no calibration; "morlin-calibrated":
        # the default, calibrated for 5 % of strangers.
        threshold = 0.8 if who == "morlin" else None
        identifier = morlin.Identifier(faces="whole", threshold=threshold)
        start = time.perf_counter()
        identifier.fit(faces, labels)
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    print(json.dumps({"seconds": seconds, "peak_bytes": peak}))


def brute(model):
    """numpy's exhaustive nearest search per probe over the model's signatures."""
    connection = sqlite3.connect(f"file:{model}?mode=ro", uri=True)
    blobs = connection.execute("SELECT signature FROM images ORDER BY id").fetchall()
    signatures = np.frombuffer(b"".join(b for (b,) in blobs), dtype=np.float32)
    signatures = signatures.reshape(len(blobs), -1)
    random = np.random.default_rng(3)
    probes = signatures[random.integers(0, len(signatures), 50)]
    probes = probes + random.normal(0, 0.1, probes.shape).astype(np.float32)
    squares = (signatures * signatures).sum(axis=1)
    start = time.perf_counter()
    for probe in probes:
        int(np.argmin(squares - 2.0 * (signatures @ probe)))
    per_probe = (time.perf_counter() - start) / len(probes)
    print(json.dumps({"images": len(signatures), "ms_per_probe": per_probe * 1000}))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("orl", type=pathlib.Path)
    parser.add_argument("--one", nargs=2)
    parser.add_argument("--brute")
    parser.add_argument("--train", type=int, nargs="*")
    arguments = parser.parse_args()
    if arguments.one:
        one(arguments.one[0], int(arguments.one[1]), arguments.orl)
        return
    if arguments.brute:
        brute(arguments.brute)
        return
    results = {}
    for count in arguments.train:
        for who in ("morlin", "morlin-calibrated", "sklearn"):
            print(f"training {who} on {count} faces...", file=sys.stderr)
            out = subprocess.run([sys.executable, __file__, str(arguments.orl), "--one", who,
                                  str(count)], check=True, capture_output=True, text=True).stdout
            results[f"{who}/{count}"] = json.loads(out)
    print(json.dumps(results))


if __name__ == "__main__":
    main()
