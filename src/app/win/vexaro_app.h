#pragma once
// The application object of Vexaro: what runs between process start and process end. Every run
// mode shows one modal window; when it closes, the program ends.

#include <memory>
#include <optional>
#include <string>

#include "app/run_mode.h"
#include "download/job_model.h"
#include "ui/com.h"
#include "ui/window_object.h"

namespace vx {

class CVexaroApp {
  public:
    CVexaroApp();
    ~CVexaroApp();
    CVexaroApp(const CVexaroApp&) = delete;
    CVexaroApp& operator=(const CVexaroApp&) = delete;

    // The application object of this process, while one exists.
    static CVexaroApp* current();

    // Start-up, the run mode, shutdown; the process's exit code.
    int run();

    // Always false: no mode keeps a message loop running after its window has closed.
    bool InitInstance();
    int ExitInstance();

    // The modal window of the current mode while it runs.
    ui::WindowObject* mainWindow = nullptr;
    // The open history browser and advanced frame: at most one of each, destroyed at shutdown
    // if still open; each window clears its pointer when it closes.
    std::unique_ptr<ui::WindowObject> historyFrame;
    std::unique_ptr<ui::WindowObject> advancedFrame;

  private:
    void runUrlListMode();
    // The download window over `pageUrls` (every open browser window when `allWindows`).
    void runDownloadWindow(bool allWindows, const PageUrlList& pageUrls);
    // The main window with the list of browser windows.
    void runMainWindow();

    std::optional<ui::ComInit> com_;
};

}  // namespace vx
