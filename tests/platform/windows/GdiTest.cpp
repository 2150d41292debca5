// The GDI subset: figures, copies, icons, selections, paint requests. On Linux over the
// framework's pixel surfaces; the Windows build runs the same rows on gdi32's memory contexts.
#include "platform/wingdi.h"
#ifdef _WIN32
#include "res/icon128.xpm"
#include <cstdio>
#else
#include "UiBackend.h" // the record of a window
#endif

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A memory context over a fresh w x h bitmap filled with `fill`.
struct Canvas {
    Canvas(int w, int h, COLORREF fill) {
        EXPECT_TRUE(dc.CreateCompatibleDC(nullptr));
        // Like the screen: a bitmap like a fresh memory context's is monochrome on Windows.
        EXPECT_TRUE(bitmap.CreateCompatibleBitmap(nullptr, w, h));
        old = dc.SelectObject(&bitmap);
        CBrush brush(fill);
        RECT all = {0, 0, w, h};
        dc.FillRect(&all, &brush);
    }
    ~Canvas() { dc.SelectObject(old); }
    // The picture as rows of characters: '#' for `ink`, '.' for anything else.
    std::vector<std::string> Rows(int w, int h, COLORREF ink) const {
        std::vector<std::string> rows;
        for (int y = 0; y < h; ++y) {
            std::string row;
            for (int x = 0; x < w; ++x)
                row += dc.GetPixel(x, y) == ink ? '#' : '.';
            rows.push_back(row);
        }
        return rows;
    }
    CBitmap bitmap;
    CDC dc;
    CBitmap* old = nullptr;
};

using Rows = std::vector<std::string>;

TEST(Gdi, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    Canvas c(6, 5, kRed);
    c.dc.Rectangle(1, 1, 5, 4); // default pen black, default brush white
    EXPECT_EQ((Rows{"......", ".####.", ".#..#.", ".####.", "......"}), c.Rows(6, 5, kBlack));
    EXPECT_EQ((Rows{"......", "......", "..##..", "......", "......"}), c.Rows(6, 5, kWhite));

    Canvas n(6, 5, kRed);
    n.dc.SelectStockObject(NULL_PEN);
    n.dc.SelectStockObject(BLACK_BRUSH);
    n.dc.Rectangle(1, 1, 5, 4); // without an outline one pixel smaller
    EXPECT_EQ((Rows{"......", ".###..", ".###..", "......", "......"}), n.Rows(6, 5, kBlack));
}

TEST(Gdi, FillRectIsClippedToTheSurface) {
    Canvas c(4, 3, kWhite);
    CBrush blue(kBlue);
    RECT r = {-5, 1, 100, 100};
    c.dc.FillRect(&r, &blue);
    EXPECT_EQ((Rows{"....", "####", "####"}), c.Rows(4, 3, kBlue));
    EXPECT_EQ(CLR_INVALID, c.dc.GetPixel(4, 0));
}

TEST(Gdi, StretchBltScalesByNearestPixel) {
    Canvas src(2, 2, kWhite);
    src.dc.SetPixel(0, 0, kBlack);
    src.dc.SetPixel(1, 1, kBlack);

    Canvas up(4, 4, kRed);
    EXPECT_TRUE(up.dc.StretchBlt(0, 0, 4, 4, &src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ((Rows{"##..", "##..", "..##", "..##"}), up.Rows(4, 4, kBlack));

    // Shrinking keeps one pixel of each block and drops the rest; which one is not laid down
    // (ours keeps the first, Wine's gdi32 another), so a block of one colour shows the rule.
    Canvas down(1, 1, kRed);
    EXPECT_TRUE(down.dc.StretchBlt(0, 0, 1, 1, &up.dc, 0, 0, 4, 4, SRCCOPY));
    const COLORREF kept = down.dc.GetPixel(0, 0);
    EXPECT_TRUE(kept == kBlack || kept == kWhite)
        << std::hex << kept << " is no pixel of the source";
    // Colours are kept too, not mixed (gdi32's default mode would AND red and blue to black).
    Canvas pair(2, 1, kRed);
    pair.dc.SetPixel(1, 0, kBlue);
    Canvas one(1, 1, kWhite);
    EXPECT_TRUE(one.dc.StretchBlt(0, 0, 1, 1, &pair.dc, 0, 0, 2, 1, SRCCOPY));
    const COLORREF colour = one.dc.GetPixel(0, 0);
    EXPECT_TRUE(colour == kRed || colour == kBlue) << std::hex << colour << " is a mixture";
    Canvas half(2, 2, kRed);
    EXPECT_TRUE(half.dc.StretchBlt(0, 0, 2, 2, &up.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ((Rows{"#.", ".#"}), half.Rows(2, 2, kBlack));

    // Where the source has no pixels the destination keeps its own.
    Canvas part(3, 1, kRed);
    EXPECT_TRUE(part.dc.BitBlt(0, 0, 3, 1, &src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ((Rows{"#.."}), part.Rows(3, 1, kBlack));
    EXPECT_EQ(kRed, part.dc.GetPixel(2, 0));
    EXPECT_FALSE(part.dc.StretchBlt(0, 0, 3, 1, &src.dc, 0, 0, 2, 2, 0x00EE0086 /* SRCPAINT */));
}

TEST(Gdi, BitmapLivesInOneContextAtATime) {
    Canvas a(2, 2, kWhite);
    CDC other;
    ASSERT_TRUE(other.CreateCompatibleDC(&a.dc));
    CBitmap fresh;
    ASSERT_TRUE(fresh.CreateCompatibleBitmap(nullptr, 2, 1));
    EXPECT_NE(nullptr, other.SelectObject(&fresh));
    EXPECT_EQ(kBlack, other.GetPixel(1, 0)) << "a new bitmap is black";
    EXPECT_EQ(nullptr, other.SelectObject(&a.bitmap));
#ifndef _WIN32
    EXPECT_FALSE(a.bitmap.DeleteObject()) << "a selected bitmap cannot go";
#endif

    CBitmap* placeholder = a.dc.SelectObject(a.old);
    EXPECT_EQ(a.bitmap.m_hObject, placeholder->m_hObject);
    EXPECT_NE(nullptr, other.SelectObject(&a.bitmap));
    EXPECT_TRUE(other.DeleteDC());
    EXPECT_TRUE(a.bitmap.DeleteObject()) << "deleting the context let go of it";
    a.old = a.dc.SelectObject(a.old); // keep the canvas's destructor harmless
#ifdef _WIN32
    // gdi32 (Windows as Wine) takes the deletion of a selected bitmap and carries it out when
    // the context lets go of it.
    CBitmap doomed;
    ASSERT_TRUE(doomed.CreateCompatibleBitmap(nullptr, 2, 2));
    const HGDIOBJ handle = doomed.m_hObject;
    CBitmap* before = a.dc.SelectObject(&doomed);
    ASSERT_NE(nullptr, before);
    EXPECT_TRUE(doomed.DeleteObject());
    EXPECT_EQ(nullptr, doomed.m_hObject);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle)) << "still selected";
    a.dc.SelectObject(before);
    EXPECT_EQ(0u, GetObjectType(handle)) << "let go, then deleted";
#endif
}

TEST(Gdi, StockObjectsAreSharedAndSurviveDeletion) {
    HGDIOBJ pen = GetStockObject(BLACK_PEN);
    EXPECT_EQ(pen, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(pen, CPen::FromHandle(static_cast<HPEN>(pen))->m_hObject);
    EXPECT_EQ(nullptr, CBrush::FromHandle(static_cast<HBRUSH>(pen))) << "a pen is no brush";
    EXPECT_EQ(nullptr, GetStockObject(42));
    EXPECT_FALSE(DeleteObject(nullptr));
}

#ifdef _WIN32
// An icon of the system icon size whose top row is `row` (0xAARRGGBB), clear elsewhere.
HICON MakeIcon(const std::vector<uint32_t>& row) {
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> pixels(static_cast<size_t>(cx) * static_cast<size_t>(cy), 0);
    std::copy(row.begin(), row.end(), pixels.begin());
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    std::vector<BYTE> none(static_cast<size_t>((cx + 15) / 16 * 2) * static_cast<size_t>(cy), 0);
    HBITMAP mask = CreateBitmap(cx, cy, 1, 1, none.data());
    ICONINFO parts{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&parts);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}
#endif

TEST(Gdi, DrawIconBlendsOverWhatLiesBeneath) {
    const std::vector<uint32_t> row = {0x00FF0000u /* clear */, 0x80FF0000u /* half red */};
#ifdef _WIN32
    // Drawn at the system icon size, which this icon has.
    HICON h = MakeIcon(row);
#else
    platform::ui::ResourceTable table;
    table.icons.push_back(platform::ui::IconImage{7, 2, 1, row});
    platform::ui::SetResources(&table);
    HICON h = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(7));
    // Without a ui backend the icon is drawn at its own size.
#endif
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(8)));
    EXPECT_EQ(nullptr, LoadIconA(nullptr, MAKEINTRESOURCEA(7))) << "no system icon 7";

    Canvas c(3, 1, kBlue);
    EXPECT_TRUE(c.dc.DrawIcon(0, 0, h));
    EXPECT_EQ(kBlue, c.dc.GetPixel(0, 0));
    EXPECT_EQ(RGB(128, 0, 127), c.dc.GetPixel(1, 0));
    EXPECT_EQ(kBlue, c.dc.GetPixel(2, 0));
    EXPECT_FALSE(c.dc.DrawIcon(0, 0, nullptr));
#ifdef _WIN32
    DestroyIcon(h);
#else
    platform::ui::SetResources(nullptr);
#endif
}

#ifdef _WIN32
// The colour of pixel (x, y) of an XPM image with one character per pixel; -1 for "None".
long XpmPixel(const char* const* xpm, int x, int y) {
    int w = 0, h = 0, colours = 0;
    std::sscanf(xpm[0], "%d %d %d", &w, &h, &colours);
    const char key = xpm[1 + colours + y][x];
    for (int i = 1; i <= colours; ++i) {
        unsigned r = 0, g = 0, b = 0;
        if (xpm[i][0] != key)
            continue;
        if (std::sscanf(xpm[i] + 1, " c #%2x%2x%2x", &r, &g, &b) == 3)
            return static_cast<long>(RGB(r, g, b));
        return -1;
    }
    return -2; // a character without a colour
}

TEST(Gdi, IconOfTheResourcesIsTheXpmImage) {
    HICON h = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(h, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128))) << "shared";
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(h, &parts));
    BITMAP image{};
    GetObjectA(parts.hbmColor, sizeof image, &image);
    EXPECT_EQ(32, image.bmWidth);
    EXPECT_EQ(32, image.bmHeight);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);

    // Over two backgrounds no colour of the image has: the clear pixels show each, the others
    // are the image's colour.
    for (COLORREF beneath : {RGB(1, 2, 3), RGB(250, 251, 252)}) {
        Canvas c(32, 32, beneath);
        ASSERT_TRUE(c.dc.DrawIcon(0, 0, h));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const long want = XpmPixel(icon128_xpm, x, y);
                ASSERT_EQ(want < 0 ? beneath : static_cast<COLORREF>(want), c.dc.GetPixel(x, y))
                    << "(" << x << ", " << y << ")";
            }
    }
}
#else
TEST(Gdi, PaintRequestErasesAControlThatDoesNotAnswerErase) {
    platform::ui::Window control;
    control.kind = platform::ui::Kind::OwnerDrawButton;
    control.rect = {10, 10, 13, 12};
    control.surface.width = 1;
    control.surface.height = 1;
    control.surface.pixels = {0xFF00FF00u};

    platform::ui::PaintOwnerDraw(control, 0xFFC0C0C0u);

    EXPECT_EQ(3, control.surface.width);
    EXPECT_EQ(2, control.surface.height);
    EXPECT_EQ(std::vector<uint32_t>(6, 0xFFC0C0C0u), control.surface.pixels);
}
#endif // _WIN32

} // namespace
