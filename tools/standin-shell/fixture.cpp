#include "fixture.h"

#include <cctype>
#include <cstring>
#include <limits>

#include "xml/xml_doc.h"

namespace standin {

int32_t leadingNumber(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int64_t value = 0;
    for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            value = std::numeric_limits<int32_t>::max() + int64_t{negative ? 1 : 0};
            break;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

Fixture parseFixture(const std::string& text) {
    Fixture fixture;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        fixture.ok = true;
        return fixture;
    }
    vx::XmlDoc doc;
    if (!doc.setText(text)) {
        fixture.error = "not an XML document: " + doc.errorText();
        return fixture;
    }
    if (!doc.findSibling("BROWSER")) {
        fixture.error = "the root element is not BROWSER";
        return fixture;
    }
    while (doc.findChild("WINDOW")) {
        FixtureWindow window;
        window.title = doc.getChildAttribute("TITLE");
        window.url = doc.getChildAttribute("URL");
        window.isFolder = doc.getChildAttribute("KIND") == "folder";
        doc.enterChild();
        // Any name: images and links interleave in page order.
        while (doc.findChild(nullptr)) {
            const std::string tag = doc.tagNameAt(doc.childPos());
            if (tag == "IMG") {
                window.images.push_back({doc.getChildAttribute("SRC"),
                                         leadingNumber(doc.getChildAttribute("WIDTH")),
                                         leadingNumber(doc.getChildAttribute("HEIGHT"))});
            } else if (tag == "A" || tag == "AREA") {
                window.links.push_back({doc.getChildAttribute("HREF"), tag == "A"});
            }
        }
        doc.leaveToParent();
        fixture.windows.push_back(std::move(window));
    }
    fixture.ok = true;
    return fixture;
}

}  // namespace standin
