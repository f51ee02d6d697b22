// A 64 MiB download from a loopback server: through the engine's
// DownloadToFile with a headless owner, and through a bare libcurl transfer
// into a file, in the same run.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>

#include "engine/http_request.h"
#include "engine/update_engine.h"
#include "engine/update_owner.h"
#include "temp_folder.h"
#include "update_server.h"

namespace {

constexpr size_t fileBytes = 64u << 20;

// Takes every report and shows nothing, as an owner that only logs would.
class SilentOwner : public UpdateOwner {
public:
    void SetStatusText(const std::string&) override {}
    void SetSizeText(const std::string& text) override { last = text; }
    void SetProgressRange(uint64_t, uint64_t) override {}
    void SetProgressPos(uint64_t p) override { position = p; }
    void Refresh() override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    std::string last;
    uint64_t position = 0;
};

struct Fixture {
    Fixture() { server.Put("big.so", std::string(fileBytes, 'b')); }
    TempFolder folder;
    UpdateServer server;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void EngineDownload(benchmark::State& state) {
    Fixture& f = Shared();
    SilentOwner owner;
    EngineEnvironment environment;
    environment.programFolder = f.folder.Path();
    UpdateEngine engine(environment);
    engine.AttachDialog(&owner);
    for (auto _ : state) {
        std::unique_ptr<HttpRequest> request = engine.OpenUrl(f.server.BaseUrl() + "big.so");
        if (!request || !engine.DownloadToFile(*request, f.folder.Path() / "engine.bin"))
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileBytes));
}
BENCHMARK(EngineDownload)->Unit(benchmark::kMillisecond)->UseRealTime();

void BareCurlDownload(benchmark::State& state) {
    Fixture& f = Shared();
    CURL* curl = curl_easy_init();
    const std::string url = f.server.BaseUrl() + "big.so";
    const std::string path = (f.folder.Path() / "bare.bin").string();
    for (auto _ : state) {
        FILE* out = std::fopen(path.c_str(), "wb");
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
        if (curl_easy_perform(curl) != CURLE_OK) state.SkipWithError("download failed");
        std::fclose(out);
    }
    curl_easy_cleanup(curl);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileBytes));
}
BENCHMARK(BareCurlDownload)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
