// Runs a fuzz target without libFuzzer: every file of a corpus folder (or one file), then a
// fixed-seed series of mutations of them, so a run is repeatable under any sanitizer.
//
//   <target> <corpus folder or file> [mutations]
//
// With VX_FUZZ_LAST_INPUT=<path> set, each input is written there before it runs, so the one
// that crashed can be replayed by passing that file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Input = std::vector<uint8_t>;

constexpr size_t kMaxInputSize = 1 << 16;
constexpr uint32_t kSeed = 20040325;

const char* const kTokens[] = {
    "<",
    ">",
    "/",
    "\"",
    "=",
    "&",
    "!",
    "?",
    " ",
    "\r\n",
    "</",
    "/>",
    "<!--",
    "-->",
    "<![CDATA[",
    "]]>",
    "<?",
    "?>",
    "&lt;",
    "&amp;",
    "&gt;",
    "&quot;",
    "&apos;",
    "<a>",
    "</a>",
    "<b x=\"1\"/>",
    "<!DOCTYPE d [<!ENTITY e \"x\">]>",
    "\x81",
    "\xB0\xA1",
    "\x81<",
    "\x81>",
    // The readers' own elements, and the pieces of addresses that file names come from.
    "<DOWNLOAD>",
    "<DOWNLOAD_ITEM>",
    "</DOWNLOAD>",
    "<URL>",
    "</URL>",
    "<LIMITRESOLVING>",
    "<RESOLVING_CAP RESX=\"1\"/>",
    "-",
    "9999999999",
    "http://",
    "\\",
    ":",
    ".",
    "..",
    "CON",
    "lpt1",
    "\x81\\",
};

Input readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void run(const Input& input) {
    if (const char* last = std::getenv("VX_FUZZ_LAST_INPUT")) {
        std::ofstream out(last, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(input.data()),
                  static_cast<std::streamsize>(input.size()));
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

Input mutate(const std::vector<Input>& corpus, std::mt19937& random) {
    const auto pick = [&](size_t bound) {
        return bound == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, bound - 1)(random);
    };
    Input input = corpus[pick(corpus.size())];
    const size_t rounds = 1 + pick(8);
    for (size_t r = 0; r < rounds; ++r) {
        const size_t at = pick(input.size() + 1);
        switch (pick(7)) {
            case 0:
                if (!input.empty()) {
                    input[pick(input.size())] = static_cast<uint8_t>(pick(256));
                }
                break;
            case 1: {
                const std::string token = kTokens[pick(std::size(kTokens))];
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), token.begin(),
                             token.end());
                break;
            }
            case 2: {
                const size_t count = std::min(input.size() - at, 1 + pick(16));
                input.erase(input.begin() + static_cast<std::ptrdiff_t>(at),
                            input.begin() + static_cast<std::ptrdiff_t>(at + count));
                break;
            }
            case 3: {
                const size_t count = std::min(input.size() - at, pick(64));
                const Input copy(input.begin() + static_cast<std::ptrdiff_t>(at),
                                 input.begin() + static_cast<std::ptrdiff_t>(at + count));
                const size_t to = pick(input.size() + 1);
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(to), copy.begin(),
                             copy.end());
                break;
            }
            case 4:
                input.resize(at);
                break;
            case 5: {
                const Input& other = corpus[pick(corpus.size())];
                const size_t from = pick(other.size() + 1);
                const size_t count = std::min(other.size() - from, pick(128));
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                             other.begin() + static_cast<std::ptrdiff_t>(from),
                             other.begin() + static_cast<std::ptrdiff_t>(from + count));
                break;
            }
            default:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                             static_cast<uint8_t>(pick(256)));
                break;
        }
        if (input.size() > kMaxInputSize) {
            input.resize(kMaxInputSize);
        }
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder or file> [mutations]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path source = argv[1];
    const unsigned long mutations = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;

    std::vector<Input> corpus;
    std::error_code error;
    if (std::filesystem::is_directory(source, error)) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(source, error)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            corpus.push_back(readFile(file));
        }
    } else if (std::filesystem::is_regular_file(source, error)) {
        corpus.push_back(readFile(source));
    } else {
        std::fprintf(stderr, "%s: no corpus at %s\n", argv[0], argv[1]);
        return 2;
    }
    if (corpus.empty()) {
        corpus.emplace_back();
    }

    for (const Input& input : corpus) {
        run(input);
    }
    std::mt19937 random(kSeed);
    for (unsigned long i = 0; i < mutations; ++i) {
        run(mutate(corpus, random));
    }
    std::printf("%zu corpus inputs and %lu mutations passed\n", corpus.size(), mutations);
    return 0;
}
