#pragma once
// The record that steers every download: where files are saved, the file-size window, the image
// resolutions to leave out and the media types to take. It is kept in "config.xml" in the
// install folder.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/fixed_text.h"

namespace vx {

class FileSystem;
class InstallEnvironment;

struct ResolutionCap {
    int32_t width = 0;   // pixels
    int32_t height = 0;  // pixels

    friend bool operator==(const ResolutionCap&, const ResolutionCap&) = default;
};

// Booleans are 0 or 1; sizes are in KB of 1024 bytes.
struct DownloadSettings {
    FixedText<520> saveFolder;
    int32_t limitFileSize = 0;
    int32_t largerThanOn = 1;
    int32_t smallerThanOn = 0;
    int32_t largerThanKB = 250;
    int32_t smallerThanKB = 0;
    int32_t limitResolution = 0;
    std::vector<ResolutionCap> resolutions;  // insertion order; may hold repeats from a file
    int32_t typeImages = 1;
    int32_t typeMp3 = 0;
    int32_t typeFlash = 0;

    friend bool operator==(const DownloadSettings&, const DownloadSettings&) = default;
};

// The registry's install path followed by the "Download" folder; empty when the registry value
// cannot be read.
std::string defaultSaveFolder(InstallEnvironment& environment);

// "config.xml" in the install folder.
std::string settingsFilePath(InstallEnvironment& environment);

// Every field to its default, then loadSettings.
void initSettings(DownloadSettings& settings, InstallEnvironment& environment, FileSystem& files);

// Reads "config.xml" over the record. False, with the record unchanged, when the file cannot be
// read; a file that does not parse changes nothing and counts as read.
bool loadSettings(DownloadSettings& settings, InstallEnvironment& environment, FileSystem& files);

// Replaces "config.xml" with the record. False when the file cannot be written; `error` then
// holds the platform's error code for the file operation, for the system's text of it.
bool saveSettings(const DownloadSettings& settings, InstallEnvironment& environment,
                  FileSystem& files, uint32_t* error = nullptr);

// The text of "config.xml" for the record, as saveSettings writes it.
std::string settingsText(const DownloadSettings& settings);

// The loader's lookups over a file text: each element is searched after the one found before it
// at the same level, so an element that stands before an earlier-found sibling is not read.
// Fields the text does not mention keep their values.
void applySettingsText(DownloadSettings& settings, const std::string& text);

// `current` with every field that differs between `before` and `after` taken from `after`: the
// changes of one editor, laid over what other editors stored meanwhile.
DownloadSettings mergeSettingsChanges(const DownloadSettings& before, const DownloadSettings& after,
                                      const DownloadSettings& current);

// The settings sheet may change the record while a download worker reads it (the "&Setup..."
// button stays available during a download, and a worker opens the sheet itself when the save
// folder is missing). A host that shares its record across threads keeps it here: the worker
// takes a copy whenever it needs the values, the sheet stores its changes whole.
class SharedDownloadSettings {
  public:
    DownloadSettings get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return settings_;
    }
    void set(DownloadSettings settings) {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_ = std::move(settings);
    }
    // Stores what changed from `before` to `after`, keeping fields another editor changed in the
    // meantime (two sheets may be open: "&Setup..." and the worker's own); returns the result.
    // `whileHeld` runs with the merged record before the lock is released, so that two editors
    // saving it one after the other leave the file holding the record of the later one.
    DownloadSettings applyChanges(
        const DownloadSettings& before, const DownloadSettings& after,
        const std::function<void(const DownloadSettings&)>& whileHeld = nullptr) {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_ = mergeSettingsChanges(before, after, settings_);
        if (whileHeld)
            whileHeld(settings_);
        return settings_;
    }

  private:
    mutable std::mutex mutex_;
    DownloadSettings settings_;
};

}  // namespace vx
