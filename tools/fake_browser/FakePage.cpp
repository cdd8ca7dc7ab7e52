// Page scripts and the portal picture.
#include "FakeBrowser.h"

#include "UIHandle.h"

#include <cstdio>
#include <set>

namespace fakebrowser {

namespace {

std::wstring Env(const wchar_t* name)
{
    wchar_t buffer[4096];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    return (n == 0 || n >= std::size(buffer)) ? std::wstring() : std::wstring(buffer, n);
}

std::wstring FromUtf8(const std::string& bytes)
{
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

bool ReadFile(const std::wstring& path, std::string& bytes)
{
    SkinUI::CUniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    char buffer[8192];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got != 0) bytes.append(buffer, got);
    return true;
}

const std::set<std::wstring>& KnownOps()
{
    static const std::set<std::wstring> ops = {
        L"load",         L"before-navigate", L"navigate-complete", L"document-complete", L"frame-complete",
        L"navigate-error", L"goto",          L"call",              L"call-number",       L"call-two",
        L"call-none",    L"call-name",       L"new-window",        L"script-error",      L"context-menu",
        L"status",       L"command-state",   L"wait",              L"portal"};
    return ops;
}

PageScript Parse(const std::wstring& text, const std::wstring& source)
{
    PageScript script;
    script.source = source;
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (lineNo == 1 && !line.empty() && line[0] == 0xFEFF) line.erase(0, 1);
        const size_t first = line.find_first_not_of(L" \t");
        if (first == std::wstring::npos || line[first] == L'#') continue;
        line.erase(0, first);
        const size_t space = line.find_first_of(L" \t");
        PageStep step;
        step.line = lineNo;
        step.op = line.substr(0, space);
        if (space != std::wstring::npos) {
            const size_t argStart = line.find_first_not_of(L" \t", space);
            if (argStart != std::wstring::npos) step.arg = line.substr(argStart);
        }
        if (step.op == L"sync-before-navigate") {
            script.syncBeforeNavigate = true;
            continue;
        }
        if (step.op == L"unload-call") {
            script.unloadCall = step.arg;
            continue;
        }
        if (KnownOps().count(step.op) == 0) {
            Record(L"script bad-line line=" + std::to_wstring(lineNo) + L" text=" + line);
            continue;
        }
        script.steps.push_back(step);
    }
    return script;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

SkinUI::CUniqueFont MakeFont(int height, int weight)
{
    return SkinUI::CUniqueFont(::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                             DEFAULT_PITCH, L"Microsoft YaHei"));
}

void Fill(HDC hDC, const RECT& rc, COLORREF color)
{
    SkinUI::CUniqueBrush brush(::CreateSolidBrush(color));
    ::FillRect(hDC, &rc, brush.Get());
}

void Text(HDC hDC, RECT rc, const std::wstring& text, const SkinUI::CUniqueFont& font, COLORREF color, UINT format)
{
    SkinUI::CSelectObject select(hDC, font.Get());
    ::SetTextColor(hDC, color);
    ::SetBkMode(hDC, TRANSPARENT);
    ::DrawTextW(hDC, text.c_str(), static_cast<int>(text.size()), &rc, format);
}

}  // namespace

PageScript LoadPageScript()
{
    const std::wstring path = Env(L"VEMRA_FAKE_PAGE");
    if (!path.empty()) {
        std::string bytes;
        if (ReadFile(path, bytes)) return Parse(FromUtf8(bytes), path);
        Record(L"script missing path=" + Field(path));
    }
    return Parse(L"load\nportal\n", L"default");
}

std::wstring QueryValue(const std::wstring& url, const std::wstring& name)
{
    size_t query = url.find(L'?');
    if (query == std::wstring::npos) return {};
    const size_t fragment = url.find(L'#', query);
    const std::wstring part = url.substr(query + 1, fragment == std::wstring::npos ? std::wstring::npos
                                                                                    : fragment - query - 1);
    size_t pos = 0;
    while (pos <= part.size()) {
        size_t end = part.find(L'&', pos);
        if (end == std::wstring::npos) end = part.size();
        const std::wstring pair = part.substr(pos, end - pos);
        pos = end + 1;
        const size_t eq = pair.find(L'=');
        if (pair.substr(0, eq) != name) continue;
        const std::wstring raw = eq == std::wstring::npos ? std::wstring() : pair.substr(eq + 1);
        std::string bytes;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == L'%' && i + 2 < raw.size() && HexDigit(raw[i + 1]) >= 0 && HexDigit(raw[i + 2]) >= 0) {
                bytes.push_back(static_cast<char>(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2])));
                i += 2;
            } else {
                const std::wstring one(1, raw[i]);
                char utf8[8];
                const int n = ::WideCharToMultiByte(CP_UTF8, 0, one.c_str(), 1, utf8, sizeof utf8, nullptr, nullptr);
                bytes.append(utf8, static_cast<size_t>(n > 0 ? n : 0));
            }
        }
        return FromUtf8(bytes);
    }
    return {};
}

std::wstring JsonString(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += L"\\\""; break;
        case L'\\': out += L"\\\\"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default:
            if (c < 0x20) {
                wchar_t esc[8];
                std::swprintf(esc, std::size(esc), L"\\u%04x", static_cast<unsigned>(c));
                out += esc;
            } else {
                out += c;
            }
        }
    }
    return out + L"\"";
}

PortalAreas PortalLayout(int width, int height)
{
    PortalAreas a;
    a.drag = RECT{0, 0, width, 48};
    a.minimise = RECT{width - 84, 10, width - 52, 38};
    a.close = RECT{width - 44, 10, width - 12, 38};
    a.play = RECT{width / 2 - 110, height - 150, width / 2 + 110, height - 90};
    return a;
}

void PaintPortal(HDC hDC, const RECT& client, const std::wstring& url)
{
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const PortalAreas a = PortalLayout(width, height);
    Fill(hDC, client, RGB(0x14, 0x1E, 0x3C));
    Fill(hDC, a.drag, RGB(0x0A, 0x10, 0x24));
    Fill(hDC, a.minimise, RGB(0x2C, 0x3A, 0x66));
    Fill(hDC, a.close, RGB(0xB0, 0x30, 0x30));
    Fill(hDC, a.play, RGB(0xF0, 0x8C, 0x1E));

    const SkinUI::CUniqueFont small = MakeFont(14, FW_NORMAL);
    const SkinUI::CUniqueFont title = MakeFont(40, FW_BOLD);
    const SkinUI::CUniqueFont button = MakeFont(24, FW_BOLD);
    Text(hDC, RECT{16, 0, width - 100, 48}, L"Vemrakai2 \x00B7 \x6E38\x620F\x5E73\x53F0", small, RGB(0xE0, 0xE6, 0xF0),
         DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    Text(hDC, a.minimise, L"\x2014", small, RGB(0xFF, 0xFF, 0xFF), DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    Text(hDC, a.close, L"\x00D7", button, RGB(0xFF, 0xFF, 0xFF), DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    Text(hDC, RECT{0, height / 4, width, height / 4 + 60}, L"Vemrakai2", title, RGB(0xFF, 0xFF, 0xFF),
         DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    Text(hDC, RECT{0, height / 4 + 64, width, height / 4 + 90}, L"stand-in portal page", small,
         RGB(0xA8, 0xB4, 0xD0), DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    Text(hDC, a.play, L"\x5F00\x59CB\x6E38\x620F  PLAY", button, RGB(0x20, 0x14, 0x00),
         DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    Text(hDC, RECT{12, height - 28, width - 12, height - 4}, url, small, RGB(0x70, 0x7C, 0x98),
         DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
}

}  // namespace fakebrowser
