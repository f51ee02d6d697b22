// Speed of the identifier through libmorlin.so: one identification and a
// batch of 200 on a basis of 200 ORL faces, and a gallery of 1,000,000
// enrolled faces (made people: ORL faces blended, shifted, lit and noised)
// on a basis of all 400: enrolling, identifying (through the search index,
// and exactly), loading the model, the memory it holds, calibrating it.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gallery.h"
#include "morlin/identifier.h"

namespace {

// ORL faces as 8-bit images, person after person.
struct Faces {
    std::vector<std::vector<uint8_t>> pixels;
    std::vector<std::string> names;
    std::vector<morlin::Image> Images() const {
        std::vector<morlin::Image> images;
        for (const auto& p : pixels) images.push_back({112, 92, p.data(), nullptr});
        return images;
    }
};

Faces Orl(int firstImage, int lastImage, int people = 40) {
    Faces faces;
    for (int person = 1; person <= people; ++person)
        for (int image = firstImage; image <= lastImage; ++image) {
            const std::vector<int> grey = LoadOrlFace(person, image);
            faces.pixels.emplace_back(grey.begin(), grey.end());
            faces.names.push_back("s" + std::to_string(person));
        }
    return faces;
}

morlin::Settings Method(morlin::Method method, bool rbf = false) {
    morlin::Settings settings;
    settings.method = method;
    if (rbf) {
        settings.designed.isKernel = true;
        settings.designed.kernelType = static_cast<int>(KernelType::Rbf);
        settings.designed.gamma = 1e-3;
    }
    return settings;
}

// Args: method, rbf (0/1).
morlin::Settings SettingsOf(const benchmark::State& state) {
    return Method(static_cast<morlin::Method>(state.range(0)), state.range(1) != 0);
}

void IdentifyOne(benchmark::State& state) {
    const Faces gallery = Orl(1, 5), probes = Orl(6, 10);
    morlin::Identifier identifier(SettingsOf(state));
    identifier.Train(gallery.Images(), gallery.names);
    const std::vector<morlin::Image> images = probes.Images();
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(identifier.Identify(images[next]));
        next = (next + 1) % images.size();
    }
}

void IdentifyBatch(benchmark::State& state) {
    const Faces gallery = Orl(1, 5), probes = Orl(6, 10);
    morlin::Identifier identifier(SettingsOf(state));
    identifier.Train(gallery.Images(), gallery.names);
    const std::vector<morlin::Image> images = probes.Images();
    for (auto _ : state) benchmark::DoNotOptimize(identifier.Identify(images));
    // Per probe, as the goals count it.
    state.counters["per_probe_ms"] = benchmark::Counter(
        static_cast<double>(images.size()) * 1e-3,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Runs benchmark while another thread keeps a core busy, as a host's capture
// or detection threads do.
template <void (*Benchmark)(benchmark::State&)>
void BesideABusyCore(benchmark::State& state) {
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        unsigned spins = 0;
        while (!stop.load(std::memory_order_relaxed)) benchmark::DoNotOptimize(++spins);
    });
    Benchmark(state);
    stop.store(true);
    busy.join();
}

// Args of the small benchmarks: designed PCA 30, designed rbf, lbp-discriminant.
void SmallArgs(benchmark::internal::Benchmark* b) {
    b->Args({static_cast<int>(morlin::Method::Designed), 0});
    b->Args({static_cast<int>(morlin::Method::Designed), 1});
    b->Args({static_cast<int>(morlin::Method::LbpDiscriminant), 0});
    b->ArgNames({"method", "rbf"});
}
// Wall time throughout: what a host waits for.
BENCHMARK(IdentifyOne)->Apply(SmallArgs)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(IdentifyBatch)->Apply(SmallArgs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BesideABusyCore, IdentifyOne)
    ->Apply(SmallArgs)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BesideABusyCore, IdentifyBatch)
    ->Apply(SmallArgs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The large gallery ----------------------------------------------------

constexpr int largeGallery = 1000000;
constexpr int imagesPerPerson = 10;
constexpr int largePeople = largeGallery / imagesPerPerson;

// Variant k of a face: shifted by up to two pixels, its light scaled and
// offset, and noise added; the same for the same k.
std::vector<uint8_t> Variant(const std::vector<uint8_t>& face, unsigned k) {
    std::mt19937 random(k);
    std::uniform_int_distribution<int> shift(-2, 2), noise(-6, 6);
    std::uniform_real_distribution<double> gain(0.8, 1.2), offset(-20.0, 20.0);
    const int dx = shift(random), dy = shift(random);
    const double g = gain(random), o = offset(random);
    std::vector<uint8_t> out(face.size());
    for (int r = 0; r < 112; ++r)
        for (int c = 0; c < 92; ++c) {
            const int sr = std::clamp(r + dy, 0, 111), sc = std::clamp(c + dx, 0, 91);
            const double v = g * face[static_cast<size_t>(sr * 92 + sc)] + o + noise(random);
            out[static_cast<size_t>(r * 92 + c)] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    return out;
}

// Made person p (any number, the enrolled ones below largePeople): two ORL
// faces blended with a weight of their own, so that every person is a face
// of their own.
std::vector<uint8_t> MadeFace(const Faces& orl, int p) {
    std::mt19937 random(static_cast<unsigned>(p) * 2654435761u + 1u);
    std::uniform_int_distribution<size_t> pick(0, orl.pixels.size() - 1);
    std::uniform_real_distribution<double> weight(0.3, 0.7);
    const std::vector<uint8_t>& a = orl.pixels[pick(random)];
    const std::vector<uint8_t>& b = orl.pixels[pick(random)];
    const double w = weight(random);
    std::vector<uint8_t> face(a.size());
    for (size_t i = 0; i < a.size(); ++i)
        face[i] = static_cast<uint8_t>(std::lround(w * a[i] + (1.0 - w) * b[i]));
    return face;
}

// Image k of made person p.
std::vector<uint8_t> MadeImage(const Faces& orl, int p, int k) {
    return Variant(MadeFace(orl, p), static_cast<unsigned>(p) * 64u + static_cast<unsigned>(k));
}

// The images of made people first .. first + count - 1, made on every core.
std::vector<std::vector<uint8_t>> MadePeople(const Faces& orl, int first, int count) {
    std::vector<std::vector<uint8_t>> pixels(static_cast<size_t>(count) * imagesPerPerson);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> makers;
    for (unsigned t = 0; t < threads; ++t)
        makers.emplace_back([&, t] {
            for (int p = static_cast<int>(t); p < count; p += static_cast<int>(threads)) {
                const std::vector<uint8_t> face = MadeFace(orl, first + p);
                for (int k = 0; k < imagesPerPerson; ++k)
                    pixels[static_cast<size_t>(p * imagesPerPerson + k)] = Variant(
                        face, static_cast<unsigned>(first + p) * 64u + static_cast<unsigned>(k));
            }
        });
    for (std::thread& maker : makers) maker.join();
    return pixels;
}

// The basis trained on all 400 ORL faces (lbp-discriminant), then 1,000,000
// made faces enrolled, ten to a person: made once, for every large
// benchmark. Only the enrolling is timed.
struct Large {
    morlin::Identifier identifier;
    double enrolSeconds = 0.0;
    std::string file;
    size_t dataBytes = 0;  // signatures and person of each image
};

Large& LargeGallery() {
    static std::unique_ptr<Large> large = [] {
        auto made = std::make_unique<Large>();
        const Faces orl = Orl(1, 10);
        made->identifier.Train(orl.Images(), orl.names);
        constexpr int peoplePerRound = 2000;
        for (int first = 0; first < largePeople; first += peoplePerRound) {
            const std::vector<std::vector<uint8_t>> pixels = MadePeople(orl, first, peoplePerRound);
            const auto start = std::chrono::steady_clock::now();
            for (int p = 0; p < peoplePerRound; ++p) {
                std::vector<morlin::Image> images;
                for (int k = 0; k < imagesPerPerson; ++k)
                    images.push_back({112, 92,
                                      pixels[static_cast<size_t>(p * imagesPerPerson + k)].data(),
                                      nullptr});
                made->identifier.Enrol(images, "v" + std::to_string(first + p));
            }
            made->enrolSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        made->file = (std::filesystem::temp_directory_path() / "identifier_bench.morlin").string();
        // A new file: Save would write into a model database left there.
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(made->file + suffix);
        made->identifier.Save(made->file);
        const morlin::ModelInfo info = made->identifier.Info();
        made->dataBytes = static_cast<size_t>(info.enrolledImages) *
                          (static_cast<size_t>(info.dimensions) * sizeof(float) + sizeof(int));
        return made;
    }();
    return *large;
}

// Probes of the large gallery: new images of enrolled people, then images
// of people never enrolled, half each.
struct LargeProbes {
    std::vector<std::vector<uint8_t>> pixels;
    std::vector<morlin::Image> images;
};

const LargeProbes& ProbesOfLarge() {
    static const LargeProbes probes = [] {
        const Faces orl = Orl(1, 10);
        LargeProbes made;
        std::mt19937 random(11);
        std::uniform_int_distribution<int> enrolled(0, largePeople - 1);
        for (int i = 0; i < 200; ++i)
            made.pixels.push_back(MadeImage(orl, enrolled(random), 40 + i % 20));
        for (int i = 0; i < 200; ++i) made.pixels.push_back(MadeImage(orl, largePeople + i, 0));
        for (const std::vector<uint8_t>& p : made.pixels)
            made.images.push_back({112, 92, p.data(), nullptr});
        return made;
    }();
    return probes;
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// In a fresh process (this program with --resident FILE), so that no memory
// freed earlier hides what the model takes: the resident memory a loaded
// model adds, over its signatures and person indices.
double ResidentOverData(const Large& large) {
    const std::string command =
        "/proc/" + std::to_string(::getpid()) + "/exe --resident " + large.file;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    double added = 0.0;
    if (pipe == nullptr || std::fscanf(pipe.get(), "%lf", &added) != 1) return -1.0;
    return added / static_cast<double>(large.dataBytes);
}

void LargeEnrol(benchmark::State& state) {
    Large& large = LargeGallery();
    for (auto _ : state) benchmark::DoNotOptimize(large.enrolSeconds);
    state.counters["images_per_s"] = largeGallery / large.enrolSeconds;
}
BENCHMARK(LargeEnrol)->Iterations(1);

// Ten faces of a newcomer enrolled into the model file of 1,000,000,
// opened: each enrolment a transaction, committed (flushed) before the call
// returns.
void LargeEnrolCommitted(benchmark::State& state) {
    Large& large = LargeGallery();
    const std::string copy = large.file + ".shared";
    std::filesystem::copy_file(large.file, copy, std::filesystem::copy_options::overwrite_existing);
    morlin::Identifier shared = morlin::Identifier::Open(copy);
    const Faces orl = Orl(1, 10);
    int newcomer = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::vector<uint8_t>> pixels;
        for (int k = 0; k < imagesPerPerson; ++k)
            pixels.push_back(MadeImage(orl, 2 * largePeople + newcomer, k));
        std::vector<morlin::Image> images;
        for (const std::vector<uint8_t>& p : pixels) images.push_back({112, 92, p.data(), nullptr});
        state.ResumeTiming();
        shared.Enrol(images, "newcomer" + std::to_string(newcomer++));
    }
    std::filesystem::remove(copy);
    std::filesystem::remove(copy + "-wal");
    std::filesystem::remove(copy + "-shm");
}
BENCHMARK(LargeEnrolCommitted)->Unit(benchmark::kMillisecond)->UseRealTime();

void LargeIdentify(benchmark::State& state) {
    Large& large = LargeGallery();
    const std::vector<morlin::Image>& images = ProbesOfLarge().images;
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(large.identifier.Identify(images[next]));
        next = (next + 1) % images.size();
    }
}
BENCHMARK(LargeIdentify)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BesideABusyCore, LargeIdentify)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every large probe answered through the index and by exact search (the
// library's MORLIN_EXACT_SEARCH): the shares whose answer is the same (the
// person named, or unknown) and whose score is the same to the last bit;
// the time is exact search's.
void LargeExactSearch(benchmark::State& state) {
    Large& large = LargeGallery();
    const std::vector<morlin::Image>& images = ProbesOfLarge().images;
    std::vector<morlin::Identification> indexed;
    for (const morlin::Image& probe : images) indexed.push_back(large.identifier.Identify(probe));
    std::vector<morlin::Identification> exact;
    ::setenv("MORLIN_EXACT_SEARCH", "1", 1);
    for (auto _ : state) {
        exact.clear();
        for (const morlin::Image& probe : images) exact.push_back(large.identifier.Identify(probe));
    }
    ::unsetenv("MORLIN_EXACT_SEARCH");
    int sameAnswer = 0, sameScore = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        sameAnswer += indexed[i].person == exact[i].person ? 1 : 0;
        sameScore += indexed[i].score == exact[i].score ? 1 : 0;
    }
    const double count = static_cast<double>(images.size());
    state.counters["same_answer"] = sameAnswer / count;
    state.counters["same_score"] = sameScore / count;
    state.counters["per_probe_ms"] = benchmark::Counter(
        count * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(LargeExactSearch)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void LargeLoad(benchmark::State& state) {
    Large& large = LargeGallery();
    for (auto _ : state) benchmark::DoNotOptimize(morlin::Identifier::Load(large.file));
    state.counters["resident_over_data"] = ResidentOverData(large);
}
BENCHMARK(LargeLoad)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The peer of opening the model: reading its bytes from the file.
void LargeReadBytes(benchmark::State& state) {
    Large& large = LargeGallery();
    for (auto _ : state) {
        std::ifstream in(large.file, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(LargeReadBytes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Calibrating the gallery of 100,000 people for 5 % of strangers.
void LargeCalibrate(benchmark::State& state) {
    Large& large = LargeGallery();
    for (auto _ : state) {
        const morlin::Calibration set = large.identifier.Calibrate(0.05);
        state.counters["people"] = static_cast<double>(set.people);
        state.counters["searches"] = static_cast<double>(set.searches);
    }
}
BENCHMARK(LargeCalibrate)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--resident") {
        const size_t before = ResidentBytes();
        const morlin::Identifier loaded = morlin::Identifier::Load(argv[2]);
        std::printf("%zu\n", ResidentBytes() - before);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
