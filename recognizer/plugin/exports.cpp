// The six exported functions. Each acts on the module's single recognizer
// object, made when the library is loaded and destroyed when it is unloaded
// (which joins its helper threads). No C++ exception may cross into the host:
// each export catches at the boundary, leaving the object as the failed call
// left it (every member function keeps the object's invariants when an
// allocation throws). The exports take turns on the object, whatever thread
// calls them; a process forked meanwhile gets the object between two calls.
#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "kpca/recognizer_message.h"
#include "plugin/module_record.h"
#include "morlin/morlin.h"
#include "ui/message_box.h"

namespace {

// Installed before the recognizer exists: its messages reach the host's user
// as message boxes whenever the host runs a QApplication.
const bool messageSinkInstalled = (SetRecognizerMessageSink(ShowRecognizerMessage), true);

CNolt_PCARecognition theRecognizer;

// One export at a time on the object. The thread inside may call again (a
// host's callback during the modal parameter dialog): it goes straight through.
class ExportGate {
public:
    template <typename Call>
    void Through(Call call) {
        if (holder.load() == std::this_thread::get_id()) {
            call();
            return;
        }
        std::lock_guard<std::mutex> held(lock);
        holder.store(std::this_thread::get_id());
        struct Leave {
            std::atomic<std::thread::id>& holder;
            ~Leave() { holder.store(std::thread::id()); }
        } leave{holder};
        call();
    }

    // fork() waits for the export in progress, so the child's copy of the
    // object is whole and its gate open. A thread forking from inside an
    // export already holds the object.
    void BeforeFork() {
        if (holder.load() == std::this_thread::get_id()) return;
        lock.lock();
        heldForFork = true;
    }
    void AfterFork() {
        if (!heldForFork) return;
        heldForFork = false;
        lock.unlock();
    }

private:
    std::mutex lock;
    std::atomic<std::thread::id> holder;
    bool heldForFork = false;
};

ExportGate gate;
const bool forkHandlersInstalled =
    pthread_atfork([] { gate.BeforeFork(); }, [] { gate.AfterFork(); }, [] { gate.AfterFork(); }) ==
    0;

template <typename Call>
void ReportingFailures(const char* name, Call call) noexcept {
    try {
        gate.Through(call);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unknown failure\n", name);
    }
}

}  // namespace

extern "C" {

void Recognizer_Init() {}

void Recognizer_Version(std::string* record) {
    ReportingFailures("Recognizer_Version", [&] {
        if (record == nullptr) return;
        for (size_t slot = 0; slot < moduleRecord.size(); ++slot)
            record[slot].assign(moduleRecord[slot]);
    });
}

void Recognizer_ParaSet() {
    ReportingFailures("Recognizer_ParaSet", [] { theRecognizer.ParaSet(); });
}

void Recognizer_SetSample(int** images, int count, int rows, int columns) {
    ReportingFailures("Recognizer_SetSample",
                      [&] { theRecognizer.SetSample(images, count, rows, columns); });
}

void Recognizer_Train() {
    ReportingFailures("Recognizer_Train", [] { theRecognizer.Train(); });
}

void Recognizer_Recognize(int** image, int rows, int columns, std::vector<foundFace>& result) {
    ReportingFailures("Recognizer_Recognize",
                      [&] { theRecognizer.Recognition(image, rows, columns, result); });
}

}  // extern "C"
