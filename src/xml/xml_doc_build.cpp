#include "xml/xml_doc.h"

#include <cstring>

#include "base/mbcs.h"
#include "xml/xml_syntax.h"

namespace vx {

using namespace xml_syntax;

std::string XmlDoc::escapeText(std::string_view text, bool attributeMode) {
    const std::string_view escaped = attributeMode ? "<&>'\"" : "<&>";
    std::string out;
    out.reserve(text.size() + text.size() / 10 + 7);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t size = mbcs::charLength(text.data(), text.size(), pos);
        const auto c = static_cast<unsigned char>(text[pos]);
        if (size == 1 && pos + 1 == text.size() && mbcs::isLeadByte(c)) {
            // Half a character: written out it would take the following '<' or '"' as its
            // second byte and swallow the markup, so the document would not read back.
            break;
        }
        if (size == 1 && escaped.find(static_cast<char>(c)) != std::string_view::npos) {
            for (const Entity& entity : kEntities) {
                if (entity.value == static_cast<char>(c)) {
                    out.push_back('&');
                    out.append(entity.name);
                    break;
                }
            }
        } else {
            out.append(text.data() + pos, size);
        }
        pos += size;
    }
    return out;
}

bool XmlDoc::addSibling(const char* name, const char* data) {
    const int32_t parent = currentPos_ != 0 ? spans_[currentPos_].parent : 0;
    childPos_ = 0;
    if (parent == 0 && hasRoot()) {
        return false;
    }
    const int32_t added = insertElement(parent, currentPos_, name, data);
    if (added == 0) {
        return false;
    }
    currentPos_ = added;
    return true;
}

bool XmlDoc::addChild(const char* name, const char* data) {
    if (currentPos_ == 0) {
        return false;
    }
    int32_t after = childPos_;
    if (after == 0 && spans_[currentPos_].firstChild != 0) {
        after = spans_[currentPos_].firstChild;
        while (spans_[after].nextSibling != 0) {
            after = spans_[after].nextSibling;
        }
    }
    const int32_t added = insertElement(currentPos_, after, name, data);
    if (added == 0) {
        return false;
    }
    childPos_ = added;
    return true;
}

bool XmlDoc::addChildAttribute(const char* name, const char* value) {
    if (childPos_ == 0) {
        return false;
    }
    return insertAttribute(childPos_, name, value) > 0;
}

int32_t XmlDoc::insertElement(int32_t parent, int32_t after, const char* name, const char* data) {
    if (!isValidName(name) || parent < 0 || parent >= nextFree_ || after < 0 ||
        after >= nextFree_) {
        return 0;
    }
    if (after != 0 && spans_[after].parent != parent) {
        return 0;
    }
    // Only one root: a new top-level element replaces whatever text held no root.
    const bool topLevel = parent == 0;
    if (topLevel && (hasRoot() || after != 0)) {
        return 0;
    }

    const std::string_view nameView(name);
    const size_t dataSize = data != nullptr ? std::strlen(data) : 0;
    if (dataSize > kMaxTextLength) {
        return 0;
    }
    const std::string escapedData = escapeText(std::string_view(data, dataSize), false);
    std::string element;
    element.reserve(nameView.size() * 2 + escapedData.size() + 8);
    element.append("<").append(nameView);
    if (escapedData.empty()) {
        element.append("/>\r\n");
    } else {
        element.append(">").append(escapedData).append("</").append(nameView).append(">\r\n");
    }

    const bool opensParent =
        !topLevel && after == 0 && spans_[parent].firstChild == 0 && isEmptyElement(parent);
    // A start tag ending in "//>" would still read as empty once its last '/' became '>', and
    // the new child would be lost; a blank before the '>' keeps it open.
    const int32_t openPad = opensParent && spans_[parent].endTagBegin > 0 &&
                                    text_[spans_[parent].endTagBegin - 1] == '/'
                                ? 1
                                : 0;
    std::string inserted;
    if (opensParent) {
        inserted.append(openPad != 0 ? " >\r\n" : ">\r\n")
            .append(element)
            .append("</")
            .append(tagNameAt(parent));
    }
    const std::string& insertText = opensParent ? inserted : element;
    const int64_t replaced = topLevel ? length_ : (opensParent ? 1 : 0);
    if (int64_t{length_} - replaced + static_cast<int64_t>(insertText.size()) >
        static_cast<int64_t>(kMaxTextLength)) {
        return 0;
    }

    int32_t offset = 0;
    if (topLevel) {
        replaceText(0, length_, {});
        clearIndex();
    } else if (after != 0) {
        offset = spans_[after].nextMarkup;
    } else if (spans_[parent].firstChild != 0) {
        offset = spans_[spans_[parent].firstChild].startTagBegin;
    } else {
        offset = spans_[parent].endTagBegin;
    }

    const int32_t i = takeSpan();
    ElementSpan& s = spans_[i];
    s.parent = parent;
    s.firstChild = 0;
    if (after != 0) {
        s.nextSibling = spans_[after].nextSibling;
        spans_[after].nextSibling = i;
    } else {
        s.nextSibling = spans_[parent].firstChild;
        spans_[parent].firstChild = i;
    }

    const auto nameSize = static_cast<int32_t>(nameView.size());
    s.startTagBegin = opensParent ? offset + openPad + 3 : offset;
    if (escapedData.empty()) {
        s.startTagEnd = s.startTagBegin + nameSize + 2;
        s.endTagBegin = s.startTagEnd - 1;
        s.endTagEnd = s.startTagEnd;
    } else {
        s.startTagEnd = s.startTagBegin + nameSize + 1;
        s.endTagBegin = s.startTagEnd + static_cast<int32_t>(escapedData.size()) + 1;
        s.endTagEnd = s.endTagBegin + nameSize + 2;
    }
    s.nextMarkup = s.endTagEnd + 3;

    const int32_t replacedCount = opensParent ? 1 : 0;
    replaceText(offset, replacedCount, insertText);
    shiftPositions(i, static_cast<int32_t>(insertText.size()) - replacedCount);
    if (opensParent) {
        spans_[parent].startTagEnd = offset + openPad;
        spans_[parent].endTagBegin = offset + openPad + 3 + static_cast<int32_t>(element.size());
    }
    return i;
}

int32_t XmlDoc::insertAttribute(int32_t index, const char* name, const char* value) {
    if (index <= 0 || index >= nextFree_ || !isValidName(name)) {
        return 0;
    }
    const std::string_view valueView = value != nullptr ? std::string_view(value) : "";
    if (valueView.size() > kMaxTextLength) {
        return 0;
    }
    std::string attribute;
    attribute.append(" ").append(name).append("=\"");
    attribute.append(escapeText(valueView, true)).append("\"");
    if (int64_t{length_} + static_cast<int64_t>(attribute.size()) >
        static_cast<int64_t>(kMaxTextLength)) {
        return 0;
    }
    const auto size = static_cast<int32_t>(attribute.size());
    ElementSpan& s = spans_[index];
    const int32_t offset = isEmptyElement(index) ? s.startTagEnd - 1 : s.startTagEnd;
    replaceText(offset, 0, attribute);
    s.startTagEnd += size;
    s.endTagBegin += size;
    s.endTagEnd += size;
    s.nextMarkup += size;
    shiftPositions(index, size);
    return size;
}

// Moves every offset at or after a change made inside span `index` (whose own offsets are
// already right): its descendants and every later element wholly, its ancestors (up to and
// including the document record) only from their end tag on.
void XmlDoc::shiftPositions(int32_t index, int32_t delta) {
    const auto shiftSubtree = [&](int32_t top) {
        int32_t node = top;
        for (;;) {
            ElementSpan& s = spans_[node];
            s.startTagBegin += delta;
            s.startTagEnd += delta;
            s.endTagBegin += delta;
            s.endTagEnd += delta;
            s.nextMarkup += delta;
            if (s.firstChild != 0) {
                node = s.firstChild;
                continue;
            }
            while (node != top && spans_[node].nextSibling == 0) {
                node = spans_[node].parent;
            }
            if (node == top) {
                return;
            }
            node = spans_[node].nextSibling;
        }
    };
    for (int32_t child = spans_[index].firstChild; child != 0; child = spans_[child].nextSibling) {
        shiftSubtree(child);
    }
    for (int32_t node = index; node != 0;) {
        for (int32_t later = spans_[node].nextSibling; later != 0;
             later = spans_[later].nextSibling) {
            shiftSubtree(later);
        }
        node = spans_[node].parent;
        ElementSpan& ancestor = spans_[node];
        ancestor.endTagBegin += delta;
        ancestor.endTagEnd += delta;
        ancestor.nextMarkup += delta;
    }
}

}  // namespace vx
