#include "band_host.h"

#include <cstdio>

using Microsoft::WRL::ComPtr;

namespace standin {

namespace {

constexpr char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";

std::string hresultText(HRESULT hr) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace

std::vector<CLSID> registeredToolbarBands() {
    std::vector<CLSID> bands;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbarKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return bands;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG rc =
            RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue;
        CLSID clsid{};
        if (SUCCEEDED(CLSIDFromString(name, &clsid)))
            bands.push_back(clsid);
    }
    RegCloseKey(key);
    return bands;
}

bool LoadedBand::load(const CLSID& clsid, DWORD bandId, IUnknown* site, std::string& error) {
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&band_));
    if (FAILED(hr)) {
        error = "cannot be created (" + hresultText(hr) + ")";
        return false;
    }
    ComPtr<IObjectWithSite> withSite;
    if (FAILED(hr = band_.As(&withSite)) || FAILED(hr = withSite->SetSite(site))) {
        error = "refused its site (" + hresultText(hr) + ")";
        unload();
        return false;
    }
    info_ = {};
    info_.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                   DBIM_MODEFLAGS | DBIM_BKCOLOR;
    if (FAILED(hr = band_->GetBandInfo(bandId, DBIF_VIEWMODE_NORMAL, &info_)))
        info_.dwMask = 0;
    if (FAILED(hr = band_->GetWindow(&window_)) || !IsWindow(window_)) {
        error = "has no window (" + hresultText(hr) + ")";
        unload();
        return false;
    }
    return true;
}

void LoadedBand::unload() {
    if (!band_)
        return;
    band_->ShowDW(FALSE);
    band_->CloseDW(0);
    ComPtr<IObjectWithSite> withSite;
    if (SUCCEEDED(band_.As(&withSite)))
        withSite->SetSite(nullptr);
    band_.Reset();
    window_ = nullptr;
}

}  // namespace standin
