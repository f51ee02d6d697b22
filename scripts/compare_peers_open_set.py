"""Open-set identification beside the peers a user would pick instead, on the
same faces in one run: OpenCV's Eigenfaces (30 components), Fisherfaces and
LBPH (python3-opencv's face module) and scikit-learn's KernelPCA (rbf) with a
nearest neighbour. Half of the people are enrolled with their first five
images (the even half: the first, third, ... in natural order; the odd half:
the others; or, with --enrolled, the people named, as a random halving of
morlin-eval chose them); every image of the other half is a stranger's. A probe's score
is the peer's distance to its nearest gallery image, as morlin-eval scores the
designed method. Prints one JSON object: per face set and half, each peer's
rank-1 over mated probes and FNIR at FPIR 1, 5 and 10 %.

usage: compare_peers_open_set.py [--enrolled=PERSON,PERSON,...] NAME=FOLDER...
(with --enrolled the one half is reported as "given")"""
import json
import math
import pathlib
import re
import sys

import cv2
import numpy as np
from sklearn.decomposition import KernelPCA


def natural(path):
    return [int(t) if t.isdigit() else t for t in re.split(r"(\d+)", path.name)]


def load(folder, half, per_person=5):
    """half: "even", "odd", or the set of the enrolled people's names."""
    people = sorted((p for p in pathlib.Path(folder).iterdir()
                     if p.is_dir() and not p.name.startswith(".")), key=natural)
    gallery, labels, mated, mated_labels, strangers = [], [], [], [], []
    for position, person in enumerate(people):
        if isinstance(half, set):
            enrolled = person.name in half
        else:
            enrolled = position % 2 == (1 if half == "odd" else 0)
        files = sorted((f for f in person.iterdir() if f.is_file() and not f.name.startswith(".")),
                       key=natural)
        for k, image in enumerate(files):
            grey = cv2.imread(str(image), cv2.IMREAD_GRAYSCALE)
            if not enrolled:
                strangers.append(grey)
            elif k < per_person:
                gallery.append(grey)
                labels.append(position)
            else:
                mated.append(grey)
                mated_labels.append(position)
    return gallery, np.array(labels), mated, np.array(mated_labels), strangers


def fnir_at(strangers, scores, right, fpir):
    """FNIR at the highest threshold whose FPIR is at most fpir, as morlin-eval
    reads it: a probe is named when its score is strictly below the threshold."""
    ordered = np.sort(strangers)
    if len(ordered) * fpir < 1.0:
        return None
    allowed = math.floor(fpir * len(ordered))
    threshold = ordered[allowed] if allowed < len(ordered) else math.inf
    return float(1.0 - np.sum(right & (scores < threshold)) / len(scores))


def opencv(create):
    def fit(gallery, labels):
        model = create()
        model.train(gallery, labels)

        def search(images):
            found = [model.predict(image) for image in images]
            return np.array([f[0] for f in found]), np.array([f[1] for f in found])
        return search
    return fit


def kernel_pca(gallery, labels):
    flat = np.array([g.reshape(-1) for g in gallery], dtype=np.float64) / 255.0
    kpca = KernelPCA(n_components=30, kernel="rbf", gamma=1e-3).fit(flat)
    coordinates = kpca.transform(flat)

    def search(images):
        probes = kpca.transform(np.array([i.reshape(-1) for i in images], dtype=np.float64) / 255.0)
        distances = np.linalg.norm(probes[:, None, :] - coordinates[None, :, :], axis=2)
        nearest = distances.argmin(axis=1)
        return labels[nearest], distances[np.arange(len(images)), nearest]
    return search


PEERS = {
    "Eigenfaces (30)": opencv(lambda: cv2.face.EigenFaceRecognizer_create(30)),
    "Fisherfaces": opencv(lambda: cv2.face.FisherFaceRecognizer_create()),
    "LBPH": opencv(lambda: cv2.face.LBPHFaceRecognizer_create()),
    "KPCA rbf + 1-NN": kernel_pca,
}


def main():
    results = {}
    halves = {"even": "even", "odd": "odd"}
    arguments = sys.argv[1:]
    if arguments and arguments[0].startswith("--enrolled="):
        halves = {"given": set(arguments.pop(0).split("=", 1)[1].split(","))}
    for argument in arguments:
        name, folder = argument.split("=", 1)
        for half_name, half in halves.items():
            gallery, labels, mated, mated_labels, strangers = load(folder, half)
            for peer, fit in PEERS.items():
                search = fit(gallery, labels)
                named, scores = search(mated)
                _, stranger_scores = search(strangers)
                right = named == mated_labels
                results.setdefault(name, {}).setdefault(peer, {})[half_name] = {
                    "rank1": float(np.mean(right)),
                    "fnir_at_fpir": {str(p): fnir_at(stranger_scores, scores, right, p / 100)
                                     for p in (1, 5, 10)},
                }
    print(json.dumps(results))


main()
