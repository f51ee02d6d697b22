// The Python extension morlin._morlin: the identifier of libmorlin.so for
// the estimator in morlin/__init__.py. Images come as numpy uint8 arrays of
// shape (n, rows, columns); every failure becomes a Python exception with
// the library's reason, and the long calls let other Python threads run.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "morlin/identifier.h"

namespace py = pybind11;

namespace {

// A stack of grey images the library reads in place: the array stays
// referenced (and contiguous) for as long as the images are in use.
struct ImageStack {
    py::array_t<std::uint8_t, py::array::c_style> pixels;
    std::vector<morlin::Image> images;
};

std::string ShapeText(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t d = 0; d < array.ndim(); ++d)
        text += (d ? ", " : "") + std::to_string(array.shape(d));
    return text + (array.ndim() == 1 ? ",)" : ")");
}

ImageStack Stack(const py::object& given, const char* what) {
    if (!py::isinstance<py::array>(given))
        throw py::type_error(std::string(what) +
                             " must be a numpy array of shape (n, rows, columns)");
    const auto array = py::reinterpret_borrow<py::array>(given);
    if (!array.dtype().is(py::dtype::of<std::uint8_t>()))
        throw py::type_error(std::string(what) +
                             " must have dtype uint8 (grey levels 0-255); got " +
                             std::string(py::str(array.dtype())) +
                             ": convert with np.clip(x, 0, 255).astype(np.uint8)");
    if (array.ndim() != 3)
        throw py::value_error(std::string(what) + " must have shape (n, rows, columns); got " +
                              ShapeText(array) +
                              (array.ndim() == 2 ? ": give one image as image[None]" : ""));
    if (array.shape(0) == 0 || array.shape(1) == 0 || array.shape(2) == 0)
        throw py::value_error(std::string(what) + " holds no pixels: shape " + ShapeText(array));
    if (array.shape(1) > INT32_MAX / array.shape(2))
        throw py::value_error(std::string(what) + " are too large: shape " + ShapeText(array));

    ImageStack stack{py::array_t<std::uint8_t, py::array::c_style>::ensure(array), {}};
    const int rows = static_cast<int>(stack.pixels.shape(1));
    const int columns = static_cast<int>(stack.pixels.shape(2));
    const std::uint8_t* first = stack.pixels.data();
    const std::size_t imageSize =
        static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    for (py::ssize_t i = 0; i < stack.pixels.shape(0); ++i)
        stack.images.push_back(
            {rows, columns, first + static_cast<std::size_t>(i) * imageSize, nullptr});
    return stack;
}

morlin::Identifier NewIdentifier(const std::string& method, bool isKernel, int kernelType,
                                 int components, int distance, std::optional<double> threshold,
                                 std::optional<double> strangerRate, double gamma, double coef0,
                                 double degree, int faceRows, int faceColumns) {
    morlin::Settings settings;
    const auto named = morlin::MethodNamed(method);
    if (!named) throw py::value_error("unknown method \"" + method + "\"");
    settings.method = *named;
    settings.designed.isKernel = isKernel;
    settings.designed.kernelType = kernelType;
    settings.designed.componentNum = components;
    settings.designed.distanceType = distance;
    // A threshold given is kept; otherwise the library's rule (see Settings).
    if (threshold) {
        settings.designed.threshold = *threshold;
        settings.strangerRate = 0.0;
    }
    if (strangerRate) settings.strangerRate = strangerRate;
    settings.faceRows = faceRows;
    settings.faceColumns = faceColumns;
    settings.designed.gamma = gamma;
    settings.designed.coef0 = coef0;
    settings.designed.degree = degree;
    return morlin::Identifier(settings);
}

py::dict CalibrationDict(const morlin::Calibration& c) {
    py::dict d;
    d["target"] = c.target;
    d["threshold"] = c.threshold;
    d["people"] = c.people;
    d["searches"] = c.searches;
    d["warning"] = c.warning;
    return d;
}

py::dict InfoDict(const morlin::ModelInfo& info) {
    const PCAParameter& p = info.settings.designed;
    py::dict settings;
    settings["method"] = morlin::MethodName(info.settings.method);
    settings["is_kernel"] = p.isKernel;
    settings["kernel_type"] = p.kernelType;
    settings["components"] = p.componentNum;
    settings["distance"] = p.distanceType;
    settings["threshold"] = p.threshold;
    settings["gamma"] = p.gamma;
    settings["coef0"] = p.coef0;
    settings["degree"] = p.degree;
    py::list people;
    for (const morlin::Person& person : info.people)
        people.append(py::make_tuple(person.name, person.images));
    py::dict d;
    d["settings"] = settings;
    d["rows"] = info.rows;
    d["columns"] = info.columns;
    d["basis_images"] = info.basisImages;
    d["components"] = info.components;
    d["dimensions"] = info.dimensions;
    d["people"] = people;
    d["enrolled_images"] = info.enrolledImages;
    d["image_people"] = info.imagePeople;
    d["calibration"] =
        info.calibration ? py::object(CalibrationDict(*info.calibration)) : py::object(py::none());
    d["faces"] = info.faces == morlin::FaceSource::Found ? "found" : "crops";
    d["threshold_origin"] =
        info.thresholdOrigin == morlin::ThresholdOrigin::Calibrated ? "calibrated" : "given";
    d["threshold_note"] = info.thresholdNote;
    d["trained_again_on_enrolment"] = info.stageFollowsGallery;
    return d;
}

// (person or None, score, distance, stranger rate, [(person, score, image), ...])
py::tuple IdentificationTuple(const morlin::Identification& found) {
    py::list candidates;
    for (const morlin::Candidate& c : found.candidates)
        candidates.append(py::make_tuple(c.person, c.score, c.image));
    return py::make_tuple(
        found.person ? py::object(py::str(*found.person)) : py::object(py::none()), found.score,
        found.distance, found.strangerRate, candidates);
}

// A photo the library reads in place: an array of shape (rows, columns) or
// (rows, columns, 3 or 4), red, green, blue (and alpha), kept referenced.
struct PictureHold {
    py::array_t<std::uint8_t, py::array::c_style> pixels;
    morlin::Picture picture;
};

PictureHold PictureOf(const py::object& given, const std::string& what) {
    if (!py::isinstance<py::array>(given))
        throw py::type_error(what +
                             " must be a numpy array of shape (rows, columns) or "
                             "(rows, columns, 3): red, green, blue");
    const auto array = py::reinterpret_borrow<py::array>(given);
    if (!array.dtype().is(py::dtype::of<std::uint8_t>()))
        throw py::type_error(what + " must have dtype uint8; got " +
                             std::string(py::str(array.dtype())));
    const bool grey = array.ndim() == 2;
    if (!grey && !(array.ndim() == 3 && (array.shape(2) == 3 || array.shape(2) == 4)))
        throw py::value_error(what +
                              " must have shape (rows, columns), (rows, columns, 3) or "
                              "(rows, columns, 4); got " +
                              ShapeText(array));
    if (array.shape(0) == 0 || array.shape(1) == 0)
        throw py::value_error(what + " holds no pixels: shape " + ShapeText(array));
    if (array.shape(0) > INT32_MAX || array.shape(1) > INT32_MAX / 4)
        throw py::value_error(what + " is too large: shape " + ShapeText(array));
    PictureHold hold{py::array_t<std::uint8_t, py::array::c_style>::ensure(array), {}};
    hold.picture.rows = static_cast<int>(hold.pixels.shape(0));
    hold.picture.columns = static_cast<int>(hold.pixels.shape(1));
    hold.picture.channels = grey ? 1 : static_cast<int>(hold.pixels.shape(2));
    hold.picture.pixels = hold.pixels.data();
    return hold;
}

std::vector<PictureHold> PicturesOf(const py::sequence& given) {
    std::vector<PictureHold> holds;
    for (size_t i = 0; i < given.size(); ++i)
        holds.push_back(PictureOf(given[i], "photo " + std::to_string(i)));
    return holds;
}

std::vector<morlin::Picture> Pictures(const std::vector<PictureHold>& holds) {
    std::vector<morlin::Picture> pictures;
    for (const PictureHold& hold : holds) pictures.push_back(hold.picture);
    return pictures;
}

// One finder for the interpreter's life: its detectors load once.
const morlin::FaceFinder& SharedFinder() {
    static const morlin::FaceFinder finder;
    return finder;
}

py::object PointOf(const std::optional<morlin::Point>& point) {
    return point ? py::object(py::make_tuple(point->x, point->y)) : py::object(py::none());
}

// (box (x, y, width, height), left eye, right eye, confidence)
py::tuple FaceTuple(const morlin::Face& face) {
    return py::make_tuple(py::make_tuple(face.box.x, face.box.y, face.box.width, face.box.height),
                          PointOf(face.leftEye), PointOf(face.rightEye), face.confidence);
}

}  // namespace

PYBIND11_MODULE(_morlin, m) {
    m.doc() = "libmorlin.so's face identifier; use the estimator morlin.Identifier.";
    m.attr("__version__") = MORLIN_VERSION;
    py::register_exception<morlin::Error>(m, "Error", PyExc_RuntimeError);

    m.attr("kernel_names") = std::vector<std::string>(kernelNames.begin(), kernelNames.end());
    std::vector<std::string> measures;
    for (int i = 0; i < distanceMeasureCount; ++i) measures.emplace_back(MeasureName(i));
    m.attr("measure_names") = measures;
    std::vector<std::string> methods;
    for (morlin::Method method : morlin::allMethods) methods.push_back(morlin::MethodName(method));
    m.attr("method_names") = methods;
    m.def("method_description", [](const std::string& name) {
        const auto method = morlin::MethodNamed(name);
        if (!method) throw py::value_error("unknown method \"" + name + "\"");
        return morlin::MethodDescription(*method);
    });

    m.def(
        "find_faces",
        [](const py::object& image) {
            const PictureHold hold = PictureOf(image, "image");
            std::vector<morlin::Face> faces;
            {
                py::gil_scoped_release free;
                faces = SharedFinder().Find(hold.picture);
            }
            py::list found;
            for (const morlin::Face& face : faces) found.append(FaceTuple(face));
            return found;
        },
        py::arg("image"));

    py::class_<morlin::Identifier>(m, "Identifier")
        .def(py::init(&NewIdentifier), py::arg("method"), py::arg("is_kernel"),
             py::arg("kernel_type"), py::arg("components"), py::arg("distance"),
             py::arg("threshold"), py::arg("stranger_rate"), py::arg("gamma"), py::arg("coef0"),
             py::arg("degree"), py::arg("face_rows"), py::arg("face_columns"))
        .def(
            "train_photos",
            [](morlin::Identifier& self, const py::sequence& photos,
               const std::vector<std::string>& people) {
                const std::vector<PictureHold> holds = PicturesOf(photos);
                if (people.size() != holds.size())
                    throw py::value_error(
                        "labels must name each photo: " + std::to_string(holds.size()) +
                        " photos, " + std::to_string(people.size()) + " labels");
                std::vector<morlin::TakenFace> taken;
                {
                    py::gil_scoped_release free;
                    taken = self.Train(Pictures(holds), people);
                }
                py::list faces;
                for (const morlin::TakenFace& t : taken)
                    faces.append(py::make_tuple(FaceTuple(t.face), t.found));
                return faces;
            },
            py::arg("photos"), py::arg("people"))
        .def(
            "enrol_photos",
            [](morlin::Identifier& self, const py::sequence& photos, const std::string& person) {
                const std::vector<PictureHold> holds = PicturesOf(photos);
                py::gil_scoped_release free;
                self.Enrol(Pictures(holds), person);
            },
            py::arg("photos"), py::arg("person"))
        .def(
            "identify_faces",
            [](const morlin::Identifier& self, const py::object& photo, int top) {
                const PictureHold hold = PictureOf(photo, "photo");
                std::vector<morlin::FaceIdentification> found;
                {
                    py::gil_scoped_release free;
                    found = self.IdentifyFaces(hold.picture, top);
                }
                py::list faces;
                for (const morlin::FaceIdentification& f : found)
                    faces.append(
                        py::make_tuple(FaceTuple(f.face), IdentificationTuple(f.identification)));
                return faces;
            },
            py::arg("photo"), py::arg("top") = 1)
        .def(
            "train",
            [](morlin::Identifier& self, const py::object& images,
               const std::vector<std::string>& people) {
                const ImageStack stack = Stack(images, "images");
                if (people.size() != stack.images.size())
                    throw py::value_error(
                        "labels must name each image: " + std::to_string(stack.images.size()) +
                        " images, " + std::to_string(people.size()) + " labels");
                py::gil_scoped_release free;
                self.Train(stack.images, people);
            },
            py::arg("images"), py::arg("people"))
        .def(
            "enrol",
            [](morlin::Identifier& self, const py::object& images, const std::string& person) {
                const ImageStack stack = Stack(images, "images");
                py::gil_scoped_release free;
                self.Enrol(stack.images, person);
            },
            py::arg("images"), py::arg("person"))
        .def("remove", &morlin::Identifier::Remove, py::arg("person"))
        .def(
            "identify",
            [](const morlin::Identifier& self, const py::object& images, int top) {
                const ImageStack stack = Stack(images, "images");
                std::vector<morlin::Identification> found;
                {
                    py::gil_scoped_release free;
                    found = self.Identify(stack.images, top);
                }
                py::list answers;
                for (const morlin::Identification& one : found)
                    answers.append(IdentificationTuple(one));
                return answers;
            },
            py::arg("images"), py::arg("top") = 1)
        .def(
            "calibrate",
            [](morlin::Identifier& self, double rate) {
                morlin::Calibration calibration;
                {
                    py::gil_scoped_release free;
                    calibration = self.Calibrate(rate);
                }
                return CalibrationDict(calibration);
            },
            py::arg("stranger_rate"))
        .def("set_threshold", &morlin::Identifier::SetThreshold, py::arg("threshold"))
        .def(
            "save",
            [](const morlin::Identifier& self, const std::string& path, const std::string& key) {
                self.Save(path, key);
            },
            py::arg("path"), py::arg("key") = std::string(),
            py::call_guard<py::gil_scoped_release>())
        .def_static(
            "load",
            [](const std::string& path, const std::string& key) {
                return morlin::Identifier::Load(path, key);
            },
            py::arg("path"), py::arg("key") = std::string(),
            py::call_guard<py::gil_scoped_release>())
        .def_static("open", &morlin::Identifier::Open, py::arg("path"),
                    py::arg("key") = std::string(), py::call_guard<py::gil_scoped_release>())
        .def_static("backup", &morlin::Identifier::Backup, py::arg("model"), py::arg("copy"),
                    py::arg("key") = std::string(), py::call_guard<py::gil_scoped_release>())
        .def("trained", &morlin::Identifier::Trained)
        .def("info", [](const morlin::Identifier& self) { return InfoDict(self.Info()); });
}
