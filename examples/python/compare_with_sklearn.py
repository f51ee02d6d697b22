#!/usr/bin/env python3
"""Morlin's identifier beside scikit-learn's KernelPCA + nearest neighbour on
a face folder (one folder of PGM images per person, as ORL comes).

    python3 compare_with_sklearn.py data/faces/orl [--train 5]

Both learn from the first --train images of each person (in name order) and
name the rest. Printed per method: rank-1 (the nearest person is the right
one), fit and predict times. Then the open set, which the scikit-learn
pipeline cannot answer at all: half of the people enrolled, the other half
strangers, Morlin calibrated to name at most 10 % of strangers.
"""

import argparse
import re
import sys
import time
from pathlib import Path

import numpy as np

import morlin

try:
    from sklearn.decomposition import KernelPCA
    from sklearn.neighbors import KNeighborsClassifier
    from sklearn.pipeline import make_pipeline
except ImportError:
    sys.exit("scikit-learn is not installed: sudo apt install python3-sklearn")


def natural_key(path):
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", path.name)]


def read_pgm(path):
    """A binary 8-bit PGM (P5) as a (rows, columns) uint8 array."""
    data = path.read_bytes()
    fields = re.match(rb"P5\s+(?:#[^\n]*\n\s*)*(\d+)\s+(\d+)\s+(\d+)\s", data)
    if not fields:
        sys.exit(f"{path}: not a binary PGM image")
    columns, rows, _ = (int(field) for field in fields.groups())
    return np.frombuffer(data, np.uint8, rows * columns, fields.end()).reshape(rows, columns)


def load(folder, per_person):
    """(gallery, gallery names, probes, probe names)."""
    gallery, names, probes, truths = [], [], [], []
    for person in sorted((p for p in folder.iterdir() if p.is_dir()), key=natural_key):
        for k, image in enumerate(sorted(person.glob("*.pgm"), key=natural_key)):
            (gallery if k < per_person else probes).append(read_pgm(image))
            (names if k < per_person else truths).append(person.name)
    if not gallery or not probes:
        sys.exit(f"{folder}: no person has more than {per_person} PGM images")
    return np.stack(gallery), np.array(names), np.stack(probes), np.array(truths)


def timed(call):
    start = time.perf_counter()
    result = call()
    return result, time.perf_counter() - start


def closed_set(gallery, names, probes, truths):
    rows = []
    for label, model in [
        ("morlin lbp-discriminant", morlin.Identifier()),
        ("morlin designed rbf", morlin.Identifier(method="designed", kernel="rbf", gamma=1e-7,
                                                  components=40, distance="Euclidean")),
    ]:
        _, fit = timed(lambda: model.fit(gallery, names))
        found, predict = timed(lambda: model.identify(probes))
        nearest = np.array([one.candidates[0].person for one in found])
        rows.append((label, np.mean(nearest == truths), fit, predict))

    flat = lambda images: images.reshape(len(images), -1).astype(np.float64) / 255.0
    pipeline = make_pipeline(KernelPCA(n_components=40, kernel="rbf", gamma=1.0 / (gallery[0].size)),
                             KNeighborsClassifier(n_neighbors=1))
    _, fit = timed(lambda: pipeline.fit(flat(gallery), names))
    predicted, predict = timed(lambda: pipeline.predict(flat(probes)))
    rows.append(("scikit-learn KernelPCA rbf + 1-NN", np.mean(predicted == truths), fit, predict))

    print(f"{'closed set':36} {'rank-1':>7} {'fit s':>7} {'predict s':>9}")
    for label, rank1, fit, predict in rows:
        print(f"{label:36} {rank1:7.3f} {fit:7.3f} {predict:9.3f}")


def open_set(gallery, names, probes, truths):
    people = sorted(set(names), key=lambda name: natural_key(Path(name)))
    enrolled = set(people[::2])
    mask = np.array([name in enrolled for name in names])
    model = morlin.Identifier().fit(gallery[mask], names[mask])
    calibration = model.calibrate(0.10)
    known = np.array([truth in enrolled for truth in truths])
    strangers = np.concatenate([probes[~known], gallery[~mask]])
    named_strangers = np.mean([p is not None for p in model.predict(strangers)])
    answers = model.predict(probes[known])
    missed = np.mean([answer != truth for answer, truth in zip(answers, truths[known])])
    print(f"\nopen set: {len(enrolled)} people enrolled, {len(people) - len(enrolled)} strangers"
          f" ({len(strangers)} images); morlin calibrated for 10 % of strangers named"
          f" (threshold {calibration['threshold']:.4f})")
    print(f"  strangers named (FPIR) {named_strangers:.3f};"
          f" enrolled people not named rightly (FNIR) {missed:.3f}")
    print("  scikit-learn's nearest neighbour names every stranger (FPIR 1.000)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=Path, help="one folder of PGM images per person")
    parser.add_argument("--train", type=int, default=5, metavar="K",
                        help="gallery images per person (default 5)")
    options = parser.parse_args()
    if not options.folder.is_dir():
        parser.error(f"{options.folder}: no such folder")
    if options.train < 1:
        parser.error("--train must be at least 1")
    faces = load(options.folder, options.train)
    closed_set(*faces)
    open_set(*faces)


if __name__ == "__main__":
    main()
