// Text helpers shared by the stand-in programs and the tests' process helpers, which all build command
// lines for other programs and write UTF-8 records.
#pragma once

#include "ArgQuote.h"

#include <windows.h>

#include <string>

namespace tooltext {

// Quotes one argument so that CommandLineToArgvW splits it back unchanged.
inline std::wstring QuoteArg(const std::wstring& arg) { return QuoteCommandArg(arg); }

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
