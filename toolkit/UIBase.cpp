#include "UIBase.h"

#include "UIRender.h"

#include <climits>
#include <cwctype>

namespace SkinUI {

UINT HashKey(const std::wstring& key)
{
    UINT hash = 0;
    for (auto it = key.rbegin(); it != key.rend(); ++it) hash = hash * 33u + static_cast<UINT>(*it);
    return hash;
}

int ParseInt(const wchar_t* text, const wchar_t** end)
{
    const wchar_t* p = text ? text : L"";
    while (*p != 0 && *p <= L' ') ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = (*p == L'-');
        ++p;
    }
    long long value = 0;
    bool digits = false;
    while (*p >= L'0' && *p <= L'9') {
        digits = true;
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - L'0');
        ++p;
    }
    if (!digits) {
        // Nothing was read: the reader stays at the start, as strtol leaves it.
        if (end) *end = text ? text : p;
        return 0;
    }
    if (end) *end = p;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

void ParseInts(const wchar_t* text, int* out, int count)
{
    const wchar_t* p = text ? text : L"";
    for (int i = 0; i < count; ++i) {
        const wchar_t* next = p;
        out[i] = ParseInt(p, &next);
        p = next;
        // One separator; a value that ends early leaves the rest at 0 instead of reading past its end.
        if (*p != 0) ++p;
    }
}

RECT ParseRect(const wchar_t* text)
{
    int v[4] = {};
    ParseInts(text, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

SIZE ParseSize(const wchar_t* text)
{
    int v[2] = {};
    ParseInts(text, v, 2);
    return SIZE{v[0], v[1]};
}

DWORD ParseColorValue(const wchar_t* text, bool skipWhitespace)
{
    const wchar_t* p = text ? text : L"";
    if (skipWhitespace)
        while (*p != 0 && *p <= L' ') ++p;
    if (*p == L'#') ++p;
    unsigned long long value = 0;
    for (;; ++p) {
        int digit;
        if (*p >= L'0' && *p <= L'9') digit = *p - L'0';
        else if (*p >= L'a' && *p <= L'f') digit = *p - L'a' + 10;
        else if (*p >= L'A' && *p <= L'F') digit = *p - L'A' + 10;
        else break;
        value = value * 16 + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull) value = 0x1FFFFFFFFull;  // keep saturated without overflowing
    }
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(value);
}

bool ParseBool(const wchar_t* text) { return text != nullptr && wcscmp(text, L"true") == 0; }

CClipScope::CClipScope(HDC hDC, const RECT& rc) : m_hDC(hDC)
{
    RECT box{};
    const int kind = ::GetClipBox(hDC, &box);
    if (kind == NULLREGION) return;
    if (kind != ERROR && RectHolds(rc, box)) return;
    Apply(::CreateRectRgnIndirect(&rc));
}

CClipScope::CClipScope(HDC hDC, const RECT& rc, const RECT& rcRound, int cx, int cy) : m_hDC(hDC)
{
    HRGN hRect = ::CreateRectRgnIndirect(&rc);
    HRGN hRound = ::CreateRoundRectRgn(rcRound.left, rcRound.top, rcRound.right + 1, rcRound.bottom + 1, cx, cy);
    ::CombineRgn(hRect, hRect, hRound, RGN_AND);
    ::DeleteObject(hRound);
    Apply(hRect);
}

void CClipScope::Apply(HRGN hNew)
{
    if (hNew == nullptr) return;
    m_hOld = ::CreateRectRgn(0, 0, 0, 0);
    if (::GetClipRgn(m_hDC, m_hOld) != 1) {
        ::DeleteObject(m_hOld);
        m_hOld = nullptr;
    }
    if (m_hOld) ::CombineRgn(hNew, hNew, m_hOld, RGN_AND);
    m_hRgn = hNew;
    ::SelectClipRgn(m_hDC, m_hRgn);
}

void CClipScope::Suspend() const
{
    if (m_hRgn) ::SelectClipRgn(m_hDC, m_hOld);
}

void CClipScope::Resume() const
{
    if (m_hRgn) ::SelectClipRgn(m_hDC, m_hRgn);
}

CClipScope::~CClipScope()
{
    if (m_hRgn == nullptr) return;
    ::SelectClipRgn(m_hDC, m_hOld);
    if (m_hOld) ::DeleteObject(m_hOld);
    ::DeleteObject(m_hRgn);
}

}  // namespace SkinUI
