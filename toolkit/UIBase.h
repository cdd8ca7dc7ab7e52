// Records, codes, interfaces and small helpers shared by controls, containers and the window manager.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace SkinUI {

class CControlUI;
class CUIManager;

// Input events a control receives from its manager.
enum UIEventType {
    EV_KEYDOWN = 3,
    EV_KEYUP = 4,
    EV_CHAR = 5,
    EV_SYSKEY = 6,
    EV_MOUSEMOVE = 9,
    EV_MOUSELEAVE = 10,
    EV_MOUSEENTER = 11,
    EV_MOUSEHOVER = 12,
    EV_BUTTONDOWN = 13,
    EV_BUTTONUP = 14,
    EV_RBUTTONDOWN = 15,
    EV_DBLCLICK = 16,
    EV_CONTEXTMENU = 17,
    EV_SCROLLWHEEL = 18,
    EV_KILLFOCUS = 20,
    EV_SETFOCUS = 21,
    EV_WINDOWSIZE = 22,
    EV_SETCURSOR = 23,
    EV_TIMER = 24,
};

inline bool IsMouseEvent(int type) { return type >= EV_MOUSEMOVE && type <= EV_SCROLLWHEEL; }

// FindByPredicate flags.
enum : UINT {
    UIFIND_ALL = 0x0,
    UIFIND_VISIBLE = 0x1,
    UIFIND_ENABLED = 0x2,
    UIFIND_HITTEST = 0x4,
    UIFIND_TOP_FIRST = 0x8,
    UIFIND_ME_FIRST = 0x80000000,
};

// GetInputFlags bits.
enum : UINT {
    UIFLAG_TABSTOP = 0x1,
    UIFLAG_SETCURSOR = 0x2,
};

// Key state bits of UIEvent (the platform's MK_ values plus Alt).
enum : WORD { UIKEY_ALT = 0x20 };

struct UIEvent {
    int type = 0;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT ptMouse{};
    wchar_t key = 0;
    WORD keyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct UINotification {
    std::wstring type;
    std::wstring virtualWnd;
    CControlUI* sender = nullptr;
    DWORD timestamp = 0;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(const UINotification& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
public:
    virtual HRESULT TranslateAccelerator(MSG* pMsg) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

// Callbacks called in order until one answers false.
template <typename Arg>
class CDelegateList {
public:
    using Fn = std::function<bool(Arg)>;
    void Add(Fn fn) { m_fns.push_back(std::move(fn)); }
    void Clear() { m_fns.clear(); }
    bool Empty() const { return m_fns.empty(); }
    // False when a callback stopped the chain.
    bool Fire(Arg arg)
    {
        for (auto& fn : m_fns)
            if (!fn(arg)) return false;
        return true;
    }

private:
    std::vector<Fn> m_fns;
};

// Hash of the toolkit's string maps: characters from last to first, hash * 33 + c, unsigned 32-bit.
UINT HashKey(const std::wstring& key);

// Chained hash table with a fixed bucket count; a successful lookup moves the entry to its bucket's front.
template <typename T, size_t Buckets = 83>
class CStringMap {
public:
    // Inserts or replaces.
    void Set(const std::wstring& key, const T& value)
    {
        auto& bucket = m_buckets[HashKey(key) % Buckets];
        for (auto& e : bucket)
            if (e.first == key) {
                e.second = value;
                return;
            }
        bucket.insert(bucket.begin(), {key, value});
        ++m_count;
    }
    // Inserts only when the key is absent; false otherwise.
    bool Insert(const std::wstring& key, const T& value)
    {
        if (Find(key)) return false;
        Set(key, value);
        return true;
    }
    T* Find(const std::wstring& key)
    {
        auto& bucket = m_buckets[HashKey(key) % Buckets];
        for (size_t i = 0; i < bucket.size(); ++i)
            if (bucket[i].first == key) {
                if (i != 0) {
                    auto entry = std::move(bucket[i]);
                    bucket.erase(bucket.begin() + static_cast<std::ptrdiff_t>(i));
                    bucket.insert(bucket.begin(), std::move(entry));
                }
                return &bucket.front().second;
            }
        return nullptr;
    }
    bool Remove(const std::wstring& key)
    {
        auto& bucket = m_buckets[HashKey(key) % Buckets];
        for (size_t i = 0; i < bucket.size(); ++i)
            if (bucket[i].first == key) {
                bucket.erase(bucket.begin() + static_cast<std::ptrdiff_t>(i));
                --m_count;
                return true;
            }
        return false;
    }
    void Clear()
    {
        for (auto& b : m_buckets) b.clear();
        m_count = 0;
    }
    size_t Count() const { return m_count; }
    // The key at the front of the bucket that the key falls into (for checking the move to the front).
    const std::wstring* FrontOfBucket(const std::wstring& key) const
    {
        const auto& bucket = m_buckets[HashKey(key) % Buckets];
        return bucket.empty() ? nullptr : &bucket.front().first;
    }
    template <typename F>
    void ForEach(F&& f)
    {
        for (auto& b : m_buckets)
            for (auto& e : b) f(e.first, e.second);
    }

private:
    std::array<std::vector<std::pair<std::wstring, T>>, Buckets> m_buckets;
    size_t m_count = 0;
};

// Tolerant readers for attribute values: numbers are read as far as they go, 0 when there are none.
// A decimal integer with optional sign after optional whitespace; saturates at the 32-bit limits.
int ParseInt(const wchar_t* text, const wchar_t** end = nullptr);
// count integers, each followed by exactly one separator character (never past the end of the text).
void ParseInts(const wchar_t* text, int* out, int count);
RECT ParseRect(const wchar_t* text);
SIZE ParseSize(const wchar_t* text);
// Hexadecimal colour with an optional "#"; skipWhitespace allows blanks before the "#".
DWORD ParseColorValue(const wchar_t* text, bool skipWhitespace);
// Exactly "true".
bool ParseBool(const wchar_t* text);

// Replaces the clip region of a device context for its lifetime (intersected with the clip in force), and
// puts the previous one back when it ends. A rectangle that already holds the whole drawable area of the DC
// changes nothing, so then no region is made or selected at all: most nested scopes of a small repaint are
// such, and each region costs several calls into GDI.
class CClipScope {
public:
    CClipScope(HDC hDC, const RECT& rc);
    // Rounded rectangle (rcRound with corner ellipse cx x cy) intersected with rc.
    CClipScope(HDC hDC, const RECT& rc, const RECT& rcRound, int cx, int cy);
    ~CClipScope();
    CClipScope(const CClipScope&) = delete;
    CClipScope& operator=(const CClipScope&) = delete;
    // Puts back the clip that was in force before this scope, until Resume selects this scope's again.
    void Suspend() const;
    void Resume() const;

private:
    void Apply(HRGN hNew);
    HDC m_hDC = nullptr;
    HRGN m_hOld = nullptr;
    HRGN m_hRgn = nullptr;
};

inline bool RectIsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }
// Intersection; false when empty.
inline bool IntersectRects(RECT& out, const RECT& a, const RECT& b) { return ::IntersectRect(&out, &a, &b) != FALSE; }

}  // namespace SkinUI
