#pragma once
// The bands a browser window loads into its toolbar strip: every class listed under
// HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Toolbar, created by its CLSID, given
// the window's site, asked for its size and window, and shown.

#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace standin {

// The CLSIDs listed for the browser's toolbar, in the registry's order.
std::vector<CLSID> registeredToolbarBands();

class LoadedBand {
  public:
    // Creates the band and sets its site; `error` says why when it returns false.
    bool load(const CLSID& clsid, DWORD bandId, IUnknown* site, std::string& error);
    // Hides the band and takes its site back; the object goes with this one.
    void unload();
    ~LoadedBand() { unload(); }

    HWND window() const { return window_; }
    const DESKBANDINFO& info() const { return info_; }
    IDeskBand* band() const { return band_.Get(); }

  private:
    Microsoft::WRL::ComPtr<IDeskBand> band_;
    HWND window_ = nullptr;
    DESKBANDINFO info_{};
};

}  // namespace standin
