#pragma once
// What the file pass shows: the progress window of its host. Every call comes from the worker
// thread and returns once the window has taken it (texts are refreshed synchronously).

#include <cstdint>
#include <string>

#include "download/job_model.h"

namespace vx {

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;

    virtual void setCaption(const std::string& text) = 0;
    // Stores the four texts and copies them into their controls before returning.
    virtual void showTexts(const ProgressTexts& texts) = 0;
    // The bar runs from 0 to `total` bytes. The values are 64-bit; a window whose control holds
    // 32-bit positions scales both alike.
    virtual void setBarRange(uint64_t total) = 0;
    virtual void setBarPosition(uint64_t position) = 0;
    // One file begins: its texts, and the bar from 0 to `total` at 0. A window that can take all
    // of it in one refresh overrides this; every call to it crosses threads.
    virtual void startFile(const ProgressTexts& texts, uint64_t total) {
        showTexts(texts);
        setBarRange(total);
        setBarPosition(0);
    }
    // The bar moves to `position`; `texts` is given when the percent text changed with it.
    virtual void showProgress(uint64_t position, const ProgressTexts* texts) {
        setBarPosition(position);
        if (texts)
            showTexts(*texts);
    }
    // An address gave no file, and why; a window shows nothing of it, a log or summary may.
    virtual void passedOver(const std::string& /*address*/, const std::string& /*reason*/) {}
    // Text of button 2 ("Cancel &All", later "OK").
    virtual void setCancelAllText(const std::string& text) = 0;
    virtual void showCancelCurrent(bool show) = 0;
    // A message box with an OK button; `stringId` names the text's string-table entry and
    // `text` is that entry already filled in. Returns once the user closed the box.
    virtual void showMessage(int stringId, const std::string& text) = 0;
    // Opens the settings sheet modally over the host's settings record; returns when it closes.
    virtual void openSettingsSheet() = 0;
};

}  // namespace vx
