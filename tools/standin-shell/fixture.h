#pragma once
// The browser windows the stand-in shell pretends are open, read from "standin-windows.xml" in
// the DLL's folder:
//
//   <BROWSER>
//   <WINDOW TITLE="Page" URL="http://host/page.html" KIND="html">
//   <IMG SRC="http://host/a.jpg" WIDTH="640" HEIGHT="480"/>
//   <A HREF="http://host/song.mp3"/>
//   <AREA HREF="http://host/map-target.html"/>
//   </WINDOW>
//   <WINDOW TITLE="C:\" URL="file:///C:/" KIND="folder"/>
//   </BROWSER>
//
// IMG elements form the page's image collection, A and AREA elements its link collection, each
// in document order. KIND="folder" is a file-manager window without an HTML document; any other
// kind is an HTML page. A missing attribute reads as empty text or 0.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct FixtureImage {
    std::string source;
    int32_t width = 0;
    int32_t height = 0;
};

struct FixtureLink {
    std::string target;
    bool isAnchor = true;  // false for an AREA element
};

struct FixtureWindow {
    std::string title;
    std::string url;
    bool isFolder = false;
    std::vector<FixtureImage> images;
    std::vector<FixtureLink> links;
};

struct Fixture {
    bool ok = false;    // false when the text is not a BROWSER document
    std::string error;  // why, when not ok
    std::vector<FixtureWindow> windows;
};

// Parses fixture text (ANSI bytes). An empty text is a valid fixture with no windows.
Fixture parseFixture(const std::string& text);

}  // namespace standin
