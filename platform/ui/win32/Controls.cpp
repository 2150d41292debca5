// What the control classes ask of the real controls beyond the shared methods.
#include "platform/afxwin.h"

UINT CEdit::GetLimitText() const {
    return static_cast<UINT>(::SendMessageA(m_hWnd, EM_GETLIMITTEXT, 0, 0));
}
