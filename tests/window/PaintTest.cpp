// What a repaint puts on the screen: exactly the invalid area, drawn as a full paint would draw it, with
// children clipped by their containers and backgrounds left out only where something opaque covers them.
#include "ObjectProbe.h"
#include "UILabel.h"
#include "WindowHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>

using namespace SkinUI;
using namespace wintest;

namespace {

constexpr DWORD kMarker = 0xFF00FFu;  // drawn straight onto the window; no skin here uses it

// The window's pixels as the display has them (not a fresh paint), 0x00RRGGBB.
std::vector<DWORD> Screen(const TestWindow& w)
{
    std::vector<DWORD> px(static_cast<size_t>(w.width) * w.height);
    BITMAPINFO bmi{};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w.width, -w.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    CMemDC hMem(::CreateCompatibleDC(nullptr));
    CUniqueBitmap hBitmap(::CreateDIBSection(hMem.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!hMem || !hBitmap || bits == nullptr) return px;
    {
        CSelectObject selected(hMem.Get(), hBitmap.Get());
        CClientDC hWindow(w.m_hWnd);
        ::BitBlt(hMem.Get(), 0, 0, w.width, w.height, hWindow.Get(), 0, 0, SRCCOPY);
        ::GdiFlush();
    }
    const auto* p = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < px.size(); ++i) px[i] = p[i] & 0x00FFFFFFu;
    return px;
}

// Covers the whole window with the marker colour behind the manager's back: whatever a repaint leaves
// marked, it did not draw.
void MarkScreen(const TestWindow& w)
{
    CClientDC hWindow(w.m_hWnd);
    CUniqueBrush brush(::CreateSolidBrush(RGB(0xFF, 0x00, 0xFF)));
    const RECT all{0, 0, w.width, w.height};
    ::FillRect(hWindow.Get(), &all, brush.Get());
    ::GdiFlush();
}

// GDI objects of this process; Wine answers GetGuiResources with 0, so its handle table is probed there.
long GdiObjects()
{
    const DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (n != 0) return static_cast<long>(n);
    objprobe::GdiKinds kinds{};
    return objprobe::CountGdi(kinds);
}

bool Near(DWORD a, DWORD b)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1) return false;
    return true;
}

bool Inside(const std::initializer_list<RECT>& rects, int x, int y)
{
    for (const RECT& rc : rects)
        if (x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom) return true;
    return false;
}

// Marks the screen, invalidates the rectangles and lets the window paint. Inside them the screen must be
// the full picture (WM_PRINTCLIENT paints everything), outside them still the marker. Returns the number of
// wrong pixels (and reports the first one).
int RepaintAndCompare(TestWindow& w, std::initializer_list<RECT> rects)
{
    const std::vector<DWORD> full = w.Capture();
    MarkScreen(w);
    for (const RECT& rc : rects) ::InvalidateRect(w.m_hWnd, &rc, FALSE);
    ::UpdateWindow(w.m_hWnd);
    const std::vector<DWORD> screen = Screen(w);
    int wrong = 0;
    for (int y = 0; y < w.height; ++y)
        for (int x = 0; x < w.width; ++x) {
            const size_t i = static_cast<size_t>(y) * w.width + x;
            const DWORD want = Inside(rects, x, y) ? Rgb(full[i]) : kMarker;
            if (screen[i] == want) continue;
            if (wrong++ == 0)
                ADD_FAILURE() << "at " << x << "," << y << std::hex << ": 0x" << screen[i] << ", expected 0x" << want;
        }
    return wrong;
}

}  // namespace

TEST(Repaint, DrawsExactlyTheInvalidArea)
{
    const std::wstring picture = WriteBmp(L"ramp.bmp", 60, 40, [](int x, int y) {
        return static_cast<DWORD>((x * 4) << 16 | (y * 6) << 8 | 0x40);
    });
    TestWindow w(120, 80);
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FF204060"}});
    AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"30,20,90,60"}, {L"bkimage", picture.c_str()}});
    AddTo<CLabelUI>(root, {{L"float", L"true"}, {L"pos", L"0,60,120,80"}, {L"text", L"Repaint"},
                           {L"textcolor", L"#FFFFFFFF"}});
    w.Show(root);

    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{0, 0, 120, 80}}));
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{50, 30, 51, 31}}));  // one pixel of the picture
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{25, 15, 45, 70}}));  // across the picture's edge and the text
    // Two areas apart: the gap between them stays as it was, although one paint serves both.
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{2, 2, 12, 12}, RECT{100, 65, 118, 78}}));
}

TEST(Repaint, TheFirstPaintLaysOutAndLeavesNothingToRepaint)
{
    TestWindow w(160, 100);
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FF336699"}});
    AddTo<CControlUI>(root, {{L"height", L"30"}, {L"bkcolor", L"#FFFF0000"}});
    AddTo<CLabelUI>(root, {{L"float", L"true"}, {L"pos", L"10,40,150,60"}, {L"text", L"Once"}});
    w.Show(root);
    // Placing the controls invalidates where they land; that belongs to the paint that placed them.
    EXPECT_FALSE(::GetUpdateRect(w.m_hWnd, nullptr, FALSE));
    w.Pump();
    int paints = 0;
    for (UINT msg : w.messagesSeen) paints += msg == WM_PAINT ? 1 : 0;
    EXPECT_EQ(1, paints);
    EXPECT_EQ(0xFF0000u, Screen(w)[5 * 160 + 5]);
    EXPECT_EQ(0x336699u, Screen(w)[35 * 160 + 5]);
}

TEST(Repaint, ContainersClipTheirChildrenInEveryArea)
{
    TestWindow w(160, 100);
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FFFFFFFF"}});
    // A box with a 10-pixel inset: a child too wide for it is cut at the inset, a floating child only at
    // the box's own edge.
    auto* box = AddTo<CVerticalLayoutUI>(root, {{L"float", L"true"}, {L"pos", L"20,20,120,80"},
                                                {L"inset", L"10,10,10,10"}, {L"bkcolor", L"#FF808080"}});
    AddTo<CControlUI>(box, {{L"width", L"300"}, {L"height", L"30"}, {L"bkcolor", L"#FFFF0000"}});
    AddTo<CControlUI>(box, {{L"float", L"true"}, {L"pos", L"80,5,140,25"}, {L"bkcolor", L"#FF0000FF"}});
    w.Show(root);

    const std::vector<DWORD> px = w.Capture();
    auto at = [&](int x, int y) { return Rgb(px[static_cast<size_t>(y) * 160 + x]); };
    EXPECT_EQ(0xFF0000u, at(30, 30));   // the wide child inside the inset
    EXPECT_EQ(0x808080u, at(112, 50));  // ... cut where the inset begins
    EXPECT_EQ(0x808080u, at(25, 45));
    EXPECT_EQ(0x0000FFu, at(118, 27));  // the floating child reaches into the inset
    EXPECT_EQ(0xFFFFFFu, at(122, 27));  // ... but not past the box
    EXPECT_EQ(0x808080u, at(110, 22));
    EXPECT_EQ(0x0000FFu, at(105, 35));  // drawn after the wide child, so over it

    // Areas wholly inside one container, across its inset, across its edge, and a single pixel.
    for (const RECT& rc : {RECT{35, 35, 60, 45}, RECT{25, 25, 115, 50}, RECT{100, 10, 140, 40},
                           RECT{0, 0, 160, 100}, RECT{111, 30, 112, 31}})
        EXPECT_EQ(0, RepaintAndCompare(w, {rc})) << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
}

TEST(Repaint, BackgroundsAreLeftOutOnlyUnderOpaqueCover)
{
    const std::wstring green = WriteBmp(L"green.bmp", 10, 10, [](int, int) { return 0x00FF00u; });
    TestWindow w(200, 100);
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FFFFFFFF"}});
    // Opaque picture: covers. Translucent colour: the white must show through. Rounded box: the white
    // shows in its corners. A box whose picture child sits inside an inset: its own colour shows around.
    AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"0,0,40,40"}, {L"bkimage", green.c_str()}});
    AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"50,0,90,40"}, {L"bkcolor", L"#80FF0000"}});
    AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"100,0,140,40"}, {L"bkcolor", L"#FF0000FF"},
                             {L"borderround", L"20,20"}});
    auto* framed = AddTo<CVerticalLayoutUI>(root, {{L"float", L"true"}, {L"pos", L"150,0,200,50"},
                                                   {L"inset", L"5,5,5,5"}, {L"bkcolor", L"#FFFFFF00"}});
    AddTo<CControlUI>(framed, {{L"bkimage", green.c_str()}});
    // A picture under a colour of its own control: the picture is what shows.
    AddTo<CControlUI>(root, {{L"float", L"true"}, {L"pos", L"0,50,40,90"}, {L"bkcolor", L"#FFFF0000"},
                             {L"bkimage", green.c_str()}});
    w.Show(root);
    // Pictures are decoded by the first paint; every later paint may rely on them.
    w.Capture();

    const struct {
        int x, y;
        DWORD rgb;
    } expect[] = {
        {20, 20, 0x00FF00u}, {0, 0, 0x00FF00u},   {39, 39, 0x00FF00u}, {41, 20, 0xFFFFFFu},
        {70, 20, 0xFF7F7Fu}, {101, 1, 0xFFFFFFu}, {120, 20, 0x0000FFu}, {152, 2, 0xFFFF00u},
        {175, 25, 0x00FF00u}, {20, 70, 0x00FF00u},
    };
    // On screen after repainting the whole window, and after repainting just around each point.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& e : expect) {
            const RECT rc = pass == 0 ? RECT{0, 0, 200, 100} : RECT{e.x, e.y, e.x + 1, e.y + 1};
            ::InvalidateRect(w.m_hWnd, &rc, FALSE);
            ::UpdateWindow(w.m_hWnd);
            const DWORD got = Screen(w)[static_cast<size_t>(e.y) * 200 + e.x];
            EXPECT_TRUE(Near(got, e.rgb)) << "pass " << pass << " at " << e.x << "," << e.y << std::hex << ": 0x"
                                          << got;
        }
    }
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{140, 0, 200, 60}}));
}

// A window that is mostly one opaque picture has the picture drawn straight to it and only the controls'
// rectangles sent through the off-screen surface; the screen must not tell the difference, whatever area
// is repainted. A stretched picture, or a picture mostly covered, goes the usual way.
TEST(Repaint, APictureWindowPaintsItsPictureStraightAndLooksTheSame)
{
    const std::wstring picture = WriteBmp(L"backdrop.bmp", 240, 150, [](int x, int y) {
        return static_cast<DWORD>((x & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | ((x * y) & 0xFF));
    });
    const std::wstring bar = WriteBmp(L"bar.bmp", 180, 9, [](int x, int y) {
        return static_cast<DWORD>(x << 16 | (y * 19) << 8 | 0x30);
    });
    const std::wstring barSpec = L"file='" + bar + L"' corner='3,3,3,3'";
    TestWindow w(240, 150);
    // As the download page: a root colour, a tab of pages, the picture page with floating controls on it.
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FFFFFFFF"}});
    auto* tab = AddTo<CTabLayoutUI>(root, {});
    AddTo<CVerticalLayoutUI>(tab, {{L"bkcolor", L"#FF000000"}});
    auto* page = AddTo<CVerticalLayoutUI>(tab, {{L"bkimage", picture.c_str()}});
    auto* progress = AddTo<CProgressUI>(page, {{L"float", L"true"}, {L"pos", L"20,100,200,109"},
                                               {L"bkcolor", L"#80FFFFFF"}, {L"foreimage", barSpec.c_str()},
                                               {L"isstretchfore", L"false"}});
    // Text over the bar's last row, a translucent box, and a box holding a child.
    AddTo<CLabelUI>(page, {{L"float", L"true"}, {L"pos", L"20,108,200,124"}, {L"text", L"Downloading"},
                           {L"textcolor", L"#FFFFFFFF"}, {L"align", L"center"}});
    AddTo<CControlUI>(page, {{L"float", L"true"}, {L"pos", L"200,4,220,24"}, {L"bkcolor", L"#80FF0000"}});
    auto* box = AddTo<CVerticalLayoutUI>(page, {{L"float", L"true"}, {L"pos", L"10,10,50,40"},
                                                {L"inset", L"4,4,4,4"}, {L"bkcolor", L"#FF0000FF"}});
    AddTo<CControlUI>(box, {{L"bkcolor", L"#FF00FF00"}});
    w.Show(root);
    static_cast<CTabLayoutUI*>(tab)->SelectPage(1);
    progress->SetValue(55);
    w.Paint();
    w.Capture();  // pictures are decoded by the first paint

    const unsigned before = w.manager.PaintsAroundBase();
    for (const RECT& rc : {RECT{0, 0, 240, 150}, RECT{0, 0, 240, 80}, RECT{15, 95, 205, 130},
                           RECT{100, 104, 140, 112}, RECT{5, 5, 60, 45}, RECT{210, 0, 240, 30}})
        EXPECT_EQ(0, RepaintAndCompare(w, {rc})) << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{0, 0, 30, 30}, RECT{190, 100, 240, 150}}));
    EXPECT_GE(w.manager.PaintsAroundBase(), before + 3);  // the whole window and the large areas at least

    // Mostly covered: the box fills the area repainted, so the usual single copy is taken.
    const unsigned covered = w.manager.PaintsAroundBase();
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{10, 10, 50, 40}}));
    EXPECT_EQ(covered, w.manager.PaintsAroundBase());

    // A stretched picture may round differently through other clips (Wine maps a clipped stretch anew):
    // it is never drawn straight.
    page->ApplyAttribute(L"bkimage", (L"file='" + bar + L"'").c_str());
    w.Paint();
    const unsigned stretched = w.manager.PaintsAroundBase();
    EXPECT_EQ(0, RepaintAndCompare(w, {RECT{0, 0, 240, 150}}));
    EXPECT_EQ(stretched, w.manager.PaintsAroundBase());
}

TEST(Repaint, ManyPaintsKeepTheGdiObjectCount)
{
    const std::wstring picture = WriteBmp(L"nine.bmp", 9, 9, [](int x, int y) {
        return (x / 3 == 1 && y / 3 == 1) ? 0xFFFFFFu : 0x3050A0u;
    });
    const std::wstring image = L"file='" + picture + L"' corner='3,3,3,3'";
    // Shows the test's controls in the window and returns its bar.
    const auto show = [&](TestWindow& w) {
        auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FF102030"}, {L"bkcolor2", L"#FF405060"}});
        AddTo<CControlUI>(root, {{L"height", L"40"}, {L"bkimage", image.c_str()}, {L"borderround", L"8,8"},
                                 {L"bordercolor", L"#FF000000"}, {L"bordersize", L"1"}});
        AddTo<CLabelUI>(root, {{L"height", L"20"}, {L"text", L"Objects"}, {L"bkcolor", L"#80FFFFFF"}});
        auto* bar = AddTo<CProgressUI>(root, {{L"height", L"13"}, {L"bkimage", image.c_str()},
                                              {L"foreimage", image.c_str()}, {L"max", L"100"}});
        w.Show(root);
        w.Pump();
        return bar;
    };
    {
        // The system keeps some objects for the process after its first painted window (cached window DCs
        // and their regions): one such window first, so that the count below is the window's own.
        TestWindow w(160, 100);
        (void)show(w);
    }
    const long before = GdiObjects();
    {
        TestWindow w(160, 100);
        CProgressUI* bar = show(w);
        const long shown = GdiObjects();
        for (int i = 0; i < 200; ++i) {
            bar->SetValue(i % 100);
            const RECT part{i % 150, i % 90, i % 150 + 10, i % 90 + 10};
            ::InvalidateRect(w.m_hWnd, (i % 3) == 0 ? nullptr : &part, FALSE);
            ::UpdateWindow(w.m_hWnd);
        }
        EXPECT_EQ(shown, GdiObjects());
        // The surface keeps the last font it drew with; replacing that font still frees the old one.
        w.manager.ReplaceDefaultFont(L"Arial", 15, true, false, false);
        for (int i = 0; i < 20; ++i) {
            ::InvalidateRect(w.m_hWnd, nullptr, FALSE);
            ::UpdateWindow(w.m_hWnd);
        }
        EXPECT_EQ(shown, GdiObjects());
    }
    // The window's kept drawing surfaces, image DCs and fonts go with it.
    EXPECT_EQ(before, GdiObjects());
}

// A tick repaints only where the fill's end moved; the screen must still show what a full paint shows.
TEST(Repaint, ProgressTicksLeaveTheScreenAsAFullPaint)
{
    const std::wstring across = WriteBmp(L"fill_across.bmp", 530, 13, [](int x, int y) {
        return static_cast<DWORD>((x * 255 / 529) << 16 | (y * 19) << 8 | ((x * 7) & 0xFF));
    });
    const std::wstring upward = WriteBmp(L"fill_up.bmp", 20, 120, [](int x, int y) {
        return static_cast<DWORD>((y * 2) << 16 | (x * 12) << 8 | ((y * 5) & 0xFF));
    });
    const std::wstring acrossSpec = L"file='" + across + L"' corner='3,3,3,3'";
    const std::wstring upwardSpec = L"file='" + upward + L"' corner='2,4,2,4'";
    TestWindow w(600, 160);
    auto* root = Make<CVerticalLayoutUI>({{L"bkcolor", L"#FF203040"}});
    auto* across1 = AddTo<CProgressUI>(root, {{L"float", L"true"}, {L"pos", L"20,10,550,23"},
                                              {L"bkcolor", L"#80FFFFFF"}, {L"foreimage", acrossSpec.c_str()}});
    auto* upward1 = AddTo<CProgressUI>(root, {{L"float", L"true"}, {L"pos", L"570,30,590,150"}, {L"hor", L"false"},
                                              {L"bkcolor", L"#80FFFFFF"}, {L"foreimage", upwardSpec.c_str()}});
    // Text lying over the bar's last row is drawn over whatever the tick repaints.
    AddTo<CLabelUI>(root, {{L"float", L"true"}, {L"pos", L"20,22,550,42"}, {L"text", L"Downloading"},
                           {L"textcolor", L"#FFFFFFFF"}, {L"align", L"center"}});
    w.Show(root);

    for (bool stretch : {false, true}) {
        across1->SetStretchForeImage(stretch);
        upward1->SetStretchForeImage(stretch);
        ::UpdateWindow(w.m_hWnd);
        for (int value : {0, 1, 2, 40, 41, 97, 100, 99, 60, 3, 1, 0, 55}) {
            across1->SetValue(value);
            upward1->SetValue(100 - value);
            ::UpdateWindow(w.m_hWnd);
            const std::vector<DWORD> screen = Screen(w);
            const std::vector<DWORD> full = w.Capture();
            int wrong = 0;
            for (size_t i = 0; i < screen.size(); ++i) wrong += screen[i] != Rgb(full[i]) ? 1 : 0;
            EXPECT_EQ(0, wrong) << (stretch ? "stretched" : "cropped") << ", value " << value;
        }
    }
    // Two rows of fill are less than its 4-pixel end pieces: they stay inside the bar all the same.
    upward1->SetValue(1);
    const std::vector<DWORD> px = w.Capture();
    for (int x = 570; x < 590; ++x) {
        EXPECT_EQ(0x203040u, Rgb(px[150 * 600 + x])) << x;
        EXPECT_EQ(0x203040u, Rgb(px[151 * 600 + x])) << x;
    }
}
