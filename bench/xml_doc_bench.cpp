// XmlDoc against pugixml on one history-shaped document of about 50 MB, built once in memory:
// parsing alone, then parsing and reading every record the way the history reader does. Both
// engines copy the text in (XmlDoc::setText, pugixml load_buffer) and every value read is made
// into a std::string, as the reader stores them. Before anything is timed, both readings of the
// document are compared and the program stops if they differ.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/xml_doc.h"

#if defined(VX_HAVE_PUGIXML)
#include <pugixml.hpp>
#endif

namespace {

constexpr std::size_t kTargetSize = 50u * 1000u * 1000u;

// Records one after another as a day file holds them, wrapped in one ROOT element as the reader
// wraps them. Every seventh page address and every eleventh media address carries an &amp;.
const std::string& historyText() {
    static const std::string text = [] {
        std::string out;
        out.reserve(kTargetSize + 4096);
        out += "<ROOT>\n";
        for (int64_t n = 0; out.size() < kTargetSize; ++n) {
            const std::string id = std::to_string(n);
            out += "<DOWNLOAD>\r\n<DOWNLOAD_TIME>";
            out += std::to_string(1101234567 + n);
            out += "</DOWNLOAD_TIME>\r\n<REFERRER_URL>http://host/page/";
            out += id;
            out += n % 7 == 0 ? ".html?sort=date&amp;view=all" : ".html";
            out += "</REFERRER_URL>\r\n";
            const int items = 3 + static_cast<int>(n % 3);
            for (int k = 0; k < items; ++k) {
                const std::string name = id + "_" + std::to_string(k);
                out += "<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>http://host/img/";
                out += name;
                out += (n + k) % 11 == 0 ? ".jpg?w=800&amp;h=600" : ".jpg";
                out += "</DOWNLOAD_FILE>\r\n<LOCAL_FILE>C:\\Vexaro\\Download\\";
                out += name;
                out += ".jpg</LOCAL_FILE>\r\n</DOWNLOAD_ITEM>\r\n";
            }
            out += "</DOWNLOAD>\r\n";
        }
        out += "\n</ROOT>";
        return out;
    }();
    return text;
}

// What a reading of the document delivered. The hash is only taken for the start-up check; the
// timed runs add up lengths alone.
struct Summary {
    int64_t records = 0;
    int64_t items = 0;
    int64_t bytes = 0;
    uint64_t hash = 1469598103934665603ull;

    template <bool kHash>
    void take(const std::string& value) {
        bytes += static_cast<int64_t>(value.size());
        if constexpr (kHash) {
            for (const char c : value) {
                hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            }
            hash = (hash ^ 0xffu) * 1099511628211ull;
        }
    }
    bool operator==(const Summary&) const = default;
};

template <bool kHash>
bool readWithXmlDoc(vx::XmlDoc& doc, Summary& summary) {
    if (!doc.setText(historyText()) || !doc.findSibling("ROOT")) {
        return false;
    }
    while (doc.findChild("DOWNLOAD")) {
        ++summary.records;
        doc.enterChild();
        if (doc.findChild("DOWNLOAD_TIME")) {
            summary.take<kHash>(doc.getChildData());
        }
        if (doc.findChild("REFERRER_URL")) {
            summary.take<kHash>(doc.getChildData());
        }
        if (doc.findChild("DOWNLOAD_ITEM")) {
            do {
                ++summary.items;
                doc.enterChild();
                if (doc.findChild("DOWNLOAD_FILE")) {
                    summary.take<kHash>(doc.getChildData());
                }
                if (doc.findChild("LOCAL_FILE")) {
                    summary.take<kHash>(doc.getChildData());
                }
                doc.leaveToParent();
            } while (doc.findChild("DOWNLOAD_ITEM"));
        }
        doc.leaveToParent();
    }
    return true;
}

void BM_XmlDoc_Parse(benchmark::State& state) {
    const std::string& text = historyText();
    for (auto _ : state) {
        vx::XmlDoc doc;
        if (!doc.setText(text)) {
            state.SkipWithError(doc.errorText().c_str());
            break;
        }
        benchmark::DoNotOptimize(doc.spanCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

void BM_XmlDoc_ParseAndRead(benchmark::State& state) {
    const std::string& text = historyText();
    for (auto _ : state) {
        vx::XmlDoc doc;
        Summary summary;
        if (!readWithXmlDoc<false>(doc, summary)) {
            state.SkipWithError("not read");
            break;
        }
        benchmark::DoNotOptimize(summary.bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

#if defined(VX_HAVE_PUGIXML)

template <bool kHash>
bool readWithPugixml(pugi::xml_document& doc, Summary& summary) {
    if (!doc.load_buffer(historyText().data(), historyText().size())) {
        return false;
    }
    const pugi::xml_node root = doc.child("ROOT");
    if (!root) {
        return false;
    }
    for (const pugi::xml_node record : root.children("DOWNLOAD")) {
        ++summary.records;
        summary.take<kHash>(std::string(record.child("DOWNLOAD_TIME").child_value()));
        summary.take<kHash>(std::string(record.child("REFERRER_URL").child_value()));
        for (const pugi::xml_node item : record.children("DOWNLOAD_ITEM")) {
            ++summary.items;
            summary.take<kHash>(std::string(item.child("DOWNLOAD_FILE").child_value()));
            summary.take<kHash>(std::string(item.child("LOCAL_FILE").child_value()));
        }
    }
    return true;
}

void BM_Pugixml_Parse(benchmark::State& state) {
    const std::string& text = historyText();
    const auto options = static_cast<unsigned int>(state.range(0));
    for (auto _ : state) {
        pugi::xml_document doc;
        const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size(), options);
        if (!result) {
            state.SkipWithError(result.description());
            break;
        }
        benchmark::DoNotOptimize(doc.first_child().internal_object());
    }
    state.SetLabel(options == pugi::parse_minimal ? "parse_minimal" : "parse_default");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

void BM_Pugixml_ParseAndRead(benchmark::State& state) {
    const std::string& text = historyText();
    for (auto _ : state) {
        pugi::xml_document doc;
        Summary summary;
        if (!readWithPugixml<false>(doc, summary)) {
            state.SkipWithError("not read");
            break;
        }
        benchmark::DoNotOptimize(summary.bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

#endif

// A whole run stays near a minute on the 2-core build machine.
constexpr int kIterations = 5;

BENCHMARK(BM_XmlDoc_Parse)->Iterations(kIterations)->Unit(benchmark::kMillisecond);
#if defined(VX_HAVE_PUGIXML)
BENCHMARK(BM_Pugixml_Parse)
    ->Arg(pugi::parse_default)
    ->Arg(pugi::parse_minimal)
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_XmlDoc_ParseAndRead)->Iterations(kIterations)->Unit(benchmark::kMillisecond);
#if defined(VX_HAVE_PUGIXML)
BENCHMARK(BM_Pugixml_ParseAndRead)->Iterations(kIterations)->Unit(benchmark::kMillisecond);
#endif

// Both engines must read the same values before their speeds mean anything.
bool checkSameReading() {
    vx::XmlDoc doc;
    Summary ours;
    if (!readWithXmlDoc<true>(doc, ours)) {
        std::fprintf(stderr, "XmlDoc could not read the document: %s\n", doc.errorText().c_str());
        return false;
    }
    std::printf("Document: %zu bytes, %lld records, %lld items, %lld value bytes\n",
                historyText().size(), static_cast<long long>(ours.records),
                static_cast<long long>(ours.items), static_cast<long long>(ours.bytes));
#if defined(VX_HAVE_PUGIXML)
    pugi::xml_document pugiDoc;
    Summary theirs;
    if (!readWithPugixml<true>(pugiDoc, theirs)) {
        std::fprintf(stderr, "pugixml could not read the document\n");
        return false;
    }
    if (!(ours == theirs)) {
        std::fprintf(stderr,
                     "The engines read different values: XmlDoc %lld records, %lld items, %lld "
                     "bytes, hash %016llx; pugixml %lld records, %lld items, %lld bytes, hash "
                     "%016llx\n",
                     static_cast<long long>(ours.records), static_cast<long long>(ours.items),
                     static_cast<long long>(ours.bytes), static_cast<unsigned long long>(ours.hash),
                     static_cast<long long>(theirs.records), static_cast<long long>(theirs.items),
                     static_cast<long long>(theirs.bytes),
                     static_cast<unsigned long long>(theirs.hash));
        return false;
    }
#else
    std::printf("pugixml not found at configure time: XmlDoc alone is measured\n");
#endif
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!checkSameReading()) {
        return EXIT_FAILURE;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
