// Counting the GDI and USER objects of the calling process, where GetGuiResources cannot (Wine answers 0).
// Both kinds of handle are probed by their table index, which is the handle's low word under Wine: a handle
// given without its generation word matches whichever object holds that slot, so every slot can be asked
// once. GDI objects and menus, icons, cursors and accelerator tables live in the process's own tables;
// windows are shared by every process, so they are enumerated and kept when the process owns them.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace objprobe {

// GetObjectType's kinds, 1 (OBJ_PEN) to 14 (OBJ_COLORSPACE); slot 0 holds unknown kinds.
using GdiKinds = std::array<int32_t, 15>;

struct Counts {
    int32_t gdi = 0;
    GdiKinds gdiByKind{};
    int32_t windows = 0;
    int32_t menus = 0;
    int32_t icons = 0;  // icons and cursors
    int32_t accelerators = 0;
    int32_t User() const { return windows + menus + icons + accelerators; }
};

inline const char* GdiKindName(size_t kind)
{
    static const char* const kNames[] = {"other",  "pen",     "brush",        "dc",     "metadc",
                                         "palette", "font",   "bitmap",       "region", "metafile",
                                         "memdc",  "extpen", "enhmetadc",   "enhmetafile", "colorspace"};
    return kind < std::size(kNames) ? kNames[kind] : "other";
}

inline int32_t CountGdi(GdiKinds& byKind)
{
    byKind.fill(0);
    int32_t total = 0;
    for (uintptr_t slot = 1; slot <= 0xFFFF; ++slot) {
        const DWORD kind = ::GetObjectType(reinterpret_cast<HGDIOBJ>(slot));
        if (kind == 0) continue;
        ++total;
        ++byKind[kind < byKind.size() ? kind : 0];
    }
    return total;
}

// One line about a GDI object: its kind and what it holds, so that a count that grew can be explained.
inline std::string DescribeGdi(uintptr_t slot)
{
    const HGDIOBJ h = reinterpret_cast<HGDIOBJ>(slot);
    const DWORD kind = ::GetObjectType(h);
    char line[256];
    int n = std::snprintf(line, sizeof line, "%s %#llx", GdiKindName(kind), static_cast<unsigned long long>(slot));
    const auto more = [&](const char* format, auto... args) {
        if (n >= 0 && static_cast<size_t>(n) < sizeof line)
            n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), format, args...);
    };
    switch (kind) {
    case OBJ_DC: {
        const HWND hWnd = ::WindowFromDC(static_cast<HDC>(h));
        wchar_t cls[64] = {};
        if (hWnd != nullptr) (void)::GetClassNameW(hWnd, cls, 64);
        char narrow[64] = {};
        (void)::WideCharToMultiByte(CP_UTF8, 0, cls, -1, narrow, sizeof narrow, nullptr, nullptr);
        more(hWnd != nullptr ? ": a window's dc, class %s" : ": no window%s", narrow);
        break;
    }
    case OBJ_MEMDC: {
        BITMAP bm{};
        if (::GetObjectW(::GetCurrentObject(static_cast<HDC>(h), OBJ_BITMAP), sizeof bm, &bm))
            more(": holds a %ld x %ld bitmap", bm.bmWidth, bm.bmHeight);
        break;
    }
    case OBJ_BITMAP: {
        BITMAP bm{};
        if (::GetObjectW(h, sizeof bm, &bm)) more(": %ld x %ld, %u bits", bm.bmWidth, bm.bmHeight, bm.bmBitsPixel);
        break;
    }
    case OBJ_BRUSH: {
        LOGBRUSH lb{};
        if (::GetObjectW(h, sizeof lb, &lb)) more(": style %u, colour %06lx", lb.lbStyle, lb.lbColor);
        break;
    }
    case OBJ_PEN: {
        LOGPEN lp{};
        if (::GetObjectW(h, sizeof lp, &lp)) more(": style %u, colour %06lx", lp.lopnStyle, lp.lopnColor);
        break;
    }
    case OBJ_REGION: {
        RECT rc{};
        (void)::GetRgnBox(static_cast<HRGN>(h), &rc);
        more(": box %ld,%ld,%ld,%ld", rc.left, rc.top, rc.right, rc.bottom);
        break;
    }
    case OBJ_FONT: {
        LOGFONTW lf{};
        if (::GetObjectW(h, sizeof lf, &lf)) {
            char face[LF_FACESIZE * 3] = {};
            (void)::WideCharToMultiByte(CP_UTF8, 0, lf.lfFaceName, -1, face, sizeof face, nullptr, nullptr);
            more(": %s, height %ld", face, lf.lfHeight);
        }
        break;
    }
    default: break;
    }
    return line;
}

namespace detail {

struct WindowWalk {
    DWORD processId;
    int32_t count;
};

inline void CountIfOwn(HWND hWnd, WindowWalk& walk)
{
    DWORD owner = 0;
    (void)::GetWindowThreadProcessId(hWnd, &owner);
    if (owner == walk.processId) ++walk.count;
}

inline BOOL CALLBACK OnChild(HWND hWnd, LPARAM lParam)
{
    CountIfOwn(hWnd, *reinterpret_cast<WindowWalk*>(lParam));
    return TRUE;
}

inline BOOL CALLBACK OnTop(HWND hWnd, LPARAM lParam)
{
    CountIfOwn(hWnd, *reinterpret_cast<WindowWalk*>(lParam));
    ::EnumChildWindows(hWnd, &OnChild, lParam);  // every depth
    return TRUE;
}

}  // namespace detail

// Top-level, child and message-only windows of processId (a process may own children of others' windows).
inline int32_t CountWindows(DWORD processId)
{
    detail::WindowWalk walk{processId, 0};
    ::EnumWindows(&detail::OnTop, reinterpret_cast<LPARAM>(&walk));
    for (HWND h = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h != nullptr;
         h = ::FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) {
        detail::CountIfOwn(h, walk);
        ::EnumChildWindows(h, &detail::OnChild, reinterpret_cast<LPARAM>(&walk));
    }
    return walk.count;
}

// Wine's USER handles: slot i is the handle 0x20 + 2 i, up to 0xFFEF.
inline void CountUserTables(Counts& c)
{
    for (uintptr_t value = 0x20; value < 0xFFF0; value += 2) {
        if (::IsMenu(reinterpret_cast<HMENU>(value))) {
            ++c.menus;
            continue;
        }
        if (::CopyAcceleratorTableW(reinterpret_cast<HACCEL>(value), nullptr, 0) > 0) {
            ++c.accelerators;
            continue;
        }
        ICONINFO info{};
        if (::GetIconInfo(reinterpret_cast<HICON>(value), &info)) {
            ++c.icons;
            // The answer comes with copies of the icon's bitmaps, which are the caller's to free.
            if (info.hbmMask) ::DeleteObject(info.hbmMask);
            if (info.hbmColor) ::DeleteObject(info.hbmColor);
        }
    }
}

// Everything of the calling process. GDI first: the icon probe makes and frees bitmaps of its own.
inline Counts CountOwnObjects()
{
    Counts c;
    c.gdi = CountGdi(c.gdiByKind);
    c.windows = CountWindows(::GetCurrentProcessId());
    CountUserTables(c);
    return c;
}

}  // namespace objprobe
