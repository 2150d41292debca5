// The splash's framed icon, pixel by pixel. On Linux the button paints into the surface the
// headless backend keeps for it; the Windows build paints the real button of the real splash
// into a memory context that stands for the screen beneath it.
#ifdef _WIN32
#include "splash/SplashDlg.h"

#include <gtest/gtest.h>
#else
#include "SplashFixture.h"
#endif

#include "res/Resources.h"
#include "res/resource.h"

#include "platform/wingdi.h"

#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

#ifdef _WIN32
// What the button shows: 0xFFRRGGBB pixels, row by row from the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// The screen beneath a button: a 32-bit memory bitmap of the button's size, filled once.
class Screen {
  public:
    Screen(int width, int height, uint32_t background) : m_width(width), m_height(height) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (!m_dc || !m_bitmap)
            throw std::runtime_error("no memory bitmap for the button");
        m_old = SelectObject(m_dc, m_bitmap);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                Set(x, y, background);
    }
    ~Screen() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    HDC Dc() const { return m_dc; }
    void Set(int x, int y, uint32_t argb) { Pixel(x, y) = argb & 0x00FFFFFFu; }
    Picture Shown() {
        GdiFlush();
        Picture picture{m_width, m_height, {}};
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                picture.pixels.push_back(0xFF000000u | (Pixel(x, y) & 0x00FFFFFFu));
        return picture;
    }

  private:
    uint32_t& Pixel(int x, int y) { return static_cast<uint32_t*>(m_bits)[y * m_width + x]; }
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
};

class SplashFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::ui::SetResources(&LauncherResources());
        g_bSplashDone = 0;
    }
    void TearDown() override { m_screens.clear(); }

    // A paint request of the button: DrawItem on the screen beneath it (made on first use).
    void Paint(HWND hButton, uint32_t background) {
        RECT rc;
        GetClientRect(hButton, &rc);
        std::unique_ptr<Screen>& screen = m_screens[hButton];
        if (!screen)
            screen = std::make_unique<Screen>(rc.right, rc.bottom, background);
        auto* button = dynamic_cast<CButton*>(CWnd::FromHandle(hButton));
        if (!button)
            throw std::logic_error("the icon button has no CButton attached");
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(hButton));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = IsWindowEnabled(hButton) ? 0 : ODS_DISABLED;
        item.hwndItem = hButton;
        item.hDC = screen->Dc();
        item.rcItem = rc;
        button->DrawItem(&item);
    }
    Picture Shown(HWND hButton) { return m_screens.at(hButton)->Shown(); }
    void Mark(HWND hButton, int x, int y, uint32_t argb) { m_screens.at(hButton)->Set(x, y, argb); }

  private:
    std::map<HWND, std::unique_ptr<Screen>> m_screens;
};
#else
using Picture = platform::ui::Surface;
#endif

// The dialog background a backend passes with its paint requests.
constexpr uint32_t kFace = 0xFFC0C0C0u;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kDarkGray = 0xFF404040u;

#ifndef _WIN32
// The headless user interface with another system icon size.
class IconSizeUi : public platform::ui::HeadlessUi {
  public:
    explicit IconSizeUi(int size) : m_size(size) {}
    int GetSystemMetrics(int index) override {
        return index == SM_CXICON || index == SM_CYICON ? m_size
                                                        : HeadlessUi::GetSystemMetrics(index);
    }

  private:
    int m_size;
};
#endif

class FramedIconTest : public SplashFixture {
  protected:
    // Creates the splash and returns its icon button.
    HWND CreateSplash() { return IconButtonOf(m_dlg); }
    static HWND IconButtonOf(CSplashDlg& dlg) {
        EXPECT_TRUE(dlg.Create(IDD_SPLASH, nullptr));
        CWnd* button = dlg.GetDlgItem(IDC_ICON_BUTTON);
        if (!button || !button->m_hWnd)
            throw std::logic_error("the splash has no icon button");
        return button->m_hWnd;
    }

#ifndef _WIN32
    // A paint request of the headless backend, the dialog's face passed as the background.
    static void Paint(HWND hButton, uint32_t background) {
        platform::ui::PaintOwnerDraw(*platform::ui::FromHandle(hButton), background);
    }
    static Picture Shown(HWND hButton) {
        return platform::ui::FromHandle(hButton)->surface;
    }
    static void Mark(HWND hButton, int x, int y, uint32_t argb) {
        Picture& s = platform::ui::FromHandle(hButton)->surface;
        s.pixels[static_cast<size_t>(y * s.width + x)] = argb;
    }
#endif

    // The picture the button should show when the screen beneath was `beneath`: the outline,
    // the white ring, the icon at (2, 2) over what was beneath, the shadow, untouched corners.
    static uint32_t Expected(int x, int y, int size, uint32_t beneath) {
        const int w = size + 8, h = size + 8;
        const platform::ui::IconImage* icon = platform::ui::FindIcon(IDR_MAINFRAME);
        if (x >= w - 4 && y >= 4)
            return kDarkGray;
        if (y >= h - 4 && x >= 4)
            return kDarkGray;
        if (x >= w - 4 || y >= h - 4)
            return beneath; // the 4 x 4 corners
        if (x == 0 || y == 0 || x == w - 5 || y == h - 5)
            return kBlack;
        if (x == 1 || y == 1 || x == w - 6 || y == h - 6)
            return kWhite;
        int ix = (x - 2) * icon->width / size, iy = (y - 2) * icon->height / size;
        uint32_t p = icon->pixels[static_cast<size_t>(iy * icon->width + ix)];
        return (p >> 24) == 0 ? beneath : p;
    }

    // The first pixel that differs, or "" when all match.
    static std::string FirstDifference(const Picture& s, int size, uint32_t beneath) {
        if (s.width != size + 8 || s.height != size + 8)
            return "size " + std::to_string(s.width) + " x " + std::to_string(s.height);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                if (s.At(x, y) != Expected(x, y, size, beneath)) {
                    std::ostringstream out;
                    out << "(" << x << ", " << y << "): " << std::hex << s.At(x, y)
                        << " instead of " << Expected(x, y, size, beneath);
                    return out.str();
                }
        return "";
    }

    CSplashDlg m_dlg;
};

TEST_F(FramedIconTest, IconSizesGiveTheFramedPicture) {
    for (int size : {32, 48, 16}) {
        SCOPED_TRACE("icon size " + std::to_string(size));
#ifdef _WIN32
        // The system's icon size follows the display's resolution, fixed for the process.
        if (size != ::GetSystemMetrics(SM_CXICON))
            continue;
#else
        IconSizeUi sized(size);
        platform::ui::InstallUi(&sized);
#endif
        CSplashDlg dlg;
        HWND button = IconButtonOf(dlg);

        Paint(button, kFace);

        EXPECT_EQ("", FirstDifference(Shown(button), size, kFace));
        dlg.DestroyWindow();
#ifndef _WIN32
        platform::ui::InstallUi(&ui);
#endif
    }
}

TEST_F(FramedIconTest, Picture32ByNamedPixels) {
    HWND button = CreateSplash();
    Paint(button, kFace);
    const Picture s = Shown(button);
    ASSERT_EQ(40, s.width);
    ASSERT_EQ(40, s.height);

    struct Row {
        int x, y;
        uint32_t argb;
        const char* what;
    } rows[] = {
        {0, 0, kBlack, "outline top left"},
        {35, 0, kBlack, "outline top right"},
        {0, 35, kBlack, "outline bottom left"},
        {35, 35, kBlack, "outline bottom right"},
        {17, 0, kBlack, "outline top"},
        {0, 17, kBlack, "outline left"},
        {1, 1, kWhite, "ring"},
        {34, 34, kWhite, "ring"},
        {2, 2, kFace, "icon's transparent corner over the background"},
        {36, 4, kDarkGray, "right shadow top"},
        {39, 39, kDarkGray, "shadow corner"},
        {4, 36, kDarkGray, "bottom shadow left"},
        {36, 3, kFace, "top right corner"},
        {39, 0, kFace, "top right corner"},
        {3, 36, kFace, "bottom left corner"},
        {0, 39, kFace, "bottom left corner"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.argb, s.At(r.x, r.y)) << r.what << " at (" << r.x << ", " << r.y << ")";
    // An opaque pixel of the icon sits unscaled at (2, 2).
    const platform::ui::IconImage* icon = platform::ui::FindIcon(IDR_MAINFRAME);
    EXPECT_EQ(icon->pixels[1 * 32 + 13], s.At(2 + 13, 2 + 1));
}

TEST_F(FramedIconTest, RepaintDrawsOverThePreviousPicture) {
    HWND button = CreateSplash();
    Paint(button, kFace);
    // Something else on screen where the icon is transparent, and scratches elsewhere.
    const uint32_t kMark = 0xFF123456u;
    Mark(button, 2, 2, kMark);
    Mark(button, 1, 1, kMark);
    Mark(button, 38, 20, kMark);
    Mark(button, 2 + 13, 2 + 1, kMark); // opaque icon pixel

    Paint(button, kFace);

    const Picture s = Shown(button);
    EXPECT_EQ(kMark, s.At(2, 2)) << "the transparent part shows what lay beneath";
    EXPECT_EQ(kWhite, s.At(1, 1));
    EXPECT_EQ(kDarkGray, s.At(38, 20));
    EXPECT_EQ(platform::ui::FindIcon(IDR_MAINFRAME)->pixels[1 * 32 + 13], s.At(15, 3));
}

TEST_F(FramedIconTest, MissingIconDrawsNothing) {
    platform::ui::ResourceTable noIcon = LauncherResources();
    noIcon.icons.clear();
    platform::ui::SetResources(&noIcon);
#ifdef _WIN32
    // LoadIconA reads the program's own resources: the copy of this test without them runs it.
    if (::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)))
        GTEST_SKIP() << "this program carries icon 128";
#endif
    HWND button = CreateSplash();

    Paint(button, kFace);

    const Picture s = Shown(button);
    ASSERT_EQ(40, s.width);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            ASSERT_EQ(kFace, s.At(x, y)) << "(" << x << ", " << y << ")";
}

TEST_F(FramedIconTest, BackgroundIsNeverErased) {
    HWND button = CreateSplash();
    Paint(button, kFace);
    const std::vector<uint32_t> before = Shown(button).pixels;

    EXPECT_NE(0, SendMessageA(button, WM_ERASEBKGND, 0, 0));

    EXPECT_EQ(before, Shown(button).pixels);
}

} // namespace
