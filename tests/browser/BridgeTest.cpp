// The script bridge: the page's calls of window.external.g_callCppFunc, the command table behind them, the
// page event sink, and the two refusals (pages not from the portal, new windows that are no web address).
// Messages arrive at a window standing in for the main window, as the main window would receive them.
#include "BrowserHarness.h"

#include "CIeBrowserUI.h"
#include "Common.h"
#include "LauncherMessages.h"
#include "PageCommandQueue.h"
#include "PortalPage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <regex>

using namespace SkinUI;
using namespace browsertest;

namespace {

std::wstring PortalUrl()
{
    return ComposePortalAddress(PortalBaseAddress(), L"fp", L"tok en&1", L"OC", L"ext", L"0");
}

// The launcher's own markup for its browser element.
const wchar_t kLauncherSkin[] =
    L"<Window size=\"600,400\"><VerticalLayout><IeBrowser name=\"ie\" homepage=\"about:blank\" "
    L"delaycreate=\"false\" autonavi=\"true\" /></VerticalLayout></Window>";

std::string LogLine(int line, const char* message)
{
    return "[CIeBrowserUI.cpp<" + std::to_string(line) + ">CallCppFunc] : " + message;
}

class Bridge : public ::testing::Test {
protected:
    EngineRun engine;
    MessageSink mainWindow;
    CPageCommandQueue queue;
    CWebBrowserEvent events{mainWindow.Handle()};
    std::unique_ptr<HostWindow> host;
    CIeBrowserUI* browser = nullptr;

    // The page plays the script; the browser was built from the launcher's markup and navigated.
    void Open(const std::string& page, const std::wstring& url = PortalUrl())
    {
        engine.SetPage(page);
        host = std::make_unique<HostWindow>(600, 400);
        host->customFactory = [this](const wchar_t* name) -> CControlUI* {
            return ::lstrcmpiW(name, L"IeBrowser") == 0 ? new CIeBrowserUI(mainWindow.Handle(), &queue) : nullptr;
        };
        ASSERT_TRUE(host->Build(kLauncherSkin));
        host->Show();
        browser = host->Find<CIeBrowserUI>(L"ie");
        ASSERT_NE(browser, nullptr);
        browser->SetEventHandler(&events);
        ASSERT_EQ(browser->NavigateTo(url), S_OK);
    }

    void Finish(int runs = 1)
    {
        ASSERT_TRUE(engine.WaitFor("script ", runs));
        mainWindow.Drain(30);
    }

    void TearDown() override
    {
        if (browser != nullptr) browser->SetEventHandler(nullptr);
        host.reset();
    }
};

}  // namespace

TEST(PageCommands, CommandTable)
{
    const struct {
        const wchar_t* text;
        UINT message;  // 0: nothing posted, nothing logged
        int logLine;
        const char* logMessage;
    } cases[] = {
        {L"{\"funcation_name\":\"min_wnd\"}", WM_PAGE_MIN_WND, 28, "min_wnd call"},
        {L"{\"funcation_name\":\"close_wnd\"}", WM_PAGE_CLOSE_WND, 32, "close_wnd call"},
        {L"{\"funcation_name\":\"wnd_mousemove\",\"x\":1}", WM_PAGE_MOVE_WND, 41, "wnd_mousemove call"},
        {L"{\"funcation_name\":\"min_wnd\" /* comments are read */}", WM_PAGE_MIN_WND, 28, "min_wnd call"},
        {L"{\"function_name\":\"min_wnd\"}", 0, 0, nullptr},  // the key's ordinary spelling
        {L"{\"funcation_name\":\"MIN_WND\"}", 0, 0, nullptr},
        {L"{\"funcation_name\":\"other\"}", 0, 0, nullptr},
        {L"{\"funcation_name\":7}", 0, 0, nullptr},
        {L"[1,2]", 0, 0, nullptr},
        {L"42", 0, 0, nullptr},
        {L"5", 0, 0, nullptr},
        {L"\"min_wnd\"", 0, 0, nullptr},
        {L"", 0, 0, nullptr},
        {L"{\"funcation_name\":", 0, 0, nullptr},
    };
    MessageSink mainWindow;
    CPageCommandQueue queue;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + wcslen(c.text)));
        LogTail log;
        mainWindow.received.clear();
        EXPECT_EQ(CallCppFunc(mainWindow.Handle(), c.text, &queue), L"{}");
        mainWindow.Drain(10);
        if (c.message == 0) {
            EXPECT_TRUE(mainWindow.received.empty());
            EXPECT_TRUE(log.Lines().empty());
            continue;
        }
        ASSERT_EQ(mainWindow.received.size(), 1u);
        EXPECT_EQ(mainWindow.received[0].msg, c.message);
        EXPECT_EQ(mainWindow.received[0].wParam, 0u);
        EXPECT_EQ(mainWindow.received[0].lParam, 0);
        EXPECT_EQ(log.Count(LogLine(c.logLine, c.logMessage)), 1);
    }
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(PageCommands, OpenGameTextsTravelWholeThroughTheQueue)
{
    const std::wstring first = L"{\"funcation_name\":\"open_game\",\"token\":\"T-1 x\",\"ocext\":\"a&b\","
                               L"\"extra\":[1,{\"k\":\"v\"}], \"spaces\" : true }";
    const std::wstring second = L"{\"funcation_name\":\"open_game\"}";
    MessageSink mainWindow;
    CPageCommandQueue queue;
    LogTail log;
    EXPECT_EQ(CallCppFunc(mainWindow.Handle(), first, &queue), L"{}");
    EXPECT_EQ(CallCppFunc(mainWindow.Handle(), second, &queue), L"{}");
    mainWindow.Drain(10);
    ASSERT_EQ(mainWindow.received.size(), 2u);
    std::string text;
    for (const auto& m : mainWindow.received) {
        EXPECT_EQ(m.msg, WM_PAGE_OPEN_GAME);
        EXPECT_NE(m.wParam, 0u);
        EXPECT_EQ(m.lParam, 0);
    }
    ASSERT_TRUE(queue.Take(mainWindow.received[0].wParam, text));
    EXPECT_EQ(text, WideToNarrow(first, CP_ACP));
    ASSERT_TRUE(queue.Take(mainWindow.received[1].wParam, text));
    EXPECT_EQ(text, WideToNarrow(second, CP_ACP));
    EXPECT_EQ(log.Count(LogLine(36, "open_game call")), 2);

    // With no queue to carry the text, nothing is posted for it.
    mainWindow.received.clear();
    EXPECT_EQ(CallCppFunc(mainWindow.Handle(), second, nullptr), L"{}");
    mainWindow.Drain(10);
    EXPECT_TRUE(mainWindow.received.empty());
}

TEST_F(Bridge, PageCallsReachTheMainWindowInOrder)
{
    Open("load\n"
         "call {\"funcation_name\":\"min_wnd\"}\n"
         "call-number 5\n"
         "call-two {\"funcation_name\":\"min_wnd\"} {\"funcation_name\":\"min_wnd\"}\n"
         "call-none\n"
         "call-name G_CALLCPPFUNC {\"funcation_name\":\"min_wnd\"}\n"
         "call {\"funcation_name\":\"close_wnd\"}\n");
    Finish();
    EXPECT_EQ(mainWindow.Numbers(), (std::vector<UINT>{WM_PAGE_LOADED, WM_PAGE_MIN_WND, WM_PAGE_CLOSE_WND}));

    const auto calls = engine.Matching("call ");
    ASSERT_EQ(calls.size(), 6u);
    const struct {
        const char* kind;
        const char* hr;
        const char* reply;
    } expected[] = {
        {"text", "0x00000000", "{}"},   {"number", "0x00000000", "{}"}, {"two", "0x80020003", "(none)"},
        {"none", "0x80020003", "(none)"}, {"name", "0x80020006", "(absent)"}, {"text", "0x00000000", "{}"},
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(calls[i]);
        EXPECT_EQ(Value(calls[i], "kind"), expected[i].kind);
        EXPECT_EQ(Value(calls[i], "hr"), expected[i].hr);
        EXPECT_EQ(Value(calls[i], "reply"), expected[i].reply);
    }
    EXPECT_EQ(Value(calls[0], "dispid"), "1000");

    // The name lookup answers one name, spelled exactly.
    const struct {
        const wchar_t* name;
        HRESULT hr;
        DISPID id;
    } names[] = {{L"g_callCppFunc", S_OK, kCallCppFuncId},
                 {L"G_callCppFunc", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
                 {L"open_game", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}};
    for (const auto& n : names) {
        LPOLESTR text = const_cast<LPOLESTR>(n.name);
        DISPID id = 0;
        EXPECT_EQ(browser->GetIDsOfNames(IID_NULL, &text, 1, 0, &id), n.hr);
        EXPECT_EQ(id, n.id);
    }

    // An argument with no text fails the call; a missing argument array is the empty text.
    VARIANT object;
    ::VariantInit(&object);
    object.vt = VT_UNKNOWN;
    object.punkVal = static_cast<IDocHostUIHandler*>(browser);
    DISPPARAMS withObject{&object, nullptr, 1, 0};
    UINT argError = 99;
    EXPECT_EQ(browser->Invoke(kCallCppFuncId, IID_NULL, 0, DISPATCH_METHOD, &withObject, nullptr, nullptr, &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u);
    DISPPARAMS missing{nullptr, nullptr, 1, 0};
    CScopedVariant reply;
    EXPECT_EQ(browser->Invoke(kCallCppFuncId, IID_NULL, 0, DISPATCH_METHOD, &missing, reply.Get(), nullptr, nullptr),
              S_OK);
    ASSERT_EQ(reply.Ref().vt, VT_BSTR);
    EXPECT_STREQ(reply.Ref().bstrVal, L"{}");
}

TEST_F(Bridge, ThePortalPicturesAreasMakeThePagesCalls)
{
    Open("load\nportal\n");
    Finish();
    HWND hView = ::GetWindow(browser->GetHostWindow(), GW_CHILD);
    ASSERT_NE(hView, nullptr);
    RECT client{};
    ::GetClientRect(hView, &client);
    const int w = client.right, h = client.bottom;
    const POINT play{w / 2, h - 120}, minimise{w - 68, 24}, close{w - 28, 24}, drag{200, 20};

    // What the player sees: the title band, the close and minimise buttons, the play button.
    int width = 0, height = 0;
    const std::vector<DWORD> pixels = test::CaptureClient(hView, width, height);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(w) * static_cast<size_t>(h));
    auto at = [&](POINT pt) { return pixels[static_cast<size_t>(pt.y) * static_cast<size_t>(w) + pt.x] & 0xFFFFFF; };
    EXPECT_EQ(at(POINT{w / 2 - 100, h - 140}), 0xF08C1Eu) << "play";
    EXPECT_EQ(at(POINT{w - 14, 12}), 0xB03030u) << "close";
    EXPECT_EQ(at(POINT{w - 82, 12}), 0x2C3A66u) << "minimise";
    EXPECT_EQ(at(POINT{2, 46}), 0x0A1024u) << "drag band";
    EXPECT_EQ(at(POINT{2, 60}), 0x141E3Cu) << "page";

    for (const POINT& pt : {play, minimise, close, drag}) {
        ::SendMessageW(hView, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        ::SendMessageW(hView, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    }
    mainWindow.Drain(30);
    EXPECT_EQ(mainWindow.Numbers(), (std::vector<UINT>{WM_PAGE_LOADED, WM_PAGE_OPEN_GAME, WM_PAGE_MIN_WND,
                                                       WM_PAGE_CLOSE_WND, WM_PAGE_MOVE_WND}));
    // The page took its values from its own address: the encoded ones arrive as they were given.
    std::string text;
    ASSERT_GE(mainWindow.received.size(), 2u);
    ASSERT_TRUE(queue.Take(mainWindow.received[1].wParam, text));
    EXPECT_EQ(text, "{\"funcation_name\":\"open_game\",\"token\":\"tok en&1\",\"ocext\":\"ext\"}");
}

TEST_F(Bridge, PagesNotFromThePortalAreRefused)
{
    const std::wstring addresses[] = {
        L"https://evil.example/client/index/vemra2",
        L"http://portal.vemrakai.com/client/index/vemra2",
        L"https://portal.vemrakai.com.evil.example/client/index/vemra2",
        L"https://portal.vemrakai.com@evil.example/client/index/vemra2",
        L"https://evil.example/?https://portal.vemrakai.com/",
        L"about:blank",
    };
    Open("load\ncall {\"funcation_name\":\"min_wnd\"}\n", addresses[0]);
    LogTail log;
    Finish();
    for (size_t i = 1; i < std::size(addresses); ++i) {
        ASSERT_EQ(browser->NavigateTo(addresses[i]), S_OK);  // one at a time: a navigation ends the one before
        Finish(static_cast<int>(i) + 1);
    }
    // A portal page that sends itself elsewhere is refused there too.
    engine.SetPage("load\ngoto https://evil.example/\ncall {\"funcation_name\":\"open_game\",\"token\":\"x\"}\n");
    ASSERT_EQ(browser->NavigateTo(PortalUrl()), S_OK);
    Finish(static_cast<int>(std::size(addresses)) + 1);

    for (const auto& m : mainWindow.received) EXPECT_EQ(m.msg, WM_PAGE_LOADED) << "a command ran";
    EXPECT_EQ(queue.Size(), 0u);
    const auto calls = engine.Matching("call ");
    ASSERT_EQ(calls.size(), std::size(addresses) + 1);
    for (const auto& call : calls) {
        EXPECT_EQ(Value(call, "hr"), "0x00000000");
        EXPECT_EQ(Value(call, "reply"), "{}");
    }
    EXPECT_EQ(log.Count("g_callCppFunc refused, the page is not the portal's: "), static_cast<int>(calls.size()));
    EXPECT_EQ(log.Count("g_callCppFunc refused, the page is not the portal's: about:blank"), 1);
    EXPECT_EQ(log.Count("CallCppFunc]"), 0);
}

TEST_F(Bridge, ServerNotFoundSilencesEveryLaterPage)
{
    Open("navigate-error 0x800C0005\ndocument-complete\n");
    Finish();
    engine.SetPage("load\n");
    ASSERT_EQ(browser->NavigateTo(PortalUrl()), S_OK);
    Finish(2);
    EXPECT_EQ(mainWindow.Numbers(), std::vector<UINT>{WM_PAGE_NET_ERROR});
    EXPECT_TRUE(events.HasNavigateError());
}

TEST_F(Bridge, OtherNavigationErrorsChangeNothingAndEveryDocumentCounts)
{
    Open("navigate-error 0x800C000E\nload\nframe-complete https://portal.vemrakai.com/a\n"
         "frame-complete https://portal.vemrakai.com/b\n");
    Finish();
    EXPECT_EQ(mainWindow.Numbers(), (std::vector<UINT>{WM_PAGE_LOADED, WM_PAGE_LOADED, WM_PAGE_LOADED}));
    EXPECT_FALSE(events.HasNavigateError());
}

TEST_F(Bridge, NewWindowsAreCancelledAndOnlyWebAddressesGoToTheDefaultBrowser)
{
    Open("load\n"
         "new-window https://example.org/news\n"
         "new-window file:///C:/windows/win.ini\n"
         "new-window javascript:alert(1)\n"
         "new-window C:\\windows\\notepad.exe\n"
         "new-window HTTP://EXAMPLE.ORG/UP\n");
    LogTail log;
    Finish();
    const auto windows = engine.Matching("event name=NewWindow3");
    ASSERT_EQ(windows.size(), 5u);
    for (const auto& w : windows) {
        EXPECT_EQ(Value(w, "cancel"), "-1") << w;
        EXPECT_EQ(Value(w, "opened"), "0") << w;
    }
    EXPECT_EQ(log.Count("new window opened in the default browser: https://example.org/news"), 1);
    EXPECT_EQ(log.Count("new window opened in the default browser: HTTP://EXAMPLE.ORG/UP"), 1);
    EXPECT_EQ(log.Count("new window refused, not a web address: "), 3);
    EXPECT_EQ(log.Count("new window refused, not a web address: javascript:alert(1)"), 1);

    // The launcher's page stays where it was.
    BSTR location = nullptr;
    ASSERT_EQ(browser->GetWebBrowser2()->get_LocationURL(&location), S_OK);
    EXPECT_STREQ(location, PortalUrl().c_str());
    ::SysFreeString(location);
    EXPECT_EQ(mainWindow.Numbers(), std::vector<UINT>{WM_PAGE_LOADED});
}

// The command a page's text names, read as the JSON library reads the text in the ANSI code page: the
// string member "funcation_name" of an object; empty for anything else.
std::string CommandOf(const std::wstring& text)
{
    try {
        Json::Reader reader;
        Json::Value root;
        if (!reader.parse(WideToNarrow(text, CP_ACP), root) || !root.isObject()) return {};
        const Json::Value& name = root["funcation_name"];
        return name.isString() ? name.asString() : std::string();
    } catch (...) {
        return {};
    }
}

// Thousands of page calls with generated arguments: truncated and deeply nested JSON, huge texts, broken
// UTF-16, numbers and other variant types, objects with every command name and wrong types. Nothing may
// crash, only well-formed commands may post, and every log record stays one line.
TEST_F(Bridge, GeneratedPageCallsPostOnlyForWellFormedCommands)
{
    Open("load\n");
    Finish();
    mainWindow.received.clear();
    LogTail log;
    std::mt19937 random(1210);
    const std::wstring names[] = {L"min_wnd", L"close_wnd", L"open_game", L"wnd_mousemove", L"MIN_WND", L"",
                                  L"min_wnd ", L"other"};
    std::map<UINT, int> expected;
    auto piece = [&]() -> std::wstring {
        switch (random() % 8) {
        case 0: return std::wstring(random() % 3 == 0 ? 200000 : 50, static_cast<wchar_t>(L'a' + random() % 26));
        case 1: return std::wstring(1, static_cast<wchar_t>(0xD800 + random() % 0x800));  // a lone surrogate
        case 2: return L"\\u" + std::wstring(L"d83d");
        case 3: return std::to_wstring(static_cast<int>(random()));
        case 4: return L"\r\n\t";
        case 5: return std::wstring(1, L'\0') + L"after";
        default: return L"x";
        }
    };
    for (int i = 0; i < 3000; ++i) {
        VARIANT arg;
        ::VariantInit(&arg);
        std::wstring text;
        const int kind = static_cast<int>(random() % 10);
        const std::wstring& name = names[random() % std::size(names)];
        if (kind == 0) {  // a command, with further members of any kind
            text = L"{\"funcation_name\":\"" + name + L"\",\"x\":\"" + piece() + L"\"}";
        } else if (kind == 1) {  // truncated
            text = L"{\"funcation_name\":\"" + name + L"\"";
            text.resize(random() % (text.size() + 1));
        } else if (kind == 2) {  // nested deeply
            const size_t depth = random() % 3000;
            text = std::wstring(depth, L'[') + L"{\"funcation_name\":\"min_wnd\"}" + std::wstring(depth, L']');
        } else if (kind == 3) {  // the name of the wrong type
            text = L"{\"funcation_name\":" + std::wstring(random() % 2 ? L"[\"min_wnd\"]" : L"{\"a\":1}") + L"}";
        } else if (kind == 4) {
            text = piece() + piece();
        }
        if (kind <= 4 || kind == 9) {
            arg.vt = VT_BSTR;
            arg.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        } else if (kind == 5) {
            arg.vt = VT_I4;
            arg.lVal = static_cast<LONG>(random());
        } else if (kind == 6) {
            arg.vt = VT_R8;
            arg.dblVal = static_cast<double>(random()) / 7.0;
        } else if (kind == 7) {
            arg.vt = VT_BOOL;
            arg.boolVal = VARIANT_TRUE;
        } else {
            arg.vt = random() % 2 ? VT_NULL : VT_EMPTY;
        }
        const bool twoArgs = random() % 20 == 0;
        VARIANT args[2] = {arg, arg};
        DISPPARAMS params = {args, nullptr, twoArgs ? 2u : 1u, 0};
        VARIANT result;
        ::VariantInit(&result);
        const HRESULT hr = browser->Invoke(kCallCppFuncId, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        if (twoArgs) {
            EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
        } else if (hr == S_OK) {
            ASSERT_EQ(result.vt, VT_BSTR);
            EXPECT_STREQ(result.bstrVal, L"{}");
            if (arg.vt == VT_BSTR) {
                const std::string command = CommandOf(text);
                if (command == "min_wnd") ++expected[WM_PAGE_MIN_WND];
                if (command == "close_wnd") ++expected[WM_PAGE_CLOSE_WND];
                if (command == "open_game") ++expected[WM_PAGE_OPEN_GAME];
                if (command == "wnd_mousemove") ++expected[WM_PAGE_MOVE_WND];
            }
        } else {
            EXPECT_EQ(hr, DISP_E_TYPEMISMATCH) << "kind " << kind;  // a value that has no text
        }
        ::VariantClear(&result);
        ::VariantClear(&arg);
        if (i % 100 == 0) mainWindow.Drain(0);
    }
    mainWindow.Drain(50);
    std::map<UINT, int> posted;
    for (const auto& m : mainWindow.received) ++posted[m.msg];
    EXPECT_EQ(posted, expected);
    EXPECT_EQ(queue.Size(), std::min<size_t>(static_cast<size_t>(expected[WM_PAGE_OPEN_GAME]), CPageCommandQueue::kMaxPending));
    const std::regex record(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.[ \d]{2}\d \[[^\]]+\] : .*$)");
    for (const auto& line : log.Lines()) EXPECT_TRUE(std::regex_match(line, record)) << line.substr(0, 200);
}
