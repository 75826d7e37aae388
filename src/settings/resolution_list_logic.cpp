#include "settings/resolution_list_logic.h"

#include <algorithm>

#include "base/decimal.h"
#include "settings/download_page_logic.h"

namespace vx {

std::string resolutionText(const ResolutionCap& resolution) {
    return std::to_string(resolution.width) + " x " + std::to_string(resolution.height);
}

ResolutionListModel::ResolutionListModel(std::vector<ResolutionCap> entries)
    : entries_(std::move(entries)) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (standardResolutionIndex(entries_[i]) < 0)
            rows_.push_back({resolutionText(entries_[i]), i});
    }
}

ResolutionListModel::AddResult ResolutionListModel::add(const std::string& xText,
                                                        const std::string& yText) {
    if (xText.empty() || yText.empty())
        return AddResult::MissingValue;
    ResolutionCap resolution{leadingDecimal32(xText), leadingDecimal32(yText)};
    if (resolution.width < 1 || resolution.height < 1 || containsResolution(entries_, resolution))
        return AddResult::Refused;
    entries_.push_back(resolution);
    rows_.push_back({xText + " x " + yText, entries_.size() - 1});
    return AddResult::Added;
}

bool ResolutionListModel::remove(const std::vector<int>& rowIndices) {
    std::vector<int> indices;
    for (int index : rowIndices) {
        if (index >= 0 && index < static_cast<int>(rows_.size()))
            indices.push_back(index);
    }
    if (indices.empty())
        return false;
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    // From the highest index down, so the indices still to go stay valid.
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        std::size_t entry = rows_[*it].entry;
        rows_.erase(rows_.begin() + *it);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(entry));
        for (Row& row : rows_) {
            if (row.entry > entry)
                --row.entry;
        }
    }
    return true;
}

}  // namespace vx
