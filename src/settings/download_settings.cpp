#include "settings/download_settings.h"

#include <optional>

#include "base/decimal.h"
#include "base/file_system.h"
#include "base/install_folder.h"
#include "xml/xml_doc.h"

namespace vx {

namespace {

// Check boxes know only 0 and 1; a hand-edited "2" means on.
int32_t leadingBool(const std::string& text) {
    return leadingDecimal32(text) != 0 ? 1 : 0;
}

}  // namespace

std::string defaultSaveFolder(InstallEnvironment& environment) {
    std::optional<std::string> installPath = environment.registryInstallPath();
    if (!installPath)
        return std::string();
    std::string folder = *installPath;
    if (!endsWithSeparator(folder))
        folder += pathSeparator();
    folder += "Download";
    return folder;
}

std::string settingsFilePath(InstallEnvironment& environment) {
    return joinPath(environment.installFolder(), "config.xml");
}

void initSettings(DownloadSettings& settings, InstallEnvironment& environment, FileSystem& files) {
    settings = DownloadSettings{};
    settings.saveFolder = defaultSaveFolder(environment);
    loadSettings(settings, environment, files);
}

bool loadSettings(DownloadSettings& settings, InstallEnvironment& environment, FileSystem& files) {
    std::optional<std::string> text = files.readFile(settingsFilePath(environment));
    if (!text)
        return false;
    applySettingsText(settings, *text);
    return true;
}

void applySettingsText(DownloadSettings& settings, const std::string& text) {
    XmlDoc doc;
    doc.setText(text);
    if (!doc.findSibling("CONFIG"))
        return;
    if (doc.findChild("SAVEFOLDER"))
        settings.saveFolder = doc.getChildData();
    if (doc.findChild("LIMITFILESIZE")) {
        settings.limitFileSize = 1;
        doc.enterChild();
        if (doc.findChild("BIGTHAN")) {
            settings.largerThanOn = leadingBool(doc.getChildData());
            settings.largerThanKB = leadingDecimal32(doc.getChildAttribute("FILESIZE"));
        }
        if (doc.findChild("SMALLTHAN")) {
            settings.smallerThanOn = leadingBool(doc.getChildData());
            settings.smallerThanKB = leadingDecimal32(doc.getChildAttribute("FILESIZE"));
        }
        doc.leaveToParent();
    }
    if (doc.findChild("LIMITRESOLVING")) {
        settings.limitResolution = 1;
        doc.enterChild();
        while (doc.findChild("RESOLVING_CAP")) {
            settings.resolutions.push_back({leadingDecimal32(doc.getChildAttribute("RESX")),
                                            leadingDecimal32(doc.getChildAttribute("RESY"))});
        }
        doc.leaveToParent();
    }
    if (doc.findChild("LIMITFILETYPE")) {
        const int32_t types = leadingDecimal32(doc.getChildData());
        settings.typeImages = (types & 1) ? 1 : 0;
        settings.typeMp3 = (types & 2) ? 1 : 0;
        settings.typeFlash = (types & 4) ? 1 : 0;
    }
}

std::string settingsText(const DownloadSettings& settings) {
    XmlDoc doc;
    doc.addSibling("CONFIG", nullptr);
    doc.addChild("SAVEFOLDER", settings.saveFolder.c_str());
    if (settings.limitFileSize) {
        doc.addChild("LIMITFILESIZE", nullptr);
        doc.enterChild();
        doc.addChild("BIGTHAN", std::to_string(settings.largerThanOn).c_str());
        doc.addChildAttribute("FILESIZE", std::to_string(settings.largerThanKB).c_str());
        doc.addChild("SMALLTHAN", std::to_string(settings.smallerThanOn).c_str());
        doc.addChildAttribute("FILESIZE", std::to_string(settings.smallerThanKB).c_str());
        doc.leaveToParent();
    }
    if (settings.limitResolution) {
        doc.addChild("LIMITRESOLVING", nullptr);
        doc.enterChild();
        for (const ResolutionCap& cap : settings.resolutions) {
            doc.addChild("RESOLVING_CAP", nullptr);
            doc.addChildAttribute("RESX", std::to_string(cap.width).c_str());
            doc.addChildAttribute("RESY", std::to_string(cap.height).c_str());
        }
        doc.leaveToParent();
    }
    const int32_t types =
        (settings.typeImages ? 1 : 0) + (settings.typeMp3 ? 2 : 0) + (settings.typeFlash ? 4 : 0);
    doc.addChild("LIMITFILETYPE", std::to_string(types).c_str());
    return doc.getText();
}

bool saveSettings(const DownloadSettings& settings, InstallEnvironment& environment,
                  FileSystem& files, uint32_t* error) {
    return files.writeFile(settingsFilePath(environment), settingsText(settings), error);
}

DownloadSettings mergeSettingsChanges(const DownloadSettings& before, const DownloadSettings& after,
                                      const DownloadSettings& current) {
    DownloadSettings merged = current;
    auto take = [&](auto field) {
        if (!(before.*field == after.*field))
            merged.*field = after.*field;
    };
    take(&DownloadSettings::saveFolder);
    take(&DownloadSettings::limitFileSize);
    take(&DownloadSettings::largerThanOn);
    take(&DownloadSettings::smallerThanOn);
    take(&DownloadSettings::largerThanKB);
    take(&DownloadSettings::smallerThanKB);
    take(&DownloadSettings::limitResolution);
    take(&DownloadSettings::resolutions);
    take(&DownloadSettings::typeImages);
    take(&DownloadSettings::typeMp3);
    take(&DownloadSettings::typeFlash);
    return merged;
}

}  // namespace vx
