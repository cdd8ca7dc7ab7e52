// Quoting of one command-line argument so that CommandLineToArgvW (and the C runtime) split it back
// unchanged. Shared by the launcher's game start and by the tools and tests that start programs.
#pragma once

#include <cwctype>
#include <string>

inline bool ArgNeedsQuotes(const std::wstring& arg)
{
    if (arg.empty()) return true;
    for (wchar_t c : arg)
        if (c == L'"' || std::iswspace(static_cast<wint_t>(c))) return true;
    return false;
}

// The argument as is when nothing in it would split or vanish; otherwise in double quotes, with each run of
// backslashes before a quote doubled and the quote escaped.
inline std::wstring QuoteCommandArg(const std::wstring& arg)
{
    if (!ArgNeedsQuotes(arg)) return arg;
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
