// What the GDI classes do alike over the framework's surfaces and over gdi32: both builds
// compile this file beside their own Gdi.cpp.
#include "platform/wingdi.h"

CGdiObject::~CGdiObject() {
    if (m_hObject)
        DeleteObject();
}

CDC::~CDC() {
    if (m_bOwned && m_hDC)
        DeleteDC();
}

BOOL CDC::Rectangle(LPCRECT lpRect) {
    return lpRect ? Rectangle(lpRect->left, lpRect->top, lpRect->right, lpRect->bottom) : FALSE;
}
