// Text helpers shared by the stand-in programs and the tests' process helpers, which all build command
// lines for other programs and write UTF-8 records.
#pragma once

#include <windows.h>

#include <string>

namespace tooltext {

// Quotes one argument so that CommandLineToArgvW splits it back unchanged.
inline std::wstring QuoteArg(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            out.append(backslashes + 1, L'\\');  // the run so far is doubled, and the quote escaped
            backslashes = 0;
        } else {
            backslashes = 0;
        }
        out.push_back(c);
    }
    out.append(backslashes, L'\\');  // a run before the closing quote is doubled
    out.push_back(L'"');
    return out;
}

inline std::string ToUtf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              nullptr);
    return out;
}

}  // namespace tooltext
