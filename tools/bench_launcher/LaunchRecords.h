// Reading what a launcher start left behind, to split its time into steps: the stand-in engine's records
// (on the performance counter's clock, which all processes share) and the launcher's log lines (local time
// to the millisecond).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace launchrec {

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

// The number after " key=" (or at the line's start), or fallback when the line has none.
inline double Field(const std::string& line, const std::string& key, double fallback = -1)
{
    const std::string token = key + "=";
    for (size_t at = line.find(token); at != std::string::npos; at = line.find(token, at + 1)) {
        if (at != 0 && line[at - 1] != ' ') continue;
        const char* begin = line.c_str() + at + token.size();
        char* end = nullptr;
        const double v = std::strtod(begin, &end);
        return end == begin ? fallback : v;
    }
    return fallback;
}

// One engine object's start, in microseconds on the performance counter's clock; negative where missing.
struct EngineTimes {
    double createdUs = -1;
    double navigateUs = -1;
    double completeUs = -1;  // the first DocumentComplete of the page itself (not of a frame)
};

inline EngineTimes ReadEngineTimes(const std::string& records)
{
    EngineTimes t;
    for (const std::string& line : Lines(records)) {
        if (t.createdUs < 0 && line.rfind("created ", 0) == 0) {
            t.createdUs = Field(line, "clock-us");
        } else if (t.createdUs >= 0 && t.navigateUs < 0 && line.rfind("navigate url=", 0) == 0) {
            const double us = Field(line, "us");
            if (us >= 0) t.navigateUs = t.createdUs + us;
        } else if (t.createdUs >= 0 && t.completeUs < 0 && line.rfind("event name=DocumentComplete ", 0) == 0 &&
                   line.find(" frame=0") != std::string::npos) {
            const double us = Field(line, "us");
            if (us >= 0) t.completeUs = t.createdUs + us;
        }
    }
    return t;
}

// A launcher log line: "YYYY-MM-DD hh:mm:ss.mmm [File<line>function] : message" (the milliseconds may be
// padded with blanks).
struct LogLine {
    FILETIME localTime{};  // local time, as the log writes it
    std::string function;
    std::string message;
};

inline bool ParseLogLine(const std::string& line, LogLine& out)
{
    SYSTEMTIME st{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0, used = 0;
    if (std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%d.%d%n", &year, &month, &day, &hour, &minute, &second, &ms,
                    &used) != 7)
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || ms < 0 ||
        ms > 999)
        return false;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = static_cast<WORD>(ms);
    if (!::SystemTimeToFileTime(&st, &out.localTime)) return false;
    const size_t open = line.find('[', static_cast<size_t>(used));
    const size_t close = line.find("] : ", open == std::string::npos ? 0 : open);
    if (open == std::string::npos || close == std::string::npos) return false;
    const std::string source = line.substr(open + 1, close - open - 1);  // File<line>function
    const size_t angle = source.find('>');
    out.function = angle == std::string::npos ? source : source.substr(angle + 1);
    out.message = line.substr(close + 4);
    return true;
}

inline std::vector<LogLine> ParseLog(const std::string& text)
{
    std::vector<LogLine> out;
    for (const std::string& line : Lines(text)) {
        LogLine l;
        if (ParseLogLine(line, l)) out.push_back(std::move(l));
    }
    return out;
}

inline int64_t FileTimeUs(const FILETIME& ft)
{
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10;
}

// The first line written by function (any, when empty), in microseconds after startLocal; negative when
// there is none.
inline double FirstLineAfter(const std::vector<LogLine>& log, const std::string& function, const FILETIME& startLocal)
{
    for (const LogLine& l : log)
        if (function.empty() || l.function == function)
            return static_cast<double>(FileTimeUs(l.localTime) - FileTimeUs(startLocal));
    return -1;
}

}  // namespace launchrec
