#pragma once
// Progress sinks for tests and benchmarks that run a file pass without a window.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "download/progress_sink.h"

namespace vx::test {

// Shows nothing: for measuring the pass itself.
struct QuietSink : ProgressSink {
    void setCaption(const std::string&) override {}
    void showTexts(const ProgressTexts&) override {}
    void setBarRange(uint64_t) override {}
    void setBarPosition(uint64_t) override {}
    void setCancelAllText(const std::string&) override {}
    void showCancelCurrent(bool) override {}
    void showMessage(int, const std::string&) override {}
    void openSettingsSheet() override {}
};

// Keeps everything the pass showed, in order.
struct RecordingSink : ProgressSink {
    std::vector<std::string> captions;
    std::vector<ProgressTexts> texts;
    std::vector<uint64_t> ranges;
    std::vector<uint64_t> positions;
    std::vector<std::string> buttonTexts;
    std::vector<bool> cancelCurrent;
    std::vector<std::pair<int, std::string>> messages;
    int sheets = 0;
    // Hooks that play the user's part at a given moment.
    std::function<void(uint64_t)> onPosition;
    std::function<void(const ProgressTexts&)> onTexts;
    std::function<void()> onSheet;

    void setCaption(const std::string& text) override { captions.push_back(text); }
    void showTexts(const ProgressTexts& t) override {
        texts.push_back(t);
        if (onTexts)
            onTexts(t);
    }
    void setBarRange(uint64_t total) override { ranges.push_back(total); }
    void setBarPosition(uint64_t position) override {
        positions.push_back(position);
        if (onPosition)
            onPosition(position);
    }
    void setCancelAllText(const std::string& text) override { buttonTexts.push_back(text); }
    void showCancelCurrent(bool show) override { cancelCurrent.push_back(show); }
    void showMessage(int id, const std::string& text) override { messages.push_back({id, text}); }
    void openSettingsSheet() override {
        ++sheets;
        if (onSheet)
            onSheet();
    }
    // The file texts shown, in order.
    std::vector<std::string> files() const {
        std::vector<std::string> out;
        for (const ProgressTexts& t : texts)
            if (out.empty() || out.back() != t.file)
                out.push_back(t.file);
        return out;
    }
};

}  // namespace vx::test
