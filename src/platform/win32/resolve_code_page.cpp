// The system's own pages behind the pseudo identifiers, as the code page calls resolve them.
#include "src/platform/platform.h"

UINT ResolveCodePage(UINT codePage) {
    switch (codePage) {
        case CP_ACP:
            return GetACP();
        case CP_OEMCP:
            return GetOEMCP();
        case CP_MACCP: {
            CPINFOEXW info{};
            return GetCPInfoExW(CP_MACCP, 0, &info) ? info.CodePage : codePage;
        }
        default:
            return codePage;
    }
}
