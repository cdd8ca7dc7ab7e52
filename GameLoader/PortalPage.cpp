#include "PortalPage.h"

#include "Common.h"
#include "UIHandle.h"

#include <windows.h>

namespace {

struct AddressParts {
    std::wstring scheme;  // lower case
    std::wstring host;    // lower case
    std::wstring port;    // as written; empty when absent
    bool userInfo = false;
};

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring Lower(const std::wstring& text)
{
    std::wstring out = text;
    for (auto& c : out) c = AsciiLower(c);
    return out;
}

// Scheme and authority of an absolute address. The authority ends where a browser ends it: at "/", "?",
// "#" or "\" (which browsers read as "/" in web addresses).
bool SplitAddress(const std::wstring& url, AddressParts& parts)
{
    const size_t colon = url.find(L"://");
    if (colon == std::wstring::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i) {
        const wchar_t c = AsciiLower(url[i]);
        if (!((c >= L'a' && c <= L'z') || (i > 0 && ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.'))))
            return false;
    }
    parts.scheme = Lower(url.substr(0, colon));
    const size_t start = colon + 3;
    const size_t end = url.find_first_of(L"/?#\\", start);
    std::wstring authority = url.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos) {
        parts.userInfo = true;
        authority.erase(0, at + 1);
    }
    const size_t portColon = authority.rfind(L':');
    if (portColon != std::wstring::npos && authority.find(L']', portColon) == std::wstring::npos) {
        parts.port = authority.substr(portColon + 1);
        authority.erase(portColon);
    }
    parts.host = Lower(authority);
    return !parts.host.empty();
}

std::wstring PortOrDefault(const AddressParts& parts)
{
    if (!parts.port.empty()) return parts.port;
    return parts.scheme == L"https" ? L"443" : parts.scheme == L"http" ? L"80" : L"";
}

bool NeedsEncoding(wchar_t c)
{
    return c == L'&' || c == L'#' || c == L'%' || c == L'+' || c == L' ' || c == L'"' || c < 0x20 || c == 0x7F ||
           (c >= 0x80 && c <= 0x9F);
}

}  // namespace

std::wstring PortalBaseAddress()
{
    wchar_t value[2048] = {};
    const DWORD n = ::GetEnvironmentVariableW(kPortalBaseVariable, value, static_cast<DWORD>(std::size(value)));
    if (n > 0 && n < std::size(value)) return std::wstring(value, n);
    return AnsiToWide(kPortalBaseAddress);
}

std::wstring EncodeQueryValue(const std::wstring& value)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(value.size());
    for (const wchar_t c : value) {
        if (!NeedsEncoding(c)) {
            out += c;
            continue;
        }
        char bytes[4] = {};
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
        for (int i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            out += L'%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

std::wstring ComposePortalAddress(const std::wstring& base, const std::wstring& fileParam, const std::wstring& token,
                                  const std::wstring& source, const std::wstring& ocext,
                                  const std::wstring& tokenLogin)
{
    std::wstring url = base + L"?fileparam=" + EncodeQueryValue(fileParam);
    const std::pair<const wchar_t*, const std::wstring*> optional[] = {
        {L"&token=", &token}, {L"&source=", &source}, {L"&ocext=", &ocext}, {L"&tokenLogin=", &tokenLogin}};
    for (const auto& [name, value] : optional)
        if (!value->empty()) url += name + EncodeQueryValue(*value);
    return url;
}

bool IsPortalAddress(const std::wstring& url)
{
    AddressParts page, portal;
    if (!SplitAddress(url, page) || !SplitAddress(PortalBaseAddress(), portal)) return false;
    // Credentials in the address would let "https://portal.host@other.host" pass a test of its beginning.
    if (page.userInfo) return false;
    return page.scheme == L"https" && page.host == portal.host && PortOrDefault(page) == PortOrDefault(portal);
}

bool IsWebAddress(const std::wstring& url)
{
    for (const wchar_t c : url)
        if (c <= 0x20 || c == L'"' || c == 0x7F) return false;
    AddressParts parts;
    return SplitAddress(url, parts) && (parts.scheme == L"http" || parts.scheme == L"https");
}

bool SetBrowserEmulation(const std::wstring& exeName)
{
    if (exeName.empty()) return false;
    SkinUI::CUniqueHkey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER,
                          L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION", 0,
                          nullptr, 0, KEY_SET_VALUE, nullptr, key.AddressOf(), nullptr) != ERROR_SUCCESS)
        return false;
    const DWORD mode = kBrowserEmulationMode;
    return ::RegSetValueExW(key.Get(), exeName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                            sizeof mode) == ERROR_SUCCESS;
}

std::wstring ExecutableName()
{
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (n == 0 || n >= std::size(path)) return {};
    const std::wstring full(path, n);
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}
