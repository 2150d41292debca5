// How many dial-up connections are up: the start-up sequence shows the dialer only when none is.
#include "app/LauncherApp.h"
#include "platform/ras.h"

#include <algorithm>
#include <cstdlib>

int CLauncherApp::GetActiveConnectionCount() {
    DWORD cb = sizeof(RASCONNA);
    DWORD cConnections = 0;
    LPRASCONNA lpRasConn = static_cast<LPRASCONNA>(malloc(cb));
    if (lpRasConn == nullptr)
        return 0;
    lpRasConn->dwSize = sizeof(RASCONNA);

    DWORD result = RasEnumConnectionsA(lpRasConn, &cb, &cConnections);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        // Two or more connections: grow to what the service asked for and try once more. The
        // buffer never shrinks below the one record it holds (a size of 0 would free it).
        cb = std::max<DWORD>(cb, sizeof(RASCONNA));
        LPRASCONNA lpGrown = static_cast<LPRASCONNA>(realloc(lpRasConn, cb));
        if (lpGrown == nullptr) {
            AfxMessageBox("Memory Allocation Error", MB_OK);
            free(lpRasConn);
            return static_cast<int>(cConnections);
        }
        lpRasConn = lpGrown;
        result = RasEnumConnectionsA(lpRasConn, &cb, &cConnections);
    }
    if (result != ERROR_SUCCESS) {
        char szError[256];
        if (RasGetErrorStringA(result, szError, sizeof szError) == ERROR_SUCCESS)
            AfxMessageBox(szError, MB_OK);
    }
    free(lpRasConn);
    return static_cast<int>(cConnections);
}
