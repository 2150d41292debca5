// Message maps and the routing of messages through CWnd: the map first, then the window's own
// procedure (DefWindowProc, which each build's CWnd provides); commands nobody handles go on to
// the application object.
#include "platform/afxwin.h"
#include "platform/wingdi.h"

// ---------------------------------------------------------------------------------------------
// Message maps.

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e)
            if (e->nMessage == nMessage && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID)
                return e;
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!e)
        return FALSE;
    (this->*(e->pfn))();
    return TRUE;
}

namespace {
union MessageMapFunctions {
    AFX_PMSG pfn;
    void (CWnd::*pfn_timer)(UINT_PTR);
    BOOL (CWnd::*pfn_erase)(CDC*);
};
} // namespace

AFX_PMSG AfxMessageMapFunction(void (CWnd::*pfn)(UINT_PTR)) {
    MessageMapFunctions f;
    f.pfn_timer = pfn;
    return f.pfn;
}

AFX_PMSG AfxMessageMapFunction(BOOL (CWnd::*pfn)(CDC*)) {
    MessageMapFunctions f;
    f.pfn_erase = pfn;
    return f.pfn;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    if (OnCmdMsg(nID, nCode))
        return TRUE;
    // Commands no window handles go to the application object, as the framework routes them.
    if (nCode == 0 && AfxGetApp())
        return AfxGetApp()->OnCmdMsg(nID, 0);
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, 0, 0);
    if (!e)
        return FALSE;
    MessageMapFunctions f;
    f.pfn = e->pfn;
    switch (e->nSig) {
    case AfxSig_vw:
        (this->*f.pfn_timer)(static_cast<UINT_PTR>(wParam));
        *pResult = 0;
        return TRUE;
    case AfxSig_bD:
#ifdef _WIN32
        *pResult = (this->*f.pfn_erase)(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));
#else
        // The framework's own paint hands over the device context object itself.
        *pResult = (this->*f.pfn_erase)(reinterpret_cast<CDC*>(wParam));
#endif
        return TRUE;
    default:
        (this->*f.pfn)();
        *pResult = 0;
        return TRUE;
    }
}

void CWnd::OnTimer(UINT_PTR) {}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return FALSE;
}
void CWnd::DoDataExchange(CDataExchange*) {}
