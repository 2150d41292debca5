#include "splash/FramedIconButton.h"

#include "res/resource.h"

#include "platform/wingdi.h"

CFramedIconButton::CFramedIconButton() = default;

CFramedIconButton::~CFramedIconButton() = default;

BEGIN_MESSAGE_MAP(CFramedIconButton, CButton)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

BOOL CFramedIconButton::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CFramedIconButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    HICON hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    if (!hIcon)
        return;

    RECT rcClient;
    GetClientRect(&rcClient);
    const int nWidth = rcClient.right - rcClient.left;
    const int nHeight = rcClient.bottom - rcClient.top;
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);

    // Declared before the memory context so that the context lets go of it first.
    CBitmap bitmap;
    CDC memDC;
    if (!bitmap.CreateCompatibleBitmap(pDC, cxIcon, cyIcon) || !memDC.CreateCompatibleDC(pDC))
        return;
    CBitmap* pOldBitmap = memDC.SelectObject(&bitmap);
    if (!pOldBitmap)
        return;

    // What lies on screen where the icon goes: the button is never erased, so this is the
    // dialog's background the first time and the previous picture after that.
    memDC.StretchBlt(0, 0, cxIcon, cyIcon, pDC, 2, 2, nWidth - 8, nHeight - 8, SRCCOPY);
    memDC.DrawIcon(0, 0, hIcon);

    // The frame, filled with the context's default (white) brush.
    CGdiObject* pOldPen = pDC->SelectStockObject(BLACK_PEN);
    pDC->Rectangle(0, 0, nWidth - 4, nHeight - 4);
    pDC->SelectObject(pOldPen);

    // The drop shadow along the right and the bottom.
    CBrush* pShadow = CBrush::FromHandle(static_cast<HBRUSH>(::GetStockObject(DKGRAY_BRUSH)));
    RECT rcRight = {nWidth - 4, 4, nWidth, nHeight};
    RECT rcBottom = {4, nHeight - 4, nWidth, nHeight};
    pDC->FillRect(&rcRight, pShadow);
    pDC->FillRect(&rcBottom, pShadow);

    pDC->StretchBlt(2, 2, nWidth - 8, nHeight - 8, &memDC, 0, 0, cxIcon, cyIcon, SRCCOPY);

    memDC.SelectObject(pOldBitmap);
}
