#include "download/job_model.h"

#include <utility>

namespace vx {

bool fitsAddressBuffer(std::string_view address) {
    return address.size() <= kMaxWorkerAddressLength;
}

std::optional<std::string> workerAddress(std::string_view converted) {
    if (!fitsAddressBuffer(converted))
        return std::nullopt;
    return std::string(converted);
}

bool PageUrlList::appendPageUrl(std::string_view address) {
    auto [it, inserted] = present_.emplace(address);
    if (!inserted)
        return false;
    urls_.push_back(*it);
    return true;
}

bool PageUrlList::contains(std::string_view address) const {
    return present_.find(std::string(address)) != present_.end();
}

void PageUrlList::clear() {
    urls_.clear();
    present_.clear();
}

void SharedProgressTexts::set(ProgressTexts texts) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_ = std::move(texts);
}

void SharedProgressTexts::setSource(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.source = std::move(text);
}

void SharedProgressTexts::setFile(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.file = std::move(text);
}

void SharedProgressTexts::setSize(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.size = std::move(text);
}

void SharedProgressTexts::setPercent(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.percent = std::move(text);
}

ProgressTexts SharedProgressTexts::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

std::string formatCount(std::string_view format, int64_t value) {
    std::string out;
    out.reserve(format.size() + 20);
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 'd') {
                out += std::to_string(value);
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

}  // namespace vx
