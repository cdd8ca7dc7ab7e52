#include "BenchHook.h"

#include "UIHandle.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <cwchar>

namespace {

using CUniqueHook = SkinUI::CUniqueRes<HHOOK, SkinUI::NullIsInvalid<HHOOK, &::UnhookWindowsHookEx>>;

HINSTANCE g_hInstance = nullptr;
// Held by the installing process only.
CUniqueHook g_hGetMessage;
CUniqueHook g_hCallWndProc;
// Mapped in the hooked process at its first hook call, unmapped when the DLL leaves it.
benchhook::Shared* g_pShared = nullptr;
bool g_bSharedTried = false;

benchhook::Shared* SharedBlock()
{
    if (g_bSharedTried) return g_pShared;
    g_bSharedTried = true;
    wchar_t name[128] = {};
    const DWORD n = ::GetEnvironmentVariableW(benchhook::kSharedNameVariable, name, 128);
    if (n == 0 || n >= 128) return nullptr;
    const SkinUI::CUniqueHandle hMapping(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name));
    if (!hMapping) return nullptr;
    // The view keeps the memory alive after the handle is closed.
    g_pShared = static_cast<benchhook::Shared*>(
        ::MapViewOfFile(hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(benchhook::Shared)));
    return g_pShared;
}

UINT CommandMessage()
{
    static const UINT s_message = ::RegisterWindowMessageW(benchhook::kCommandMessageName);
    return s_message;
}

void Record(benchhook::Shared& shared, uint32_t kind, UINT message, HWND hWnd, uint64_t timerId)
{
    wchar_t windowClass[64] = {};
    if (hWnd != nullptr) (void)::GetClassNameW(hWnd, windowClass, 64);
    for (int32_t i = 0; i < shared.entries; ++i) {
        benchhook::WakeEntry& e = shared.table[i];
        if (e.kind == kind && e.message == message && e.timerId == timerId &&
            std::wcscmp(e.windowClass, windowClass) == 0) {
            ++e.count;
            return;
        }
    }
    if (shared.entries >= benchhook::kMaxEntries) {
        ++shared.droppedEntries;
        return;
    }
    benchhook::WakeEntry& e = shared.table[shared.entries++];
    e.kind = kind;
    e.message = message;
    e.timerId = timerId;
    e.count = 1;
    std::wcsncpy(e.windowClass, windowClass, 63);
    e.windowClass[63] = L'\0';
}

void DescribeNew(benchhook::Shared& shared)
{
    std::string text;
    for (uintptr_t slot = 1; slot <= 0xFFFF; ++slot) {
        const DWORD kind = ::GetObjectType(reinterpret_cast<HGDIOBJ>(slot));
        if (kind == 0 || kind == shared.markedKinds[slot]) continue;
        text += objprobe::DescribeGdi(slot) + "\n";
    }
    const size_t n = std::min(text.size(), sizeof shared.newObjects - 1);
    std::memcpy(shared.newObjects, text.data(), n);
    shared.newObjects[n] = '\0';
}

double TimeRepaint(HWND hWnd)
{
    LARGE_INTEGER f{}, t0{}, t1{};
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&t0);
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::GdiFlush();
    ::QueryPerformanceCounter(&t1);
    return f.QuadPart > 0 ? static_cast<double>(t1.QuadPart - t0.QuadPart) * 1e6 / static_cast<double>(f.QuadPart)
                          : 0;
}

void RunCommand(benchhook::Shared& shared, WPARAM command, HWND hWnd)
{
    shared.processId = ::GetCurrentProcessId();
    shared.threadId = ::GetCurrentThreadId();
    switch (command) {
    case benchhook::kCommandStartRecording:
        shared.entries = 0;
        shared.droppedEntries = 0;
        shared.recording = 1;
        break;
    case benchhook::kCommandStopRecording:
        shared.recording = 0;
        break;
    case benchhook::kCommandCountObjects: shared.objects = objprobe::CountOwnObjects(); break;
    case benchhook::kCommandMarkObjects:
        for (uintptr_t slot = 0; slot <= 0xFFFF; ++slot)
            shared.markedKinds[slot] = static_cast<uint8_t>(::GetObjectType(reinterpret_cast<HGDIOBJ>(slot)));
        break;
    case benchhook::kCommandDescribeNew: DescribeNew(shared); break;
    case benchhook::kCommandClearMark: std::memset(shared.markedKinds, 0, sizeof shared.markedKinds); break;
    case benchhook::kCommandTimeRepaint: shared.repaintUs = TimeRepaint(hWnd); break;
    default: break;
    }
    ::InterlockedIncrement(&shared.commandsDone);
}

double NowUs()
{
    LARGE_INTEGER f{}, t{};
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&t);
    return f.QuadPart > 0 ? static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(f.QuadPart) : 0;
}

void AddToTimeline(benchhook::Shared& shared, uint32_t kind, UINT message, HWND hWnd)
{
    if (shared.timelineProcess == 0 || static_cast<DWORD>(shared.timelineProcess) != ::GetCurrentProcessId()) return;
    const LONG at = ::InterlockedIncrement(&shared.timelineCount) - 1;
    if (at >= benchhook::kMaxTimeline) return;
    benchhook::TimelineEntry& e = shared.timeline[at];
    e.us = NowUs();
    e.kind = kind;
    e.message = message;
    e.windowClass[0] = L'\0';
    if (hWnd != nullptr) (void)::GetClassNameW(hWnd, e.windowClass, 40);
}

LRESULT CALLBACK GetMsgProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (benchhook::Shared* shared = SharedBlock()) {
            AddToTimeline(*shared, benchhook::kWakeQueued, msg->message, msg->hwnd);
            if (msg->message == CommandMessage()) {
                RunCommand(*shared, msg->wParam, msg->hwnd);
                msg->message = WM_NULL;  // the measured program never sees the benchmark's command
            } else if (shared->recording) {
                Record(*shared, benchhook::kWakeQueued, msg->message, msg->hwnd,
                       msg->message == WM_TIMER ? static_cast<uint64_t>(msg->wParam) : 0);
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    // wParam 0: sent by another thread, which woke this one to handle it.
    if (code == HC_ACTION && wParam == 0) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        benchhook::Shared* shared = SharedBlock();
        if (shared != nullptr) AddToTimeline(*shared, benchhook::kWakeSent, sent->message, sent->hwnd);
        if (shared != nullptr && shared->recording) Record(*shared, benchhook::kWakeSent, sent->message, sent->hwnd, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

extern "C" __declspec(dllexport) int BenchHookInstall(DWORD threadId)
{
    g_hGetMessage.Put(::SetWindowsHookExW(WH_GETMESSAGE, &GetMsgProc, g_hInstance, threadId));
    g_hCallWndProc.Put(::SetWindowsHookExW(WH_CALLWNDPROC, &CallWndProc, g_hInstance, threadId));
    return g_hGetMessage && g_hCallWndProc ? 1 : 0;
}

extern "C" __declspec(dllexport) void BenchHookRemove()
{
    g_hGetMessage.Reset();
    g_hCallWndProc.Reset();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_hInstance = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
    } else if (reason == DLL_PROCESS_DETACH && g_pShared != nullptr) {
        ::UnmapViewOfFile(g_pShared);
        g_pShared = nullptr;
    }
    return TRUE;
}
