#pragma once
// What a browser window gives the bands it loads: a site (its toolbar strip's window, focus
// notices, commands, services) and the browser object itself, reached through the site's
// SID_SWebBrowserApp service.

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>

#include "common/com_object.h"

namespace standin {

// What the objects ask of the window that owns them. The window outlives neither object: it
// detaches them when it goes, and a detached object answers as a browser without a page.
class BrowserHost {
  public:
    virtual ~BrowserHost() = default;
    virtual HWND frameWindow() const = 0;
    virtual HWND stripWindow() const = 0;
    virtual const std::string& address() const = 0;
    virtual const std::string& title() const = 0;
    virtual void navigate(const std::string& address) = 0;
};

// The band site of one window; hands out the window's browser object.
Microsoft::WRL::ComPtr<IUnknown> makeBandSite(BrowserHost* host, IWebBrowser2* browser);
// The browser object of one window.
Microsoft::WRL::ComPtr<IWebBrowser2> makeBrowser(BrowserHost* host);
// Called by the window as it goes: the objects forget it.
void detachBandSite(IUnknown* site);
void detachBrowser(IWebBrowser2* browser);

}  // namespace standin
