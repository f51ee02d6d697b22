"""Face identification with the Morlin recognizer, as a scikit-learn style estimator.

    import numpy as np, morlin
    model = morlin.Identifier()
    model.fit(photos, names)          # photos: a list of uint8 arrays (H, W) or (H, W, 3),
                                      # red, green, blue, any sizes; or crops of one size
                                      # as an array (n, rows, columns)
    model.predict(probes)             # names, None where the face is a stranger
    model.identify_faces(group)       # every face of a photo: box, eyes, who
    model.save("faces.morlin")
    model = morlin.Identifier.load("faces.morlin")
    morlin.find_faces(photo)          # the faces of a photo, largest first

Training calibrates the threshold for 5 % of strangers named unless a
threshold or calibrate_for is given. OpenCV's images are blue, green, red:
convert them with cv2.cvtColor(image, cv2.COLOR_BGR2RGB) first.

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

__all__ = ["Identifier", "Identification", "Candidate", "Face", "FaceIdentification", "Error",
           "find_faces", "kernel_names", "measure_names", "method_names", "method_description"]

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


Face = namedtuple("Face", "box left_eye right_eye confidence")
Face.__doc__ = """A face found in a photo.

box         (x, y, width, height) in the photo's pixels
left_eye    (x, y) of the eye on the photo's left, or None when not found
right_eye   the other, or None
confidence  the detector's margin: 0 at its threshold, higher the surer
"""

FaceIdentification = namedtuple("FaceIdentification", "face identification")
FaceIdentification.__doc__ = "One face of a photo (a Face) and who it is (an Identification)."


def _face(found):
    box, left, right, confidence = found
    return Face(tuple(box), None if left is None else tuple(left),
                None if right is None else tuple(right), confidence)


def _identification(found):
    person, score, distance, rate, candidates = found
    return Identification(person, score, distance, rate,
                          [Candidate(*candidate) for candidate in candidates])


def find_faces(image):
    """The faces of image (uint8, (H, W) or (H, W, 3) red, green, blue), largest first."""
    return [_face(found) for found in _morlin.find_faces(image)]


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


def _are_photos(images, faces):
    """Whether images are photos to find faces in, rather than crops: as
    faces says ("find" or "whole"), or by their form ("decide"): a stacked
    array, or a list of grey images of one size, is crops; anything else
    (a list of colour images, or of sizes that differ) is photos."""
    if faces == "find":
        return True
    if faces == "whole":
        return False
    if faces != "decide":
        raise ValueError(f"unknown faces {faces!r}: use \"decide\", \"find\" or \"whole\"")
    if not isinstance(images, (list, tuple)) or not images:
        return False
    shapes = {np.shape(image) for image in images}
    return len(shapes) != 1 or len(next(iter(shapes))) != 2


class Identifier:
    """Names the people in face images, or says a face is nobody enrolled.

    method         "lbp-discriminant" (default), "discriminant" or "designed"
    kernel         None (plain PCA), "linear", "poly", "rbf" or "sigmoid"
    components     principal components kept (the designed method)
    distance       measure name or index 0-9 (the designed method)
    threshold      a face is named when its score is below it; None: calibrated
                   by fit (calibrate_for), or the designed method's 3
    calibrate_for  the share of strangers fit calibrates the threshold for
                   (None: 5 %, none for the designed method)
    gamma, coef0, degree  the kernel's parameters
    faces          "decide" (default), "find" (photos: find the largest face of
                   each) or "whole" (crops of one size, as they are)
    face_size      (width, height) of the faces aligned from photos
    """

    _parameters = ("method", "kernel", "components", "distance", "threshold", "calibrate_for",
                   "gamma", "coef0", "degree", "faces", "face_size")

    def __init__(self, method="lbp-discriminant", kernel=None, components=30,
                 distance="CityBlock", threshold=None, calibrate_for=None, gamma=1.0, coef0=0.0,
                 degree=2.0, faces="decide", face_size=(92, 112)):
        self.method = method
        self.kernel = kernel
        self.components = components
        self.distance = distance
        self.threshold = threshold
        self.calibrate_for = calibrate_for
        self.gamma = gamma
        self.coef0 = coef0
        self.degree = degree
        self.faces = faces
        self.face_size = face_size
        self._model = None

    def _new_model(self):
        is_kernel, kernel_type = _kernel(self.kernel)
        if self.method not in method_names:
            raise ValueError(f"unknown method {self.method!r}: use one of "
                             + ", ".join(method_names))
        width, height = self.face_size
        return _morlin.Identifier(self.method, is_kernel, kernel_type, int(self.components),
                                  _distance(self.distance),
                                  None if self.threshold is None else float(self.threshold),
                                  None if self.calibrate_for is None else float(self.calibrate_for),
                                  float(self.gamma), float(self.coef0), float(self.degree),
                                  int(height), int(width))

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
        """Trains on images (crops, or photos: see faces) and enrols each as its
        label's person; photos give their largest face (Error for one with none)."""
        labels = [str(label) for label in labels]
        model = self._new_model()
        if _are_photos(images, self.faces):
            model.train_photos(list(images), labels)
        else:
            model.train(_images(images), labels)
        self._model = model
        return self

    def _found(self):
        """Whether the model's faces are found in photos (not crops)."""
        return self._trained().info()["faces"] == "found"

    def enrol(self, images, person):
        """Adds images of person (new or enrolled) without retraining the basis:
        photos' largest faces for a model of photos, crops for a crop model."""
        if self._found():
            self._trained().enrol_photos(list(images), str(person))
        else:
            self._trained().enrol(_images(images), str(person))
        return self

    def remove(self, person):
        """Removes every image of person; the basis stays."""
        self._trained().remove(str(person))
        return self

    def identify(self, images, top=1):
        """One Identification per image, with the top nearest people as candidates.
        For a model of photos, each photo's largest face (None for a photo
        without one)."""
        if self._found():
            answers = []
            for photo in images:
                faces = self.identify_faces(photo, top)
                answers.append(faces[0].identification if faces else None)
            return answers
        return [_identification(found) for found in self._trained().identify(_images(images), int(top))]

    def identify_faces(self, photo, top=1):
        """Every face of photo and who it is, largest first, as FaceIdentification:
        for a crop model the photo itself, a crop of its size."""
        return [FaceIdentification(_face(face), _identification(found))
                for face, found in self._trained().identify_faces(photo, int(top))]

    def predict(self, images):
        """The person in each image, or None for a stranger (an object array)."""
        found = self.identify(images)
        answers = np.empty(len(found), dtype=object)
        answers[:] = [None if one is None else one.person for one in found]
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
            for candidate in ([] if one is None else one.candidates):
                scores[row, column[candidate.person]] = candidate.score
        return scores

    def score(self, images, labels):
        """The share of images named as their label says (a stranger's label
        is None); what scikit-learn's model selection maximises."""
        truth = [None if label is None else str(label) for label in labels]
        return float(np.mean([answer == want for answer, want in zip(self.predict(images), truth)]))

    def stranger_rate(self, images):
        """The share of strangers who would come as close as each image (NaN uncalibrated)."""
        return np.array([np.nan if found is None else found.stranger_rate
                         for found in self.identify(images)])

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

    def save(self, path, key=None):
        """Writes the model to path (a model database; encrypted at rest with key)."""
        self._trained().save(str(path), key or "")

    @classmethod
    def load(cls, path, key=None):
        """A copy of the model in path, with the parameters it was trained with;
        changes stay in memory until saved."""
        return cls._wrap(_morlin.Identifier.load(str(path), key or ""))

    @classmethod
    def open(cls, path, key=None):
        """The model in path, shared with every program that opens it: each
        change (fit, enrol, remove, calibrate) is committed to it at once, and
        each call first takes what others committed."""
        return cls._wrap(_morlin.Identifier.open(str(path), key or ""))

    @staticmethod
    def backup(path, copy, key=None):
        """A copy of the model in path at copy, made while others may use it."""
        _morlin.Identifier.backup(str(path), str(copy), key or "")

    @classmethod
    def _wrap(cls, model):
        info = model.info()
        settings = info["settings"]
        identifier = cls(method=settings["method"],
                         kernel=kernel_names[settings["kernel_type"]] if settings["is_kernel"]
                         else None,
                         components=settings["components"],
                         distance=measure_names[settings["distance"]],
                         threshold=settings["threshold"], gamma=settings["gamma"],
                         coef0=settings["coef0"], degree=settings["degree"],
                         faces="find" if info["faces"] == "found" else "decide",
                         face_size=(info["columns"], info["rows"]))
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
