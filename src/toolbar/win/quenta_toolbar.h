#pragma once
// The band's toolbar: one drop-down button named after the product, its menu, and the four
// commands that start Vexaro or send the browser to the home page.

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <wrl/client.h>

#include <string>

namespace quenta {

inline constexpr char kToolbarClassName[] = "WEBTOOLBAR";
inline constexpr char kProductName[] = "Vexaro";
// The value under vx::kProgramKey naming the folder of the installed program.
inline constexpr char kInstallPathValue[] = "InstallPath";

class CQuentaToolbar {
  public:
    static constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP |
                                    TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE | TBSTYLE_FLAT |
                                    TBSTYLE_LIST | TBSTYLE_TRANSPARENT | CCS_TOP | CCS_NORESIZE |
                                    CCS_NOPARENTALIGN | CCS_NODIVIDER;

    CQuentaToolbar() = default;
    ~CQuentaToolbar();
    CQuentaToolbar(const CQuentaToolbar&) = delete;
    CQuentaToolbar& operator=(const CQuentaToolbar&) = delete;

    // Creates the toolbar window inside `parent`; false when it could not be made.
    bool create(HWND parent, const RECT& rect);
    void destroyWindow();
    HWND hwnd() const { return hwnd_; }

    // Takes its own reference; null clears it.
    void setBrowser(IWebBrowser2* browser);

    // Notifications and commands, from the toolbar window itself or passed on by the band
    // window. True when handled, with the result in `result`.
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Unregisters the window class when this module registered it (module unload).
    static void unregisterClass();

  private:
    static bool registerClass();
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);

    bool dispatchMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void setUp();
    void releaseWindowResources();
    void showMenu();
    void onCommand(UINT id);
    void startVexaro(const std::string& installFolder, const char* parameters);
    void downloadCurrentPage();
    void visitHomePage();
    std::string currentPageAddress();

    HWND hwnd_ = nullptr;
    HMENU menu_ = nullptr;
    HIMAGELIST images_ = nullptr;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
};

// The install folder from InstallPath, or nothing when it cannot be read safely.
bool readInstallFolder(std::string& folder);

}  // namespace quenta
