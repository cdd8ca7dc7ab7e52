// Hosting the stand-in browser engine in a test window: a skinned host window, the engine's record file
// and page script for one test, a window that records the messages the bridge posts, and the launcher's log.
#pragma once

#include "UIBuilder.h"
#include "UIManager.h"
#include "UIWebBrowser.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace browsertest {

// The engine's record file and page script for one test (the variables are set for this process only).
class EngineRun {
public:
    EngineRun();
    ~EngineRun();
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    // The page script every following navigation plays (UTF-8 text, one action a line).
    void SetPage(const std::string& script);
    std::vector<std::string> Records() const;
    // Records whose first word (the kind) and following text start with prefix.
    std::vector<std::string> Matching(const std::string& prefix) const;
    int Count(const std::string& prefix) const { return static_cast<int>(Matching(prefix).size()); }
    // Dispatches messages until a record starts with prefix (count times); false on time-out.
    bool WaitFor(const std::string& prefix, int count = 1, DWORD timeoutMs = 5000) const;
    // Index of the first record starting with prefix, or -1.
    int IndexOf(const std::string& prefix) const;

private:
    std::wstring m_dir;
    std::wstring m_log;
};

// key=value of a record ("text" runs to the end of the line).
std::string Value(const std::string& record, const std::string& key);

// A top-level window whose procedure hands every message to its manager, like a skinned window's.
class HostWindow : public SkinUI::INotifyUI, public SkinUI::IDialogBuilderCallback {
public:
    HostWindow(int cx, int cy);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Builds the skin markup into the manager (custom elements from the callback); false when it fails.
    bool Build(const std::wstring& markup);
    // Attaches the built root, shows the window (without activating it) and lets it lay out.
    void Show();
    // Makes the window the active one, for tests of the keyboard focus. (Under Wine without a window
    // manager, an active window takes two seconds to hide or destroy, so only those tests do this.)
    void Activate();
    void Resize(int cx, int cy);
    void Destroy();
    // A control of the built tree by name, attached to the window or not.
    template <typename T>
    T* Find(const wchar_t* name)
    {
        return static_cast<T*>(FindByName(name));
    }
    SkinUI::CControlUI* FindByName(const wchar_t* name);

    void Notify(const SkinUI::UINotification& msg) override;
    SkinUI::CControlUI* CreateCustomControl(const wchar_t* elementName) override;

    SkinUI::CUIManager manager;
    HWND hWnd = nullptr;
    SkinUI::CControlUI* root = nullptr;
    std::vector<std::wstring> notifications;
    // Makes the controls of custom elements ("IeBrowser" for the bridge tests).
    std::function<SkinUI::CControlUI*(const wchar_t* elementName)> customFactory;

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// A message-only window that keeps the messages posted to it, as the main window would receive them.
class MessageSink {
public:
    MessageSink();
    ~MessageSink();
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    struct Message {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    HWND Handle() const { return m_hWnd; }
    // Dispatches pending messages (and waits up to ms for more).
    void Drain(DWORD ms = 0);
    std::vector<UINT> Numbers() const;

    std::vector<Message> received;

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
};

// The launcher's log of this test process, from a mark on.
class LogTail {
public:
    LogTail();
    // Lines written since the mark (whole lines).
    std::vector<std::string> Lines() const;
    int Count(const std::string& part) const;

private:
    size_t m_start = 0;
};

// Dispatches messages for the given time.
void Pump(DWORD ms);
// The stand-in engine's module, beside the test program.
std::wstring EngineModulePath();
// The class only the engine's module knows, for hosts that load it by name.
extern const wchar_t kPrivateClassId[];

}  // namespace browsertest
