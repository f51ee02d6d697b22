"""The ORL faces as numpy arrays, split as the morlin command splits them."""

import os
import re
from pathlib import Path

import numpy as np
import pytest

ORL = Path(os.environ.get("FACE_DATA_DIR", Path(__file__).parents[2] / "data" / "faces")) / "orl"
TRAIN_PER_PERSON = 5


def natural_key(path):
    """Name order with digit runs compared as numbers: 2.pgm before 10.pgm."""
    return [int(part) if part.isdigit() else part for part in re.split(r"(\d+)", path.name)]


def read_pgm(path):
    """A binary 8-bit PGM (P5) as a (rows, columns) uint8 array."""
    data = path.read_bytes()
    fields = re.match(rb"P5\s+(?:#[^\n]*\n\s*)*(\d+)\s+(\d+)\s+(\d+)\s", data)
    columns, rows, top = (int(field) for field in fields.groups())
    assert top == 255, f"{path}: not 8-bit"
    return np.frombuffer(data, np.uint8, rows * columns, fields.end()).reshape(rows, columns)


class Faces:
    """Gallery: the first TRAIN_PER_PERSON images of each person; probes: the rest."""

    def __init__(self, folder):
        self.gallery, self.names, self.probes, self.probe_files = [], [], [], []
        for person in sorted(folder.iterdir(), key=natural_key):
            for k, image in enumerate(sorted(person.glob("*.pgm"), key=natural_key)):
                if k < TRAIN_PER_PERSON:
                    self.gallery.append(read_pgm(image))
                    self.names.append(person.name)
                else:
                    self.probes.append(read_pgm(image))
                    self.probe_files.append(image)
        self.gallery = np.stack(self.gallery)
        self.probes = np.stack(self.probes)
        self.probe_names = [path.parent.name for path in self.probe_files]


@pytest.fixture(scope="session")
def orl():
    if not ORL.is_dir():
        pytest.fail(f"the ORL faces are not at {ORL}")
    return Faces(ORL)


def photo(faces, size=(480, 640), scale=2, colour=True, seed=0):
    """A photo of size (rows, columns) with each face (a grey crop) set into a
    smooth, lightly noised background at scale, side by side; red, green,
    blue unless colour is False. Returns the photo and each face's box."""
    rng = np.random.default_rng(seed)
    rows, columns = size
    ramp = np.linspace(60, 190, columns)[None, :] + np.linspace(-30, 30, rows)[:, None]
    grey = np.clip(ramp + rng.normal(0, 4, size), 0, 255)
    boxes = []
    step = columns // (len(faces) + 1)
    for k, face in enumerate(faces):
        big = np.kron(face, np.ones((scale, scale)))
        top = (rows - big.shape[0]) // 2
        left = step * (k + 1) - big.shape[1] // 2
        grey[top:top + big.shape[0], left:left + big.shape[1]] = big
        boxes.append((left, top, big.shape[1], big.shape[0]))
    grey = grey.astype(np.uint8)
    if not colour:
        return grey, boxes
    tint = np.array([1.0, 0.85, 0.72])
    return np.clip(grey[:, :, None] * tint, 0, 255).astype(np.uint8), boxes
