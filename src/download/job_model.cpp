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

ProgressTexts SharedProgressTexts::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

}  // namespace vx
