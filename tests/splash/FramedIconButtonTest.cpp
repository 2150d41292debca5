#include "SplashFixture.h"

#include "res/Resources.h"
#include "res/resource.h"

#include "platform/wingdi.h"

#include <sstream>
#include <stdexcept>

namespace {

using platform::ui::Surface;
using platform::ui::Window;

// The dialog background a backend passes with its paint requests.
constexpr uint32_t kFace = 0xFFC0C0C0u;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kDarkGray = 0xFF404040u;

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

class FramedIconTest : public SplashFixture {
  protected:
    // Creates the splash and returns its icon button's record.
    Window& CreateSplash() {
        EXPECT_TRUE(m_dlg.Create(IDD_SPLASH, nullptr));
        CWnd* button = m_dlg.GetDlgItem(IDC_ICON_BUTTON);
        Window* record = button ? platform::ui::FromHandle(button->m_hWnd) : nullptr;
        if (!record)
            throw std::logic_error("the splash has no icon button");
        return *record;
    }

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
    static std::string FirstDifference(const Surface& s, int size, uint32_t beneath) {
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
        IconSizeUi sized(size);
        platform::ui::InstallUi(&sized);
        CSplashDlg dlg;
        ASSERT_TRUE(dlg.Create(IDD_SPLASH, nullptr));
        Window* button = platform::ui::FromHandle(dlg.GetDlgItem(IDC_ICON_BUTTON)->m_hWnd);
        ASSERT_NE(nullptr, button);

        platform::ui::PaintOwnerDraw(*button, kFace);

        EXPECT_EQ("", FirstDifference(button->surface, size, kFace));
        dlg.DestroyWindow();
        platform::ui::InstallUi(&ui);
    }
}

TEST_F(FramedIconTest, Picture32ByNamedPixels) {
    Window& button = CreateSplash();
    platform::ui::PaintOwnerDraw(button, kFace);
    const Surface& s = button.surface;
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
    Window& button = CreateSplash();
    platform::ui::PaintOwnerDraw(button, kFace);
    // Something else on screen where the icon is transparent, and scratches elsewhere.
    const uint32_t kMark = 0xFF123456u;
    auto set = [&](int x, int y, uint32_t v) {
        button.surface.pixels[static_cast<size_t>(y * button.surface.width + x)] = v;
    };
    set(2, 2, kMark);
    set(1, 1, kMark);
    set(38, 20, kMark);
    set(2 + 13, 2 + 1, kMark); // opaque icon pixel

    platform::ui::PaintOwnerDraw(button, kFace);

    const Surface& s = button.surface;
    EXPECT_EQ(kMark, s.At(2, 2)) << "the transparent part shows what lay beneath";
    EXPECT_EQ(kWhite, s.At(1, 1));
    EXPECT_EQ(kDarkGray, s.At(38, 20));
    EXPECT_EQ(platform::ui::FindIcon(IDR_MAINFRAME)->pixels[1 * 32 + 13], s.At(15, 3));
}

TEST_F(FramedIconTest, MissingIconDrawsNothing) {
    platform::ui::ResourceTable noIcon = LauncherResources();
    noIcon.icons.clear();
    platform::ui::SetResources(&noIcon);
    Window& button = CreateSplash();

    platform::ui::PaintOwnerDraw(button, kFace);

    const Surface& s = button.surface;
    ASSERT_EQ(40, s.width);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            ASSERT_EQ(kFace, s.At(x, y)) << "(" << x << ", " << y << ")";
}

TEST_F(FramedIconTest, BackgroundIsNeverErased) {
    Window& button = CreateSplash();
    platform::ui::PaintOwnerDraw(button, kFace);
    const std::vector<uint32_t> before = button.surface.pixels;

    EXPECT_NE(0, SendMessageA(button.handle(), WM_ERASEBKGND, 0, 0));

    EXPECT_EQ(before, button.surface.pixels);
}

} // namespace
