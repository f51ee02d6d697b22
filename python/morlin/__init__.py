"""Face identification with the Morlin recognizer, as a scikit-learn style estimator.

    import numpy as np, morlin
    model = morlin.Identifier(kernel="rbf", gamma=1e-7)
    model.fit(images, names)          # images: uint8 array (n, rows, columns)
    model.calibrate(0.05)             # turn away all but 5 % of strangers
    model.predict(probes)             # names, None where the face is a stranger
    model.save("faces.morlin")
    model = morlin.Identifier.load("faces.morlin")

Labels are person names: any value is taken as its str(), and predict and
classes_ give those strings back. A score is lower the more alike (the
quantity compared with the threshold); see `morlin --help` for the methods.
Every failure raises morlin.Error (the library's reason), TypeError or
ValueError; none ends the interpreter.
"""

import os
import tempfile
from collections import namedtuple

import numpy as np

from . import _morlin
from ._morlin import (Error, __version__, kernel_names, measure_names, method_description,
                      method_names)

__all__ = ["Identifier", "Identification", "Candidate", "Error",
           "kernel_names", "measure_names", "method_names", "method_description"]

Candidate = namedtuple("Candidate", "person score image")
Candidate.__doc__ = "An enrolled person near a probe: their score and nearest enrolled image."

Identification = namedtuple("Identification",
                            "person score distance stranger_rate candidates")
Identification.__doc__ = """Who a probe is.

person         the name, or None when nobody is under the threshold
score          of the nearest person; lower is more alike
distance       to the nearest enrolled image
stranger_rate  the share of strangers who come this close (NaN uncalibrated)
candidates     the nearest people, nearest first, one Candidate each
"""


def _kernel(kernel):
    """(is_kernel, kernel_type) of a kernel name; None or "none" is plain PCA."""
    if kernel is None or kernel == "none":
        return False, 0
    if kernel not in kernel_names:
        raise ValueError(f"unknown kernel {kernel!r}: use None (plain PCA) or one of "
                         + ", ".join(kernel_names))
    return True, kernel_names.index(kernel)


def _distance(distance):
    """The measure index of a name (case not counting) or of an index 0-9."""
    if isinstance(distance, (int, np.integer)) and not isinstance(distance, bool):
        if 0 <= distance < len(measure_names):
            return int(distance)
    elif isinstance(distance, str):
        names = [name.lower() for name in measure_names]
        if distance.strip().lower() in names:
            return names.index(distance.strip().lower())
    raise ValueError(f"unknown distance {distance!r}: use an index 0-{len(measure_names) - 1} "
                     "or one of " + ", ".join(measure_names))


def _images(images):
    """images as an array; a list of 2-D arrays becomes one stack."""
    return images if isinstance(images, np.ndarray) else np.asarray(images)


class Identifier:
    """Names the people in face images, or says a face is nobody enrolled.

    method      "lbp-discriminant" (default), "discriminant" or "designed"
    kernel      None (plain PCA), "linear", "poly", "rbf" or "sigmoid"
    components  principal components kept (the designed method)
    distance    measure name or index 0-9 (the designed method)
    threshold   a face is named when its score is below it, until calibrate
    gamma, coef0, degree  the kernel's parameters
    """

    _parameters = ("method", "kernel", "components", "distance", "threshold",
                   "gamma", "coef0", "degree")

    def __init__(self, method="lbp-discriminant", kernel=None, components=30,
                 distance="CityBlock", threshold=3.0, gamma=1.0, coef0=0.0, degree=2.0):
        self.method = method
        self.kernel = kernel
        self.components = components
        self.distance = distance
        self.threshold = threshold
        self.gamma = gamma
        self.coef0 = coef0
        self.degree = degree
        self._model = None

    def _new_model(self):
        is_kernel, kernel_type = _kernel(self.kernel)
        if self.method not in method_names:
            raise ValueError(f"unknown method {self.method!r}: use one of "
                             + ", ".join(method_names))
        return _morlin.Identifier(self.method, is_kernel, kernel_type, int(self.components),
                                  _distance(self.distance), float(self.threshold),
                                  float(self.gamma), float(self.coef0), float(self.degree))

    def _trained(self):
        if self._model is None or not self._model.trained():
            raise Error("the identifier is not trained: call fit first, or load a model")
        return self._model

    # scikit-learn's estimator interface: clone, grid search and pipelines
    # read and set the constructor's parameters through these.
    def get_params(self, deep=True):
        return {name: getattr(self, name) for name in self._parameters}

    def set_params(self, **parameters):
        for name, value in parameters.items():
            if name not in self._parameters:
                raise ValueError(f"unknown parameter {name!r}: use one of "
                                 + ", ".join(self._parameters))
            setattr(self, name, value)
        return self

    def fit(self, images, labels):
        """Trains the basis on images and enrols each as its label's person."""
        labels = [str(label) for label in labels]
        model = self._new_model()
        model.train(_images(images), labels)
        self._model = model
        return self

    def enrol(self, images, person):
        """Adds images of person (new or enrolled) without retraining the basis."""
        self._trained().enrol(_images(images), str(person))
        return self

    def remove(self, person):
        """Removes every image of person; the basis stays."""
        self._trained().remove(str(person))
        return self

    def identify(self, images, top=1):
        """One Identification per image, with the top nearest people as candidates."""
        found = self._trained().identify(_images(images), int(top))
        return [Identification(person, score, distance, rate,
                               [Candidate(*candidate) for candidate in candidates])
                for person, score, distance, rate, candidates in found]

    def predict(self, images):
        """The person in each image, or None for a stranger (an object array)."""
        answers = np.empty(len(_images(images)), dtype=object)
        answers[:] = [found.person for found in self.identify(images)]
        return answers

    def decision_function(self, images):
        """Each enrolled person's score against each image, shape (n, len(classes_)).

        Lower is more alike; a person is named when their score is the lowest
        and below the threshold.
        """
        classes = self.classes_
        column = {name: k for k, name in enumerate(classes)}
        found = self.identify(images, top=max(len(classes), 1))
        scores = np.full((len(found), len(classes)), np.inf)
        for row, one in enumerate(found):
            for candidate in one.candidates:
                scores[row, column[candidate.person]] = candidate.score
        return scores

    def score(self, images, labels):
        """The share of images named as their label says (a stranger's label
        is None); what scikit-learn's model selection maximises."""
        truth = [None if label is None else str(label) for label in labels]
        return float(np.mean([answer == want for answer, want in zip(self.predict(images), truth)]))

    def stranger_rate(self, images):
        """The share of strangers who would come as close as each image (NaN uncalibrated)."""
        return np.array([found.stranger_rate for found in self.identify(images)])

    def calibrate(self, stranger_rate):
        """Sets the threshold at which stranger_rate of strangers would be named,
        from the enrolled people alone (each left out in turn); returns what it set."""
        calibration = self._trained().calibrate(float(stranger_rate))
        self.threshold = calibration["threshold"]
        return calibration

    def set_threshold(self, threshold):
        """Sets the threshold by hand; a calibration's stranger scores stay."""
        self._trained().set_threshold(float(threshold))
        self.threshold = float(threshold)
        return self

    def save(self, path):
        """Writes the model to path atomically."""
        self._trained().save(str(path))

    @classmethod
    def load(cls, path):
        """A model written by save, with the parameters it was trained with."""
        model = _morlin.Identifier.load(str(path))
        settings = model.info()["settings"]
        identifier = cls(method=settings["method"],
                         kernel=kernel_names[settings["kernel_type"]] if settings["is_kernel"]
                         else None,
                         components=settings["components"],
                         distance=measure_names[settings["distance"]],
                         threshold=settings["threshold"], gamma=settings["gamma"],
                         coef0=settings["coef0"], degree=settings["degree"])
        identifier._model = model
        return identifier

    # pickle and copy (joblib, multiprocessing, scikit-learn's caches): the
    # parameters and the model file's bytes.
    def __getstate__(self):
        state = {"parameters": self.get_params(), "model": None}
        if self._model is not None and self._model.trained():
            with tempfile.TemporaryDirectory(prefix="morlin-") as folder:
                path = os.path.join(folder, "model.morlin")
                self._model.save(path)
                with open(path, "rb") as model:
                    state["model"] = model.read()
        return state

    def __setstate__(self, state):
        self.__init__(**state["parameters"])
        if state["model"] is not None:
            with tempfile.TemporaryDirectory(prefix="morlin-") as folder:
                path = os.path.join(folder, "model.morlin")
                with open(path, "wb") as model:
                    model.write(state["model"])
                self._model = _morlin.Identifier.load(path)

    @property
    def classes_(self):
        """The enrolled people, in enrolment order."""
        return np.array([name for name, _ in self._trained().info()["people"]], dtype=object)

    def info(self):
        """What the model holds: sizes, people, settings and calibration, as a dict."""
        return self._trained().info()

    def __repr__(self):
        shown = ", ".join(f"{name}={getattr(self, name)!r}" for name in self._parameters)
        return f"morlin.Identifier({shown})"
