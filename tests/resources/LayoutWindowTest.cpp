// Both layouts built into windows from the skin archive inside the real launcher executable, and a
// screenshot of each for a person to look at.
#include "TestSupport.h"
#include "UIContainer.h"
#include "UILabel.h"
#include "UIResources.h"
#include "UIWindow.h"

#include <objidl.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinUI;

namespace {

// A window over one of the launcher's layouts, read from the launcher's own resource 130.
class LayoutWnd : public WindowImplBase {
public:
    explicit LayoutWnd(std::wstring file) : m_file(std::move(file)) {}
    const wchar_t* GetWindowClassName() const override { return L"VemraLayoutTestWnd"; }
    std::wstring GetSkinFolder() override { return std::wstring(); }
    std::wstring GetSkinFile() override { return m_file; }
    int GetSkinSourceKind() const override { return kSkinArchiveResource; }
    std::wstring GetSkinResourceId() const override { return L"130"; }
    // The browser element of the main layout stands in as a plain control here.
    CControlUI* CreateCustomControl(const wchar_t* elementName) override
    {
        if (::lstrcmpiW(elementName, L"IeBrowser") != 0) return nullptr;
        ++browserElements;
        return new CControlUI;
    }
    int browserElements = 0;

private:
    std::wstring m_file;
};

class LauncherLayouts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_hLauncher = ::LoadLibraryExW(test::LauncherPath().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        CSkinResources::SetResourceModule(s_hLauncher);
    }
    static HMODULE s_hLauncher;
};
HMODULE LauncherLayouts::s_hLauncher = nullptr;

CContainerUI* Container(CControlUI* control)
{
    return control ? static_cast<CContainerUI*>(control->QueryKind(L"Container")) : nullptr;
}

void ExpectPos(CControlUI* control, LONG l, LONG t, LONG r, LONG b)
{
    ASSERT_TRUE(control);
    const RECT rc = control->GetPos();
    EXPECT_EQ(rc.left, l) << std::string(control->GetName().begin(), control->GetName().end());
    EXPECT_EQ(rc.top, t);
    EXPECT_EQ(rc.right, r);
    EXPECT_EQ(rc.bottom, b);
}

std::wstring OutputFolder()
{
    std::wstring folder = L"Z:" VEMRA_TEST_OUTPUT_DIR;
    for (auto& c : folder)
        if (c == L'/') c = L'\\';
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

// The client area as the window paints it, saved as a PNG.
bool SaveScreenshot(HWND hWnd, const std::wstring& path)
{
    int width = 0, height = 0;
    std::vector<DWORD> pixels = test::CaptureClient(hWnd, width, height);
    if (pixels.empty()) return false;
    // The windows start GDI+ only when their skin asks for it; the encoder needs it here.
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    struct Shutdown {
        ULONG_PTR token;
        ~Shutdown() { Gdiplus::GdiplusShutdown(token); }
    } shutdown{token};
    Gdiplus::Bitmap image(width, height, width * 4, PixelFormat32bppRGB, reinterpret_cast<BYTE*>(pixels.data()));
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png")
            return image.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
    return false;
}

TEST_F(LauncherLayouts, MainLayoutHasTheBrowserPageAndTheDownloadPage)
{
    ASSERT_TRUE(s_hLauncher);
    LayoutWnd wnd(L"GameLoader.xml");
    const HWND hWnd = wnd.Create(nullptr, L"Vemrakai2 layout", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    EXPECT_EQ(wnd.browserElements, 1);
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 960);
    EXPECT_EQ(rc.bottom - rc.top, 620);
    // Its equal minimum and maximum sizes: no resize request changes the size.
    for (const SIZE ask : {SIZE{700, 500}, SIZE{1200, 900}, SIZE{960, 400}}) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, ask.cx, ask.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::GetWindowRect(hWnd, &rc);
        EXPECT_EQ(rc.right - rc.left, 960) << ask.cx << "x" << ask.cy;
        EXPECT_EQ(rc.bottom - rc.top, 620) << ask.cx << "x" << ask.cy;
    }

    CUIManager& manager = wnd.Manager();
    auto* tab = static_cast<CTabLayoutUI*>(manager.FindControlByName(L"wizardTab")->QueryKind(L"TabLayout"));
    ASSERT_TRUE(tab);
    ASSERT_EQ(tab->ItemCount(), 2);
    CContainerUI* page0 = Container(tab->ItemAt(0));
    ASSERT_TRUE(page0);
    ASSERT_EQ(page0->ItemCount(), 1);
    EXPECT_EQ(page0->ItemAt(0), manager.FindControlByName(L"ie"));

    CContainerUI* page1 = Container(tab->ItemAt(1));
    ASSERT_TRUE(page1);
    EXPECT_EQ(tab->ItemAt(1), manager.FindControlByName(L"vLayoutDownload"));
    ASSERT_EQ(page1->ItemCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(page1->ItemAt(i)->IsFloat()) << i;

    // The download page, shown as the launcher shows it for a game with a background of its own.
    tab->SelectPage(1);
    page1->ApplyAttribute(L"bkimage", L"rho_download_bk.jpg");
    auto* progress = static_cast<CProgressUI*>(manager.FindControlByName(L"progress")->QueryKind(L"Progress"));
    ASSERT_TRUE(progress);
    progress->SetValue(45);
    ::UpdateWindow(hWnd);
    ExpectPos(manager.FindControlByName(L"btnMin"), 902, 6, 926, 30);
    ExpectPos(manager.FindControlByName(L"btnClose"), 928, 4, 956, 34);
    ExpectPos(progress, 320, 320, 850, 333);
    ExpectPos(manager.FindControlByName(L"progTip"), 320, 332, 850, 352);
    EXPECT_EQ(manager.FindControlByName(L"progTip")->GetText(), L"正在下载游戏文件，请耐心等待.");

    EXPECT_TRUE(SaveScreenshot(hWnd, OutputFolder() + L"GameLoader-download.png"));
    ::DestroyWindow(hWnd);
}

TEST_F(LauncherLayouts, NoticeLayoutHasThreeRowsAndFindsTheLaterMessageLabel)
{
    ASSERT_TRUE(s_hLauncher);
    LayoutWnd wnd(L"CustomMsgBox.xml");
    const HWND hWnd = wnd.Create(nullptr, L"CustomMsgBox", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    ::UpdateWindow(hWnd);
    CUIManager& manager = wnd.Manager();
    CContainerUI* root = Container(manager.FindControlByName(L"verLayout"));
    ASSERT_TRUE(root);
    ASSERT_EQ(root->ItemCount(), 3);
    ExpectPos(root->ItemAt(0), 0, 0, 440, 134);
    ExpectPos(root->ItemAt(1), 0, 134, 440, 162);
    ExpectPos(root->ItemAt(2), 0, 162, 440, 260);

    // Two labels share the name: the title comes first, the message label (in "verOnlyTip") later.
    CControlUI* message = manager.FindControlByName(L"labelTip");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->GetParent(), manager.FindControlByName(L"verOnlyTip"));
    EXPECT_EQ(message->GetText(), L"");
    CControlUI* title = Container(root->ItemAt(0))->ItemAt(0);
    EXPECT_EQ(title->GetName(), L"labelTip");
    EXPECT_EQ(title->GetText(), L"提示");
    ExpectPos(manager.FindControlByName(L"btnOk"), 172, 208, 268, 240);
    ExpectPos(manager.FindControlByName(L"btnClose"), 408, 8, 432, 32);

    message->SetText(L"释放文件出错");
    ::UpdateWindow(hWnd);
    EXPECT_TRUE(SaveScreenshot(hWnd, OutputFolder() + L"CustomMsgBox.png"));
    ::DestroyWindow(hWnd);
}

}  // namespace

TEST_F(LauncherLayouts, TheDownloadBackgroundIsDecodedOnlyWhenItsPageIsPainted)
{
    ASSERT_TRUE(s_hLauncher);
    const std::wstring background = L"rho_download_bk.jpg";
    LayoutWnd wnd(L"GameLoader.xml");
    const HWND hWnd = wnd.Create(nullptr, L"Vemrakai2 layout", WS_POPUP, 0, 0, 0, 0, 0);
    ASSERT_TRUE(hWnd);
    CUIManager& manager = wnd.Manager();
    auto* tab = static_cast<CTabLayoutUI*>(manager.FindControlByName(L"wizardTab")->QueryKind(L"TabLayout"));
    CControlUI* page1 = manager.FindControlByName(L"vLayoutDownload");
    ASSERT_TRUE(tab && page1);

    // As the main window starts for a game with a download background: set while hidden, shown on the portal.
    page1->ApplyAttribute(L"bkimage", background.c_str());
    tab->SelectPage(0);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    test::PumpFor(50);
    EXPECT_EQ(nullptr, manager.Images().Find(background)) << "decoded before its page was shown";

    tab->SelectPage(1);
    ::UpdateWindow(hWnd);
    const CachedImage* image = manager.Images().Find(background);
    ASSERT_NE(nullptr, image) << "not decoded when its page was painted";
    ASSERT_EQ(960, image->width);
    ASSERT_EQ(620, image->height);

    // And the page shows it, pixel for pixel, away from the buttons, the bar and the tip.
    int width = 0, height = 0;
    const std::vector<DWORD> shown = test::CaptureClient(hWnd, width, height);
    ASSERT_EQ(960, width);
    ASSERT_EQ(620, height);
    const DWORD* decoded = reinterpret_cast<const DWORD*>(image->bits);
    int wrong = 0;
    for (const POINT p : {POINT{5, 5}, POINT{100, 100}, POINT{480, 200}, POINT{700, 500}, POINT{959, 619}}) {
        const size_t at = static_cast<size_t>(p.y) * 960 + static_cast<size_t>(p.x);
        wrong += (shown[at] & 0xFFFFFF) != (decoded[at] & 0xFFFFFF);
    }
    EXPECT_EQ(0, wrong);
    ::DestroyWindow(hWnd);
}
