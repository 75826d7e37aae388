#include "xml/xml_doc.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/mbcs.h"

namespace {

using vx::ElementSpan;
using vx::XmlDoc;

using SpanFields = std::array<int32_t, 8>;

SpanFields fieldsOf(const ElementSpan& s) {
    return {s.startTagBegin, s.startTagEnd, s.endTagBegin, s.endTagEnd,
            s.nextMarkup,    s.parent,      s.firstChild,  s.nextSibling};
}

std::array<int32_t, 5> offsetsOf(const ElementSpan& s) {
    return {s.startTagBegin, s.startTagEnd, s.endTagBegin, s.endTagEnd, s.nextMarkup};
}

// Parses `text` from an exactly sized heap block without a terminating NUL, so that a read
// past the end is caught by the address sanitizer.
bool parseExact(XmlDoc& doc, const std::string& text) {
    auto block = std::make_unique<char[]>(text.size());
    if (!text.empty()) {
        std::memcpy(block.get(), text.data(), text.size());
    }
    return doc.setText(block.get(), text.size());
}

// Same elements, names and offsets, walking both trees side by side.
void expectSameStructure(const XmlDoc& built, const XmlDoc& parsed) {
    ASSERT_EQ(built.hasRoot(), parsed.hasRoot());
    ASSERT_EQ(built.getText(), parsed.getText());
    std::vector<std::pair<int32_t, int32_t>> pending{
        {built.span(0).firstChild, parsed.span(0).firstChild}};
    int compared = 0;
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a == 0 || b == 0) {
            ASSERT_EQ(a == 0, b == 0) << "element count differs";
            continue;
        }
        ++compared;
        EXPECT_EQ(built.tagNameAt(a), parsed.tagNameAt(b));
        EXPECT_EQ(offsetsOf(built.span(a)), offsetsOf(parsed.span(b)))
            << "element " << built.tagNameAt(a);
        EXPECT_EQ(built.dataAt(a), parsed.dataAt(b));
        pending.emplace_back(built.span(a).nextSibling, parsed.span(b).nextSibling);
        pending.emplace_back(built.span(a).firstChild, parsed.span(b).firstChild);
    }
    EXPECT_EQ(compared, parsed.spanCount() - 1);
}

void expectReparsesTheSame(const XmlDoc& built) {
    XmlDoc parsed;
    ASSERT_TRUE(parsed.setText(built.getText())) << parsed.errorText();
    expectSameStructure(built, parsed);
}

// Every indexed span points at real markup inside the text and nests inside its parent.
void expectSpansConsistent(const XmlDoc& doc) {
    const std::string text = doc.getText();
    const auto size = static_cast<int32_t>(text.size());
    for (int32_t i = 1; i < doc.spanCount(); ++i) {
        const ElementSpan& s = doc.span(i);
        ASSERT_LE(0, s.startTagBegin);
        ASSERT_LT(s.startTagBegin, s.startTagEnd);
        ASSERT_LE(s.startTagEnd, s.endTagEnd);
        ASSERT_LE(s.endTagEnd, s.nextMarkup);
        ASSERT_LE(s.nextMarkup, size);
        EXPECT_EQ(text[s.startTagBegin], '<');
        EXPECT_EQ(text[s.startTagEnd], '>');
        EXPECT_EQ(text[s.endTagEnd], '>');
        if (s.startTagEnd != s.endTagBegin + 1) {
            EXPECT_EQ(text[s.endTagBegin], '<');
        }
        if (s.parent != 0) {
            const ElementSpan& p = doc.span(s.parent);
            EXPECT_LT(p.startTagEnd, s.startTagBegin);
            EXPECT_LT(s.endTagEnd, p.endTagBegin);
        }
        for (int32_t c = s.firstChild; c != 0; c = doc.span(c).nextSibling) {
            EXPECT_EQ(doc.span(c).parent, i);
        }
    }
}

// Visits every element through the cursors alone and reads each one; returns the count.
int walkAllElements(XmlDoc& doc) {
    doc.resetPosition();
    if (!doc.findSibling(nullptr)) {
        return 0;
    }
    int visited = 1;
    for (;;) {
        if (doc.findChild(nullptr)) {
            (void)doc.getChildData();
            (void)doc.getChildAttribute("A");
            (void)doc.getChildAttribute("W");
            (void)doc.getChildAttribute(doc.tagNameAt(doc.childPos()).c_str());
            if (doc.enterChild()) {
                ++visited;
            }
        } else if (!doc.leaveToParent()) {
            break;
        }
    }
    return visited;
}

class XmlDocDbcs : public ::testing::Test {
  protected:
    void SetUp() override { vx::mbcs::useCodePage936(); }
    void TearDown() override { vx::mbcs::useSingleByte(); }
};

const std::string kConfigDocument =
    "<?xml version=\"1.0\"?>\r\n"
    "<!-- settings > defaults -->\r\n"
    "<CONFIG>\r\n"
    "<SAVEPATH>C:\\Media &amp; more</SAVEPATH>\r\n"
    "<TYPES jpg=\"1\" gif=\"1\" mp3=\"0\"/>\r\n"
    "<RESOLUTIONS>\r\n"
    "<RES W=\"88\" H=\"31\"/>\r\n"
    "<RES W = \"468\" H=\"60\"/>\r\n"
    "</RESOLUTIONS>\r\n"
    "<MINSIZE>0</MINSIZE>\r\n"
    "</CONFIG>\r\n";

const std::string kHistoryDocument =
    "<HISTORY>\r\n"
    "<RECORD TIME=\"1080172800\">\r\n"
    "<PAGE>http://example.test/a?x=1&amp;y=2</PAGE>\r\n"
    "<ITEMS>\r\n"
    "<ITEM SIZE=\"1234\"><![CDATA[http://example.test/<img>.jpg]]></ITEM>\r\n"
    "<ITEM A=\"&quot;q&apos;\"/>\r\n"
    "</ITEMS>\r\n"
    "</RECORD>\r\n"
    "</HISTORY>\r\n";

const std::string kOddDocument =
    "lead text<!DOCTYPE r [<!ENTITY a \"b\">]>< r >&a;<x k='1' v=\"a&amp;b\"/>"
    "<![CDATA[</r>]]><y>t &lt;&#65;&</y>< / r junk>tail";

// Double-byte text under code page 936 rules, including a trail byte equal to '<'.
const std::string kDbcsDocument =
    "<R>\r\n<N>\x81\x40\xB0\xA1</N>\r\n<V "
    "A=\"\xC4\xE3\">\x81<x&amp;</V>\r\n<\xB0\xA1/>\r\n</R>\r\n";

TEST(XmlDocParse, FreshDocumentHasNoRootAndEightSpans) {
    XmlDoc doc;
    EXPECT_FALSE(doc.hasRoot());
    EXPECT_EQ(doc.spanCapacity(), 8);
    EXPECT_EQ(doc.spanCount(), 1);
    EXPECT_EQ(doc.getText(), "");
    EXPECT_FALSE(doc.findSibling(nullptr));
    EXPECT_FALSE(doc.findChild(nullptr));
    EXPECT_FALSE(doc.enterChild());
    EXPECT_EQ(doc.getChildData(), "");
}

TEST(XmlDocParse, EmptyAndNullTextHaveNoRoot) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a/>"));
    EXPECT_FALSE(doc.setText(nullptr));
    EXPECT_FALSE(doc.hasRoot());
    ASSERT_TRUE(doc.setText("<a/>"));
    EXPECT_FALSE(doc.setText(""));
    EXPECT_FALSE(doc.hasRoot());
    EXPECT_FALSE(doc.setText(nullptr, 5));
    EXPECT_FALSE(doc.hasRoot());
}

TEST(XmlDocParse, SpansOfSmallDocument) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a x=\"1\"><b/></a>"));
    EXPECT_EQ(doc.getText().size(), 17u);
    EXPECT_EQ(doc.span(0).firstChild, 1);
    EXPECT_EQ(fieldsOf(doc.span(1)), (SpanFields{0, 8, 13, 16, 17, 0, 2, 0}));
    EXPECT_EQ(fieldsOf(doc.span(2)), (SpanFields{9, 12, 11, 12, 13, 1, 0, 0}));
    EXPECT_EQ(doc.spanCount(), 3);
}

TEST(XmlDocParse, TextAroundTheRootIsIgnored) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("abc<r/>def"));
    ASSERT_TRUE(doc.findSibling("r"));
    EXPECT_EQ(doc.dataAt(doc.currentPos()), "");
    EXPECT_FALSE(doc.findChild(nullptr));
    EXPECT_EQ(doc.getText(), "abc<r/>def");
}

TEST(XmlDocParse, DeclarationAndCommentBeforeRootAreSkipped) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<?xml version=\"1.0\"?><!-- a > b --><r><c>1</c></r>"));
    ASSERT_TRUE(doc.findSibling("r"));
    ASSERT_TRUE(doc.findChild("c"));
    EXPECT_EQ(doc.getChildData(), "1");
}

TEST(XmlDocParse, ChildrenEmptyAndWithContent) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><a/><b>x</b></r>"));
    ASSERT_TRUE(doc.findSibling("r"));
    ASSERT_TRUE(doc.findChild("a"));
    EXPECT_EQ(doc.getChildData(), "");
    EXPECT_EQ(doc.span(doc.childPos()).startTagEnd, doc.span(doc.childPos()).endTagBegin + 1);
    ASSERT_TRUE(doc.findChild("b"));
    EXPECT_EQ(doc.getChildData(), "x");
    EXPECT_FALSE(doc.findChild(nullptr));
}

TEST(XmlDocParse, OnlyTheFirstTopLevelElementIsIndexed) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a/><b/>"));
    EXPECT_EQ(doc.spanCount(), 2);
    EXPECT_FALSE(doc.findSibling("b"));
    EXPECT_TRUE(doc.findSibling("a"));
    EXPECT_FALSE(doc.findSibling(nullptr));
}

TEST(XmlDocParse, ErrorMessages) {
    const std::pair<const char*, const char*> cases[] = {
        {"<a>", "Element tag not found"},
        {"<a><b>", "Element tag not found"},
        {"text only", "Element tag not found"},
        {"<a></b>", "End tag does not correspond to a"},
        {"<a><b></a></b>", "End tag does not correspond to b"},
        {"<a><", "Abrupt end within tag"},
        {"<", "Abrupt end within tag"},
        {"<abc", "Abrupt end within tag"},
        {"<!", "Abrupt end within tag"},
        {"<\"a\">", "Tag starts with quote"},
        {"<a ", "End of tag not found"},
        {"<a x=\"1\"", "End of tag not found"},
        {"<!-- a > b", "End of tag not found"},
        {"<?pi > <a/>", "End of tag not found"},
        {"<a><![CDATA[x]></a>", "End of tag not found"},
        {"<a></", "Abrupt end within tag"},
        {"<a></ ", "End tag not completed for element a"},
        {"<a></a \"\"", "End tag not completed for element a"},
        {"<a></a \"", "End tag not completed for element a"},
    };
    for (const auto& [text, message] : cases) {
        XmlDoc doc;
        EXPECT_FALSE(doc.setText(text)) << text;
        EXPECT_EQ(doc.errorText(), message) << text;
        EXPECT_FALSE(doc.hasRoot()) << text;
        EXPECT_EQ(doc.spanCount(), 1) << text;
        EXPECT_EQ(doc.getText(), text);
    }
}

TEST(XmlDocParse, EndTagCutBeforeItsCloseIsRejected) {
    const char* cases[] = {"<a></a", "<a></a ", "<a></a junk", "<a>x</a \"q\""};
    for (const char* text : cases) {
        XmlDoc doc;
        EXPECT_FALSE(doc.setText(text)) << text;
        EXPECT_EQ(doc.errorText(), "End tag not completed for element a") << text;
    }
}

TEST(XmlDocParse, StrayEndTagAtTopIsReported) {
    XmlDoc doc;
    EXPECT_FALSE(doc.setText("  </a><b/>"));
    EXPECT_EQ(doc.errorText(), "Unexpected end tag");
}

TEST(XmlDocParse, EndTagClosesAfterTheNameEvenForMarkupNames) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<>>x</>>"));
    EXPECT_EQ(doc.tagNameAt(1), ">");
    EXPECT_EQ(doc.dataAt(1), "x");
    EXPECT_EQ(doc.span(1).endTagEnd, 7);
    EXPECT_FALSE(doc.setText("<>>x</>"));
    EXPECT_EQ(doc.errorText(), "End tag not completed for element >");
}

TEST(XmlDocParse, ErrorTextSurvivesLaterSuccess) {
    XmlDoc doc;
    EXPECT_FALSE(doc.setText("<a></b>"));
    ASSERT_TRUE(doc.setText("<a/>"));
    EXPECT_EQ(doc.errorText(), "End tag does not correspond to a");
    EXPECT_FALSE(doc.setText(""));
    EXPECT_EQ(doc.errorText(), "End tag does not correspond to a");
}

TEST(XmlDocParse, FailedParseResetsCursorsAndKeepsText) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><a/><b/></r>"));
    ASSERT_TRUE(doc.findChild("b"));
    ASSERT_TRUE(doc.enterChild());
    EXPECT_FALSE(doc.setText("<r><a></r>"));
    EXPECT_EQ(doc.currentPos(), 0);
    EXPECT_EQ(doc.childPos(), 0);
    EXPECT_EQ(doc.depth(), 0);
    EXPECT_EQ(fieldsOf(doc.span(0)), SpanFields{});
    EXPECT_EQ(doc.getText(), "<r><a></r>");
}

TEST(XmlDocParse, WhitespaceAroundNamesAndJunkInEndTag) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("< a >x< / a >"));
    ASSERT_TRUE(doc.findSibling("a"));
    EXPECT_EQ(doc.dataAt(doc.currentPos()), "x");
    ASSERT_TRUE(doc.setText("<a>x</a junk>"));
    EXPECT_EQ(doc.dataAt(1), "x");
    EXPECT_EQ(doc.span(1).endTagEnd, 12);
}

TEST(XmlDocParse, GreaterThanInsideQuotesEndsStartTag) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a b=\"1>2\"></a>"));
    EXPECT_EQ(doc.span(1).startTagEnd, 7);
    EXPECT_EQ(doc.dataAt(1), "2\">");
}

TEST(XmlDocParse, NamedEntitiesDecodedOthersKept) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><a>a &lt;b&gt; &amp; &#65; &x</a><b>&apos;&quot;&lt&amp</b></r>"));
    ASSERT_TRUE(doc.findChild("a"));
    EXPECT_EQ(doc.getChildData(), "a <b> & &#65; &x");
    ASSERT_TRUE(doc.findChild("b"));
    EXPECT_EQ(doc.getChildData(), "'\"&lt&amp");
}

TEST(XmlDocParse, EntityMustEndInsideTheRange) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a>x&amp;&lt;</a>"));
    EXPECT_EQ(doc.unescapeText(4, 8), "&");
    EXPECT_EQ(doc.unescapeText(4, 7), "&amp");
    EXPECT_EQ(doc.unescapeText(9, 11), "&lt");
    EXPECT_EQ(doc.unescapeText(5, 4), "");
    EXPECT_EQ(doc.unescapeText(-10, 2), "<a>");
    EXPECT_EQ(doc.unescapeText(13, 1000), "</a>");
}

TEST(XmlDocParse, CdataContent) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a><![CDATA[<x>]]></a>"));
    EXPECT_EQ(doc.dataAt(1), "<x>");
    ASSERT_TRUE(doc.setText("<a> \r\n<![CDATA[&amp;]]>after</a>"));
    EXPECT_EQ(doc.dataAt(1), "&amp;");
    ASSERT_TRUE(doc.setText("<a>x<![CDATA[y]]></a>"));
    EXPECT_EQ(doc.dataAt(1), "x<![CDATA[y]]>");
    ASSERT_TRUE(doc.setText("<a><![CDATA[]]></a>"));
    EXPECT_EQ(doc.dataAt(1), "");
    ASSERT_TRUE(doc.setText("<a><![CDATA[a]]>b]]></a>"));
    EXPECT_EQ(doc.dataAt(1), "a");
}

TEST(XmlDocParse, ElementWithChildrenHasNoContent) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r>text<c/>more</r>"));
    EXPECT_EQ(doc.dataAt(1), "");
    EXPECT_EQ(doc.dataAt(0), "");
}

TEST(XmlDocParse, Attributes) {
    XmlDoc doc;
    ASSERT_TRUE(
        doc.setText("<r><e k='v'/><e k = \"v\" K=\"w\" k=\"second\"/>"
                    "<e a=b c=\"d\"/><e x=\"&lt;&quot;\">y=\"no\"</e><e/></r>"));
    ASSERT_TRUE(doc.findChild("e"));
    EXPECT_EQ(doc.getChildAttribute("k"), "");
    ASSERT_TRUE(doc.findChild("e"));
    EXPECT_EQ(doc.getChildAttribute("k"), "v");
    EXPECT_EQ(doc.getChildAttribute("K"), "w");
    EXPECT_EQ(doc.getChildAttribute("e"), "");
    EXPECT_EQ(doc.getChildAttribute("v"), "");
    EXPECT_EQ(doc.getChildAttribute(nullptr), "");
    EXPECT_EQ(doc.getChildAttribute(""), "");
    ASSERT_TRUE(doc.findChild("e"));
    EXPECT_EQ(doc.getChildAttribute("a"), "");
    EXPECT_EQ(doc.getChildAttribute("c"), "d");
    ASSERT_TRUE(doc.findChild("e"));
    EXPECT_EQ(doc.getChildAttribute("x"), "<\"");
    EXPECT_EQ(doc.getChildAttribute("y"), "");
    ASSERT_TRUE(doc.findChild("e"));
    EXPECT_EQ(doc.getChildAttribute("x"), "");
    EXPECT_EQ(doc.attributeAt(0, "x"), "");
}

TEST(XmlDocParse, NamesAreCaseSensitive) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<Root><Item>1</Item></Root>"));
    EXPECT_FALSE(doc.findSibling("root"));
    ASSERT_TRUE(doc.findSibling("Root"));
    EXPECT_FALSE(doc.findChild("item"));
    EXPECT_TRUE(doc.findChild("Item"));
}

TEST(XmlDocNavigate, ChildrenAreFoundInDocumentOrderOnly) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><A>1</A><B>2</B><A>3</A></r>"));
    ASSERT_TRUE(doc.findSibling("r"));
    ASSERT_TRUE(doc.findChild("B"));
    const int32_t atB = doc.childPos();
    ASSERT_TRUE(doc.findChild("A"));
    EXPECT_EQ(doc.getChildData(), "3");
    EXPECT_FALSE(doc.findChild("A"));
    EXPECT_FALSE(doc.findChild("B"));
    EXPECT_NE(doc.childPos(), atB);
    EXPECT_EQ(doc.getChildData(), "3");
    doc.resetPosition();
    ASSERT_TRUE(doc.findChild("B"));
    EXPECT_FALSE(doc.findChild("B"));
    EXPECT_EQ(doc.getChildData(), "2");
}

TEST(XmlDocNavigate, FindChildWithoutCurrentTakesTheRoot) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><c>1</c></r>"));
    ASSERT_TRUE(doc.findChild("c"));
    EXPECT_EQ(doc.currentPos(), doc.span(0).firstChild);
}

TEST(XmlDocNavigate, FindSiblingAtTheEndLeavesCursorsAlone) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><a/><b/></r>"));
    ASSERT_TRUE(doc.findChild("a"));
    ASSERT_TRUE(doc.enterChild());
    ASSERT_TRUE(doc.findSibling(nullptr));
    const int32_t atB = doc.currentPos();
    EXPECT_EQ(doc.tagNameAt(atB), "b");
    EXPECT_FALSE(doc.findSibling(nullptr));
    EXPECT_FALSE(doc.findSibling("a"));
    EXPECT_EQ(doc.currentPos(), atB);
    EXPECT_EQ(doc.depth(), 1);
}

TEST(XmlDocNavigate, EnterAndLeave) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><g><x>1</x></g><h>2</h></r>"));
    ASSERT_TRUE(doc.findSibling("r"));
    EXPECT_FALSE(doc.leaveToParent());
    EXPECT_EQ(doc.tagNameAt(doc.currentPos()), "r");
    EXPECT_EQ(doc.depth(), 0);
    ASSERT_TRUE(doc.findChild("g"));
    ASSERT_TRUE(doc.enterChild());
    EXPECT_EQ(doc.depth(), 1);
    EXPECT_EQ(doc.childPos(), 0);
    ASSERT_TRUE(doc.findChild("x"));
    EXPECT_EQ(doc.getChildData(), "1");
    ASSERT_TRUE(doc.enterChild());
    EXPECT_FALSE(doc.findChild(nullptr));
    ASSERT_TRUE(doc.leaveToParent());
    ASSERT_TRUE(doc.leaveToParent());
    EXPECT_EQ(doc.tagNameAt(doc.currentPos()), "r");
    EXPECT_EQ(doc.tagNameAt(doc.childPos()), "g");
    ASSERT_TRUE(doc.findChild(nullptr));
    EXPECT_EQ(doc.getChildData(), "2");
    EXPECT_FALSE(doc.leaveToParent());
}

TEST(XmlDocNavigate, EnterChildWithoutChildTakesTheFirst) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><a><b/></a></r>"));
    ASSERT_TRUE(doc.enterChild());
    EXPECT_EQ(doc.tagNameAt(doc.currentPos()), "a");
    ASSERT_TRUE(doc.enterChild());
    EXPECT_EQ(doc.tagNameAt(doc.currentPos()), "b");
    EXPECT_FALSE(doc.enterChild());
    EXPECT_EQ(doc.depth(), 2);
}

TEST(XmlDocRobust, EveryPrefixOfValidDocuments) {
    const std::string documents[] = {kConfigDocument, kHistoryDocument, kOddDocument};
    for (const std::string& full : documents) {
        XmlDoc whole;
        ASSERT_TRUE(parseExact(whole, full)) << whole.errorText();
        const int elements = whole.spanCount() - 1;
        EXPECT_EQ(walkAllElements(whole), elements);
        for (size_t n = 0; n <= full.size(); ++n) {
            const std::string prefix = full.substr(0, n);
            XmlDoc doc;
            if (parseExact(doc, prefix)) {
                expectSpansConsistent(doc);
                EXPECT_EQ(walkAllElements(doc), doc.spanCount() - 1);
                EXPECT_EQ(doc.spanCount(), whole.spanCount()) << "cut at " << n;
            } else {
                EXPECT_FALSE(doc.hasRoot());
                EXPECT_EQ(doc.getText(), prefix);
                if (n > 0) {
                    EXPECT_FALSE(doc.errorText().empty()) << "cut at " << n;
                }
            }
        }
    }
}

TEST_F(XmlDocDbcs, EveryPrefixOfDoubleByteDocument) {
    XmlDoc whole;
    ASSERT_TRUE(parseExact(whole, kDbcsDocument)) << whole.errorText();
    ASSERT_TRUE(whole.findChild("V"));
    EXPECT_EQ(whole.getChildData(), "\x81<x&");
    EXPECT_EQ(whole.getChildAttribute("A"), "\xC4\xE3");
    ASSERT_TRUE(whole.findChild("\xB0\xA1"));
    for (size_t n = 0; n <= kDbcsDocument.size(); ++n) {
        XmlDoc doc;
        if (parseExact(doc, kDbcsDocument.substr(0, n))) {
            expectSpansConsistent(doc);
            EXPECT_EQ(walkAllElements(doc), doc.spanCount() - 1);
        } else {
            EXPECT_FALSE(doc.hasRoot());
        }
    }
}

TEST(XmlDocRobust, CutAfterRootEndTagIsTheOnlyValidPrefix) {
    const std::string full = "<r><a>1</a></r>";
    for (size_t n = 0; n <= full.size(); ++n) {
        XmlDoc doc;
        EXPECT_EQ(parseExact(doc, full.substr(0, n)), n == full.size()) << "cut at " << n;
    }
}

TEST(XmlDocRobust, MarkupCharacterAsLastByte) {
    const char* cases[] = {"<r>",    "<r><",    "<r>&",  "<r>x&amp", "<r><!", "<r><![CDATA[",
                           "<r><!-", "<r a=\"", "<r><?", "<r>\"",    "<r></r"};
    for (const char* text : cases) {
        XmlDoc doc;
        EXPECT_FALSE(parseExact(doc, text)) << text;
    }
    XmlDoc doc;
    ASSERT_TRUE(parseExact(doc, "<r>x&amp</r>"));
    EXPECT_EQ(doc.dataAt(1), "x&amp");
}

TEST_F(XmlDocDbcs, LeadByteAsLastByte) {
    XmlDoc doc;
    EXPECT_FALSE(parseExact(doc, "<r>\x81"));
    EXPECT_FALSE(parseExact(doc, "<r\x81"));
    EXPECT_FALSE(parseExact(doc, "<r a=\"\x81"));
    ASSERT_TRUE(parseExact(doc, "<r>x</r>\x81"));
    EXPECT_EQ(doc.unescapeText(0, 8), "<r>x</r>\x81");
}

TEST_F(XmlDocDbcs, TrailByteLessThanBelongsToItsCharacter) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a>\x81<</a>"));
    EXPECT_EQ(doc.dataAt(1), "\x81<");
    ASSERT_TRUE(doc.setText("<a>\x81&lt;</a>"));
    EXPECT_EQ(doc.dataAt(1), "\x81&lt;");
    // A double-byte character is never split at the end of the range.
    EXPECT_EQ(doc.unescapeText(3, 3), "\x81");
    vx::mbcs::useSingleByte();
    EXPECT_FALSE(doc.setText("<a>\x81<</a>"));
}

// The search for markup looks at 16 bytes at a time; the pair must be stepped over whole
// wherever it falls in such a block.
TEST_F(XmlDocDbcs, TrailByteLessThanAtEveryPlaceOfALongContent) {
    for (size_t pad = 0; pad < 40; ++pad) {
        const std::string content = std::string(pad, 'x') + "\x81<" + std::string(20, 'y');
        XmlDoc doc;
        ASSERT_TRUE(doc.setText("<a>" + content + "</a>\r\n<b/>")) << pad;
        EXPECT_EQ(doc.dataAt(1), content) << pad;
        EXPECT_EQ(doc.span(1).nextMarkup, static_cast<int32_t>(content.size() + 9)) << pad;
    }
}

TEST(XmlDocRobust, IndexIsReservedForEveryStartOfMarkup) {
    std::string text = "<r>";
    for (int i = 0; i < 100; ++i) {
        text += "<a/>";
    }
    text += "</r>";
    XmlDoc doc;
    ASSERT_TRUE(doc.setText(text));
    EXPECT_EQ(doc.spanCount(), 102);
    // 102 '<' bytes: more than one span per 64 bytes of text, so none is added while parsing.
    EXPECT_EQ(doc.spanCapacity(), 102 + 8);
}

TEST(XmlDocRobust, DeepNestingParsesWithoutRecursion) {
    constexpr int kDepth = 100000;
    std::string text;
    text.reserve(kDepth * 7 + 8);
    for (int i = 0; i < kDepth; ++i) {
        text += "<a>";
    }
    text += "x";
    for (int i = 0; i < kDepth; ++i) {
        text += "</a>";
    }
    XmlDoc doc;
    ASSERT_TRUE(parseExact(doc, text)) << doc.errorText();
    EXPECT_EQ(doc.spanCount(), kDepth + 1);
    ASSERT_TRUE(doc.findSibling("a"));
    while (doc.enterChild()) {
    }
    EXPECT_EQ(doc.depth(), kDepth - 1);
    EXPECT_EQ(doc.dataAt(doc.currentPos()), "x");

    EXPECT_FALSE(parseExact(doc, text.substr(0, text.size() - 1)));
    EXPECT_EQ(doc.errorText(), "End tag not completed for element a");
    EXPECT_FALSE(parseExact(doc, text.substr(0, kDepth * 3)));
    EXPECT_EQ(doc.errorText(), "Element tag not found");
    text[kDepth * 3 + 3] = 'b';
    EXPECT_FALSE(parseExact(doc, text));
    EXPECT_EQ(doc.errorText(), "End tag does not correspond to a");
}

TEST(XmlDocRobust, EntityDeclarationsAreNeverExpanded) {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY e0 \"ha\">\n";
    for (int i = 1; i < 10; ++i) {
        text += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) {
            text += "&e" + std::to_string(i - 1) + ";";
        }
        text += "\">\n";
    }
    text += "<!ENTITY ext SYSTEM \"file:///etc/passwd\">\n]>\n<bomb v=\"&e9;\">&e9;&ext;</bomb>";
    XmlDoc doc;
    ASSERT_TRUE(parseExact(doc, text)) << doc.errorText();
    EXPECT_EQ(doc.spanCount(), 2);
    ASSERT_TRUE(doc.findSibling("bomb"));
    EXPECT_EQ(doc.dataAt(doc.currentPos()), "&e9;&ext;");
    EXPECT_EQ(doc.attributeAt(doc.currentPos(), "v"), "&e9;");
}

TEST(XmlDocRobust, TextOfTwoGigabytesIsRefused) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<a/>"));
    // Refused on its length alone, before any byte is read, so the block may be small.
    const char block[] = "<a/>";
    EXPECT_FALSE(doc.setText(block, XmlDoc::kMaxTextLength + 1));
    EXPECT_EQ(doc.errorText(), "Document too large");
    EXPECT_FALSE(doc.hasRoot());
    EXPECT_EQ(doc.getText(), "");
    EXPECT_TRUE(doc.addSibling("R", nullptr));
    EXPECT_EQ(doc.getText(), "<R/>\r\n");
}

TEST(XmlDocRobust, IndexIsSizedFromTheTextAndGrowsByHalf) {
    XmlDoc doc;
    const std::string text = "<r>" + std::string(6400, ' ') + "</r>";
    ASSERT_TRUE(doc.setText(text));
    EXPECT_EQ(doc.spanCapacity(), static_cast<int32_t>(text.size() / 64 + 8));
    ASSERT_TRUE(doc.setText("<r/>"));
    EXPECT_EQ(doc.spanCapacity(), static_cast<int32_t>(text.size() / 64 + 8));

    XmlDoc grown;
    ASSERT_TRUE(grown.addSibling("R", nullptr));
    std::vector<int32_t> capacities{grown.spanCapacity()};
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(grown.addChild("C", nullptr));
        if (grown.spanCapacity() != capacities.back()) {
            capacities.push_back(grown.spanCapacity());
        }
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{8, 12, 18, 27}));
    expectReparsesTheSame(grown);
}

TEST(XmlDocBuild, RootChildrenAndAttributesLayout) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("CONFIG", nullptr));
    EXPECT_EQ(doc.getText(), "<CONFIG/>\r\n");
    ASSERT_TRUE(doc.addChild("A", "1"));
    EXPECT_EQ(doc.getText(), "<CONFIG>\r\n<A>1</A>\r\n</CONFIG>\r\n");
    EXPECT_EQ(doc.getText().size(), 31u);
    EXPECT_EQ(offsetsOf(doc.span(doc.currentPos())), (std::array<int32_t, 5>{0, 7, 20, 28, 31}));
    EXPECT_EQ(offsetsOf(doc.span(doc.childPos())), (std::array<int32_t, 5>{10, 12, 14, 17, 20}));
    ASSERT_TRUE(doc.addChild("B", nullptr));
    EXPECT_EQ(doc.getText(), "<CONFIG>\r\n<A>1</A>\r\n<B/>\r\n</CONFIG>\r\n");
    ASSERT_TRUE(doc.addChildAttribute("X", "5"));
    ASSERT_TRUE(doc.addChildAttribute("Y", "6"));
    EXPECT_EQ(doc.getText(), "<CONFIG>\r\n<A>1</A>\r\n<B X=\"5\" Y=\"6\"/>\r\n</CONFIG>\r\n");
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, EscapingOfDataAndAttributes) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("R", nullptr));
    ASSERT_TRUE(doc.addChild("D", "a<b & \"c\"'>"));
    ASSERT_TRUE(doc.addChildAttribute("V", "a<b & \"c\"'>"));
    EXPECT_EQ(doc.getText(),
              "<R>\r\n<D V=\"a&lt;b &amp; &quot;c&quot;&apos;&gt;\">"
              "a&lt;b &amp; \"c\"'&gt;</D>\r\n</R>\r\n");
    EXPECT_EQ(doc.getChildData(), "a<b & \"c\"'>");
    EXPECT_EQ(doc.getChildAttribute("V"), "a<b & \"c\"'>");
    EXPECT_EQ(XmlDoc::escapeText("", true), "");
    EXPECT_EQ(XmlDoc::escapeText("&amp;", false), "&amp;amp;");
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, EmptyNullAndZeroData) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("R", ""));
    ASSERT_TRUE(doc.addChild("A", nullptr));
    ASSERT_TRUE(doc.addChild("A", ""));
    ASSERT_TRUE(doc.addChild("A", "0"));
    EXPECT_EQ(doc.getText(), "<R>\r\n<A/>\r\n<A/>\r\n<A>0</A>\r\n</R>\r\n");
}

TEST(XmlDocBuild, SecondRootIsRefused) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("R", nullptr));
    ASSERT_TRUE(doc.addChild("A", "1"));
    const std::string before = doc.getText();
    doc.resetPosition();
    EXPECT_FALSE(doc.addSibling("S", nullptr));
    ASSERT_TRUE(doc.findSibling("R"));
    ASSERT_TRUE(doc.findChild("A"));
    EXPECT_FALSE(doc.addSibling("S", nullptr));
    EXPECT_EQ(doc.childPos(), 0);
    EXPECT_EQ(doc.getText(), before);

    XmlDoc parsed;
    ASSERT_TRUE(parsed.setText("<r/>"));
    EXPECT_FALSE(parsed.addSibling("s", nullptr));
    EXPECT_EQ(parsed.getText(), "<r/>");
}

TEST(XmlDocBuild, NewRootDiscardsTextWithoutRoot) {
    XmlDoc doc;
    EXPECT_FALSE(doc.setText("junk <a>"));
    ASSERT_TRUE(doc.addSibling("R", "v"));
    EXPECT_EQ(doc.getText(), "<R>v</R>\r\n");
    EXPECT_EQ(doc.span(0).firstChild, doc.currentPos());
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, RefusalsChangeNothing) {
    XmlDoc doc;
    EXPECT_FALSE(doc.addChild("A", "1"));
    EXPECT_FALSE(doc.addChildAttribute("X", "1"));
    ASSERT_TRUE(doc.addSibling("R", nullptr));
    EXPECT_FALSE(doc.addChildAttribute("X", "1"));
    EXPECT_EQ(doc.getText(), "<R/>\r\n");
    EXPECT_EQ(doc.insertAttribute(0, "X", "1"), 0);
    EXPECT_EQ(doc.insertElement(5, 0, "A", nullptr), 0);
    EXPECT_EQ(doc.getText(), "<R/>\r\n");
}

TEST(XmlDocBuild, NamesThatWouldNotReadBackAreRefused) {
    const char* badNames[] = {nullptr, "", "a b", "a>b", "a/", "x=y", "\"q\"", "a\tb", "?", "!"};
    for (const char* name : badNames) {
        XmlDoc doc;
        EXPECT_FALSE(doc.addSibling(name, "1")) << (name ? name : "(null)");
        EXPECT_EQ(doc.getText(), "");
        ASSERT_TRUE(doc.addSibling("R", nullptr));
        EXPECT_FALSE(doc.addChild(name, "1"));
        ASSERT_TRUE(doc.addChild("C", nullptr));
        EXPECT_FALSE(doc.addChildAttribute(name, "1"));
        EXPECT_EQ(doc.getText(), "<R>\r\n<C/>\r\n</R>\r\n");
    }
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("ns:r-1.x_y", nullptr));
    ASSERT_TRUE(doc.addChild("a", nullptr));
    EXPECT_TRUE(doc.addChildAttribute("b", nullptr));
    EXPECT_EQ(doc.getText(), "<ns:r-1.x_y>\r\n<a b=\"\"/>\r\n</ns:r-1.x_y>\r\n");
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, NestedRecordsAndReadingBackWithoutReparse) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("HISTORY", nullptr));
    ASSERT_TRUE(doc.addChild("RECORD", nullptr));
    ASSERT_TRUE(doc.addChildAttribute("TIME", "1080172800"));
    ASSERT_TRUE(doc.enterChild());
    ASSERT_TRUE(doc.addChild("PAGE", "http://x/?a=1&b=2"));
    ASSERT_TRUE(doc.addChild("ITEM", "a.jpg"));
    ASSERT_TRUE(doc.addChildAttribute("SIZE", "10"));
    ASSERT_TRUE(doc.leaveToParent());
    ASSERT_TRUE(doc.addChild("RECORD", nullptr));
    EXPECT_EQ(doc.getText(),
              "<HISTORY>\r\n<RECORD TIME=\"1080172800\">\r\n<PAGE>http://x/?a=1&amp;b=2</PAGE>\r\n"
              "<ITEM SIZE=\"10\">a.jpg</ITEM>\r\n</RECORD>\r\n<RECORD/>\r\n</HISTORY>\r\n");

    doc.resetPosition();
    ASSERT_TRUE(doc.findSibling("HISTORY"));
    ASSERT_TRUE(doc.findChild("RECORD"));
    EXPECT_EQ(doc.getChildAttribute("TIME"), "1080172800");
    ASSERT_TRUE(doc.enterChild());
    ASSERT_TRUE(doc.findChild("PAGE"));
    EXPECT_EQ(doc.getChildData(), "http://x/?a=1&b=2");
    ASSERT_TRUE(doc.findChild("ITEM"));
    EXPECT_EQ(doc.getChildData(), "a.jpg");
    EXPECT_EQ(doc.getChildAttribute("SIZE"), "10");
    ASSERT_TRUE(doc.leaveToParent());
    ASSERT_TRUE(doc.findChild("RECORD"));
    EXPECT_EQ(doc.getChildData(), "");
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, ChildAfterTheChildPosition) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("R", nullptr));
    ASSERT_TRUE(doc.addChild("A", "1"));
    ASSERT_TRUE(doc.addChild("C", "3"));
    ASSERT_TRUE(doc.addChild("D", "4"));
    doc.resetPosition();
    ASSERT_TRUE(doc.findChild("A"));
    ASSERT_TRUE(doc.addChild("B", "2"));
    EXPECT_EQ(doc.getText(), "<R>\r\n<A>1</A>\r\n<B>2</B>\r\n<C>3</C>\r\n<D>4</D>\r\n</R>\r\n");
    doc.resetPosition();
    std::string order;
    while (doc.findChild(nullptr)) {
        order += doc.getChildData();
    }
    EXPECT_EQ(order, "1234");
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, ChildOfParentWithTextGoesBeforeItsEndTag) {
    XmlDoc doc;
    ASSERT_TRUE(doc.setText("<r><p>text</p></r>"));
    ASSERT_TRUE(doc.findChild("p"));
    ASSERT_TRUE(doc.enterChild());
    ASSERT_TRUE(doc.addChild("A", "1"));
    EXPECT_EQ(doc.getText(), "<r><p>text<A>1</A>\r\n</p></r>");
    expectReparsesTheSame(doc);
}

TEST(XmlDocBuild, OpenedParentsReadBackWithTheirChild) {
    const std::pair<const char*, const char*> cases[] = {
        {"<d/>", "<d>\r\n<A>1</A>\r\n</d>"},
        {"<d x=\"a/\"/>", "<d x=\"a/\">\r\n<A>1</A>\r\n</d>"},
        {"<d//>", "<d/ >\r\n<A>1</A>\r\n</d>"},
        {"<>/>", "<>>\r\n<A>1</A>\r\n</>>"},
    };
    for (const auto& [before, after] : cases) {
        XmlDoc doc;
        ASSERT_TRUE(doc.setText(before)) << before;
        ASSERT_TRUE(doc.findSibling(nullptr));
        ASSERT_TRUE(doc.addChild("A", "1"));
        EXPECT_EQ(doc.getText(), after);
        expectReparsesTheSame(doc);
        doc.resetPosition();
        ASSERT_TRUE(doc.findChild("A")) << before;
        EXPECT_EQ(doc.getChildData(), "1");
    }
}

TEST(XmlDocBuild, InsertionsIntoParsedDocumentKeepIndexConsistent) {
    XmlDoc doc;
    const std::string head = "<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n";
    ASSERT_TRUE(doc.setText(head + "lead<r a=\"1\">\r\n"
                                   "<e/>tail<!-- x --><f k=\"v\"><g>1</g><h/></f>"
                                   "<t>&amp;<![CDATA[z]]></t>\r\n</r>\r\nafter"));
    const int32_t root = doc.span(0).firstChild;
    int32_t e = doc.span(root).firstChild;
    int32_t f = doc.span(e).nextSibling;
    int32_t t = doc.span(f).nextSibling;
    int32_t g = doc.span(f).firstChild;

    ASSERT_NE(doc.insertElement(root, e, "N1", "x"), 0);
    expectReparsesTheSame(doc);
    ASSERT_NE(doc.insertElement(root, 0, "N0", nullptr), 0);
    expectReparsesTheSame(doc);
    ASSERT_NE(doc.insertElement(e, 0, "IN", "<>"), 0);
    expectReparsesTheSame(doc);
    ASSERT_NE(doc.insertElement(t, 0, "TT", "y"), 0);
    expectReparsesTheSame(doc);
    ASSERT_GT(doc.insertAttribute(f, "w", "\""), 0);
    expectReparsesTheSame(doc);
    ASSERT_GT(doc.insertAttribute(root, "b", "2"), 0);
    expectReparsesTheSame(doc);
    ASSERT_GT(doc.insertAttribute(g, "c", "3"), 0);
    expectReparsesTheSame(doc);
    ASSERT_NE(doc.insertElement(f, g, "G2", nullptr), 0);
    expectReparsesTheSame(doc);
    EXPECT_EQ(doc.insertElement(root, g, "bad", nullptr), 0);

    EXPECT_EQ(doc.attributeAt(f, "k"), "v");
    EXPECT_EQ(doc.attributeAt(f, "w"), "\"");
    EXPECT_EQ(doc.attributeAt(root, "a"), "1");
    EXPECT_EQ(doc.attributeAt(root, "b"), "2");
    EXPECT_EQ(doc.dataAt(g), "1");
    const std::string text = doc.getText();
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - 7), "\r\nafter");
}

TEST_F(XmlDocDbcs, TrailBytesEqualToMarkupAreCopiedUnchanged) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("R", nullptr));
    ASSERT_TRUE(doc.addChild("A", "\x81>"));
    ASSERT_TRUE(doc.addChild("B", "\x81&"));
    ASSERT_TRUE(doc.addChild("C", "\xB0\xA1<"));
    EXPECT_EQ(doc.getText(),
              "<R>\r\n<A>\x81></A>\r\n<B>\x81&</B>\r\n<C>\xB0\xA1&lt;</C>\r\n</R>\r\n");
    doc.resetPosition();
    ASSERT_TRUE(doc.findChild("A"));
    EXPECT_EQ(doc.getChildData(), "\x81>");
    ASSERT_TRUE(doc.findChild("B"));
    EXPECT_EQ(doc.getChildData(), "\x81&");
    ASSERT_TRUE(doc.findChild("C"));
    EXPECT_EQ(doc.getChildData(), "\xB0\xA1<");
    expectReparsesTheSame(doc);
}

TEST_F(XmlDocDbcs, HalfCharacterAtTheEndOfAValueIsDropped) {
    XmlDoc doc;
    ASSERT_TRUE(doc.addSibling("R", nullptr));
    ASSERT_TRUE(doc.addChild("A", "x\xB0\xA1\x81"));
    ASSERT_TRUE(doc.addChildAttribute("K", "v\x81"));
    ASSERT_TRUE(doc.addChild("B", "\x81"));
    EXPECT_EQ(doc.getText(), "<R>\r\n<A K=\"v\">x\xB0\xA1</A>\r\n<B/>\r\n</R>\r\n");
    expectReparsesTheSame(doc);
}

}  // namespace
