// GDI over the framework's pixel surfaces, and the paint requests of owner-draw controls.
#include "UiBackend.h"
#include "platform/wingdi.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace {

using platform::ui::Surface;

enum class ObjectType { Pen, Brush, Bitmap };

struct ObjectRecord {
    ObjectType type;
    bool stock = false;
    bool isNull = false; // NULL_PEN, NULL_BRUSH, PS_NULL: draws nothing
    uint32_t argb = 0xFF000000u;
    Surface bitmap;
    int selections = 0;                  // device contexts it is selected into
    std::unique_ptr<CGdiObject> wrapper; // the object FromHandle hands out
};

struct DcRecord {
    Surface* target = nullptr; // the control's surface, or the selected bitmap's
    ObjectRecord* pen = nullptr;
    ObjectRecord* brush = nullptr;
    ObjectRecord* bitmap = nullptr; // memory contexts only
    std::unique_ptr<ObjectRecord> defaultBitmap;
    std::unique_ptr<CDC> wrapper;
};

std::mutex g_mutex;

// The records handed out as handles, so that a stale or foreign handle is known as such.
template <class R> class LiveRecords {
  public:
    R* Add(R* r) {
        std::lock_guard<std::mutex> lock(g_mutex);
        m_live.insert(r);
        return r;
    }
    void Remove(R* r) {
        std::lock_guard<std::mutex> lock(g_mutex);
        m_live.erase(r);
    }
    // The record a handle stands for; null when it stands for none.
    R* Find(void* handle) {
        auto* r = static_cast<R*>(handle);
        std::lock_guard<std::mutex> lock(g_mutex);
        return m_live.count(r) ? r : nullptr;
    }

  private:
    std::unordered_set<R*> m_live;
};

LiveRecords<ObjectRecord> g_objects;
LiveRecords<DcRecord> g_dcs;

HGDIOBJ HandleOf(ObjectRecord* r) {
    return reinterpret_cast<HGDIOBJ>(r);
}
HDC HandleOf(DcRecord* r) {
    return reinterpret_cast<HDC>(r);
}

ObjectRecord* ObjectOf(HGDIOBJ h) {
    return g_objects.Find(h);
}

// The record of a handle that names an object of that type; null for any other handle.
ObjectRecord* ObjectOf(HGDIOBJ h, ObjectType type) {
    ObjectRecord* r = ObjectOf(h);
    return r && r->type == type ? r : nullptr;
}

DcRecord* DcOf(HDC h) {
    return g_dcs.Find(h);
}

ObjectRecord* NewObject(ObjectType type) {
    auto* r = new ObjectRecord;
    r->type = type;
    return g_objects.Add(r);
}

void FreeObject(ObjectRecord* r) {
    g_objects.Remove(r);
    if (r->wrapper)
        r->wrapper->m_hObject = nullptr; // it only borrowed the handle
    delete r;
}

uint32_t ArgbOf(COLORREF c) {
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

COLORREF ColorRefOf(uint32_t argb) {
    return ((argb >> 16) & 0xFFu) | (argb & 0xFF00u) | ((argb & 0xFFu) << 16);
}

// The stock objects live as long as the process.
ObjectRecord* Stock(int index) {
    static ObjectRecord** const table = [] {
        struct Def {
            ObjectType type;
            bool isNull;
            uint32_t argb;
        };
        const Def defs[] = {
            {ObjectType::Brush, false, 0xFFFFFFFFu},
            {ObjectType::Brush, false, 0xFFC0C0C0u},
            {ObjectType::Brush, false, 0xFF808080u},
            {ObjectType::Brush, false, 0xFF404040u},
            {ObjectType::Brush, false, 0xFF000000u},
            {ObjectType::Brush, true, 0},
            {ObjectType::Pen, false, 0xFFFFFFFFu},
            {ObjectType::Pen, false, 0xFF000000u},
            {ObjectType::Pen, true, 0},
        };
        static ObjectRecord* made[9];
        for (int i = 0; i < 9; ++i) {
            made[i] = NewObject(defs[i].type);
            made[i]->stock = true;
            made[i]->isNull = defs[i].isNull;
            made[i]->argb = defs[i].argb;
        }
        return made;
    }();
    return index >= WHITE_BRUSH && index <= NULL_PEN ? table[index] : nullptr;
}

void Release(ObjectRecord* r) {
    if (r)
        --r->selections;
}

void Retain(ObjectRecord* r) {
    if (r)
        ++r->selections;
}

DcRecord* NewDc(Surface* target) {
    auto* dc = new DcRecord;
    dc->target = target;
    dc->pen = Stock(BLACK_PEN);
    dc->brush = Stock(WHITE_BRUSH);
    Retain(dc->pen);
    Retain(dc->brush);
    return g_dcs.Add(dc);
}

void FreeDc(DcRecord* dc) {
    g_dcs.Remove(dc);
    Release(dc->pen);
    Release(dc->brush);
    Release(dc->bitmap);
    if (dc->wrapper)
        dc->wrapper->m_hDC = nullptr;
    delete dc;
}

template <typename T> T* Wrapper(ObjectRecord* r) {
    if (!r)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!r->wrapper) {
        r->wrapper = std::make_unique<T>();
        r->wrapper->m_hObject = HandleOf(r);
    }
    return static_cast<T*>(r->wrapper.get());
}

CGdiObject* WrapperOf(ObjectRecord* r) {
    if (!r)
        return nullptr;
    switch (r->type) {
    case ObjectType::Pen:
        return Wrapper<CPen>(r);
    case ObjectType::Brush:
        return Wrapper<CBrush>(r);
    default:
        return Wrapper<CBitmap>(r);
    }
}

// Selects r into dc in place of the object of its kind; the replaced object, or null.
ObjectRecord* SelectInto(DcRecord* dc, ObjectRecord* r) {
    if (!dc || !r)
        return nullptr;
    ObjectRecord** slot = nullptr;
    switch (r->type) {
    case ObjectType::Pen:
        slot = &dc->pen;
        break;
    case ObjectType::Brush:
        slot = &dc->brush;
        break;
    case ObjectType::Bitmap:
        // Only memory contexts hold bitmaps, and a bitmap is in one context at a time.
        if (!dc->defaultBitmap || (r->selections > 0 && dc->bitmap != r))
            return nullptr;
        slot = &dc->bitmap;
        break;
    }
    ObjectRecord* old = *slot;
    if (old == r)
        return old;
    Release(old);
    Retain(r);
    *slot = r;
    if (r->type == ObjectType::Bitmap)
        dc->target = &r->bitmap;
    return old;
}

// Selects an object of T's type into the context; the wrapper of the replaced object, or null
// (also for no object or one of another type).
template <class T> T* SelectTyped(HDC hdc, T* object, ObjectType type) {
    ObjectRecord* r = object ? ObjectOf(object->m_hObject, type) : nullptr;
    return static_cast<T*>(WrapperOf(SelectInto(DcOf(hdc), r)));
}

bool Inside(const Surface* s, int x, int y) {
    return s && x >= 0 && y >= 0 && x < s->width && y < s->height;
}

uint32_t& PixelAt(Surface* s, int x, int y) {
    return s
        ->pixels[static_cast<size_t>(y) * static_cast<size_t>(s->width) + static_cast<size_t>(x)];
}

void Fill(Surface* s, int left, int top, int right, int bottom, uint32_t argb) {
    if (!s)
        return;
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, s->width);
    bottom = std::min(bottom, s->height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            PixelAt(s, x, y) = argb;
}

uint32_t Blend(uint32_t src, uint32_t dst) {
    uint32_t a = src >> 24;
    if (a == 0xFF)
        return src;
    if (a == 0)
        return dst;
    auto mix = [a](uint32_t s, uint32_t d) { return (s * a + d * (255 - a) + 127) / 255; };
    uint32_t r = mix((src >> 16) & 0xFF, (dst >> 16) & 0xFF);
    uint32_t g = mix((src >> 8) & 0xFF, (dst >> 8) & 0xFF);
    uint32_t b = mix(src & 0xFF, dst & 0xFF);
    uint32_t outA = std::max(a, dst >> 24);
    return (outA << 24) | (r << 16) | (g << 8) | b;
}

// Resizes a surface, keeping the pixels that stay inside it; new pixels get fill.
void Resize(Surface* s, int width, int height, uint32_t fill) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (s->width == width && s->height == height &&
        s->pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height))
        return;
    Surface resized;
    resized.width = width;
    resized.height = height;
    resized.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    for (int y = 0; y < std::min(height, s->height); ++y)
        for (int x = 0; x < std::min(width, s->width); ++x)
            PixelAt(&resized, x, y) = s->At(x, y);
    *s = std::move(resized);
}

const HINSTANCE kProgramModule = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));

} // namespace

// ---------------------------------------------------------------------------------------------
// Functions.

HINSTANCE GetModuleHandleA(LPCSTR lpModuleName) {
    return lpModuleName ? nullptr : kProgramModule;
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    const auto id = reinterpret_cast<ULONG_PTR>(lpIconName);
    // Only the program's own icons, named by number; there are no system icons here.
    if (hInstance != kProgramModule || id == 0 || id > 0xFFFF)
        return nullptr;
    const platform::ui::IconImage* icon = platform::ui::FindIcon(static_cast<UINT>(id));
    return icon ? reinterpret_cast<HICON>(const_cast<platform::ui::IconImage*>(icon)) : nullptr;
}

HGDIOBJ GetStockObject(int i) {
    ObjectRecord* r = Stock(i);
    return r ? HandleOf(r) : nullptr;
}

BOOL DeleteObject(HGDIOBJ ho) {
    ObjectRecord* r = ObjectOf(ho);
    if (!r || r->selections > 0)
        return FALSE;
    if (r->stock)
        return TRUE;
    FreeObject(r);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Objects.

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject)
        return FALSE;
    if (!::DeleteObject(m_hObject))
        return FALSE;
    m_hObject = nullptr;
    return TRUE;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) {
    return WrapperOf(ObjectOf(hObject));
}

BOOL CPen::CreatePen(int nPenStyle, int, COLORREF crColor) {
    if (m_hObject || (nPenStyle != PS_SOLID && nPenStyle != PS_NULL))
        return FALSE;
    ObjectRecord* r = NewObject(ObjectType::Pen);
    r->isNull = nPenStyle == PS_NULL;
    r->argb = ArgbOf(crColor);
    m_hObject = HandleOf(r);
    return TRUE;
}

CPen* CPen::FromHandle(HPEN hPen) {
    return Wrapper<CPen>(ObjectOf(hPen, ObjectType::Pen));
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    if (m_hObject)
        return FALSE;
    ObjectRecord* r = NewObject(ObjectType::Brush);
    r->argb = ArgbOf(crColor);
    m_hObject = HandleOf(r);
    return TRUE;
}

CBrush* CBrush::FromHandle(HBRUSH hBrush) {
    return Wrapper<CBrush>(ObjectOf(hBrush, ObjectType::Brush));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    if (m_hObject || nWidth <= 0 || nHeight <= 0 || (pDC && !DcOf(pDC->m_hDC)))
        return FALSE;
    ObjectRecord* r = NewObject(ObjectType::Bitmap);
    r->bitmap.width = nWidth;
    r->bitmap.height = nHeight;
    r->bitmap.pixels.assign(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight),
                            0xFF000000u);
    m_hObject = HandleOf(r);
    return TRUE;
}

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    return Wrapper<CBitmap>(ObjectOf(hBitmap, ObjectType::Bitmap));
}

// ---------------------------------------------------------------------------------------------
// Device contexts.

CDC* CDC::FromHandle(HDC hDC) {
    DcRecord* dc = DcOf(hDC);
    if (!dc)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!dc->wrapper) {
        dc->wrapper = std::make_unique<CDC>();
        dc->wrapper->m_hDC = hDC;
    }
    return dc->wrapper.get();
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    if (m_hDC || (pDC && !DcOf(pDC->m_hDC)))
        return FALSE;
    auto placeholder = std::make_unique<ObjectRecord>();
    placeholder->type = ObjectType::Bitmap;
    placeholder->bitmap.width = 1;
    placeholder->bitmap.height = 1;
    placeholder->bitmap.pixels.assign(1, 0xFF000000u);
    DcRecord* dc = NewDc(&placeholder->bitmap);
    g_objects.Add(placeholder.get());
    dc->bitmap = placeholder.get();
    Retain(dc->bitmap);
    dc->defaultBitmap = std::move(placeholder);
    m_hDC = HandleOf(dc);
    m_bOwned = true;
    return TRUE;
}

BOOL CDC::DeleteDC() {
    DcRecord* dc = DcOf(m_hDC);
    if (!dc)
        return FALSE;
    std::unique_ptr<ObjectRecord> placeholder = std::move(dc->defaultBitmap);
    FreeDc(dc);
    if (placeholder) {
        g_objects.Remove(placeholder.get());
        std::lock_guard<std::mutex> lock(g_mutex);
        if (placeholder->wrapper)
            placeholder->wrapper->m_hObject = nullptr;
    }
    m_hDC = nullptr;
    m_bOwned = false;
    return TRUE;
}

CPen* CDC::SelectObject(CPen* pPen) {
    return SelectTyped(m_hDC, pPen, ObjectType::Pen);
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    return SelectTyped(m_hDC, pBrush, ObjectType::Brush);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return SelectTyped(m_hDC, pBitmap, ObjectType::Bitmap);
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    ObjectRecord* r = pObject ? ObjectOf(pObject->m_hObject) : nullptr;
    return WrapperOf(SelectInto(DcOf(m_hDC), r));
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
    return WrapperOf(SelectInto(DcOf(m_hDC), Stock(nIndex)));
}

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2) {
    DcRecord* dc = DcOf(m_hDC);
    if (!dc)
        return FALSE;
    int left = std::min(x1, x2), right = std::max(x1, x2);
    int top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (dc->pen->isNull) {
        // Without an outline the figure is one pixel smaller, as GDI draws it.
        if (!dc->brush->isNull)
            Fill(dc->target, left, top, right - 1, bottom - 1, dc->brush->argb);
        return TRUE;
    }
    if (!dc->brush->isNull)
        Fill(dc->target, left + 1, top + 1, right - 1, bottom - 1, dc->brush->argb);
    if (right - left < 1 || bottom - top < 1)
        return TRUE;
    const uint32_t pen = dc->pen->argb;
    Fill(dc->target, left, top, right, top + 1, pen);
    Fill(dc->target, left, bottom - 1, right, bottom, pen);
    Fill(dc->target, left, top, left + 1, bottom, pen);
    Fill(dc->target, right - 1, top, right, bottom, pen);
    return TRUE;
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    DcRecord* dc = DcOf(m_hDC);
    ObjectRecord* brush = pBrush ? ObjectOf(pBrush->m_hObject, ObjectType::Brush) : nullptr;
    if (!dc || !lpRect || !brush || brush->isNull)
        return;
    Fill(dc->target, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom, brush->argb);
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    DcRecord* dc = DcOf(m_hDC);
    const auto* icon = reinterpret_cast<const platform::ui::IconImage*>(hIcon);
    if (!dc || !icon || icon->width <= 0 || icon->height <= 0)
        return FALSE;
    // DrawIcon draws at the system icon size.
    int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    if (cx <= 0 || cy <= 0) {
        cx = icon->width;
        cy = icon->height;
    }
    for (int dy = 0; dy < cy; ++dy) {
        for (int dx = 0; dx < cx; ++dx) {
            if (!Inside(dc->target, x + dx, y + dy))
                continue;
            int sx = dx * icon->width / cx, sy = dy * icon->height / cy;
            uint32_t src = icon->pixels[static_cast<size_t>(sy) * static_cast<size_t>(icon->width) +
                                        static_cast<size_t>(sx)];
            uint32_t& dst = PixelAt(dc->target, x + dx, y + dy);
            dst = Blend(src, dst);
        }
    }
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 DWORD dwRop) {
    return StretchBlt(x, y, nWidth, nHeight, pSrcDC, xSrc, ySrc, nWidth, nHeight, dwRop);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                     int nSrcWidth, int nSrcHeight, DWORD dwRop) {
    DcRecord* dst = DcOf(m_hDC);
    DcRecord* src = pSrcDC ? DcOf(pSrcDC->m_hDC) : nullptr;
    if (!dst || !src || dwRop != SRCCOPY || nWidth <= 0 || nHeight <= 0 || nSrcWidth <= 0 ||
        nSrcHeight <= 0)
        return FALSE;
    // Read everything first: source and destination may be the same surface.
    std::vector<uint32_t> block(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    std::vector<bool> present(block.size(), false);
    for (int dy = 0; dy < nHeight; ++dy) {
        for (int dx = 0; dx < nWidth; ++dx) {
            int sx = xSrc + static_cast<int>(static_cast<long long>(dx) * nSrcWidth / nWidth);
            int sy = ySrc + static_cast<int>(static_cast<long long>(dy) * nSrcHeight / nHeight);
            if (!Inside(src->target, sx, sy))
                continue;
            size_t i =
                static_cast<size_t>(dy) * static_cast<size_t>(nWidth) + static_cast<size_t>(dx);
            block[i] = PixelAt(src->target, sx, sy);
            present[i] = true;
        }
    }
    for (int dy = 0; dy < nHeight; ++dy) {
        for (int dx = 0; dx < nWidth; ++dx) {
            size_t i =
                static_cast<size_t>(dy) * static_cast<size_t>(nWidth) + static_cast<size_t>(dx);
            if (present[i] && Inside(dst->target, x + dx, y + dy))
                PixelAt(dst->target, x + dx, y + dy) = block[i];
        }
    }
    return TRUE;
}

COLORREF CDC::GetPixel(int x, int y) const {
    DcRecord* dc = DcOf(m_hDC);
    if (!dc || !Inside(dc->target, x, y))
        return CLR_INVALID;
    return ColorRefOf(PixelAt(dc->target, x, y));
}

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
    DcRecord* dc = DcOf(m_hDC);
    if (!dc || !Inside(dc->target, x, y) || crColor == CLR_INVALID)
        return CLR_INVALID;
    PixelAt(dc->target, x, y) = ArgbOf(crColor);
    return crColor;
}

// ---------------------------------------------------------------------------------------------
// Paint requests.

namespace platform::ui {

void PaintOwnerDraw(Window& control, uint32_t background) {
    if (control.kind != Kind::OwnerDrawButton)
        return;
    const int width = static_cast<int>(control.rect.right - control.rect.left);
    const int height = static_cast<int>(control.rect.bottom - control.rect.top);
    Resize(&control.surface, width, height, background);

    CDC dc;
    DcRecord* record = NewDc(&control.surface);
    dc.m_hDC = HandleOf(record);
    HWND hWnd = control.handle();
    // A control that does not answer WM_ERASEBKGND gets its background erased first.
    if (!SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(&dc), 0))
        Fill(&control.surface, 0, 0, width, height, background);

    Window* live = FromHandle(hWnd);
    auto* button = live ? dynamic_cast<CButton*>(live->object) : nullptr;
    if (button) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(control.id);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = control.enabled ? 0 : ODS_DISABLED;
        item.hwndItem = hWnd;
        item.hDC = dc.m_hDC;
        item.rcItem = {0, 0, width, height};
        button->DrawItem(&item);
    }
    FreeDc(record);
    dc.m_hDC = nullptr;
}

} // namespace platform::ui
