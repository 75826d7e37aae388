#include "ui/message_box.h"

#include "base/install_folder.h"
#include "base/win/module_file.h"

namespace ui {

namespace {

// The text FormatMessageA allocates for `code`, freed with LocalFree by the holder.
class SystemMessage {
  public:
    explicit SystemMessage(uint32_t code) {
        DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPSTR>(&text_), 0, nullptr);
        if (length == 0 && text_) {
            LocalFree(text_);
            text_ = nullptr;
        }
    }
    ~SystemMessage() {
        if (text_)
            LocalFree(text_);
    }
    SystemMessage(const SystemMessage&) = delete;
    SystemMessage& operator=(const SystemMessage&) = delete;

    const char* text() const { return text_; }

  private:
    char* text_ = nullptr;
};

std::string titleFromModulePath(const std::string& path) {
    std::string folder = vx::installFolderFromModulePath(path);
    // A path without a folder is the name itself.
    std::string name = folder == path ? path : path.substr(folder.size());
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

}  // namespace

const std::string& appTitle() {
    static const std::string title = titleFromModulePath(vx::moduleFileName());
    return title;
}

int appMessageBox(const std::string& text, UINT flags, HWND owner) {
    return MessageBoxA(owner, text.c_str(), appTitle().c_str(), flags);
}

std::optional<std::string> systemErrorText(uint32_t code) {
    SystemMessage message(code);
    if (!message.text())
        return std::nullopt;
    return std::string(message.text());
}

void systemErrorBox(uint32_t code, HWND owner) {
    SystemMessage message(code);
    if (!message.text())
        return;
    MessageBoxA(owner, message.text(), "Error", MB_ICONINFORMATION | MB_OK);
}

}  // namespace ui
