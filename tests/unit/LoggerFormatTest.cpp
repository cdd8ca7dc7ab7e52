#include "Logger.h"

#include <gtest/gtest.h>

namespace {

SYSTEMTIME Time(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms)
{
    SYSTEMTIME t = {};
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = mi;
    t.wSecond = s;
    t.wMilliseconds = ms;
    return t;
}

TEST(LoggerFormat, LineLayoutAndSpacePaddedMilliseconds)
{
    const struct {
        WORD ms;
        const char* expected;
    } cases[] = {
        {7, "2024-04-08 09:05:03.  7 [c<12>F::g] : hello"},
        {45, "2024-04-08 09:05:03. 45 [c<12>F::g] : hello"},
        {999, "2024-04-08 09:05:03.999 [c<12>F::g] : hello"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Logger::FormatLine(Time(2024, 4, 8, 9, 5, 3, c.ms), "a\\b\\c", 12, "F::g", "hello"), c.expected);
    }
}

TEST(LoggerFormat, SourceFileIsThePartAfterTheLastBackslash)
{
    EXPECT_STREQ(Logger::SourceFileName("a\\b\\c"), "c");
    EXPECT_STREQ(Logger::SourceFileName("Main.cpp"), "Main.cpp");
    EXPECT_STREQ(Logger::SourceFileName("GameLoader/GameLoaderWnd.cpp"), "GameLoader/GameLoaderWnd.cpp");
    // A backslash in the first position does not count.
    EXPECT_STREQ(Logger::SourceFileName("\\x"), "\\x");
    EXPECT_STREQ(Logger::SourceFileName("dir\\"), "");
}

TEST(LoggerFormat, DatedFileNameHasNoLeadingZeros)
{
    EXPECT_EQ(Logger::DatedFileName("C:\\Log\\vemra2_main.exe", Time(2024, 4, 8, 0, 0, 0, 0)),
              "C:\\Log\\vemra2_main.exe_2024_4_8.log");
    EXPECT_EQ(Logger::DatedFileName("x.exe", Time(2026, 12, 31, 23, 59, 59, 999)), "x.exe_2026_12_31.log");
}

TEST(LoggerFormat, LineBreaksInsideAMessageStayOnOneLine)
{
    const SYSTEMTIME t = Time(2024, 4, 8, 9, 5, 3, 100);
    EXPECT_EQ(Logger::FormatLine(t, "c", 1, "f", "a\r\nb\n"), "2024-04-08 09:05:03.100 [c<1>f] : a\\r\\nb\\n");
    EXPECT_EQ(Logger::FormatLine(t, "c", 1, "f", "tab\tstays"), "2024-04-08 09:05:03.100 [c<1>f] : tab\tstays");
}

}  // namespace
