// The file pass over the loopback server, natively, against curl fetching the same list into
// files in the same run: 2,000 files of 50 KB and 20 files of 20 MB, read 4096 bytes at a time
// (and 64 KB for comparison).

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "download/file_pass.h"
#include "settings/download_settings.h"
#include "support/loopback_server.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"

namespace vx {
namespace {

struct Workload {
    int files;
    std::size_t bytes;
};
constexpr Workload kSmall{2000, 50 * 1024};
constexpr Workload kLarge{20, 20 * 1024 * 1024};

const std::string& startFolder() {
    static const std::string folder = [] {
        char cwd[4096];
        return std::string(getcwd(cwd, sizeof cwd) ? cwd : "/");
    }();
    return folder;
}

test::LoopbackServer& server() {
    static test::LoopbackServer s;
    return s;
}

// The media list of a workload, with its routes on the server.
MediaUrlList mediaOf(const Workload& w) {
    std::string body(w.bytes, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 131 + 7);
    MediaUrlList media;
    for (int i = 0; i < w.files; ++i) {
        std::string target = "/m" + std::to_string(w.bytes) + "/f" + std::to_string(i) + ".bin";
        server().route(target, test::okResponse(body));
        media.push_back(server().url(target));
    }
    return media;
}

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The client's own processor time per file: on a loaded machine wall-clock rates mostly measure
// the neighbours, while this stays put.
void reportCpu(benchmark::State& state, const Workload& w, double cpuSeconds) {
    double files = static_cast<double>(w.files) * static_cast<double>(state.iterations());
    state.counters["client_cpu_ms_per_file"] = cpuSeconds * 1000.0 / files;
}

void report(benchmark::State& state, const Workload& w) {
    double files = static_cast<double>(w.files) * static_cast<double>(state.iterations());
    state.counters["files_per_s"] = benchmark::Counter(files, benchmark::Counter::kIsRate);
    state.counters["MB_per_s"] = benchmark::Counter(
        files * static_cast<double>(w.bytes) / (1024.0 * 1024.0), benchmark::Counter::kIsRate);
}

void BM_FilePass(benchmark::State& state, Workload w) {
    startFolder();
    MediaUrlList media = mediaOf(w);
    test::QuietSink sink;
    FilePassOptions options;
    options.readChunkBytes = static_cast<std::size_t>(state.range(0));
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<test::ScratchFolder>("vx-pass-bench");
        DownloadSettings settings;
        settings.saveFolder = folder->path();
        SessionFlags flags;
        flags.running = 1;
        flags.continueCurrent = 1;
        FilePass pass(SessionHost::DownloadWindow, settingsOf(settings), flags, nullptr,
                      platformFilePassPorts(sink), options);
        state.ResumeTiming();
        double before = threadCpuSeconds();
        pass.run(media);
        cpu += threadCpuSeconds() - before;
        state.PauseTiming();
        // The pass made the save folder the current one; step out before it goes.
        if (chdir(startFolder().c_str()) != 0)
            state.SkipWithError("cannot leave the save folder");
        if (pass.counts().downloaded != w.files)
            state.SkipWithError("not every file was saved");
        folder.reset();
        state.ResumeTiming();
    }
    report(state, w);
    reportCpu(state, w, cpu);
}
BENCHMARK_CAPTURE(BM_FilePass, small, kSmall)
    ->Arg(4096)
    ->Arg(65536)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_FilePass, large, kLarge)
    ->Arg(4096)
    ->Arg(65536)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// curl over the same list, one process for the whole list, each address to its own file.
void BM_Curl(benchmark::State& state, Workload w) {
    if (std::system("curl --version >/dev/null 2>&1") != 0) {
        state.SkipWithError("curl is not installed");
        return;
    }
    MediaUrlList media = mediaOf(w);
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<test::ScratchFolder>("vx-curl-bench");
        std::string config = folder->file("list.cfg");
        {
            std::ofstream out(config);
            for (std::size_t i = 0; i < media.size(); ++i)
                out << "url = \"" << media[i] << "\"\noutput = \""
                    << folder->file("f" + std::to_string(i) + ".bin") << "\"\n";
        }
        std::string command = "curl --silent --fail -K '" + config + "'";
        state.ResumeTiming();
        double before = childCpuSeconds();
        int rc = std::system(command.c_str());
        cpu += childCpuSeconds() - before;
        state.PauseTiming();
        if (rc != 0)
            state.SkipWithError("curl failed");
        folder.reset();
        state.ResumeTiming();
    }
    report(state, w);
    reportCpu(state, w, cpu);
}
BENCHMARK_CAPTURE(BM_Curl, small, kSmall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Curl, large, kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vx

BENCHMARK_MAIN();
