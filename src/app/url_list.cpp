#include "app/url_list.h"

#include <new>

#include "resources/resource.h"
#include "xml/xml_doc.h"

namespace vx {

namespace {

UrlListResult failed(UrlListResult::Status status, int messageId, std::string argument = {}) {
    UrlListResult result;
    result.status = status;
    result.messageId = messageId;
    result.messageArgument = std::move(argument);
    return result;
}

}  // namespace

UrlListResult parseUrlList(const std::string& text) {
    try {
        XmlDoc doc;
        // The file's text ends at its first NUL byte, as a C string would.
        if (!doc.setText(text.c_str())) {
            return failed(UrlListResult::Status::ParseError, IDS_PARSE_URL_CACHE_FAILED);
        }
        UrlListResult result;
        result.status = UrlListResult::Status::Loaded;
        if (doc.findSibling("URLCACHE")) {
            while (doc.findChild("URL")) {
                std::string address = doc.getChildData();
                if (address == "about:blank")
                    continue;
                result.pageUrls.appendPageUrl(address);
            }
        }
        return result;
    } catch (const std::bad_alloc&) {
        return failed(UrlListResult::Status::OutOfMemory, IDS_MEMORY_NOT_ENOUGH);
    }
}

UrlListResult loadUrlList(FileSystem& files, const std::string& installFolder) {
    std::optional<std::string> text;
    try {
        text = files.readFile(joinPath(installFolder, kUrlListFileName));
    } catch (const std::bad_alloc&) {
        return failed(UrlListResult::Status::OutOfMemory, IDS_MEMORY_NOT_ENOUGH);
    }
    if (!text) {
        // The message names the bare file name, never the folder.
        return failed(UrlListResult::Status::FileUnreadable, IDS_READ_URL_CACHE_FAILED,
                      kUrlListFileName);
    }
    return parseUrlList(*text);
}

}  // namespace vx
