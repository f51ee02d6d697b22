"""Times what people would otherwise pick for the same job on ORL: scikit-learn's
KernelPCA (training) and OpenCV's eigenfaces recognizer (training and one
prediction), on the gallery and probes morlin-eval uses (images 1-5 of each
person train, 6-10 are probes). Prints one JSON object."""
import json
import pathlib
import re
import statistics
import sys
import time

import cv2
import numpy as np
from sklearn.decomposition import KernelPCA


def natural(path):
    return [int(t) if t.isdigit() else t for t in re.split(r"(\d+)", path.name)]


def load(folder):
    gallery, labels, probes = [], [], []
    people = [p for p in pathlib.Path(folder).iterdir() if p.is_dir() and not p.name.startswith(".")]
    for label, person in enumerate(sorted(people, key=natural)):
        for k, image in enumerate(sorted((f for f in person.iterdir() if f.is_file()), key=natural)):
            grey = cv2.imread(str(image), cv2.IMREAD_GRAYSCALE)
            if k < 5:
                gallery.append(grey)
                labels.append(label)
            else:
                probes.append(grey)
    return gallery, np.array(labels), probes


def median_ms(run, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append((time.perf_counter() - start) * 1000.0)
    return statistics.median(times)


def main():
    gallery, labels, probes = load(sys.argv[1])
    flat = np.array([g.reshape(-1) for g in gallery], dtype=np.float64) / 255.0
    kpca = median_ms(lambda: KernelPCA(n_components=30, kernel="rbf", gamma=1e-3).fit(flat), 5)
    eigen = cv2.face.EigenFaceRecognizer_create(30)
    train = median_ms(lambda: eigen.train(gallery, labels), 5)
    predict = median_ms(lambda: [eigen.predict(p) for p in probes], 5) / len(probes)
    print(json.dumps({"sklearn_kpca_train_ms": kpca, "opencv_eigenfaces_train_ms": train,
                      "opencv_eigenfaces_predict_ms": predict}))


main()
