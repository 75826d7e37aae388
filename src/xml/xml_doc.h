#pragma once
// The one document class through which every XML file is read and written. The document is
// kept as one byte string with a flat index of element spans beside it; names, contents and
// attributes are cut out of the text on demand. Two cursors walk the index by element name: a
// current element and a child of it.
//
// The text is never assumed to end in a NUL byte: every scan stays within [0, length).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Offsets are bytes from the start of the text; indices refer to other spans of the index.
struct ElementSpan {
    int32_t startTagBegin = 0;  // the '<' that opens the start tag
    int32_t startTagEnd = 0;    // the '>' that closes the start tag
    int32_t endTagBegin = 0;    // the '<' of the end tag; the '/' of "/>" for an empty element
    int32_t endTagEnd = 0;      // the '>' of the end tag; startTagEnd for an empty element
    int32_t nextMarkup = 0;     // the first '<' after endTagEnd, or the text length
    int32_t parent = 0;         // 0 for the root element
    int32_t firstChild = 0;     // 0 = none
    int32_t nextSibling = 0;    // 0 = none
};

class XmlDoc {
  public:
    // Offsets are 32-bit: a longer text is refused rather than overflowing them.
    static constexpr std::size_t kMaxTextLength = INT32_MAX;

    XmlDoc();
    ~XmlDoc();
    XmlDoc(const XmlDoc&) = delete;
    XmlDoc& operator=(const XmlDoc&) = delete;

    // Stores the text (null = empty) and indexes its first element. True when a root element
    // was indexed. On failure the index is emptied, the text stays stored (unless it was too
    // long to store) and errorText() tells why; a success does not clear an earlier message.
    bool setText(const char* text = nullptr);
    bool setText(const char* data, std::size_t length);
    bool setText(const std::string& text);

    std::string getText() const;
    bool hasRoot() const;
    void resetPosition();

    // Cursor moves; a null or empty name takes the next element whatever its name.
    bool findSibling(const char* name);
    bool findChild(const char* name);
    bool enterChild();
    bool leaveToParent();

    std::string getChildData() const;
    std::string getChildAttribute(const char* name) const;
    const std::string& errorText() const { return errorText_; }

    // Building. Names must be non-empty and free of blanks, quotes and the markup characters
    // "<>=\/?!" (otherwise the document would not read back); such names are refused.
    bool addSibling(const char* name, const char* data);
    bool addChild(const char* name, const char* data);
    bool addChildAttribute(const char* name, const char* value);

    // Lower-level reading by span index.
    std::string tagNameAt(int32_t index) const;
    std::string dataAt(int32_t index) const;
    std::string attributeAt(int32_t index, const char* name) const;
    // Bytes from begin to end inclusive with the five named entities decoded.
    std::string unescapeText(int32_t begin, int32_t end) const;

    // Lower-level building. insertElement returns the new span's index, 0 when refused;
    // insertAttribute returns the number of bytes inserted, 0 when refused.
    int32_t insertElement(int32_t parent, int32_t after, const char* name, const char* data);
    int32_t insertAttribute(int32_t index, const char* name, const char* value);
    // Element mode escapes "<&>", attribute mode also the apostrophe and the double quote.
    static std::string escapeText(std::string_view text, bool attributeMode);

    // Inspection of the index and the cursors.
    int32_t currentPos() const { return currentPos_; }
    int32_t childPos() const { return childPos_; }
    int32_t depth() const { return depth_; }
    // The next free span index: spans [0, spanCount()) are in use.
    int32_t spanCount() const { return nextFree_; }
    int32_t spanCapacity() const { return spanCapacity_; }
    // A zeroed span for an index outside [0, spanCount()).
    const ElementSpan& span(int32_t index) const;
    int32_t textLength() const { return length_; }

  private:
    enum class Scan { None, Found, FoundAtEnd };
    struct Token {
        int32_t begin = 0;
        int32_t end = -1;
        int32_t next = 0;
        bool quoted = false;
    };

    unsigned char byteAt(int32_t pos) const { return static_cast<unsigned char>(text_[pos]); }
    int32_t charLengthAt(int32_t pos) const;
    bool findChar(int32_t& pos, char ch) const;
    int32_t findString(int32_t from, std::string_view needle) const;
    Scan scanToken(Token& token) const;
    bool tokenEquals(const Token& token, std::string_view value) const;
    std::string tokenText(const Token& token) const;
    bool tagNameEquals(int32_t index, std::string_view name) const;
    bool isEmptyElement(int32_t index) const;
    int32_t walkSiblings(int32_t candidate, const char* name) const;

    int32_t takeSpan() {
        if (nextFree_ == spanCapacity_) {
            growSpans();
        }
        if (static_cast<std::size_t>(nextFree_) == spans_.size()) {
            spans_.emplace_back();
        }
        return nextFree_++;
    }
    void growSpans();
    void giveBackSpan() { --nextFree_; }
    void ensureSpanCapacity(std::size_t count);
    void clearIndex();
    int32_t parseDocument();
    bool closeElement(int32_t index, int32_t pos, std::string_view name);
    int32_t fail(const std::string& message);

    void assignText(const char* data, int32_t length);
    bool replaceText(int32_t offset, int32_t count, std::string_view insert);
    void shiftPositions(int32_t index, int32_t delta);
    void poisonSlack() const;
    void unpoisonBuffer() const;

    std::unique_ptr<char[]> text_;
    int32_t length_ = 0;
    int32_t capacity_ = 0;
    int32_t depth_ = 0;
    std::string errorText_;
    // Spans [0, spans_.size()) have been written; room is reserved up to spanCapacity_.
    std::vector<ElementSpan> spans_;
    int32_t spanCapacity_ = 0;
    int32_t currentPos_ = 0;
    int32_t childPos_ = 0;
    int32_t nextFree_ = 1;
};

}  // namespace vx
