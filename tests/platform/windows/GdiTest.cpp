// The GDI subset over pixel surfaces: figures, copies, icons, selections, paint requests.
#include "UiBackend.h" // the record of a window
#include "platform/wingdi.h"

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
        EXPECT_TRUE(bitmap.CreateCompatibleBitmap(&dc, w, h));
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

    Canvas down(1, 1, kRed);
    EXPECT_TRUE(down.dc.StretchBlt(0, 0, 1, 1, &up.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(kBlack, down.dc.GetPixel(0, 0));

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
    EXPECT_EQ(nullptr, other.SelectObject(&a.bitmap));
    EXPECT_FALSE(a.bitmap.DeleteObject()) << "a selected bitmap cannot go";

    CBitmap* placeholder = a.dc.SelectObject(a.old);
    EXPECT_EQ(a.bitmap.m_hObject, placeholder->m_hObject);
    EXPECT_NE(nullptr, other.SelectObject(&a.bitmap));
    EXPECT_TRUE(other.DeleteDC());
    EXPECT_TRUE(a.bitmap.DeleteObject()) << "deleting the context let go of it";
    a.old = a.dc.SelectObject(a.old); // keep the canvas's destructor harmless
}

TEST(Gdi, StockObjectsAreSharedAndSurviveDeletion) {
    HGDIOBJ pen = GetStockObject(BLACK_PEN);
    EXPECT_EQ(pen, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(pen, CPen::FromHandle(pen)->m_hObject);
    EXPECT_EQ(nullptr, CBrush::FromHandle(pen)) << "a pen is no brush";
    EXPECT_EQ(nullptr, GetStockObject(42));
    EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(Gdi, DrawIconBlendsOverWhatLiesBeneath) {
    platform::ui::ResourceTable table;
    platform::ui::IconImage icon{7, 2, 1, {0x00FF0000u /* clear */, 0x80FF0000u /* half red */}};
    table.icons.push_back(icon);
    platform::ui::SetResources(&table);

    EXPECT_EQ(nullptr, LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(8)));
    EXPECT_EQ(nullptr, LoadIconA(nullptr, MAKEINTRESOURCEA(7))) << "no system icons";
    HICON h = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(7));
    ASSERT_NE(nullptr, h);

    // Without a ui backend the icon is drawn at its own size.
    Canvas c(3, 1, kBlue);
    EXPECT_TRUE(c.dc.DrawIcon(0, 0, h));
    EXPECT_EQ(kBlue, c.dc.GetPixel(0, 0));
    EXPECT_EQ(RGB(128, 0, 127), c.dc.GetPixel(1, 0));
    EXPECT_EQ(kBlue, c.dc.GetPixel(2, 0));
    platform::ui::SetResources(nullptr);
}

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

} // namespace
