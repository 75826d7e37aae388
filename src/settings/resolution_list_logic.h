#pragma once
// The "Resolution Capacity List" without its window: its own copy of the resolution list, the
// rows it shows (the entries that are not standard check boxes), and Add and Remove.

#include <cstddef>
#include <string>
#include <vector>

#include "settings/download_settings.h"

namespace vx {

// "W x H", as the list shows an entry.
std::string resolutionText(const ResolutionCap& resolution);

class ResolutionListModel {
  public:
    struct Row {
        std::string text;
        std::size_t entry;  // index into entries()
    };
    enum class AddResult {
        MissingValue,  // X or Y empty: the user is asked for both
        Refused,       // below 1 or already listed: nothing happens
        Added,
    };

    explicit ResolutionListModel(std::vector<ResolutionCap> entries);

    const std::vector<ResolutionCap>& entries() const { return entries_; }
    const std::vector<Row>& rows() const { return rows_; }

    // Adds the pair typed into X and Y; a new row shows the two texts as typed.
    AddResult add(const std::string& xText, const std::string& yText);
    // Removes the rows at these indices (any order; repeats and unknown indices ignored) with
    // their entries. False when there is no valid index: nothing was selected.
    bool remove(const std::vector<int>& rowIndices);

  private:
    std::vector<ResolutionCap> entries_;
    std::vector<Row> rows_;
};

}  // namespace vx
