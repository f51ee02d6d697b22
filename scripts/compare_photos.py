"""Morlin on photos beside the classic recognisers, in one run.

For each half of ORL (the even and the odd people enrolled, as the open-set
protocol of compare-peers has it), compose-photos makes training photos of the
enrolled people (one face each) and group photos of everybody's other faces
(two to five to a photo, and photos with none), with the true boxes kept.

Finding: our finder (morlin identify) and OpenCV's Haar cascade of frontal
faces alone (scale 1.1, 5 neighbours, faces from 1/12 of the shorter side):
faces found (a box with intersection over union at least 0.5), false boxes
per photo, and false boxes named as someone.

Naming, open set: we train on the training photos (morlin train: faces found
and aligned, calibrated for 5 % of strangers); LBPH, Fisherfaces and
Eigenfaces train on the cascade's boxes of the same photos, cut to our crops'
shape and size. Every face of the group photos is a search: an enrolled
person's should be named (one the finder missed is a miss), a stranger's and a
false box should not. FNIR at FPIR 10 %: the share of enrolled faces not named
rightly at the threshold that names 10 % of the other searches.

Prints one JSON object: per half and method."""
import json
import pathlib
import subprocess
import sys

import cv2
import numpy as np

CASCADE = "/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml"
CROP_W, CROP_H = 92, 112
# Where a face's box lies in a 92 x 112 crop (ORL's crops under the cascade):
# its centre at (0.478, 0.558) of the crop, its side 0.978 of the width.
BOX_CENTRE = (0.478, 0.558)
BOX_SIDE = 0.978


def iou(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    ix = max(0.0, min(ax + aw, bx + bw) - max(ax, bx))
    iy = max(0.0, min(ay + ah, by + bh) - max(ay, by))
    inside = ix * iy
    return inside / (aw * ah + bw * bh - inside)


def haar_boxes(cascade, grey):
    smallest = max(24, min(grey.shape) // 12)
    return [tuple(map(float, b)) for b in cascade.detectMultiScale(grey, 1.1, 5, minSize=(smallest, smallest))]


def cut(grey, box):
    """The box's face cut to the crops' shape and size, the edge repeated."""
    x, y, w, h = box
    width = w / BOX_SIDE
    height = width * CROP_H / CROP_W
    left = x + w / 2 - BOX_CENTRE[0] * width
    top = y + h / 2 - BOX_CENTRE[1] * height
    scale = CROP_W / width
    m = np.array([[scale, 0, -left * scale], [0, scale, -top * scale]])
    return cv2.warpAffine(grey, m, (CROP_W, CROP_H), flags=cv2.INTER_AREA, borderMode=cv2.BORDER_REPLICATE)


def match(truth_faces, boxes):
    """For each true face the index of its box (IoU >= 0.5), greedily by overlap."""
    pairs = sorted(((iou(f["box"], b), i, k) for i, f in enumerate(truth_faces) for k, b in enumerate(boxes)),
                   reverse=True)
    face_box, used = {}, set()
    for overlap, i, k in pairs:
        if overlap < 0.5 or i in face_box or k in used:
            continue
        face_box[i] = k
        used.add(k)
    return face_box


def open_set(searches, enrolled_faces):
    """FNIR at FPIR 10 %: searches are (score, named person, true person or None)."""
    non_mated = sorted(s for s, _, truth in searches if truth is None)
    if not non_mated:
        return None
    # The largest threshold that names at most 10 % of the non-mated searches.
    allowed = int(0.1 * len(non_mated))
    threshold = non_mated[allowed] if allowed < len(non_mated) else float("inf")
    right = sum(1 for s, named, truth in searches if truth is not None and named == truth and s < threshold)
    return 1.0 - right / enrolled_faces


def evaluate(half_dir, morlin):
    truth = json.loads((half_dir / "truth.json").read_text())
    photos = sorted((half_dir / "probes").glob("*.jpg"))
    enrolled_faces = sum(1 for faces in truth.values() for f in faces if f["enrolled"])
    all_faces = sum(len(faces) for faces in truth.values())
    results = {}

    # Ours.
    model = half_dir / "model.morlin"
    subprocess.run([morlin, "train", str(half_dir / "train"), "--model", str(model)], check=True,
                   capture_output=True)
    answers = json.loads(subprocess.run([morlin, "identify", "--json", "--model", str(model)] +
                                        [str(p) for p in photos], check=True, capture_output=True,
                                        text=True).stdout)
    by_photo = {}
    for a in answers:
        if a["box"]:
            b = a["box"]
            by_photo.setdefault(pathlib.Path(a["image"]).name, []).append(
                ((b["x"], b["y"], b["width"], b["height"]), a))
    results["ours"] = score(truth, by_photo, enrolled_faces, all_faces, len(photos),
                            lambda a: (a["candidates"][0]["score"], a["candidates"][0]["person"],
                                       a["person"] is not None))

    # The peers, on the cascade's boxes.
    cascade = cv2.CascadeClassifier(CASCADE)
    crops, labels, names = [], [], {}
    for person_dir in sorted((half_dir / "train").iterdir()):
        for photo in sorted(person_dir.glob("*.jpg")):
            grey = cv2.cvtColor(cv2.imread(str(photo)), cv2.COLOR_BGR2GRAY)
            boxes = haar_boxes(cascade, grey)
            if not boxes:
                continue
            crops.append(cut(grey, max(boxes, key=lambda b: b[2])))
            labels.append(names.setdefault(person_dir.name, len(names)))
    person_of = {v: k for k, v in names.items()}
    probe_boxes = {}
    for photo in photos:
        grey = cv2.cvtColor(cv2.imread(str(photo)), cv2.COLOR_BGR2GRAY)
        probe_boxes[photo.name] = [(b, cut(grey, b)) for b in haar_boxes(cascade, grey)]
    peers = {"LBPH": cv2.face.LBPHFaceRecognizer_create(),
             "Fisherfaces": cv2.face.FisherFaceRecognizer_create(),
             "Eigenfaces": cv2.face.EigenFaceRecognizer_create()}
    for name, recogniser in peers.items():
        recogniser.train(crops, np.array(labels))
        predicted = {photo: [(b, recogniser.predict(c)) for b, c in boxes] for photo, boxes in probe_boxes.items()}
        # A classic recogniser names every box it is given.
        results[name] = score(truth, predicted, enrolled_faces, all_faces, len(photos),
                              lambda p: (p[1], person_of[p[0]], True))
    return results


def score(truth, boxes_of_photo, enrolled_faces, all_faces, photos, read):
    """Finding and naming figures from (box, answer) pairs per photo; read(answer)
    gives (score, top person, named at the method's own threshold)."""
    found = false_boxes = false_named = 0
    searches = []
    for photo, faces in truth.items():
        boxes = boxes_of_photo.get(photo, [])
        face_box = match(faces, [b for b, _ in boxes])
        found += len(face_box)
        for i, f in enumerate(faces):
            truth_person = f["person"] if f["enrolled"] else None
            if i in face_box:
                s, person, _ = read(boxes[face_box[i]][1])
                searches.append((s, person, truth_person))
            elif truth_person is None:
                searches.append((float("inf"), None, None))
        matched = set(face_box.values())
        for k, (_, answer) in enumerate(boxes):
            if k in matched:
                continue
            false_boxes += 1
            s, person, named = read(answer)
            false_named += 1 if named else 0
            searches.append((s, person, None))
    return {"found": found / all_faces, "false_boxes_per_photo": false_boxes / photos,
            "false_boxes_named": false_named, "fnir_at_fpir_10": open_set(searches, enrolled_faces)}


def main():
    morlin, compose, faces, work = sys.argv[1:5]
    backgrounds = sys.argv[5:]
    report = {}
    for seed, half in enumerate(("even", "odd"), start=1):
        half_dir = pathlib.Path(work) / half
        subprocess.run([compose, faces, str(half_dir), "--half", half, "--seed", str(seed)] +
                       (["--backgrounds", backgrounds[0]] if backgrounds else []),
                       check=True, capture_output=True)
        report[half] = evaluate(half_dir, morlin)
    print(json.dumps(report))


if __name__ == "__main__":
    main()
