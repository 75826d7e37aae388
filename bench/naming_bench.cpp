// Naming in a save folder that already holds 10,000 variants of one name, the plain walk (one
// status query per variant) against the session namer (one listing per folder and session).

#include <benchmark/benchmark.h>

#include <memory>

#include "base/file_system.h"
#include "download/naming.h"
#include "support/scratch_folder.h"

namespace vx {
namespace {

constexpr int kVariants = 10000;

// A folder holding photo.jpg, photo1.jpg ... photo9999.jpg, each of its own size.
const test::ScratchFolder& crowdedFolder() {
    static std::unique_ptr<test::ScratchFolder> folder = [] {
        auto f = std::make_unique<test::ScratchFolder>("vx-naming-bench");
        NameParts parts = splitName("photo.jpg");
        for (int i = 0; i < kVariants; ++i)
            f->put(numberedName(parts, i), 1 + i % 97 + (i / 97) * 100);
        return f;
    }();
    return *folder;
}

// One file of a new size named by the plain walk: 10,000 status queries.
void BM_PlainWalkOneFile(benchmark::State& state) {
    const test::ScratchFolder& folder = crowdedFolder();
    for (auto _ : state) {
        std::string path = folder.file("photo.jpg");
        bool free = makeUniquePath(platformFileSystem(), path, 5000000);
        benchmark::DoNotOptimize(free);
    }
}
BENCHMARK(BM_PlainWalkOneFile)->Unit(benchmark::kMillisecond);

// One file of a new size named by a fresh session: the listing dominates.
void BM_SessionNamerFirstFile(benchmark::State& state) {
    const test::ScratchFolder& folder = crowdedFolder();
    for (auto _ : state) {
        UniqueNamer namer(platformFileSystem());
        benchmark::DoNotOptimize(namer.choose(folder.path(), "photo.jpg", 5000000));
    }
}
BENCHMARK(BM_SessionNamerFirstFile)->Unit(benchmark::kMillisecond);

// A session that saves `n` new files, all named photo.jpg, each of another size, into the
// crowded folder: the plain walk would make n * 10,000 + n^2 / 2 status queries.
void BM_SessionSavesManySameNamedFiles(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const test::ScratchFolder& folder = crowdedFolder();
    std::string bytes = "z";
    for (auto _ : state) {
        state.PauseTiming();
        // The session's own folder starts like the crowded one (same names and sizes).
        auto target = std::make_unique<test::ScratchFolder>("vx-naming-session");
        NameParts parts = splitName("photo.jpg");
        for (int i = 0; i < kVariants; ++i)
            target->put(numberedName(parts, i), 1 + i % 97 + (i / 97) * 100);
        state.ResumeTiming();
        UniqueNamer namer(platformFileSystem());
        for (int i = 0; i < n; ++i) {
            // A size no variant has; the file itself is left empty, only its name is measured.
            uint64_t size = 5000000 + i;
            SaveResult r = namer.save(target->path(), "photo.jpg", size, [&](const std::string& p) {
                return platformFileSystem().writeNewFile(p, bytes.data(), 0);
            });
            benchmark::DoNotOptimize(r);
        }
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
    state.counters["files"] = n;
    (void)folder;
}
// The naming alone for a session of `n` same-named files, without creating them.
void BM_SessionNamesManySameNamedFiles(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const test::ScratchFolder& folder = crowdedFolder();
    for (auto _ : state) {
        UniqueNamer namer(platformFileSystem());
        for (int i = 0; i < n; ++i) {
            UniqueNamer::Choice c = namer.choose(folder.path(), "photo.jpg", 5000000 + i);
            namer.noteCreated(folder.path(), "photo.jpg", c.index, 5000000 + i);
        }
    }
    state.counters["files"] = n;
}
BENCHMARK(BM_SessionNamesManySameNamedFiles)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SessionSavesManySameNamedFiles)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx

BENCHMARK_MAIN();
