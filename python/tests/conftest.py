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
