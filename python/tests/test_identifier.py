"""The Python module against the C++ identifier (through the morlin command)
and against the mistakes a person makes with numpy."""

import copy
import json
import os
import pickle
import subprocess
import threading

import numpy as np
import pytest

import morlin
from conftest import ORL, TRAIN_PER_PERSON, photo


def morlin_command(*arguments):
    done = subprocess.run([os.environ["MORLIN_COMMAND"], *map(str, arguments)],
                          capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    return done.stdout


# (estimator parameters, the same as morlin train options, least share of
# probes whose nearest person is right: ORL is the easy set)
SETTINGS = [
    pytest.param({}, [], 0.95, id="default"),
    pytest.param({"method": "designed", "kernel": "rbf", "gamma": 1e-7, "components": 40,
                  "distance": "Euclidean", "threshold": 0.3},
                 ["--method", "designed", "--kernel", "rbf", "--gamma", "1e-7",
                  "--components", "40", "--distance", "Euclidean", "--threshold", "0.3"],
                 0.75, id="designed-rbf"),
]


@pytest.mark.parametrize("parameters, options, rank1", SETTINGS)
def test_fit_predict_gives_the_identifiers_answers(orl, tmp_path, parameters, options, rank1):
    model = morlin.Identifier(**parameters).fit(orl.gallery, orl.names)
    ours = model.identify(orl.probes)

    model_file = tmp_path / "orl.morlin"
    morlin_command("train", ORL, "--model", model_file, "--train", TRAIN_PER_PERSON, *options)
    theirs = json.loads(morlin_command("identify", "--model", model_file, "--json",
                                       *orl.probe_files))
    assert len(theirs) == len(ours)
    for one, answer in zip(ours, theirs):
        assert one.person == answer["person"]
        assert one.score == pytest.approx(answer["score"], rel=1e-9)
        assert one.distance == pytest.approx(answer["distance"], rel=1e-9)
    assert list(model.predict(orl.probes)) == [one.person for one in ours]
    nearest = sum(one.candidates[0].person == truth for one, truth in zip(ours, orl.probe_names))
    assert nearest / len(ours) >= rank1


def test_a_saved_model_answers_as_the_command_and_as_before(orl, tmp_path):
    model = morlin.Identifier().fit(orl.gallery, orl.names)
    calibration = model.calibrate(0.1)
    assert 0 < calibration["threshold"] < 1 and calibration["people"] == 40
    path = tmp_path / "calibrated.morlin"
    model.save(path)

    loaded = morlin.Identifier.load(path)
    assert loaded.get_params() == model.get_params()
    assert list(loaded.predict(orl.probes)) == list(model.predict(orl.probes))
    rates = loaded.stranger_rate(orl.probes)
    assert np.all((rates >= 0) & (rates <= 1))
    theirs = json.loads(morlin_command("identify", "--model", path, "--json", orl.probe_files[0]))
    assert loaded.identify(orl.probes[:1])[0].stranger_rate == pytest.approx(
        theirs[0]["stranger_rate"], rel=1e-9)


def test_strangers_are_turned_away_and_people_join_without_retraining(orl):
    enrolled = [name != "s1" for name in orl.names]
    model = morlin.Identifier().fit(orl.gallery[enrolled], np.array(orl.names)[enrolled])
    model.calibrate(0.05)
    stranger = orl.probes[[name == "s1" for name in orl.probe_names]]
    assert sum(person is None for person in model.predict(stranger)) >= 3

    model.enrol(orl.gallery[[not e for e in enrolled]], "s1")
    # A gallery this small is trained again on everybody as people come.
    assert "s1" in model.classes_ and model.info()["basis_images"] == 200
    assert model.info()["trained_again_on_enrolment"]
    assert list(model.predict(stranger)).count("s1") >= 4
    model.remove("s1")
    assert "s1" not in model.classes_


def test_decision_function_scores_every_person_and_the_lowest_is_predicted(orl):
    model = morlin.Identifier().fit(orl.gallery, orl.names)
    scores = model.decision_function(orl.probes[:10])
    assert scores.shape == (10, 40) and np.all(np.isfinite(scores))
    nearest = model.classes_[np.argmin(scores, axis=1)]
    assert list(nearest) == [one.candidates[0].person for one in model.identify(orl.probes[:10])]


def test_the_module_reports_the_library_version():
    version = morlin_command("--version").split()[-1]
    assert morlin.__version__ == version


def test_labels_of_any_kind_are_names_and_lists_of_images_are_stacks(orl):
    numbers = [int(name[1:]) for name in orl.names]
    model = morlin.Identifier().fit(list(orl.gallery), numbers)
    assert set(model.classes_) == {str(n) for n in range(1, 41)}
    assert model.predict(orl.probes[:1])[0] == "1"


def test_pickled_copies_answer_as_the_original(orl):
    model = morlin.Identifier(method="designed", kernel="rbf", gamma=1e-7).fit(orl.gallery, orl.names)
    model.calibrate(0.1)
    for duplicate in (pickle.loads(pickle.dumps(model)), copy.deepcopy(model)):
        assert duplicate.get_params() == model.get_params()
        assert list(duplicate.predict(orl.probes)) == list(model.predict(orl.probes))
    untrained = pickle.loads(pickle.dumps(morlin.Identifier(components=12)))
    assert untrained.components == 12
    with pytest.raises(morlin.Error, match="not trained"):
        untrained.predict(orl.probes)


def test_scikit_learn_model_selection_drives_it(orl):
    sklearn = pytest.importorskip("sklearn.model_selection")
    labels = np.array(orl.names)
    scores = sklearn.cross_val_score(morlin.Identifier(), orl.gallery, labels,
                                     cv=sklearn.StratifiedKFold(n_splits=5))
    assert len(scores) == 5 and scores.mean() > 0.9
    search = sklearn.GridSearchCV(morlin.Identifier(method="designed"),
                                  {"components": [5, 40]}, cv=sklearn.StratifiedKFold(5))
    search.fit(orl.gallery, labels)
    assert search.best_params_ == {"components": 40}


def test_identifications_on_threads_at_once_agree(orl):
    model = morlin.Identifier().fit(orl.gallery, orl.names)
    expected = list(model.predict(orl.probes))
    answers = [None] * 4

    def identify(k):
        answers[k] = list(model.predict(orl.probes))

    threads = [threading.Thread(target=identify, args=(k,)) for k in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert answers == [expected] * 4


MISTAKES = [
    pytest.param(lambda f: f.gallery.astype(np.float64), TypeError, "dtype uint8", id="float"),
    pytest.param(lambda f: f.gallery.astype(np.int32), TypeError, "dtype uint8", id="int32"),
    pytest.param(lambda f: f.gallery[0], ValueError, r"shape \(n, rows, columns\)", id="one-2d"),
    pytest.param(lambda f: f.gallery.reshape(len(f.gallery), -1), ValueError, "shape",
                 id="flattened"),
    pytest.param(lambda f: f.gallery[:, :0, :], ValueError, "no pixels", id="empty"),
    pytest.param(lambda f: "faces", TypeError, "dtype uint8", id="text"),
]


@pytest.mark.parametrize("make, error, message", MISTAKES)
def test_bad_images_raise_a_clear_error(orl, make, error, message):
    with pytest.raises(error, match=message):
        morlin.Identifier().fit(make(orl), orl.names)


def test_misuse_raises_with_the_reason(orl, tmp_path):
    with pytest.raises(ValueError, match="labels must name each image"):
        morlin.Identifier().fit(orl.gallery, orl.names[:-1])
    with pytest.raises(ValueError, match="unknown kernel 'gauss'"):
        morlin.Identifier(kernel="gauss").fit(orl.gallery, orl.names)
    with pytest.raises(ValueError, match="unknown distance"):
        morlin.Identifier(distance=10).fit(orl.gallery, orl.names)
    with pytest.raises(morlin.Error, match="not trained"):
        morlin.Identifier().predict(orl.probes)
    model = morlin.Identifier().fit(orl.gallery, orl.names)
    with pytest.raises(morlin.Error, match="50x50 pixels; the model.s images are 92x112"):
        model.predict(orl.probes[:, :50, :50].copy())
    with pytest.raises(morlin.Error):
        model.calibrate(1.5)
    with pytest.raises(morlin.Error):
        model.remove("nobody")


@pytest.mark.parametrize("damage", [
    pytest.param(lambda data: data[: len(data) // 2], id="truncated"),
    pytest.param(lambda data: data[:100] + bytes([data[100] ^ 0xFF]) + data[101:], id="flipped"),
    pytest.param(lambda data: b"", id="empty"),
])
def test_a_damaged_model_file_raises_naming_it(orl, tmp_path, damage):
    path = tmp_path / "model.morlin"
    morlin.Identifier().fit(orl.gallery[:50], orl.names[:50]).save(path)
    path.write_bytes(damage(path.read_bytes()))
    with pytest.raises(morlin.Error, match="model.morlin"):
        morlin.Identifier.load(path)
    with pytest.raises(morlin.Error, match="missing.morlin"):
        morlin.Identifier.load(tmp_path / "missing.morlin")


def test_photos_of_any_size_train_and_every_face_is_found_and_named(orl, tmp_path):
    # Five people, two photos each, of three sizes: a ragged list.
    sizes = [(400, 300), (480, 640), (600, 800)]
    photos, names = [], []
    for person in range(5):
        for k in range(2):
            picture, _ = photo([orl.gallery[person * 5 + k]], sizes[(person + k) % 3], seed=person)
            photos.append(picture)
            names.append(orl.names[person * 5])
    model = morlin.Identifier().fit(photos, names)
    assert model.info()["faces"] == "found"
    assert model.info()["threshold_origin"] == "calibrated"

    group, boxes = photo([orl.probes[0], orl.probes[5], orl.probes[5 * 30]], (600, 900))
    faces = model.identify_faces(group, top=2)
    assert len(faces) == 3
    found = sorted(faces, key=lambda f: f.face.box[0])
    for answer, box in zip(found, boxes):
        x, y, w, h = answer.face.box
        assert box[0] <= x + w / 2 <= box[0] + box[2] and box[1] <= y + h / 2 <= box[1] + box[3]
    nearest = [answer.identification.candidates[0].person for answer in found]
    assert nearest[:2] == [orl.probe_names[0], orl.probe_names[5]]
    assert found[2].identification.person is None  # s31 was never enrolled

    # The same faces found in the colour photo and in its grey.
    grey = np.round(group @ np.array([0.299, 0.587, 0.114])).astype(np.uint8)
    assert [f.box for f in morlin.find_faces(grey)] == [f.box for f in morlin.find_faces(group)]
    # predict names each photo's largest face; a photo without one gives None.
    empty, _ = photo([], (300, 400))
    assert list(model.predict([group, empty]))[1] is None

    # Saved, opened elsewhere, enrolled through one and seen by the other.
    path = tmp_path / "photos.morlin"
    model.save(path, key="a key")
    shared = morlin.Identifier.open(path, key="a key")
    reader = morlin.Identifier.open(path, key="a key")
    newcomer = [photo([orl.gallery[5 * 30 + k]], (480, 640), seed=k)[0] for k in range(3)]
    shared.enrol(newcomer, "s31")
    assert "s31" in reader.classes_
    morlin.Identifier.backup(path, tmp_path / "copy.morlin", key="a key")
    assert "s31" in morlin.Identifier.load(tmp_path / "copy.morlin", key="a key").classes_
    with pytest.raises(morlin.Error, match="key"):
        morlin.Identifier.load(path)
