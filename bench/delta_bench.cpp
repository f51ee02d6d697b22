// Delta patches of real files: the patch from OLD to NEW as a share of NEW,
// and what a desktop spends making NEW from OLD and the patch.
//   delta_bench OLD NEW [--benchmark_...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "delta/zstd_patch.h"

namespace {

std::string Read(const char* file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string oldBytes;
std::string newBytes;
std::string patch;

void BM_ApplyPatch(benchmark::State& state) {
    std::string error;
    for (auto _ : state) {
        std::optional<std::string> made = ApplyPatch(oldBytes, patch, newBytes.size(), error);
        if (!made || *made != newBytes) state.SkipWithError("the patch does not make NEW");
        benchmark::DoNotOptimize(made);
    }
    state.counters["patch_bytes"] = static_cast<double>(patch.size());
    state.counters["file_bytes"] = static_cast<double>(newBytes.size());
    state.counters["share"] =
        static_cast<double>(patch.size()) / static_cast<double>(newBytes.size());
}
BENCHMARK(BM_ApplyPatch)->Unit(benchmark::kMillisecond);

void BM_MakePatch(benchmark::State& state) {
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(MakePatch(oldBytes, newBytes, error));
}
BENCHMARK(BM_MakePatch)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: delta_bench OLD NEW [--benchmark_...]\n");
        return 64;
    }
    oldBytes = Read(argv[1]);
    newBytes = Read(argv[2]);
    std::string error;
    const std::optional<std::string> made = MakePatch(oldBytes, newBytes, error);
    if (!made) {
        std::fprintf(stderr, "delta_bench: %s\n", error.c_str());
        return 1;
    }
    patch = *made;
    std::printf("patch %zu bytes of %zu: %.1f %%\n", patch.size(), newBytes.size(),
                100.0 * static_cast<double>(patch.size()) / static_cast<double>(newBytes.size()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
