#include <windows.h>

#include "base/mbcs.h"

namespace vx::mbcs {

void initFromSystemCodePage() {
    CPINFO info{};
    if (GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1) {
        setLeadByteRanges(info.LeadByte, MAX_LEADBYTES);
    } else {
        useSingleByte();
    }
}

}  // namespace vx::mbcs
