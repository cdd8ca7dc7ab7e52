// The skinned notice: its close codes, what happens to its owner, its text, and the modal loop's manners.
#include "CustomMsgBox.h"
#include "LauncherWindowHarness.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace {

// An owner that records what the notice does to it and never closes for real.
class OwnerWnd : public SkinUI::WindowImplBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"VemraNoticeOwnerTestWnd"; }
    std::wstring GetSkinFolder() override { return std::wstring(); }
    std::wstring GetSkinFile() override { return L"CustomMsgBox.xml"; }
    int GetSkinSourceKind() const override { return SkinUI::kSkinArchiveResource; }
    std::wstring GetSkinResourceId() const override { return L"130"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CLOSE) {
            closes.push_back(wParam);
            return 0;
        }
        if (message == SkinUI::WM_MODAL_DIALOG) announced = reinterpret_cast<HWND>(lParam);
        return WindowImplBase::OnWindowMessage(message, wParam, lParam);
    }
    std::vector<WPARAM> closes;
    HWND announced = nullptr;
};

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lwtest::UseLauncherSkin();
        m_owner.Create(nullptr, L"owner", WS_OVERLAPPEDWINDOW, 0, 100, 100, 0, 0);
        ASSERT_TRUE(m_owner.GetHWND());
        ::ShowWindow(m_owner.GetHWND(), SW_SHOWNORMAL);
        test::PumpFor(50);
    }
    void TearDown() override
    {
        ::DestroyWindow(m_owner.GetHWND());
        lwtest::DrainQuit();
    }

    // Shows the notice; act runs once it is on screen (inside its modal loop) and may end it.
    int Show(const std::wstring& text, std::function<void(HWND)> act, bool pumpAfter = true)
    {
        bool acted = false;
        lwtest::Repeating actor(30, [&] {
            const HWND hNotice = lwtest::FindNotice();
            if (!hNotice || acted) return !acted;
            acted = true;
            act(hNotice);
            return false;
        });
        const int code = ShowNoticeBox(m_owner.GetHWND(), text);
        if (pumpAfter) test::PumpFor(100);  // what the buttons posted to the owner arrives after the loop
        return code;
    }

    OwnerWnd m_owner;
};

TEST_F(NoticeTest, OkGivesOneAndClosesTheOwner)
{
    bool ownerDisabled = false;
    const int code = Show(L"释放文件出错", [&](HWND hNotice) {
        ownerDisabled = !::IsWindowEnabled(m_owner.GetHWND());
        EXPECT_EQ(m_owner.announced, hNotice) << "the owner learns which dialog is modal over it";
        EXPECT_EQ(::GetWindow(hNotice, GW_OWNER), m_owner.GetHWND());
        lwtest::ClickAt(hNotice, lwtest::kNoticeOk.x, lwtest::kNoticeOk.y);
    });
    EXPECT_EQ(code, CustomMsgBox::kClosedOk);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(::IsWindowEnabled(m_owner.GetHWND()));
    EXPECT_EQ(m_owner.closes, std::vector<WPARAM>{0});
    EXPECT_EQ(lwtest::FindNotice(), nullptr);
}

TEST_F(NoticeTest, CrossGivesEightAndClosesTheOwner)
{
    const int code = Show(L"网络异常", [](HWND hNotice) {
        lwtest::ClickAt(hNotice, lwtest::kNoticeCross.x, lwtest::kNoticeCross.y);
    });
    EXPECT_EQ(code, CustomMsgBox::kClosedCross);
    EXPECT_EQ(m_owner.closes, std::vector<WPARAM>{0});
}

TEST_F(NoticeTest, AltF4GivesZeroAndLeavesTheOwnerOpen)
{
    const int code = Show(L"网络异常", [](HWND hNotice) {
        ::PostMessageW(hNotice, WM_SYSKEYDOWN, VK_F4, 0x20000001);  // Alt is down
    });
    EXPECT_EQ(code, CustomMsgBox::kClosedOther);
    EXPECT_TRUE(m_owner.closes.empty());
    EXPECT_TRUE(::IsWindowEnabled(m_owner.GetHWND()));
}

TEST_F(NoticeTest, TheTextLandsInTheMessageRowAndTheTitleStays)
{
    std::vector<DWORD> empty, withText;
    int width = 0, height = 0;
    Show(L"", [&](HWND hNotice) {
        empty = test::CaptureClient(hNotice, width, height);
        ::PostMessageW(hNotice, WM_CLOSE, 0, 0);
    });
    Show(L"网络异常", [&](HWND hNotice) {
        withText = test::CaptureClient(hNotice, width, height);
        ::PostMessageW(hNotice, WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(width, 440);
    ASSERT_EQ(height, 260);
    ASSERT_EQ(empty.size(), withText.size());
    // Rows 134..162 hold the message; the title row (11..39) is the same with and without a message.
    int messageRowChanges = 0, titleRowChanges = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y * width + x);
            if ((empty[i] & 0xFFFFFF) == (withText[i] & 0xFFFFFF)) continue;
            if (y >= 134 && y < 162) ++messageRowChanges;
            if (y < 40) ++titleRowChanges;
        }
    }
    EXPECT_GT(messageRowChanges, 20);
    EXPECT_EQ(titleRowChanges, 0);
}

TEST_F(NoticeTest, IsCentredOverItsOwner)
{
    RECT owner = {}, notice = {};
    ::GetWindowRect(m_owner.GetHWND(), &owner);
    Show(L"x", [&](HWND hNotice) {
        ::GetWindowRect(hNotice, &notice);
        ::PostMessageW(hNotice, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(notice.right - notice.left, 440);
    EXPECT_NEAR((notice.left + notice.right) / 2, (owner.left + owner.right) / 2, 1);
    EXPECT_NEAR((notice.top + notice.bottom) / 2, (owner.top + owner.bottom) / 2, 1);
}

TEST_F(NoticeTest, AClickOnTheDisabledOwnerShakesTheNoticeBackToItsPlace)
{
    std::set<std::pair<LONG, LONG>> positions;
    RECT start = {}, end = {};
    Show(L"x", [&](HWND hNotice) {
        ::GetWindowRect(hNotice, &start);
        // What the system sends a disabled window that is clicked.
        ::SendMessageW(m_owner.GetHWND(), WM_SETCURSOR, reinterpret_cast<WPARAM>(m_owner.GetHWND()),
                       MAKELPARAM(HTERROR, WM_LBUTTONDOWN));
        const DWORD begin = ::GetTickCount();
        while (::GetTickCount() - begin < 1500) {
            RECT rc = {};
            ::GetWindowRect(hNotice, &rc);
            positions.insert({rc.left, rc.top});
            test::PumpFor(10);
        }
        ::GetWindowRect(hNotice, &end);
        ::PostMessageW(hNotice, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(positions, (std::set<std::pair<LONG, LONG>>{{start.left, start.top}, {start.left - 1, start.top - 1}}));
    EXPECT_TRUE(::EqualRect(&start, &end));
}

TEST_F(NoticeTest, AQuitInsideTheLoopEndsItAndIsPassedOn)
{
    HWND hSeen = nullptr;
    const int code = Show(L"x", [&](HWND hNotice) {
        hSeen = hNotice;
        ::PostQuitMessage(5);
    }, false);
    EXPECT_EQ(code, CustomMsgBox::kClosedOther);
    EXPECT_FALSE(::IsWindow(hSeen)) << "the dialog goes with its object";
    EXPECT_TRUE(::IsWindowEnabled(m_owner.GetHWND()));
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(NoticeTest, TheOwnersDestructionEndsTheNotice)
{
    const int code = Show(L"x", [&](HWND) { ::DestroyWindow(m_owner.GetHWND()); });
    EXPECT_EQ(code, CustomMsgBox::kClosedOther);
    EXPECT_EQ(lwtest::FindNotice(), nullptr);
}

}  // namespace
