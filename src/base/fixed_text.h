#pragma once
// A text field of fixed width: the stored records (settings, history) hold texts that never grow
// past their field. Every assignment cuts instead of overflowing, and a cut never splits a
// double-byte character of the system code page.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/mbcs.h"

namespace vx {

// The longest prefix of `text` that fits in `maxBytes` bytes without splitting a character. A
// NUL byte ends the text, as it ends a character array: what follows it would be dropped by every
// writer and cut by every path the platform opens.
inline std::string cutText(std::string_view text, std::size_t maxBytes) {
    text = text.substr(0, text.find('\0'));
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t pos = 0;
    while (pos < maxBytes) {
        std::size_t step = mbcs::charLength(text.data(), text.size(), pos);
        if (step == 0 || pos + step > maxBytes)
            break;
        pos += step;
    }
    return std::string(text.substr(0, pos));
}

// `Width` is the field's size in bytes including the terminating zero, so the text holds at most
// Width - 1 bytes.
template <std::size_t Width>
class FixedText {
    static_assert(Width >= 1);

  public:
    static constexpr std::size_t kMaxLength = Width - 1;

    FixedText() = default;
    FixedText(std::string_view text) : text_(cutText(text, kMaxLength)) {}
    FixedText(const char* text) : FixedText(std::string_view(text ? text : "")) {}
    FixedText(const std::string& text) : FixedText(std::string_view(text)) {}

    FixedText& operator=(std::string_view text) {
        text_ = cutText(text, kMaxLength);
        return *this;
    }
    FixedText& operator=(const std::string& text) { return *this = std::string_view(text); }
    // A text that fits is taken over as it is: a large history reads hundreds of thousands of
    // values, and under Wine every extra copy is a heap allocation.
    FixedText& operator=(std::string&& text) {
        if (text.size() <= kMaxLength && text.find('\0') == std::string::npos)
            text_ = std::move(text);
        else
            text_ = cutText(text, kMaxLength);
        return *this;
    }
    FixedText& operator=(const char* text) { return *this = std::string_view(text ? text : ""); }

    const std::string& str() const { return text_; }
    operator const std::string&() const { return text_; }
    operator std::string_view() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    void clear() { text_.clear(); }

    friend bool operator==(const FixedText& a, const FixedText& b) { return a.text_ == b.text_; }
    friend bool operator==(const FixedText& a, std::string_view b) { return a.text_ == b; }
    friend bool operator==(const FixedText& a, const std::string& b) { return a.text_ == b; }
    friend bool operator==(const FixedText& a, const char* b) {
        return a.text_ == std::string_view(b ? b : "");
    }

    // std::string's own operator+ is a template that sees no conversions.
    friend std::string operator+(const FixedText& a, std::string_view b) {
        std::string joined = a.text_;
        joined.append(b);
        return joined;
    }
    friend std::string operator+(std::string_view a, const FixedText& b) {
        std::string joined(a);
        joined += b.text_;
        return joined;
    }

  private:
    std::string text_;
};

}  // namespace vx
