// The measuring side of the benchmarks: statistics and the rows the table is made of, the plain-window
// baseline (it must paint what it is timed for, and exactly that), and the baseline program's modes that
// other benchmarks start from outside.
#include "BenchChild.h"
#include "BenchCommon.h"
#include "PlainWindow.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

TEST(BenchStats, MedianSpreadAndSteadiness)
{
    struct Case {
        std::vector<double> samples;
        double median, min, max;
        bool steady;
    } cases[] = {
        {{3, 1, 2}, 2, 1, 3, false},
        {{4, 1, 3, 2}, 2.5, 1, 4, false},
        {{100, 101, 99, 100, 102, 98, 100, 100, 101, 99}, 100, 98, 102, true},
        // One descheduled run does not make a figure unsteady; a wide middle does.
        {{100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 900}, 100, 100, 900, true},
        {{60, 80, 100, 120, 140, 60, 80, 100, 120, 140}, 100, 60, 140, false},
    };
    for (const Case& c : cases) {
        const bench::Stats s = bench::Summarise(c.samples);
        EXPECT_DOUBLE_EQ(s.median, c.median);
        EXPECT_DOUBLE_EQ(s.min, c.min);
        EXPECT_DOUBLE_EQ(s.max, c.max);
        EXPECT_EQ(s.runs, c.samples.size());
        EXPECT_EQ(bench::Steady(s), c.steady) << "median " << c.median;
    }
    EXPECT_FALSE(bench::Steady(bench::Summarise({})));
}

TEST(BenchStats, RepetitionStopsWhenSteadyAndAtItsCap)
{
    size_t calls = 0;
    const bench::Stats steady = bench::Measure([&] { return static_cast<double>(100 + calls++ % 3); });
    EXPECT_EQ(steady.runs, 15u);
    calls = 0;
    const bench::Stats wild =
        bench::Measure([&] { return static_cast<double>(++calls % 2 ? 10 : 1000); }, bench::Repeat{15, 40});
    EXPECT_EQ(wild.runs, 40u);
    EXPECT_EQ(calls, 40u);
}

TEST(BenchRows, FiguresReadAsTheTablePrintsThem)
{
    struct Case {
        double us;
        const char* text;
    } times[] = {{2.5, "2.50 us"}, {265, "265 us"}, {1234, "1.23 ms"}, {18100, "18.1 ms"}, {48500, "48.5 ms"}};
    for (const Case& c : times) EXPECT_EQ(bench::Time(c.us), c.text);
    EXPECT_EQ(bench::Ratio(12.2), "12.2x");
    EXPECT_EQ(bench::Ratio(1.25), "1.25x");

    const bench::Stats s = bench::Summarise({501, 506, 545});
    EXPECT_EQ(bench::Measured(s), "median 506 us (min 501 us - max 545 us, 3 runs)");
    EXPECT_EQ(bench::Measured(bench::Summarise({10, 20, 30})),
              "median 20 us (min 10 us - max 30 us, 3 runs, unsteady)");
    EXPECT_EQ(bench::RowText("repaint 1 x 1", "<= 1.25 x baseline", "median 1 us", "pass"),
              "row\trepaint 1 x 1\t<= 1.25 x baseline\tmedian 1 us\tpass\n");
}

TEST(BenchRows, GoalsCarryTheBaselineAndJudgeTheMedian)
{
    const bench::Stats base = bench::Summarise({265, 265, 265});
    const bench::Judged under = bench::RatioGoal(bench::Summarise({331, 331, 331}), base, 1.25);
    EXPECT_EQ(under.goal, "<= 1.25 x baseline 265 us = 331 us");
    EXPECT_TRUE(under.pass);
    EXPECT_FALSE(bench::RatioGoal(bench::Summarise({332, 332, 332}), base, 1.25).pass);

    const bench::Stats first = bench::Summarise({30000, 30000, 30000});
    const bench::Judged plus = bench::PlusGoal(bench::Summarise({44000, 46000, 45000}), first, 15000);
    EXPECT_EQ(plus.goal, "<= baseline 30.0 ms + 15.0 ms = 45.0 ms");
    EXPECT_TRUE(plus.pass);
    EXPECT_FALSE(bench::PlusGoal(bench::Summarise({45001, 45001, 45001}), first, 15000).pass);
}

TEST(BenchChild, FiguresAreFoundInAChildsOutput)
{
    EXPECT_DOUBLE_EQ(bench::FindValue("x 1\nfirst-window-us 61000.5\n", "first-window-us"), 61000.5);
    EXPECT_LT(bench::FindValue("first-window 5\n", "first-window-us"), 0);
}

// The launcher's progress bar in its layout; the baseline repaints the same rectangle.
TEST(PlainWindow, ProgressRectangleIsTheLayoutsBar)
{
    const std::string xml = test::ReadFileBytes(L"Z:" VEMRA_SOURCE_DIR L"/resources/GameLoader.xml");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(xml, m, std::regex("<Progress name=\"progress\"[^>]*>")));
    const std::string bar = m.str();
    std::smatch pos, width, height;
    ASSERT_TRUE(std::regex_search(bar, pos, std::regex("pos=\"(\\d+),(\\d+),")));
    ASSERT_TRUE(std::regex_search(bar, width, std::regex(" width=\"(\\d+)\"")));
    ASSERT_TRUE(std::regex_search(bar, height, std::regex(" height=\"(\\d+)\"")));
    const long left = std::stol(pos[1]), top = std::stol(pos[2]);
    EXPECT_EQ(bench::kProgressRect.left, left);
    EXPECT_EQ(bench::kProgressRect.top, top);
    EXPECT_EQ(bench::kProgressRect.right, left + std::stol(width[1]));
    EXPECT_EQ(bench::kProgressRect.bottom, top + std::stol(height[1]));
}

COLORREF Expected(int x, int y)
{
    return RGB(x * 255 / bench::CPlainWindow::kWidth, y * 255 / bench::CPlainWindow::kHeight, 0x60);
}

// What the baseline is timed for must reach the screen: its picture, and on a repaint exactly the invalid
// rectangle, no more (that would overstate Wine's cost) and no less.
TEST(PlainWindow, ShowsItsPictureAndRepaintsExactlyTheInvalidRectangle)
{
    ASSERT_TRUE(bench::CPlainWindow::Register(::GetModuleHandleW(nullptr)));
    bench::CPlainWindow window;
    ASSERT_TRUE(window.Create(10, 10));
    window.Show();
    test::PumpFor(100);
    const HDC hdc = ::GetDC(window.GetHWND());
    ASSERT_NE(hdc, nullptr);
    for (POINT p : {POINT{0, 0}, POINT{959, 619}, POINT{480, 300}, POINT{320, 320}})
        EXPECT_EQ(::GetPixel(hdc, p.x, p.y), Expected(p.x, p.y)) << p.x << "," << p.y;

    ::PatBlt(hdc, 0, 0, bench::CPlainWindow::kWidth, bench::CPlainWindow::kHeight, BLACKNESS);
    ::GdiFlush();
    const unsigned before = window.PaintCount();
    window.Repaint(&bench::kProgressRect);
    EXPECT_EQ(window.PaintCount(), before + 1);
    const RECT& r = bench::kProgressRect;
    for (POINT p : {POINT{r.left, r.top}, POINT{r.right - 1, r.bottom - 1}, POINT{(r.left + r.right) / 2, r.top}})
        EXPECT_EQ(::GetPixel(hdc, p.x, p.y), Expected(p.x, p.y)) << "inside " << p.x << "," << p.y;
    for (POINT p : {POINT{r.left - 1, r.top}, POINT{r.right, r.top}, POINT{r.left, r.top - 1},
                    POINT{r.left, r.bottom}})
        EXPECT_EQ(::GetPixel(hdc, p.x, p.y), RGB(0, 0, 0)) << "outside " << p.x << "," << p.y;

    const RECT one{5, 7, 6, 8};
    window.Repaint(&one);
    EXPECT_EQ(::GetPixel(hdc, 5, 7), Expected(5, 7));
    EXPECT_EQ(::GetPixel(hdc, 6, 7), RGB(0, 0, 0));
    EXPECT_EQ(::GetPixel(hdc, 5, 8), RGB(0, 0, 0));
    ::ReleaseDC(window.GetHWND(), hdc);
}

// The process benchmarks start the baseline program and wait for its window from outside.
TEST(PlainProgram, ShowAndWaitSignalsOnceVisibleAndEndsWhenClosed)
{
    const std::wstring eventName = L"VemraBenchPlainTest" + std::to_wstring(::GetCurrentProcessId());
    SkinUI::CUniqueHandle hEvent(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(hEvent);
    SkinUI::CUniqueHandle hProcess(
        test::StartProcess(test::BinDir() + L"bench_plain.exe", L"--show-and-wait --signal=" + eventName));
    ASSERT_TRUE(hProcess);
    ASSERT_EQ(::WaitForSingleObject(hEvent.Get(), 20000), WAIT_OBJECT_0);

    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, bench::CPlainWindow::kClassName, nullptr)) != nullptr) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        if (pid == ::GetProcessId(hProcess.Get())) break;
    }
    ASSERT_NE(hWnd, nullptr);
    EXPECT_TRUE(::IsWindowVisible(hWnd));
    RECT rc{};
    ::GetWindowRect(hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, bench::CPlainWindow::kWidth);
    EXPECT_EQ(rc.bottom - rc.top, bench::CPlainWindow::kHeight);
    EXPECT_EQ(::WaitForSingleObject(hProcess.Get(), 300), static_cast<DWORD>(WAIT_TIMEOUT)) << "it must stay";

    ::PostMessageW(hWnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(hProcess.Get(), 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(hProcess.Get(), &code);
    EXPECT_EQ(code, 0u);
}

TEST(PlainProgram, FirstWindowModePrintsItsFigure)
{
    const std::string out = bench::RunCapture(L"\"" + test::BinDir() + L"bench_plain.exe\" --first-window");
    EXPECT_GT(bench::FindValue(out, "first-window-us"), 0) << out;
}

}  // namespace
