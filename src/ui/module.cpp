#include "ui/module.h"

#include <atomic>

namespace ui {

namespace {
std::atomic<HINSTANCE> g_resourceModule{nullptr};
}

HINSTANCE resourceModule() {
    HINSTANCE module = g_resourceModule.load();
    return module ? module : GetModuleHandleA(nullptr);
}

void setResourceModule(HINSTANCE module) {
    g_resourceModule.store(module);
}

std::string loadString(UINT id) {
    std::string text(256, '\0');
    for (;;) {
        int n = LoadStringA(resourceModule(), id, text.data(), static_cast<int>(text.size()));
        if (n <= 0)
            return {};
        // LoadStringA fills at most size - 1 bytes; a full buffer may hide a longer text.
        if (static_cast<size_t>(n) < text.size() - 1 || text.size() >= (1u << 20)) {
            text.resize(static_cast<size_t>(n));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

}  // namespace ui
