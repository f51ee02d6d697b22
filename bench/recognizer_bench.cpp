// Speed of the recognizer's heavy parts: the Jacobi solver beside LAPACK's
// ssyevd on the same matrices, a whole training and one recognition on ORL
// faces, also beside a busy core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <lapacke.h>
#include <omp.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "compute/workers.h"
#include "eigen/jacobi_eigen.h"
#include "gallery.h"
#include "reference.h"
#include "matrix/matrix.h"
#include "morlin/morlin.h"

namespace {

using namespace MatrixSpace;

void JacobiEigenBench(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MatrixGuard input(RandomSymmetric(n, static_cast<unsigned>(n)));
    MatrixGuard v(MakeMatrix(n, n)), e(MakeMatrix(n, 1));
    Workers workers;
    for (auto _ : state) {
        state.PauseTiming();
        MatrixGuard a(CopyMatrix(input.get()));
        state.ResumeTiming();
        JacobiEigen(a.get(), v.get(), e.get(), n, 0.001f, &workers);
        benchmark::DoNotOptimize(e->data);
    }
}
BENCHMARK(JacobiEigenBench)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);

void LapackSsyevdBench(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    MatrixGuard input(RandomSymmetric(n, static_cast<unsigned>(n)));
    std::vector<float> w(static_cast<size_t>(n));
    for (auto _ : state) {
        state.PauseTiming();
        MatrixGuard a(CopyMatrix(input.get()));
        state.ResumeTiming();
        LAPACKE_ssyevd(LAPACK_COL_MAJOR, 'V', 'L', n, a->data, n, w.data());
        benchmark::DoNotOptimize(w.data());
    }
}
BENCHMARK(LapackSsyevdBench)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);

// The first `perPerson` ORL images of as many people as make `count` images;
// past ORL's 400 faces, random images of the same size.
Gallery Faces(int count, int perPerson) {
    if (count > 400) return RandomGallery(count, 112, 92, static_cast<unsigned>(count));
    Gallery gallery(112, 92);
    for (int person = 1; gallery.Count() < count; ++person)
        for (int image = 1; image <= perPerson && gallery.Count() < count; ++image)
            gallery.Add(LoadOrlFace(person, image));
    return gallery;
}

// Peak resident memory of the whole process so far, in MiB: run one size per
// process (--benchmark_filter=TrainBench/800) for the peak of that size.
double PeakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void TrainBench(benchmark::State& state) {
    Gallery gallery = Faces(static_cast<int>(state.range(0)), 5);
    PCAParameter p;
    p.componentNum = 30;
    for (auto _ : state) {
        CNolt_PCARecognition r;
        r.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
        r.SetPCAPara(p);
        r.Train();
        benchmark::DoNotOptimize(r.IsTrained());
    }
    state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(TrainBench)->Arg(200)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond);
BENCHMARK(TrainBench)->Arg(3200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Trains on n faces, then times recognitions of one face of the last person.
void TimeRecognitions(benchmark::State& state, int n) {
    Gallery gallery = n <= 200 ? Faces(n, 5) : Faces(n, 10);
    Gallery probe(112, 92);
    probe.Add(LoadOrlFace(40, 10));
    CNolt_PCARecognition r;
    r.SetSample(gallery.Pointers(), gallery.Count(), 112, 92);
    r.Train();
    std::vector<foundFace> faces;
    for (auto _ : state) {
        faces.clear();
        r.Recognition(probe.RowPointers(0), 112, 92, faces);
        benchmark::DoNotOptimize(faces.data());
    }
}

void RecognitionBench(benchmark::State& state) {
    TimeRecognitions(state, static_cast<int>(state.range(0)));
}
BENCHMARK(RecognitionBench)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);

// One recognition while another thread of the host keeps a core busy, as a
// host's capture or detection threads do: with the threads the host allows
// (second argument 0) and on one thread (1), side by side.
void RecognitionBesideABusyCoreBench(benchmark::State& state) {
    const int previousLimit = omp_get_max_threads();
    if (state.range(1) == 1) omp_set_num_threads(1);
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        unsigned spins = 0;
        while (!stop.load(std::memory_order_relaxed)) benchmark::DoNotOptimize(++spins);
    });
    TimeRecognitions(state, static_cast<int>(state.range(0)));
    stop.store(true);
    busy.join();
    omp_set_num_threads(previousLimit);
}
BENCHMARK(RecognitionBesideABusyCoreBench)
    ->Args({200, 0})
    ->Args({200, 1})
    ->Args({400, 0})
    ->Args({400, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
