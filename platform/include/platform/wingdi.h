// The GDI subset of the launcher: device contexts, bitmaps, stock pens and brushes, icons and the
// copies between them. Everything draws into 32-bit pixel surfaces of the framework: an
// owner-draw control's paint device context draws into the control's surface (which the ui
// backend shows), a memory device context into the bitmap selected into it. Pixels are
// 0xAARRGGBB; only SRCCOPY copies and 1-pixel solid pens are supported.
//
// On Windows the classes hold real gdi32 handles and draw with gdi32 on any device context;
// the same rules hold (SRCCOPY only, 1-pixel pens, no empty sizes), and the notes marked
// "Windows:" below say where gdi32 goes its own way.
#pragma once

#include "platform/afxwin.h"

#ifndef _WIN32
// Colours as GDI writes them: 0x00BBGGRR.
typedef DWORD COLORREF;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

struct HDC__;
typedef HDC__* HDC;
struct HGDIOBJ__;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ HPEN;
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HBITMAP;
struct HICON__;
typedef HICON__* HICON;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef const RECT* LPCRECT;

// Raster operation of the copies.
constexpr DWORD SRCCOPY = 0x00CC0020;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

// Owner-draw data (DRAWITEMSTRUCT).
constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_FOCUS = 0x0010;

// A resource number as a resource name.
inline LPCSTR MAKEINTRESOURCEA(WORD id) {
    return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(id));
}

// The program's own module (the only one with resources here) for a null name.
HINSTANCE GetModuleHandleA(LPCSTR lpModuleName);
// An icon of the program's resources (MAKEINTRESOURCEA of its number); a shared handle that is
// never freed. Null when the resources have no such icon.
HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
HGDIOBJ GetStockObject(int i);
BOOL DeleteObject(HGDIOBJ ho);
#endif // !_WIN32

// ---------------------------------------------------------------------------------------------

class CGdiObject {
  public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    // Deletes the object it made (a stock object stays).
    virtual ~CGdiObject();

    HGDIOBJ m_hObject = nullptr;
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // FALSE for no object, or for one still selected into a device context.
    // Windows: gdi32 takes the deletion of a selected object (TRUE, m_hObject cleared) and
    // deletes it when the last device context lets go of it.
    BOOL DeleteObject();
    // An object attached to a handle it does not own (deleting it leaves the handle alone),
    // one per handle, null for no pen, brush or bitmap. It lives until the handle's object is
    // deleted through these classes.
    // Windows: a handle deleted elsewhere keeps its object until gdi32 gives the handle value
    // to an object of another kind; wrappers of other kinds (fonts, regions) are not made.
    static CGdiObject* FromHandle(HGDIOBJ hObject);
};

class CPen : public CGdiObject {
  public:
    CPen() = default;
    // PS_SOLID (1 pixel wide whatever nWidth says) or PS_NULL.
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);
    static CPen* FromHandle(HPEN hPen);
};

class CBrush : public CGdiObject {
  public:
    CBrush() = default;
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    BOOL CreateSolidBrush(COLORREF crColor);
    static CBrush* FromHandle(HBRUSH hBrush);
};

class CBitmap : public CGdiObject {
  public:
    CBitmap() = default;
    // A bitmap of nWidth x nHeight pixels that pDC (null: the screen) can draw with, black at
    // first.
    // Windows: the bitmap has the format of the surface of pDC, which for a memory context is
    // the bitmap selected into it: monochrome while it holds its first 1 x 1 bitmap.
    BOOL CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight);
    static CBitmap* FromHandle(HBITMAP hBitmap);
};

// A device context: where drawing goes, with the pen, brush and bitmap selected into it.
class CDC {
  public:
    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    // Deletes the device context it made; the objects selected into it are let go.
    virtual ~CDC();

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    // A context attached to a handle it does not own, one per handle, null for no device
    // context; it lives until the handle's context is deleted through DeleteDC (a paint context
    // of the framework: until the paint request ends).
    // Windows: the handles of paint contexts come back for later paints, and so do their
    // attached objects.
    static CDC* FromHandle(HDC hDC);

    // A memory device context for drawing like pDC (null: like the screen), holding a 1 x 1
    // bitmap until another is selected.
    BOOL CreateCompatibleDC(CDC* pDC);
    BOOL DeleteDC();

    // Each returns the object it replaced, null on failure (a bitmap selected elsewhere).
    CPen* SelectObject(CPen* pPen);
    CBrush* SelectObject(CBrush* pBrush);
    CBitmap* SelectObject(CBitmap* pBitmap);
    CGdiObject* SelectObject(CGdiObject* pObject);
    CGdiObject* SelectStockObject(int nIndex);

    // A rectangle outlined with the pen and filled with the brush; right and bottom are
    // exclusive (outline on x = right - 1 and y = bottom - 1).
    BOOL Rectangle(int x1, int y1, int x2, int y2);
    BOOL Rectangle(LPCRECT lpRect);
    // Fills the rectangle with the brush; right and bottom edges excluded.
    void FillRect(LPCRECT lpRect, CBrush* pBrush);
    // Draws the icon at the system icon size; its transparent pixels leave what lies beneath,
    // partly transparent ones are blended over it.
    BOOL DrawIcon(int x, int y, HICON hIcon);
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                DWORD dwRop);
    // Copies the source rectangle onto the destination rectangle, stretched or shrunk (nearest
    // pixel: shrinking keeps one pixel of each block, which one is not laid down). Pixels
    // outside either surface are left alone.
    // Windows: COLORONCOLOR for the copy, whatever mode the context holds.
    BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                    int nSrcWidth, int nSrcHeight, DWORD dwRop);
    // CLR_INVALID outside the surface.
    COLORREF GetPixel(int x, int y) const;
    COLORREF SetPixel(int x, int y, COLORREF crColor);

  private:
    bool m_bOwned = false; // made by CreateCompatibleDC, deleted with this object
};
