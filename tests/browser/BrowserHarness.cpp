#include "BrowserHarness.h"

#include "Logger.h"
#include "TestSupport.h"
#include "UIControl.h"

#include <gtest/gtest.h>

namespace browsertest {

const wchar_t kPrivateClassId[] = L"{6B1E3C52-8F0A-4D7B-9C1E-2A5F3D4B7C60}";

namespace {

// A fresh folder of this process (the shell's tree removal is slow under Wine, and nothing is left to remove).
std::wstring NewFolder(const wchar_t* tag)
{
    static int s_count = 0;
    wchar_t tmp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    const std::wstring dir = std::wstring(tmp) + L"vemra2-" + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) +
                             L"-" + std::to_wstring(++s_count) + L"-" + std::to_wstring(::GetTickCount());
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\";
}

// A browser host is a single-threaded apartment; the log of each test process goes to a folder of its own,
// so that tests running side by side never read each other's lines.
class BrowserEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        const std::wstring folder = NewFolder(L"browser-log");
        Logger::initializePathDir(folder);
    }
    void TearDown() override { ::OleUninitialize(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new BrowserEnvironment);  // gtest owns it

std::string ReadAll(const std::wstring& path) { return test::ReadFileBytes(path); }

std::wstring FromAnsi(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

const wchar_t kHostClass[] = L"VemraBrowserTestHost";
const wchar_t kSinkClass[] = L"VemraBrowserTestSink";

void RegisterClassOnce(const wchar_t* name, WNDPROC proc)
{
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    ::RegisterClassW(&wc);  // a second registration fails harmlessly
}

}  // namespace

void Pump(DWORD ms) { test::PumpFor(ms); }


std::wstring EngineModulePath() { return test::BinDir() + L"fake_browser.dll"; }

// ---- EngineRun ----

EngineRun::EngineRun() : m_dir(NewFolder(L"engine")), m_log(m_dir + L"engine.log")
{
    ::SetEnvironmentVariableW(L"VEMRA_FAKE_BROWSER_LOG", m_log.c_str());
    ::SetEnvironmentVariableW(L"VEMRA_FAKE_PAGE", nullptr);
}

EngineRun::~EngineRun()
{
    ::SetEnvironmentVariableW(L"VEMRA_FAKE_BROWSER_LOG", nullptr);
    ::SetEnvironmentVariableW(L"VEMRA_FAKE_PAGE", nullptr);
    ::DeleteFileW(m_log.c_str());
    ::DeleteFileW((m_dir + L"page.txt").c_str());
    ::RemoveDirectoryW(m_dir.c_str());
}

void EngineRun::SetPage(const std::string& script)
{
    const std::wstring page = m_dir + L"page.txt";
    ASSERT_TRUE(test::WriteFileBytes(page, script));
    ::SetEnvironmentVariableW(L"VEMRA_FAKE_PAGE", page.c_str());
}

std::vector<std::string> EngineRun::Records() const
{
    std::vector<std::string> lines = test::SplitCrLf(ReadAll(m_log));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::vector<std::string> EngineRun::Matching(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const auto& line : Records())
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

int EngineRun::IndexOf(const std::string& prefix) const
{
    const auto lines = Records();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    return -1;
}

bool EngineRun::WaitFor(const std::string& prefix, int count, DWORD timeoutMs) const
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (Count(prefix) >= count) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        Pump(10);
    }
}

std::string Value(const std::string& record, const std::string& key)
{
    const std::string marker = " " + key + "=";
    const size_t at = record.find(marker);
    if (at == std::string::npos) return "(absent)";
    const size_t start = at + marker.size();
    if (key == "text") return record.substr(start);
    const size_t end = record.find(' ', start);
    return record.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// ---- HostWindow ----

HostWindow::HostWindow(int cx, int cy)
{
    RegisterClassOnce(kHostClass, &HostWindow::WndProc);
    hWnd = ::CreateWindowExW(0, kHostClass, L"browser host", WS_POPUP | WS_CLIPCHILDREN, 0, 0, cx, cy, nullptr,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    manager.Init(hWnd);
    manager.AddNotificationListener(this);
}

HostWindow::~HostWindow()
{
    Destroy();
    manager.RemoveNotificationListener(this);
}

void HostWindow::Destroy()
{
    if (hWnd != nullptr && ::IsWindow(hWnd)) ::DestroyWindow(hWnd);
    hWnd = nullptr;
}

LRESULT CALLBACK HostWindow::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<HostWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    if (self != nullptr) {
        LRESULT lRes = 0;
        if (self->manager.HandleWindowMessage(msg, wParam, lParam, lRes)) return lRes;
    }
    return ::DefWindowProcW(hWnd, msg, wParam, lParam);
}

bool HostWindow::Build(const std::wstring& markup)
{
    SkinUI::CSkinBuilder builder;
    root = builder.Build(markup, std::wstring(), this, &manager);
    return root != nullptr;
}

SkinUI::CControlUI* HostWindow::FindByName(const wchar_t* name)
{
    if (root == nullptr) return nullptr;
    auto byName = [](SkinUI::CControlUI* control, void* data) -> SkinUI::CControlUI* {
        return control->GetName() == static_cast<const wchar_t*>(data) ? control : nullptr;
    };
    return root->FindByPredicate(byName, const_cast<wchar_t*>(name), SkinUI::UIFIND_ALL);
}

void HostWindow::Show()
{
    if (root != nullptr && manager.GetRoot() != root) manager.AttachRoot(root);
    ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hWnd);
    Pump(20);
}

void HostWindow::Activate()
{
    ::SetForegroundWindow(hWnd);
    Pump(20);
}

void HostWindow::Resize(int cx, int cy)
{
    ::SetWindowPos(hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::UpdateWindow(hWnd);
    Pump(20);
}

void HostWindow::Notify(const SkinUI::UINotification& msg)
{
    notifications.push_back(msg.type + L":" + (msg.sender != nullptr ? msg.sender->GetName() : std::wstring()));
}

SkinUI::CControlUI* HostWindow::CreateCustomControl(const wchar_t* elementName)
{
    return customFactory ? customFactory(elementName) : nullptr;
}

// ---- MessageSink ----

MessageSink::MessageSink()
{
    RegisterClassOnce(kSinkClass, &MessageSink::WndProc);
    m_hWnd = ::CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr),
                               nullptr);
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageSink::~MessageSink()
{
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK MessageSink::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MessageSink*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self != nullptr && msg >= WM_USER && msg < 0x8000) {
        self->received.push_back(Message{msg, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcW(hWnd, msg, wParam, lParam);
}

void MessageSink::Drain(DWORD ms) { Pump(ms); }

std::vector<UINT> MessageSink::Numbers() const
{
    std::vector<UINT> out;
    for (const auto& m : received) out.push_back(m.msg);
    return out;
}

// ---- LogTail ----

LogTail::LogTail()
{
    const std::string name = Logger::instance().fileName();
    m_start = ReadAll(FromAnsi(name)).size();
}

std::vector<std::string> LogTail::Lines() const
{
    const std::string all = ReadAll(FromAnsi(Logger::instance().fileName()));
    std::vector<std::string> lines = test::SplitCrLf(all.size() > m_start ? all.substr(m_start) : std::string());
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

int LogTail::Count(const std::string& part) const
{
    int n = 0;
    for (const auto& line : Lines()) n += line.find(part) != std::string::npos ? 1 : 0;
    return n;
}

}  // namespace browsertest
