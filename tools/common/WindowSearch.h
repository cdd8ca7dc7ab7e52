// Walking the windows of the desktop or of one thread with a lambda. The system calls its enumeration
// callback with the platform's calling convention, which a lambda does not have on 32-bit Windows; the
// callback here has it and hands every window to the lambda.
#pragma once

#include <windows.h>

#include <functional>

namespace winsearch {

// Returns false to stop the walk.
using Visitor = std::function<bool(HWND)>;

inline BOOL CALLBACK VisitWindow(HWND hWnd, LPARAM visitor)
{
    return (*reinterpret_cast<Visitor*>(visitor))(hWnd) ? TRUE : FALSE;
}

inline void ForEachTopWindow(Visitor visit)
{
    ::EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

inline void ForEachThreadWindow(DWORD threadId, Visitor visit)
{
    ::EnumThreadWindows(threadId, &VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

// Every window inside parent, at any depth.
inline void ForEachChildWindow(HWND parent, Visitor visit)
{
    ::EnumChildWindows(parent, &VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

// The first top-level window for which match is true, or none.
inline HWND FindTopWindow(const std::function<bool(HWND)>& match)
{
    HWND found = nullptr;
    ForEachTopWindow([&](HWND hWnd) {
        if (!match(hWnd)) return true;
        found = hWnd;
        return false;
    });
    return found;
}

}  // namespace winsearch
