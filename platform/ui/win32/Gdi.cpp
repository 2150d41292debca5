// GDI on Windows: the classes hold real gdi32 handles and every drawing call is the system's,
// on whatever device context the handle names (a paint context of a window, a memory context).
// What this file adds is the contract of wingdi.h where gdi32 is looser (raster operations,
// pen styles, sizes) and the objects that FromHandle attaches to borrowed handles.
#include "platform/wingdi.h"

#include <map>
#include <memory>
#include <mutex>
#include <typeinfo>

namespace {

// The objects FromHandle hands out, one per handle. Each lives until its handle is deleted
// through these classes (or, for a handle deleted by someone else, until the handle is reused
// for another kind of object or the process ends). The splash draws on its own thread.
std::mutex g_mutex;
std::map<HGDIOBJ, std::unique_ptr<CGdiObject>> g_attachedObjects;
std::map<HDC, std::unique_ptr<CDC>> g_attachedDcs;

bool IsPen(HGDIOBJ h) {
    const DWORD type = ::GetObjectType(h);
    return type == OBJ_PEN || type == OBJ_EXTPEN;
}

// Whether h names an object of that kind (OBJ_PEN, OBJ_BRUSH, OBJ_BITMAP).
bool IsKind(HGDIOBJ h, DWORD kind) {
    return kind == OBJ_PEN ? IsPen(h) : ::GetObjectType(h) == kind;
}

// The wrapper class for the kind of object a handle names; null for kinds wingdi.h does not
// know (fonts, regions, palettes) and for no object at all.
std::unique_ptr<CGdiObject> WrapperFor(HGDIOBJ h) {
    if (IsPen(h))
        return std::make_unique<CPen>();
    switch (::GetObjectType(h)) {
    case OBJ_BRUSH:
        return std::make_unique<CBrush>();
    case OBJ_BITMAP:
        return std::make_unique<CBitmap>();
    default:
        return nullptr;
    }
}

CGdiObject* Attach(HGDIOBJ h) {
    if (!h)
        return nullptr;
    std::unique_ptr<CGdiObject> fresh = WrapperFor(h);
    if (!fresh)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::unique_ptr<CGdiObject>& slot = g_attachedObjects[h];
    // A handle value comes back for another object once its first object is gone; the old
    // wrapper belonged to that object.
    if (slot && slot->m_hObject == h && typeid(*slot) == typeid(*fresh))
        return slot.get();
    if (slot)
        slot->m_hObject = nullptr; // it only borrowed the handle
    fresh->m_hObject = h;
    slot = std::move(fresh);
    return slot.get();
}

// Deletes the handle self holds with the system's deleter; then the wrapper FromHandle gave out
// for that handle, if another, lets it go. A wrapper deleting its own object stays (empty) until
// its slot is reused.
template <class Handle, class Wrapper, class Deleter>
BOOL DeleteHeld(Wrapper* self, Handle Wrapper::*held, Deleter destroy,
                std::map<Handle, std::unique_ptr<Wrapper>>& attached) {
    const Handle h = self->*held;
    if (!h || !destroy(h))
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = attached.find(h);
        if (it != attached.end() && it->second.get() != self) {
            (*it->second).*held = nullptr;
            attached.erase(it);
        }
    }
    self->*held = nullptr;
    return TRUE;
}

bool IsDc(HDC h) {
    switch (::GetObjectType(h)) {
    case OBJ_DC:
    case OBJ_MEMDC:
    case OBJ_METADC:
    case OBJ_ENHMETADC:
        return true;
    default:
        return false;
    }
}

// Selects h into dc; the replaced object's wrapper, or null on failure.
CGdiObject* Select(HDC dc, HGDIOBJ h) {
    if (!dc || !h)
        return nullptr;
    HGDIOBJ old = ::SelectObject(dc, h);
    return old && old != HGDI_ERROR ? Attach(old) : nullptr;
}

// The wrapper of h when it names an object of T's kind; else null.
template <class T> T* AttachKind(HGDIOBJ h, DWORD kind) {
    return IsKind(h, kind) ? static_cast<T*>(Attach(h)) : nullptr;
}

// Selects an object of T's kind into dc; the replaced object's wrapper, or null (also for no
// object or one of another kind).
template <class T> T* SelectKind(HDC dc, T* object, DWORD kind) {
    if (!object || !IsKind(object->m_hObject, kind))
        return nullptr;
    return static_cast<T*>(Select(dc, object->m_hObject));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Objects.

BOOL CGdiObject::DeleteObject() {
    return DeleteHeld(this, &CGdiObject::m_hObject, ::DeleteObject, g_attachedObjects);
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) {
    return Attach(hObject);
}

BOOL CPen::CreatePen(int nPenStyle, int, COLORREF crColor) {
    if (m_hObject || (nPenStyle != PS_SOLID && nPenStyle != PS_NULL))
        return FALSE;
    m_hObject = ::CreatePen(nPenStyle, 1, crColor);
    return m_hObject != nullptr;
}

CPen* CPen::FromHandle(HPEN hPen) {
    return AttachKind<CPen>(hPen, OBJ_PEN);
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    if (m_hObject)
        return FALSE;
    m_hObject = ::CreateSolidBrush(crColor);
    return m_hObject != nullptr;
}

CBrush* CBrush::FromHandle(HBRUSH hBrush) {
    return AttachKind<CBrush>(hBrush, OBJ_BRUSH);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    if (m_hObject || nWidth <= 0 || nHeight <= 0 || (pDC && !IsDc(pDC->m_hDC)))
        return FALSE;
    if (pDC) {
        m_hObject = ::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight);
    } else {
        HDC screen = ::GetDC(nullptr);
        m_hObject = screen ? ::CreateCompatibleBitmap(screen, nWidth, nHeight) : nullptr;
        if (screen)
            ::ReleaseDC(nullptr, screen);
    }
    return m_hObject != nullptr;
}

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    return AttachKind<CBitmap>(hBitmap, OBJ_BITMAP);
}

// ---------------------------------------------------------------------------------------------
// Device contexts.

CDC* CDC::FromHandle(HDC hDC) {
    if (!hDC || !IsDc(hDC))
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::unique_ptr<CDC>& slot = g_attachedDcs[hDC];
    if (!slot || slot->m_hDC != hDC) {
        slot = std::make_unique<CDC>();
        slot->m_hDC = hDC;
    }
    return slot.get();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    if (m_hDC || (pDC && !IsDc(pDC->m_hDC)))
        return FALSE;
    m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
    m_bOwned = m_hDC != nullptr;
    return m_bOwned;
}

BOOL CDC::DeleteDC() {
    if (!DeleteHeld(this, &CDC::m_hDC, ::DeleteDC, g_attachedDcs))
        return FALSE;
    m_bOwned = false;
    return TRUE;
}

CPen* CDC::SelectObject(CPen* pPen) {
    return SelectKind(m_hDC, pPen, OBJ_PEN);
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    return SelectKind(m_hDC, pBrush, OBJ_BRUSH);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return SelectKind(m_hDC, pBitmap, OBJ_BITMAP);
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    if (!pObject || !WrapperFor(pObject->m_hObject))
        return nullptr;
    return Select(m_hDC, pObject->m_hObject);
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
    HGDIOBJ stock = ::GetStockObject(nIndex);
    return stock && WrapperFor(stock) ? Select(m_hDC, stock) : nullptr;
}

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2) {
    return m_hDC && ::Rectangle(m_hDC, x1, y1, x2, y2);
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    if (!m_hDC || !lpRect || !pBrush || !IsKind(pBrush->m_hObject, OBJ_BRUSH))
        return;
    ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->m_hObject));
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    return m_hDC && hIcon && ::DrawIcon(m_hDC, x, y, hIcon);
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) {
    if (!m_hDC || !pSrcDC || !pSrcDC->m_hDC || dwRop != SRCCOPY || nWidth <= 0 || nHeight <= 0)
        return FALSE;
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->m_hDC, xSrc, ySrc, SRCCOPY);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                     int nSrcWidth, int nSrcHeight, DWORD dwRop) {
    if (!m_hDC || !pSrcDC || !pSrcDC->m_hDC || dwRop != SRCCOPY || nWidth <= 0 || nHeight <= 0 ||
        nSrcWidth <= 0 || nSrcHeight <= 0)
        return FALSE;
    // Nearest pixel, whatever mode the context was left in; the caller's mode is put back.
    const int oldMode = ::SetStretchBltMode(m_hDC, COLORONCOLOR);
    const BOOL done = ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->m_hDC, xSrc, ySrc,
                                   nSrcWidth, nSrcHeight, SRCCOPY);
    if (oldMode)
        ::SetStretchBltMode(m_hDC, oldMode);
    return done;
}

COLORREF CDC::GetPixel(int x, int y) const {
    return m_hDC ? ::GetPixel(m_hDC, x, y) : CLR_INVALID;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
    if (!m_hDC || crColor == CLR_INVALID)
        return CLR_INVALID;
    return ::SetPixel(m_hDC, x, y, crColor);
}
