// Download history at the sizes years of use produce: Load of 1,000 day files holding 200,000
// records, Save of a session that fetched 5,000 files, and the in-memory AddRecord and
// MarkDownloaded calls of a session. Each size is also run doubled; the ratios printed at the end
// show how the time grows (about 2.0 means linear).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "history/history_store.h"
#include "support/memory_file_system.h"
#include "history/history_view.h"

namespace {

namespace fs = std::filesystem;

fs::path benchRoot() {
    static const fs::path root =
        fs::temp_directory_path() / ("vx_history_bench_" + std::to_string(::getpid()));
    return root;
}

std::string pageOf(int64_t n) {
    return "http://site" + std::to_string(n % 997) + ".example/gallery/page" + std::to_string(n) +
           ".html?sort=date&view=all";
}

std::string mediaOf(int64_t page, int64_t item) {
    return "http://img" + std::to_string(page % 13) + ".example/photos/" + std::to_string(page) +
           "/picture_" + std::to_string(item) + ".jpg";
}

// One item per record; one page in ten is a page already seen on an earlier day, so Load merges.
std::string writeHistory(int64_t files, int64_t records) {
    const fs::path install =
        benchRoot() / ("load_" + std::to_string(files) + "_" + std::to_string(records));
    const fs::path folder = install / "History";
    if (fs::exists(folder))
        return install.string() + "/";
    fs::create_directories(folder);
    const vx::HistoryTime firstDay = 1072958400;  // 2004-01-01 12:00 UTC
    int64_t n = 0;
    for (int64_t f = 0; f < files; ++f) {
        std::string text;
        const int64_t inFile = records / files + (f < records % files ? 1 : 0);
        for (int64_t r = 0; r < inFile; ++r, ++n) {
            vx::HistoryRecord record;
            record.time = firstDay + f * 86400 + r;
            record.pageAddress = pageOf(n % 10 == 9 ? n / 2 : n);
            vx::HistoryItem item;
            item.address = mediaOf(n, 0);
            item.localPath = "C:\\Documents and Settings\\user\\My Pictures\\picture_" +
                             std::to_string(n) + ".jpg";
            item.downloaded = 1;
            record.items.push_back(item);
            text += vx::CHistoryStore::recordText(record);
        }
        vx::platformFileSystem().writeFile(
            (folder / vx::dayFileName(firstDay + f * 86400)).string(), text);
    }
    return install.string() + "/";
}

void BM_Load(benchmark::State& state) {
    const int64_t files = state.range(0);
    const int64_t records = state.range(1);
    vx::test::FakeInstall install(writeHistory(files, records));
    for (auto _ : state) {
        vx::CHistoryStore store(install, vx::platformFileSystem());
        store.Load();
        benchmark::DoNotOptimize(store.records().data());
        if (store.dayTitles().size() != static_cast<size_t>(files))
            state.SkipWithError("titles");
    }
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_Load)->Args({1000, 200000})->Args({2000, 400000})->Unit(benchmark::kMillisecond);

// What the history window shows after opening: the load, then the days, the pages of every day
// (the tree) and the file rows of the page with the most files (the list at level 2).
void BM_WindowContent(benchmark::State& state) {
    const int64_t files = state.range(0);
    const int64_t records = state.range(1);
    vx::test::FakeInstall install(writeHistory(files, records));
    for (auto _ : state) {
        vx::CHistoryStore store(install, vx::platformFileSystem());
        store.Load();
        vx::HistoryView view(store);
        std::size_t pages = 0;
        const vx::HistoryRecord* largest = nullptr;
        for (const std::string& day : view.days()) {
            for (const vx::HistoryRecord* page : view.pagesOf(day)) {
                ++pages;
                if (!largest || page->items.size() > largest->items.size())
                    largest = page;
            }
        }
        std::size_t rows = 0;
        if (largest)
            rows = vx::historyFileRows(*largest, [](const std::string&) {
                       return std::optional<uint64_t>(4096);
                   }).size();
        benchmark::DoNotOptimize(rows);
        if (pages != store.records().size())
            state.SkipWithError("a page is missing from the days");
    }
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_WindowContent)
    ->Args({1000, 200000})
    ->Args({2000, 400000})
    ->Unit(benchmark::kMillisecond);

// A session over `files` media files, 20 per page: AddRecord per page, MarkDownloaded per file.
void fillSession(vx::CHistoryStore& store, int64_t files) {
    const vx::HistoryTime now = 1080259199 - 3600;
    const int64_t perPage = 20;
    for (int64_t p = 0; p * perPage < files; ++p) {
        vx::HistoryRecord record;
        record.time = now + p;
        record.pageAddress = pageOf(p);
        for (int64_t i = 0; i < perPage && p * perPage + i < files; ++i) {
            vx::HistoryItem item;
            item.address = mediaOf(p, i);
            record.items.push_back(item);
        }
        store.AddRecord(record);
    }
    for (int64_t p = 0; p * perPage < files; ++p)
        for (int64_t i = 0; i < perPage && p * perPage + i < files; ++i)
            store.MarkDownloaded(
                mediaOf(p, i), "C:\\Save\\" + std::to_string(p) + "_" + std::to_string(i) + ".jpg");
}

void BM_Save(benchmark::State& state) {
    const int64_t files = state.range(0);
    const fs::path install = benchRoot() / ("save_" + std::to_string(files));
    vx::test::FakeInstall environment(install.string() + "/");
    vx::CHistoryStore store(environment, vx::platformFileSystem());
    fillSession(store, files);
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(install);
        fs::create_directories(install);
        state.ResumeTiming();
        vx::HistorySaveResult result = store.Save();
        if (result.failed != 0)
            state.SkipWithError("a record was not written");
    }
    state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_Save)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The session's own calls on a store that already holds `files` files' records.
void BM_AddAndMark(benchmark::State& state) {
    const int64_t files = state.range(0);
    vx::test::FakeInstall environment("");
    for (auto _ : state) {
        vx::CHistoryStore store(environment, vx::platformFileSystem());
        fillSession(store, files);
        benchmark::DoNotOptimize(store.records().data());
    }
    state.counters["files"] = static_cast<double>(files);
}
BENCHMARK(BM_AddAndMark)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

// Keeps every run's time so the doubling ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        const std::pair<const char*, const char*> pairs[] = {
            {"BM_Load/1000/200000", "BM_Load/2000/400000"},
            {"BM_WindowContent/1000/200000", "BM_WindowContent/2000/400000"},
            {"BM_Save/5000", "BM_Save/10000"},
            {"BM_AddAndMark/100000", "BM_AddAndMark/200000"},
        };
        std::printf("\nDoubling the size multiplies the time by:\n");
        for (const auto& [n, twice] : pairs) {
            auto a = findTime(n);
            auto b = findTime(twice);
            if (a && b && *a > 0)
                std::printf("  %-24s -> %-24s %.2f\n", n, twice, *b / *a);
        }
    }

  private:
    std::optional<double> findTime(const std::string& prefix) const {
        for (const auto& [name, time] : times_)
            if (name.rfind(prefix, 0) == 0)
                return time;
        return std::nullopt;
    }
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    setenv("TZ", "UTC0", 1);
    tzset();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(benchRoot(), ignored);
    return 0;
}
