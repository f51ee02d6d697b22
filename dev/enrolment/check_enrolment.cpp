// check-enrolment: what enrolling people into a trained model costs the
// people already there, beside one model trained on everybody at once, and
// whether two writers sharing a model database ever lose each other's work.
//
//   accuracy  For several orders of the people: trained on all but the last
//             LATER of them (their first five images), the LATER enrolled one
//             by one, then every probe (the other images) named; the share
//             named rightly, of the people trained on and of those enrolled
//             later, beside the model trained on all; the probes as taken and
//             relit. Then on random open-set halvings (the people morlin-eval
//             enrols for random:N): trained on all but LATER of the enrolled
//             half, LATER enrolled, the share of the strangers' images named
//             at the default calibration, beside training on the half.
//   writers   Two processes open one model database and enrol by turns, each
//             waiting for the other's commit before its next enrolment, so
//             each writes over a model the other has just changed; then every
//             person must be there.
//
// The library's default method and calibration throughout.
#include <sys/wait.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

#include "face_dataset.h"
#include "relighting.h"
#include "morlin/identifier.h"

namespace {

morlin::Image ImageOf(const FaceDataset& dataset, const FaceImage& face) {
    return {dataset.rows, dataset.columns, nullptr, face.grey.data()};
}

// The gallery images of people, with their names.
void GalleryOf(const FaceDataset& dataset, const std::set<std::string>& people,
               std::vector<morlin::Image>& images, std::vector<std::string>& names) {
    for (const FaceImage& face : dataset.gallery)
        if (people.count(face.person)) {
            images.push_back(ImageOf(dataset, face));
            names.push_back(face.person);
        }
}

// A model trained on first, then each of later enrolled in turn.
morlin::Identifier TrainThenEnrol(const FaceDataset& dataset, const std::vector<std::string>& first,
                                  const std::vector<std::string>& later) {
    std::vector<morlin::Image> images;
    std::vector<std::string> names;
    GalleryOf(dataset, {first.begin(), first.end()}, images, names);
    morlin::Identifier identifier;
    identifier.Train(images, names);
    for (const std::string& person : later) {
        std::vector<morlin::Image> own;
        std::vector<std::string> ignored;
        GalleryOf(dataset, {person}, own, ignored);
        identifier.Enrol(own, person);
    }
    return identifier;
}

struct Named {
    double first = 0.0;  // share of the probes of the people trained on named rightly
    double later = 0.0;  // of the people enrolled later
};

Named NamedRightly(const morlin::Identifier& identifier, const FaceDataset& probes,
                   const std::set<std::string>& later) {
    int right[2] = {0, 0}, count[2] = {0, 0};
    for (const FaceImage& probe : probes.probes) {
        if (!probes.IsEnrolled(probe.person)) continue;
        const morlin::Identification answer = identifier.Identify(ImageOf(probes, probe));
        const int group = later.count(probe.person) ? 1 : 0;
        ++count[group];
        right[group] += answer.person == probe.person ? 1 : 0;
    }
    return {count[0] ? double(right[0]) / count[0] : 0.0,
            count[1] ? double(right[1]) / count[1] : 0.0};
}

double StrangersNamed(const morlin::Identifier& identifier, const FaceDataset& dataset) {
    int named = 0, strangers = 0;
    for (const FaceImage& probe : dataset.probes) {
        if (dataset.IsEnrolled(probe.person)) continue;
        ++strangers;
        named += identifier.Identify(ImageOf(dataset, probe)).person ? 1 : 0;
    }
    return strangers ? double(named) / strangers : 0.0;
}

// people in the order seed draws, split into all but the last later and those.
void Split(std::vector<std::string> people, unsigned seed, int later,
           std::vector<std::string>& first, std::vector<std::string>& last) {
    std::mt19937 random(seed);
    std::shuffle(people.begin(), people.end(), random);
    const auto cut = people.end() - later;
    first.assign(people.begin(), cut);
    last.assign(cut, people.end());
}

struct Mean {
    double sum = 0.0, low = 1.0, high = 0.0;
    int count = 0;
    void Add(double value) {
        sum += value;
        low = std::min(low, value);
        high = std::max(high, value);
        ++count;
    }
    double Value() const { return count ? sum / count : 0.0; }
};

bool CheckAccuracy(const std::string& folder, int orders, int later, int halvings) {
    FaceDataset dataset;
    std::string error;
    if (!LoadFaceDataset(folder, 5, dataset, error)) {
        std::fprintf(stderr, "check-enrolment: %s\n", error.c_str());
        return false;
    }
    FaceDataset relit = dataset;
    RelightDataset(relit, Relight::Probes);
    const int people = static_cast<int>(dataset.enrolled.size());
    std::printf(
        "%d people, %d trained and %d enrolled after; named rightly "
        "(the %d / the %d), beside one model trained on all %d\n",
        people, people - later, later, people - later, later, people);
    const morlin::Identifier all = TrainThenEnrol(dataset, dataset.enrolled, {});
    bool met = true;
    Mean gap[2][2];  // [as taken, relit][first, later]: all-at-once minus enrolled
    for (int order = 1; order <= orders; ++order) {
        std::vector<std::string> first, last;
        Split(dataset.enrolled, static_cast<unsigned>(order), later, first, last);
        const morlin::Identifier enrolled = TrainThenEnrol(dataset, first, last);
        const std::set<std::string> lastSet(last.begin(), last.end());
        for (int lit = 0; lit < 2; ++lit) {
            const FaceDataset& probes = lit ? relit : dataset;
            const Named after = NamedRightly(enrolled, probes, lastSet);
            const Named once = NamedRightly(all, probes, lastSet);
            gap[lit][0].Add(once.first - after.first);
            gap[lit][1].Add(once.later - after.later);
            std::printf(
                "  order %d, probes %-8s enrolled after %.3f / %.3f   all at once "
                "%.3f / %.3f\n",
                order, lit ? "relit" : "as taken", after.first, after.later, once.first,
                once.later);
        }
    }
    // Goals: within 0.02 / 0.03 of training on all, relit within 0.03.
    const double goal[2][2] = {{0.02, 0.03}, {0.03, 0.03}};
    for (int lit = 0; lit < 2; ++lit)
        for (int group = 0; group < 2; ++group) {
            const bool within = gap[lit][group].Value() <= goal[lit][group];
            met = met && within;
            std::printf(
                "probes %s, the %s: all at once named %+.3f more on average "
                "(%+.3f to %+.3f; goal at most %.2f): %s\n",
                lit ? "relit" : "as taken", group ? "enrolled after" : "trained on",
                gap[lit][group].Value(), gap[lit][group].low, gap[lit][group].high,
                goal[lit][group], within ? "met" : "NOT MET");
        }

    Mean afterEnrolment, onceTrained;
    for (int seed = 0; seed < halvings; ++seed) {
        FaceDataset half;
        if (!LoadFaceDataset(folder, 5, half, error,
                             OpenSet(OpenSetHalf::Random, static_cast<unsigned>(seed)))) {
            std::fprintf(stderr, "check-enrolment: %s\n", error.c_str());
            return false;
        }
        std::vector<std::string> first, last;
        Split(half.enrolled, static_cast<unsigned>(seed) + 1000u, later, first, last);
        const double after = StrangersNamed(TrainThenEnrol(half, first, last), half);
        const double once = StrangersNamed(TrainThenEnrol(half, half.enrolled, {}), half);
        afterEnrolment.Add(after);
        onceTrained.Add(once);
        std::printf(
            "  halving random:%d: strangers named %.3f after enrolling %d, %.3f "
            "trained at once\n",
            seed, after, later, once);
    }
    const bool strangersWithin = afterEnrolment.Value() <= 0.075;
    met = met && strangersWithin;
    std::printf(
        "strangers named after enrolments (calibrated for 5 %%): %.3f (%.3f to %.3f) over "
        "%d halvings, trained at once %.3f; goal at most 0.075: %s\n",
        afterEnrolment.Value(), afterEnrolment.low, afterEnrolment.high, afterEnrolment.count,
        onceTrained.Value(), strangersWithin ? "met" : "NOT MET");
    return met;
}

// One writer: enrols its people one image each, waiting for its turn on
// turnIn and handing the turn over on turnOut after each commit.
int Writer(const std::string& model, const FaceDataset& dataset, char name, int enrolments,
           int turnIn, int turnOut) {
    try {
        morlin::Identifier shared = morlin::Identifier::Open(model);
        for (int i = 0; i < enrolments; ++i) {
            char turn = 0;
            if (read(turnIn, &turn, 1) != 1) return 3;
            const FaceImage& face =
                dataset.gallery[static_cast<size_t>(i) % dataset.gallery.size()];
            shared.Enrol({ImageOf(dataset, face)}, std::string(1, name) + std::to_string(i));
            if (write(turnOut, &turn, 1) != 1) return 3;
        }
        return 0;
    } catch (const morlin::Error& error) {
        std::fprintf(stderr, "writer %c: %s\n", name, error.what());
        return 1;
    }
}

bool CheckWriters(const std::string& folder, int enrolments) {
    // Every image of the face set: a gallery large enough for enrolment to
    // keep its stage, so each commit writes one person (the tests cover the
    // small gallery written whole).
    FaceDataset dataset;
    std::string error;
    if (!LoadFaceDataset(folder, 0, dataset, error)) {
        std::fprintf(stderr, "check-enrolment: %s\n", error.c_str());
        return false;
    }
    const std::filesystem::path model =
        std::filesystem::temp_directory_path() / ("check-enrolment-" + std::to_string(getpid()));
    std::vector<morlin::Image> images;
    std::vector<std::string> names;
    for (const FaceImage& face : dataset.gallery) {
        images.push_back(ImageOf(dataset, face));
        names.push_back(face.person);
    }
    morlin::Identifier trained;
    trained.Train(images, names);
    trained.Save(model.string());
    const size_t before = trained.Info().people.size();

    int aToB[2], bToA[2];
    if (pipe(aToB) != 0 || pipe(bToA) != 0) return false;
    const auto start = std::chrono::steady_clock::now();
    // Each writer a program of its own, as morlin enrol is (this one has
    // helper threads a fork would not carry).
    const auto spawn = [&](const char* name, int turnIn, int turnOut) {
        const pid_t child = fork();
        if (child == 0) {
            const std::string in = std::to_string(turnIn), out = std::to_string(turnOut),
                              writes = std::to_string(enrolments), path = model.string();
            execl("/proc/self/exe", "check-enrolment", folder.c_str(), "--writer", name, "--model",
                  path.c_str(), "--writes", writes.c_str(), "--turn-in", in.c_str(), "--turn-out",
                  out.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return child;
    };
    const pid_t a = spawn("a", bToA[0], aToB[1]);
    const pid_t b = spawn("b", aToB[0], bToA[1]);
    const char first = 1;
    if (write(bToA[1], &first, 1) != 1) return false;  // a begins
    int statusA = 0, statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const morlin::ModelInfo info = morlin::Identifier::Load(model.string()).Info();
    std::filesystem::remove(model);
    std::filesystem::remove(model.string() + "-wal");
    std::filesystem::remove(model.string() + "-shm");
    std::set<std::string> present;
    for (const morlin::Person& person : info.people) present.insert(person.name);
    int lost = 0;
    for (char name : {'a', 'b'})
        for (int i = 0; i < enrolments; ++i)
            lost += present.count(std::string(1, name) + std::to_string(i)) ? 0 : 1;
    const bool clean = WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0 && WIFEXITED(statusB) &&
                       WEXITSTATUS(statusB) == 0;
    const bool met = clean && lost == 0 && info.people.size() == before + 2u * enrolments;
    std::printf(
        "two writers, %d alternating enrolments each into a model of %zu people: "
        "%d lost, %zu people after (%.1f ms an enrolment): %s\n",
        enrolments, before, lost, info.people.size(), 1000.0 * seconds / (2 * enrolments),
        met ? "met" : "NOT MET");
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Checks enrolment into trained models against training on everybody at once, and two "
        "writers sharing a model database.");
    parser.addHelpOption();
    parser.addPositionalArgument("FACES", "The face set: one folder of crops per person.");
    parser.addOption({"orders", "Orders of the people to try (default 4).", "N", "4"});
    parser.addOption({"later", "People enrolled after training (default 5).", "N", "5"});
    parser.addOption({"halvings", "Open-set halvings (default 10).", "N", "10"});
    parser.addOption({"writes", "Enrolments of each writer (default 1000).", "N", "1000"});
    parser.addOption({"only", "Run one check alone.", "accuracy|writers"});
    // One writer of the writers check, started by it.
    QCommandLineOption writer("writer", "", "a|b"), model("model", "", "FILE"),
        turnIn("turn-in", "", "FD"), turnOut("turn-out", "", "FD");
    for (QCommandLineOption* hidden : {&writer, &model, &turnIn, &turnOut}) {
        hidden->setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(*hidden);
    }
    parser.process(app);
    if (parser.isSet(writer)) {
        FaceDataset dataset;
        std::string error;
        const QStringList arguments = parser.positionalArguments();
        if (arguments.size() != 1 ||
            !LoadFaceDataset(arguments[0].toStdString(), 0, dataset, error))
            return 2;
        return Writer(parser.value(model).toStdString(), dataset,
                      parser.value(writer)[0].toLatin1(), parser.value("writes").toInt(),
                      parser.value(turnIn).toInt(), parser.value(turnOut).toInt());
    }
    if (parser.positionalArguments().size() != 1) parser.showHelp(2);
    const std::string folder = parser.positionalArguments()[0].toStdString();
    const QString only = parser.value("only");
    if (!only.isEmpty() && only != "accuracy" && only != "writers") {
        std::fprintf(stderr, "check-enrolment: --only takes accuracy or writers, not %s\n",
                     qPrintable(only));
        return 2;
    }
    bool met = true;
    try {
        if (only != "writers")
            met = CheckAccuracy(folder, parser.value("orders").toInt(),
                                parser.value("later").toInt(), parser.value("halvings").toInt()) &&
                  met;
        if (only != "accuracy") met = CheckWriters(folder, parser.value("writes").toInt()) && met;
    } catch (const morlin::Error& error) {
        std::fprintf(stderr, "check-enrolment: %s\n", error.what());
        return 1;
    }
    return met ? 0 : 1;
}
