#include "fixture.h"

#include "base/decimal.h"
#include "xml/xml_doc.h"

namespace standin {

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
                                         vx::leadingDecimal32(doc.getChildAttribute("WIDTH")),
                                         vx::leadingDecimal32(doc.getChildAttribute("HEIGHT"))});
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
