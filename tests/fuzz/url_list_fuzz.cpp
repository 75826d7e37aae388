// Feeds arbitrary bytes to the page-list loader as "cacheurl.xml", under single-byte and
// double-byte rules: the list holds no repeats and no "about:blank", the text ends at its first
// NUL byte, and the pages written back as URL elements read back as the same list.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/url_list.h"
#include "base/mbcs.h"
#include "fuzz_check.h"
#include "resources/resource.h"
#include "support/memory_file_system.h"
#include "xml/xml_doc.h"

namespace {

using vx::UrlListResult;

void require(bool condition, const char* what) {
    vx::fuzz::require(condition, "url_list_fuzz", what);
}

void checkResult(const UrlListResult& result) {
    if (result.status == UrlListResult::Status::ParseError) {
        require(result.messageId == IDS_PARSE_URL_CACHE_FAILED, "parse error message");
        require(result.pageUrls.empty(), "no pages from a text that does not parse");
        return;
    }
    require(result.status == UrlListResult::Status::Loaded, "loaded or not parsed");
    require(result.messageId == 0, "no message when loaded");
    std::set<std::string> seen;
    for (const std::string& page : result.pageUrls) {
        require(page != "about:blank", "about:blank left out");
        require(page.find('\0') == std::string::npos, "no NUL byte in a page");
        require(seen.insert(page).second, "no two equal pages");
        require(result.pageUrls.contains(page), "a listed page is found");
    }
    require(seen.size() == result.pageUrls.size(), "every page counted");
}

// The pages as the elements of a new document, each text escaped by the XML engine.
std::string writtenBack(const UrlListResult& result) {
    vx::XmlDoc doc;
    require(doc.addSibling("URLCACHE", nullptr), "root written");
    for (const std::string& page : result.pageUrls)
        require(doc.addChild("URL", page.c_str()), "page written");
    return doc.getText();
}

void runOnce(const std::string& text) {
    const UrlListResult result = vx::parseUrlList(text);
    checkResult(result);

    const std::string beforeNul = text.substr(0, text.find('\0'));
    const UrlListResult cut = vx::parseUrlList(beforeNul);
    require(cut.status == result.status && cut.pageUrls.entries() == result.pageUrls.entries(),
            "the text ends at its first NUL byte");

    vx::test::MemoryFileSystem files;
    const std::string folder = "install";
    files.writeFile(vx::joinPath(folder, vx::kUrlListFileName), text);
    const UrlListResult loaded = vx::loadUrlList(files, folder);
    require(
        loaded.status == result.status && loaded.pageUrls.entries() == result.pageUrls.entries(),
        "the file reads as its text");

    // Pairs no code page has, and half a character, are not written back whole.
    if (result.loaded() && vx::fuzz::trailBytesAreReal(beforeNul) &&
        std::none_of(result.pageUrls.begin(), result.pageUrls.end(),
                     vx::fuzz::endsWithHalfCharacter)) {
        const UrlListResult again = vx::parseUrlList(writtenBack(result));
        require(again.loaded() && again.pageUrls.entries() == result.pageUrls.entries(),
                "pages written back read the same");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vx::mbcs::useSingleByte();
    runOnce(text);
    vx::mbcs::useCodePage936();
    runOnce(text);
    vx::mbcs::useSingleByte();
    return 0;
}
