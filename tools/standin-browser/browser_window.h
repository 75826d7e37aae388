#pragma once
// One window of the stand-in browser: a frame with a toolbar strip (a rebar holding the loaded
// bands and an address bar) over a view of the page, drawn from the fixture's description of it.

#include <windows.h>
#include <exdisp.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "band_host.h"
#include "browser_objects.h"
#include "standin-shell/fixture.h"

namespace standin {

inline constexpr char kFrameClassName[] = "StandinBrowserFrame";
inline constexpr char kCaptionSuffix[] = " - Stand-in Browser";

class BrowserWindow final : public BrowserHost {
  public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 420;

    // `pages` is every page of the fixture, so that a navigation to one of them shows it.
    BrowserWindow(const FixtureWindow& page, const std::vector<FixtureWindow>* pages);
    ~BrowserWindow() override;
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    static bool registerClasses(HINSTANCE instance);
    // Creates and shows the window at `position`; then loads the registered bands.
    bool create(HINSTANCE instance, POINT position);
    HWND hwnd() const { return frame_; }
    // The reasons bands could not be loaded, one line each.
    const std::vector<std::string>& bandErrors() const { return bandErrors_; }

    // BrowserHost
    HWND frameWindow() const override { return frame_; }
    HWND stripWindow() const override { return strip_; }
    const std::string& address() const override { return address_; }
    const std::string& title() const override { return title_; }
    void navigate(const std::string& address) override;

  private:
    static LRESULT CALLBACK frameProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK pageProc(HWND, UINT, WPARAM, LPARAM);

    void onCreate();
    void loadBands();
    void unloadBands();
    void layout();
    void showPage();
    void paintPage(HDC dc, const RECT& area);

    HWND frame_ = nullptr;
    HWND strip_ = nullptr;  // the rebar
    HWND addressBar_ = nullptr;
    HWND pageView_ = nullptr;
    HFONT font_ = nullptr;
    std::string address_;
    std::string title_;
    FixtureWindow page_;
    bool pageKnown_ = true;
    const std::vector<FixtureWindow>* pages_;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    Microsoft::WRL::ComPtr<IUnknown> site_;
    std::vector<std::unique_ptr<LoadedBand>> bands_;
    std::vector<std::string> bandErrors_;
};

}  // namespace standin
