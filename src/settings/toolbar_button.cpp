#include "settings/toolbar_button.h"

namespace vx {

std::vector<RegistryText> toolbarButtonValues(const std::string& programPath) {
    const std::string icon = programPath + ",128";
    return {
        {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
        {"Default Visible", "Yes"},
        {"ButtonText", "Vexaro"},
        {"Icon", icon},
        {"HotIcon", icon},
        {"Exec", programPath},
    };
}

}  // namespace vx
