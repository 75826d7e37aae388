// Feeds arbitrary bytes to XmlDoc under single-byte and double-byte rules: parse, walk every
// element through the cursors, read contents and attributes, insert elements and attributes,
// and check that the edited text parses back to the very index the edits maintained.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/mbcs.h"
#include "xml/xml_doc.h"

namespace {

using vx::ElementSpan;
using vx::XmlDoc;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "xml_doc_fuzz: check failed: %s\n", what);
        std::abort();
    }
}

// Bytes of the input handed out one by one to steer choices; zeros once used up.
class Choices {
  public:
    Choices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string text(size_t maxLength, bool noLeadBytes) {
        const size_t length = next() % (maxLength + 1);
        std::string out;
        for (size_t i = 0; i < length && pos_ < size_; ++i) {
            const auto c = static_cast<unsigned char>(data_[pos_++]);
            if (c != 0 && !(noLeadBytes && vx::mbcs::isLeadByte(c))) {
                out.push_back(static_cast<char>(c));
            }
        }
        return out;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void checkSpans(const XmlDoc& doc) {
    const std::string text = doc.getText();
    const auto size = static_cast<int32_t>(text.size());
    require(doc.spanCount() >= 1 && doc.spanCount() <= doc.spanCapacity(), "span count");
    for (int32_t i = 1; i < doc.spanCount(); ++i) {
        const ElementSpan& s = doc.span(i);
        require(0 <= s.startTagBegin && s.startTagBegin < s.startTagEnd, "start tag order");
        require(s.startTagEnd <= s.endTagEnd && s.endTagEnd <= s.nextMarkup, "end tag order");
        require(s.nextMarkup <= size, "offset inside text");
        require(text[s.startTagBegin] == '<' && text[s.startTagEnd] == '>', "start tag bytes");
        require(text[s.endTagEnd] == '>', "end tag byte");
        require(s.nextMarkup == size || text[s.nextMarkup] == '<', "next markup byte");
        require(s.parent >= 0 && s.parent < i, "parent index");
        for (int32_t c = s.firstChild; c != 0; c = doc.span(c).nextSibling) {
            require(c > i && c < doc.spanCount() && doc.span(c).parent == i, "child link");
        }
    }
}

int walkAll(XmlDoc& doc) {
    doc.resetPosition();
    if (!doc.findSibling(nullptr)) {
        return 0;
    }
    int visited = 1;
    for (;;) {
        if (doc.findChild(nullptr)) {
            const std::string name = doc.tagNameAt(doc.childPos());
            (void)doc.getChildData();
            (void)doc.getChildAttribute(name.c_str());
            (void)doc.getChildAttribute("K");
            if (doc.enterChild()) {
                ++visited;
            }
        } else if (!doc.leaveToParent()) {
            break;
        }
    }
    return visited;
}

// The edited index must equal what a fresh parse of the edited text gives.
void checkReparse(const XmlDoc& built) {
    const std::string text = built.getText();
    auto block = std::make_unique<char[]>(text.size());
    std::memcpy(block.get(), text.data(), text.size());
    XmlDoc parsed;
    require(parsed.setText(block.get(), text.size()), "edited text parses");
    std::vector<std::pair<int32_t, int32_t>> pending{
        {built.span(0).firstChild, parsed.span(0).firstChild}};
    int compared = 0;
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        require((a == 0) == (b == 0), "same element count");
        if (a == 0) {
            continue;
        }
        ++compared;
        const ElementSpan& x = built.span(a);
        const ElementSpan& y = parsed.span(b);
        require(x.startTagBegin == y.startTagBegin && x.startTagEnd == y.startTagEnd &&
                    x.endTagBegin == y.endTagBegin && x.endTagEnd == y.endTagEnd &&
                    x.nextMarkup == y.nextMarkup,
                "same offsets");
        require(built.tagNameAt(a) == parsed.tagNameAt(b), "same name");
        pending.emplace_back(x.nextSibling, y.nextSibling);
        pending.emplace_back(x.firstChild, y.firstChild);
    }
    require(compared == parsed.spanCount() - 1, "every element compared");
}

void editParsed(XmlDoc& doc, Choices& choices) {
    const int edits = 1 + choices.next() % 6;
    for (int e = 0; e < edits; ++e) {
        const int32_t count = doc.spanCount();
        const int32_t target = 1 + choices.next() % (count - 1);
        // Values with lead bytes only in element data: a trail byte equal to '>' inside an
        // attribute value would end the start tag, and no real code page has such trail bytes.
        switch (choices.next() % 4) {
            case 0: {
                const std::string data = choices.text(12, false);
                require(doc.insertElement(target, 0, "N", data.c_str()) != 0, "insert first");
                break;
            }
            case 1: {
                const int32_t parent = doc.span(target).parent;
                if (parent != 0) {
                    require(doc.insertElement(parent, target, "M", nullptr) != 0, "insert after");
                }
                break;
            }
            case 2: {
                const std::string value = choices.text(12, true);
                require(doc.insertAttribute(target, "K", value.c_str()) > 0, "attribute");
                break;
            }
            default: {
                doc.resetPosition();
                require(doc.findSibling(nullptr), "root");
                const int steps = choices.next() % 4;
                for (int s = 0; s < steps && doc.enterChild(); ++s) {
                }
                const std::string data = choices.text(8, false);
                require(doc.addChild("C", data.c_str()), "add child");
                break;
            }
        }
        checkSpans(doc);
    }
    checkReparse(doc);
    require(walkAll(doc) == doc.spanCount() - 1, "walk after edits");
}

// A document built from nothing with values from the input reads back exactly.
void buildFromScratch(Choices& choices) {
    XmlDoc doc;
    require(doc.addSibling("ROOT", nullptr), "root");
    std::vector<std::string> values;
    const int steps = choices.next() % 12;
    for (int s = 0; s < steps; ++s) {
        switch (choices.next() % 4) {
            case 0:
            case 1:
                values.push_back(choices.text(16, false));
                require(doc.addChild("V", values.back().c_str()), "add value");
                break;
            case 2:
                require(doc.addChildAttribute("A", choices.text(16, true).c_str()) ==
                            (doc.childPos() != 0),
                        "add attribute");
                break;
            default:
                if (doc.childPos() != 0) {
                    require(doc.enterChild(), "enter");
                } else {
                    doc.leaveToParent();
                }
                break;
        }
    }
    checkSpans(doc);
    checkReparse(doc);
}

// Real double-byte code pages have no trail byte below 0x40, so none equal to a markup
// character; edits of text that has such pairs are not expected to read back the same.
bool trailBytesAreReal(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 1 < size; ++i) {
        if (vx::mbcs::isLeadByte(data[i])) {
            if (data[i + 1] < 0x40) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

void runOnce(const uint8_t* data, size_t size) {
    auto block = std::make_unique<char[]>(size);
    if (size > 0) {
        std::memcpy(block.get(), data, size);
    }
    XmlDoc doc;
    const bool parsed = doc.setText(block.get(), size);
    block.reset();
    require(doc.getText() == std::string(reinterpret_cast<const char*>(data), size), "text kept");
    Choices choices(data, size);
    if (!parsed) {
        require(!doc.hasRoot() && doc.spanCount() == 1, "failed parse leaves no index");
        require(doc.getChildData().empty() && !doc.findChild(nullptr), "no elements");
        buildFromScratch(choices);
        return;
    }
    checkSpans(doc);
    require(walkAll(doc) == doc.spanCount() - 1, "cursor walk reaches every element");
    for (int32_t i = 1; i < doc.spanCount(); ++i) {
        (void)doc.dataAt(i);
        (void)doc.attributeAt(i, doc.tagNameAt(i).c_str());
    }
    checkReparse(doc);
    if (trailBytesAreReal(data, size)) {
        editParsed(doc, choices);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vx::mbcs::useSingleByte();
    runOnce(data, size);
    vx::mbcs::useCodePage936();
    runOnce(data, size);
    vx::mbcs::useSingleByte();
    return 0;
}
