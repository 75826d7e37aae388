#pragma once
// Reading the hand-over file "cacheurl.xml" from the install folder into a page list.

#include <string>

#include "base/file_system.h"
#include "download/job_model.h"

namespace vx {

inline constexpr char kUrlListFileName[] = "cacheurl.xml";

struct UrlListResult {
    enum class Status {
        Unread,          // nothing read yet: a result starts as failed
        Loaded,          // parsed; the page list may still be empty
        FileUnreadable,  // missing or not readable
        OutOfMemory,     // no memory for the file's text
        ParseError,      // not well-formed for the XML engine
    };

    Status status = Status::Unread;
    // String id of the message to show (0 when none) and the text for its "%s".
    int messageId = 0;
    std::string messageArgument;
    // Page addresses in file order, without repeats and without "about:blank".
    PageUrlList pageUrls;

    bool loaded() const { return status == Status::Loaded; }
};

// Reads `installFolder`/cacheurl.xml: a URLCACHE root with URL children, one page address each.
UrlListResult loadUrlList(FileSystem& files, const std::string& installFolder);

// The page list of an already read document text.
UrlListResult parseUrlList(const std::string& text);

}  // namespace vx
