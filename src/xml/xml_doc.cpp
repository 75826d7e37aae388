#include "xml/xml_doc.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/mbcs.h"
#include "xml/xml_syntax.h"

#if defined(__SANITIZE_ADDRESS__)
#define VX_XML_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VX_XML_ASAN 1
#endif
#endif
#if defined(VX_XML_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace vx {

namespace {

using namespace xml_syntax;

const ElementSpan kNoSpan{};

constexpr unsigned char kEndsToken = kIsWhitespace | kIsDelimiter;

// Offset of the first byte `ch` in [from, end), or `end`. Most searches end within a few
// bytes (the line end between two elements, a short value), where a call into the C library
// costs more than the search: blocks of 16 are looked at in place, longer runs go to memchr.
inline int32_t findByte(const char* text, int32_t from, int32_t end, char ch) {
    int32_t pos = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(ch);
    for (int block = 0; block < 4 && end - pos >= 16; ++block, pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted));
        if (hits != 0) {
            return pos + __builtin_ctz(static_cast<unsigned>(hits));
        }
    }
#endif
    if (pos >= end) {
        return end;
    }
    const void* hit = std::memchr(text + pos, ch, static_cast<size_t>(end - pos));
    return hit != nullptr ? static_cast<int32_t>(static_cast<const char*>(hit) - text) : end;
}

// Offset of the first byte `ch` (below 0x80) or byte of 0x80 and above in [from, end), or
// `end`: in a double-byte code page only bytes from 0x80 up can lead a character, so the
// bytes before the one found are single characters.
inline int32_t findByteOrHigh(const char* text, int32_t from, int32_t end, char ch) {
    int32_t pos = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(ch);
    for (; end - pos >= 16; pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
        const int hits =
            _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)) | _mm_movemask_epi8(bytes);
        if (hits != 0) {
            return pos + __builtin_ctz(static_cast<unsigned>(hits));
        }
    }
#endif
    while (pos < end && text[pos] != ch && static_cast<unsigned char>(text[pos]) < 0x80) {
        ++pos;
    }
    return pos;
}

// Names are short: a loop in place is quicker than a call.
inline bool sameBytes(const char* a, const char* b, int32_t size) {
    for (int32_t k = 0; k < size; ++k) {
        if (a[k] != b[k]) {
            return false;
        }
    }
    return true;
}

// How many bytes `ch` the text holds: an upper bound for the elements it can have.
int32_t countByte(const char* text, int32_t length, char ch) {
    int64_t count = 0;
    int32_t pos = 0;
#if defined(__SSE2__)
    // Each byte lane counts down by one per hit (a true compare is -1) for at most 255 blocks,
    // then the lanes are summed.
    const __m128i wanted = _mm_set1_epi8(ch);
    while (length - pos >= 16) {
        __m128i lanes = _mm_setzero_si128();
        for (int block = 0; block < 255 && length - pos >= 16; ++block, pos += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, wanted));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
    }
#endif
    for (; pos < length; ++pos) {
        count += text[pos] == ch ? 1 : 0;
    }
    return static_cast<int32_t>(count);
}

}  // namespace

XmlDoc::XmlDoc() {
    setText(nullptr);
}

XmlDoc::~XmlDoc() {
    unpoisonBuffer();
}

// The bytes between the text's end and the buffer's end are marked unaddressable in sanitized
// builds, so any read past the text is reported even after the buffer has grown.
void XmlDoc::poisonSlack() const {
#if defined(VX_XML_ASAN)
    if (text_ && capacity_ > length_) {
        ASAN_POISON_MEMORY_REGION(text_.get() + length_, static_cast<size_t>(capacity_ - length_));
    }
#endif
}

void XmlDoc::unpoisonBuffer() const {
#if defined(VX_XML_ASAN)
    if (text_ && capacity_ > 0) {
        ASAN_UNPOISON_MEMORY_REGION(text_.get(), static_cast<size_t>(capacity_));
    }
#endif
}

void XmlDoc::assignText(const char* data, int32_t length) {
    unpoisonBuffer();
    text_.reset(length > 0 ? new char[static_cast<size_t>(length)] : nullptr);
    length_ = length;
    capacity_ = length;
    if (length > 0) {
        std::memcpy(text_.get(), data, static_cast<size_t>(length));
    }
}

bool XmlDoc::replaceText(int32_t offset, int32_t count, std::string_view insert) {
    offset = std::clamp(offset, 0, length_);
    count = std::clamp(count, 0, length_ - offset);
    const int64_t newLength = int64_t{length_} - count + static_cast<int64_t>(insert.size());
    if (newLength > static_cast<int64_t>(kMaxTextLength)) {
        return false;
    }
    const auto tailFrom = static_cast<size_t>(offset + count);
    const size_t tailSize = static_cast<size_t>(length_) - tailFrom;
    const size_t tailTo = static_cast<size_t>(offset) + insert.size();
    unpoisonBuffer();
    if (newLength > capacity_) {
        const int64_t grown = std::max<int64_t>(newLength, int64_t{capacity_} * 2);
        const auto newCapacity =
            static_cast<int32_t>(std::min<int64_t>(grown, static_cast<int64_t>(kMaxTextLength)));
        std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(newCapacity)]);
        if (offset > 0) {
            std::memcpy(buffer.get(), text_.get(), static_cast<size_t>(offset));
        }
        if (tailSize > 0) {
            std::memcpy(buffer.get() + tailTo, text_.get() + tailFrom, tailSize);
        }
        text_ = std::move(buffer);
        capacity_ = newCapacity;
    } else if (tailSize > 0 && tailFrom != tailTo) {
        std::memmove(text_.get() + tailTo, text_.get() + tailFrom, tailSize);
    }
    if (!insert.empty()) {
        std::memcpy(text_.get() + offset, insert.data(), insert.size());
    }
    length_ = static_cast<int32_t>(newLength);
    poisonSlack();
    return true;
}

int32_t XmlDoc::charLengthAt(int32_t pos) const {
    return static_cast<int32_t>(
        mbcs::charLength(text_.get(), static_cast<size_t>(length_), static_cast<size_t>(pos)));
}

bool XmlDoc::findChar(int32_t& pos, char ch) const {
    pos = std::max(pos, 0);
    if (pos >= length_) {
        return false;
    }
    const char* text = text_.get();
    if (!mbcs::hasLeadBytes()) {
        // Every byte is a character: a search of bytes gives the same answer.
        pos = findByte(text, pos, length_, ch);
        return pos < length_;
    }
    if (static_cast<unsigned char>(ch) >= 0x80) {
        while (pos < length_ && text[pos] != ch) {
            pos += charLengthAt(pos);
        }
        return pos < length_;
    }
    // Runs of bytes below 0x80 are single characters; only a byte from 0x80 up is stepped.
    for (;;) {
        pos = findByteOrHigh(text, pos, length_, ch);
        if (pos >= length_ || text[pos] == ch) {
            return pos < length_;
        }
        pos += charLengthAt(pos);
    }
}

int32_t XmlDoc::findString(int32_t from, std::string_view needle) const {
    if (from < 0 || from >= length_) {
        return -1;
    }
    const std::string_view haystack(text_.get() + from, static_cast<size_t>(length_ - from));
    const size_t found = haystack.find(needle);
    return found == std::string_view::npos ? -1 : from + static_cast<int32_t>(found);
}

// Found and FoundAtEnd both deliver a token; FoundAtEnd is a token that runs up to the very
// end of the text, which the parser treats as no token at all.
XmlDoc::Scan XmlDoc::scanToken(Token& token) const {
    int32_t pos = std::max(token.next, 0);
    while (pos < length_ && isWhitespace(byteAt(pos))) {
        ++pos;
    }
    token.quoted = false;
    if (pos >= length_) {
        token.next = length_;
        return Scan::None;
    }
    if (text_[pos] == '"') {
        token.begin = pos + 1;
        pos = token.begin;
        findChar(pos, '"');
        token.end = pos - 1;
        if (pos < length_) {
            ++pos;
        }
        token.quoted = true;
    } else {
        token.begin = pos;
        if (!mbcs::hasLeadBytes()) {
            while (pos < length_ && (kByteClass[byteAt(pos)] & kEndsToken) == 0) {
                ++pos;
            }
        } else {
            while (pos < length_ && (kByteClass[byteAt(pos)] & kEndsToken) == 0) {
                pos += charLengthAt(pos);
            }
        }
        if (pos == token.begin) {
            ++pos;
        }
        token.end = pos - 1;
    }
    token.next = pos;
    return pos < length_ ? Scan::Found : Scan::FoundAtEnd;
}

bool XmlDoc::tokenEquals(const Token& token, std::string_view value) const {
    if (token.begin > token.end) {
        return value.empty();
    }
    const auto size = static_cast<size_t>(token.end - token.begin + 1);
    return size == value.size() && std::memcmp(text_.get() + token.begin, value.data(), size) == 0;
}

std::string XmlDoc::tokenText(const Token& token) const {
    if (token.begin > token.end) {
        return {};
    }
    return std::string(text_.get() + token.begin, static_cast<size_t>(token.end - token.begin + 1));
}

bool XmlDoc::tagNameEquals(int32_t index, std::string_view name) const {
    const int32_t first = spans_[index].startTagBegin + 1;
    if (!mbcs::hasLeadBytes() && first < length_ && (kByteClass[byteAt(first)] & kEndsToken) == 0 &&
        text_[first] != '"') {
        // The name starts right after the '<': the first differing byte settles it, and a
        // match of every byte holds when the name is exactly that token.
        const auto size = static_cast<int32_t>(std::min<std::size_t>(name.size(), INT32_MAX));
        if (size > length_ - first || !sameBytes(text_.get() + first, name.data(), size)) {
            return false;
        }
        for (int32_t k = 0; k < size; ++k) {
            if ((kByteClass[byteAt(first + k)] & kEndsToken) != 0) {
                return false;
            }
        }
        const int32_t after = first + size;
        return after == length_ || (kByteClass[byteAt(after)] & kEndsToken) != 0;
    }
    Token token;
    token.next = spans_[index].startTagBegin + 1;
    return scanToken(token) != Scan::None && tokenEquals(token, name);
}

bool XmlDoc::isEmptyElement(int32_t index) const {
    const ElementSpan& s = spans_[index];
    return int64_t{s.startTagEnd} == int64_t{s.endTagBegin} + 1;
}

const ElementSpan& XmlDoc::span(int32_t index) const {
    if (index < 0 || index >= nextFree_) {
        return kNoSpan;
    }
    return spans_[index];
}

// Room for `count` spans is reserved, but a span is only written when it is first taken: room
// reserved for a large text costs no memory until elements fill it.
void XmlDoc::ensureSpanCapacity(std::size_t count) {
    count = std::min<std::size_t>(count, INT32_MAX);
    if (static_cast<std::size_t>(spanCapacity_) < count) {
        spans_.reserve(count);
        spanCapacity_ = static_cast<int32_t>(count);
    }
    if (spans_.empty()) {
        spans_.emplace_back();
    }
}

void XmlDoc::growSpans() {
    ensureSpanCapacity(static_cast<std::size_t>(spanCapacity_) + spanCapacity_ / 2);
}

void XmlDoc::clearIndex() {
    spans_[0] = ElementSpan{};
    nextFree_ = 1;
    resetPosition();
}

bool XmlDoc::hasRoot() const {
    return !spans_.empty() && spans_[0].firstChild != 0;
}

void XmlDoc::resetPosition() {
    currentPos_ = 0;
    childPos_ = 0;
    depth_ = 0;
}

bool XmlDoc::setText(const char* text) {
    return setText(text, text != nullptr ? std::strlen(text) : 0);
}

bool XmlDoc::setText(const std::string& text) {
    return setText(text.data(), text.size());
}

bool XmlDoc::setText(const char* data, std::size_t length) {
    nextFree_ = 1;
    resetPosition();
    if (data == nullptr) {
        length = 0;
    }
    if (length > kMaxTextLength) {
        assignText(nullptr, 0);
        ensureSpanCapacity(8);
        errorText_ = "Document too large";
        clearIndex();
        return false;
    }
    assignText(data, static_cast<int32_t>(length));
    // Every element starts at a '<' of its own, so the index never has to grow while parsing.
    const std::size_t markup =
        length > 0 ? static_cast<std::size_t>(countByte(text_.get(), length_, '<')) : 0;
    ensureSpanCapacity(std::max(length / 64, markup) + 8);
    if (length > 0) {
        spans_[0] = ElementSpan{};
        const int32_t root = parseDocument();
        if (root > 0) {
            spans_[0].firstChild = root;
            resetPosition();
            return true;
        }
        if (root == 0) {
            errorText_ = "Unexpected end tag";
        }
    }
    clearIndex();
    return false;
}

int32_t XmlDoc::fail(const std::string& message) {
    errorText_ = message;
    return -1;
}

// One element per step, without recursion, so nesting depth is bounded only by the text.
// `parent` is the element whose children are being read (0 while reading the root). The common
// shapes, `<NAME ...>` with the name right after the '<' and `</NAME>`, are read in place; every
// other shape takes the token rules.
int32_t XmlDoc::parseDocument() {
    struct Open {
        int32_t index;
        int32_t lastChild;  // most recently linked child, 0 = none yet
        int32_t nameBegin;
        int32_t nameLength;
    };
    std::vector<Open> open;
    const char* const text = text_.get();
    const int32_t length = length_;
    const bool bytewise = !mbcs::hasLeadBytes();
    int32_t parent = 0;
    int32_t scan = 0;
    // The '<' that a search from `scan` finds when it is already known: the nextMarkup of the
    // element that ended at scan - 1.
    int32_t knownMarkup = -1;
    const auto markupFrom = [&](int32_t pos) {
        if (bytewise) {
            return findByte(text, pos, length, '<');
        }
        findChar(pos, '<');
        return pos;
    };
    for (;;) {
        const int32_t i = takeSpan();
        {
            ElementSpan& s = spans_[i];
            s.parent = parent;
            s.firstChild = 0;
            s.nextSibling = 0;
        }

        int32_t nameBegin = 0;
        int32_t nameEnd = 0;
        bool parentEnds = false;
        for (;;) {
            if (knownMarkup >= 0) {
                scan = knownMarkup;
                knownMarkup = -1;
            } else {
                scan = markupFrom(scan);
            }
            if (scan >= length) {
                return fail("Element tag not found");
            }
            spans_[i].startTagBegin = scan;
            spans_[parent].endTagBegin = scan;
            const int32_t first = scan + 1;
            if (first < length && (kByteClass[byteAt(first)] & kEndsToken) == 0 &&
                text[first] != '"') {
                int32_t end = first;
                if (bytewise) {
                    while (end < length && (kByteClass[byteAt(end)] & kEndsToken) == 0) {
                        ++end;
                    }
                } else {
                    while (end < length && (kByteClass[byteAt(end)] & kEndsToken) == 0) {
                        end += charLengthAt(end);
                    }
                }
                if (end >= length) {
                    return fail("Abrupt end within tag");
                }
                nameBegin = first;
                nameEnd = end;
                scan = findByte(text, end, length, '>');
                if (scan >= length) {
                    return fail("End of tag not found");
                }
                break;
            }
            if (first + 1 < length && text[first] == '/') {
                parentEnds = true;
                break;
            }
            Token token;
            token.next = first;
            if (scanToken(token) != Scan::Found) {
                return fail("Abrupt end within tag");
            }
            if (token.quoted) {
                return fail("Tag starts with quote");
            }
            std::string_view terminator = ">";
            const char lead = text[token.begin];
            bool named = false;
            if (lead == '?') {
                terminator = "?>";
            } else if (lead == '!') {
                const char after = token.next < length ? text[token.next] : '\0';
                terminator = after == '[' ? "]]>" : after == '-' ? "-->" : ">";
            } else if (lead == '/') {
                parentEnds = true;
                break;
            } else {
                named = true;
                nameBegin = token.begin;
                nameEnd = token.end + 1;
            }
            const int32_t found = findString(token.next, terminator);
            if (found < 0) {
                return fail("End of tag not found");
            }
            scan = found;
            if (named) {
                break;
            }
        }

        int32_t result = 0;
        if (parentEnds) {
            giveBackSpan();
        } else {
            ElementSpan& s = spans_[i];
            s.startTagEnd = scan;
            if (text[scan - 1] == '/') {
                s.endTagBegin = scan - 1;
                s.endTagEnd = scan;
                s.nextMarkup = markupFrom(scan);
                knownMarkup = s.nextMarkup;
                scan = knownMarkup;
                result = i;
            } else {
                // Read the children of i first; i is finished once its end tag is reached.
                open.push_back(Open{i, 0, nameBegin, nameEnd - nameBegin});
                parent = i;
                scan += 1;
                continue;
            }
        }

        for (;;) {
            if (parent == 0) {
                return result;
            }
            if (result > 0) {
                int32_t& previous = open.back().lastChild;
                if (previous == 0) {
                    spans_[parent].firstChild = result;
                } else {
                    spans_[previous].nextSibling = result;
                }
                previous = result;
                break;
            }
            // The '<' of parent's end tag is at scan.
            const Open& closing = open.back();
            const std::string_view name(text + closing.nameBegin,
                                        static_cast<std::size_t>(closing.nameLength));
            const int32_t close = scan + 2 + closing.nameLength;
            ElementSpan& s = spans_[parent];
            if (close < length && text[scan + 1] == '/' && text[close] == '>' &&
                sameBytes(text + scan + 2, name.data(), closing.nameLength)) {
                s.endTagBegin = scan;
                s.endTagEnd = close;
                s.nextMarkup = markupFrom(close);
            } else if (!closeElement(parent, scan, name)) {
                return -1;
            }
            knownMarkup = spans_[parent].nextMarkup;
            scan = knownMarkup;
            open.pop_back();
            result = parent;
            parent = spans_[parent].parent;
        }
    }
}

// Reads the end tag of an element whose children are all read; `pos` is where the search for
// its '<' starts.
bool XmlDoc::closeElement(int32_t index, int32_t pos, std::string_view name) {
    if (!findChar(pos, '<')) {
        fail("End tag of " + std::string(name) + " element not found");
        return false;
    }
    spans_[index].endTagBegin = pos;

    Token token;
    token.next = pos + 1;
    Token last;
    int count = 0;
    bool closed = false;
    for (;;) {
        const Scan scan = scanToken(token);
        if (scan == Scan::None) {
            break;
        }
        ++count;
        if (count == 1 && !token.quoted && text_[token.begin] != '/') {
            fail("Expecting end tag of element " + std::string(name));
            return false;
        }
        if (count == 2 && !token.quoted && !tokenEquals(token, name)) {
            fail("End tag does not correspond to " + std::string(name));
            return false;
        }
        last = token;
        // The closing '>' follows the name, even for an element whose name is '>' itself.
        if (count >= 3 && !token.quoted && text_[token.begin] == '>') {
            closed = true;
            break;
        }
        if (scan == Scan::FoundAtEnd) {
            break;
        }
    }
    // An end tag must be closed by its '>': a file cut off inside its last end tag is
    // reported rather than read as complete.
    if (count < 2 || !closed) {
        fail("End tag not completed for element " + std::string(name));
        return false;
    }
    spans_[index].endTagEnd = last.begin;
    int32_t next = last.begin;
    findChar(next, '<');
    spans_[index].nextMarkup = next;
    return true;
}

int32_t XmlDoc::walkSiblings(int32_t candidate, const char* name) const {
    if (name == nullptr || *name == '\0') {
        return candidate;
    }
    const std::string_view wanted(name);
    while (candidate != 0 && !tagNameEquals(candidate, wanted)) {
        candidate = spans_[candidate].nextSibling;
    }
    return candidate;
}

bool XmlDoc::findSibling(const char* name) {
    const int32_t candidate =
        currentPos_ != 0 ? spans_[currentPos_].nextSibling : (hasRoot() ? spans_[0].firstChild : 0);
    const int32_t found = walkSiblings(candidate, name);
    if (found == 0) {
        return false;
    }
    currentPos_ = found;
    childPos_ = 0;
    return true;
}

bool XmlDoc::findChild(const char* name) {
    if (currentPos_ == 0) {
        findSibling(nullptr);
        if (currentPos_ == 0) {
            return false;
        }
    }
    if (isEmptyElement(currentPos_)) {
        return false;
    }
    const int32_t candidate =
        childPos_ != 0 ? spans_[childPos_].nextSibling : spans_[currentPos_].firstChild;
    const int32_t found = walkSiblings(candidate, name);
    if (found == 0) {
        return false;
    }
    childPos_ = found;
    return true;
}

bool XmlDoc::enterChild() {
    if (childPos_ == 0) {
        findChild(nullptr);
        if (childPos_ == 0) {
            return false;
        }
    }
    currentPos_ = childPos_;
    childPos_ = 0;
    ++depth_;
    return true;
}

bool XmlDoc::leaveToParent() {
    if (currentPos_ == 0 || depth_ < 1) {
        return false;
    }
    childPos_ = currentPos_;
    currentPos_ = spans_[currentPos_].parent;
    --depth_;
    return true;
}

std::string XmlDoc::getText() const {
    return length_ > 0 ? std::string(text_.get(), static_cast<size_t>(length_)) : std::string();
}

std::string XmlDoc::getChildData() const {
    return dataAt(childPos_);
}

std::string XmlDoc::getChildAttribute(const char* name) const {
    return attributeAt(childPos_, name);
}

std::string XmlDoc::tagNameAt(int32_t index) const {
    if (index <= 0 || index >= nextFree_) {
        return {};
    }
    Token token;
    token.next = spans_[index].startTagBegin + 1;
    if (scanToken(token) == Scan::None) {
        return {};
    }
    return tokenText(token);
}

std::string XmlDoc::dataAt(int32_t index) const {
    if (index <= 0 || index >= nextFree_) {
        return {};
    }
    const ElementSpan& s = spans_[index];
    if (s.firstChild != 0 || isEmptyElement(index)) {
        return {};
    }
    const int32_t content = s.startTagEnd + 1;
    if (content < length_ && text_[content] != '<' && !isWhitespace(byteAt(content))) {
        // Not "<![CDATA[" after optional blanks.
        return unescapeText(content, s.endTagBegin - 1);
    }
    Token token;
    token.next = content;
    if (scanToken(token) != Scan::None && !token.quoted && tokenEquals(token, "<") &&
        int64_t{token.begin} + 11 < s.endTagBegin &&
        std::memcmp(text_.get() + token.begin + 1, "![CDATA[", 8) == 0) {
        const int32_t close = findString(token.next, "]]>");
        if (close >= 0 && close < s.endTagBegin) {
            const int32_t from = token.begin + 9;
            return std::string(text_.get() + from, static_cast<size_t>(close - from));
        }
    }
    return unescapeText(s.startTagEnd + 1, s.endTagBegin - 1);
}

std::string XmlDoc::attributeAt(int32_t index, const char* name) const {
    if (name == nullptr || index <= 0 || index >= nextFree_) {
        return {};
    }
    const std::string_view wanted(name);
    Token token;
    token.next = spans_[index].startTagBegin + 1;
    int32_t number = 0;
    int32_t matched = -1;
    for (; scanToken(token) != Scan::None; ++number) {
        if (!token.quoted) {
            const char first = text_[token.begin];
            if (first == '>' || first == '/') {
                return {};
            }
            if (matched < 0 && number >= 1 && !tokenEquals(token, "=") &&
                tokenEquals(token, wanted)) {
                matched = number;
            }
        } else if (matched >= 0 && number == matched + 2) {
            return unescapeText(token.begin, token.end);
        }
    }
    return {};
}

std::string XmlDoc::unescapeText(int32_t begin, int32_t end) const {
    begin = std::max(begin, 0);
    end = std::min(end, length_ - 1);
    std::string out;
    if (begin > end) {
        return out;
    }
    out.reserve(static_cast<size_t>(end - begin + 1));
    int32_t pos = begin;
    while (pos <= end) {
        if (text_[pos] == '&') {
            bool decoded = false;
            for (const Entity& entity : kEntities) {
                const auto size = static_cast<int32_t>(entity.name.size());
                if (int64_t{pos} + size <= end &&
                    std::memcmp(text_.get() + pos + 1, entity.name.data(), entity.name.size()) ==
                        0) {
                    out.push_back(entity.value);
                    pos += 1 + size;
                    decoded = true;
                    break;
                }
            }
            if (!decoded) {
                out.push_back('&');
                ++pos;
            }
            continue;
        }
        if (!mbcs::hasLeadBytes()) {
            // Every byte is a character: the run up to the next '&' goes in one piece.
            const int32_t runEnd = findByte(text_.get(), pos, end + 1, '&');
            out.append(text_.get() + pos, static_cast<size_t>(runEnd - pos));
            pos = runEnd;
            continue;
        }
        // A double-byte character is copied whole, but never beyond `end`.
        const int32_t size = std::min(charLengthAt(pos), end - pos + 1);
        out.append(text_.get() + pos, static_cast<size_t>(size));
        pos += size;
    }
    return out;
}

}  // namespace vx
