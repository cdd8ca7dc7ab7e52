#include "Common.h"
#include "GameLoader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring Parse(const std::wstring& argsAfterProgram)
{
    std::wstring cmdLine = L"\"C:\\Games\\vemra2_main.exe\"";
    if (!argsAfterProgram.empty()) cmdLine += L" " + argsAfterProgram;
    std::wstring json = L"unchanged";
    EXPECT_TRUE(ParseCmdLine(cmdLine.c_str(), json));
    return json;
}

TEST(LaunchContext, CommandLineCases)
{
    const struct {
        const wchar_t* args;
        const wchar_t* expected;
    } cases[] = {
        // No arguments: an object with no members is written as null.
        {L"", L"null\n"},
        // One argument passes through unchanged, whatever it is.
        {L"--token=abc", L"--token=abc"},
        {L"\"{\"type\":1}\"", L"{type:1}"},
        {L"{\\\"type\\\":1}", L"{\"type\":1}"},
        // ... unless it carries the installed flag.
        {L"--installed=1", L"{\"installed\":\"1\"}\n"},
        {L"x--installed=", L"{\"installed\":\"\"}\n"},
        // Two or more: members sorted by name, whatever the order on the command line.
        {L"--winid=123 --source=OC", L"{\"source\":\"OC\",\"winid\":\"123\"}\n"},
        {L"--typeMode=1 --gameMgrId=77 --installed=0 --ocext=e --token=t --tokenLogin=1 --source=OC --winid=5",
         L"{\"gameMgrId\":\"77\",\"installed\":\"0\",\"ocext\":\"e\",\"source\":\"OC\",\"token\":\"t\","
         L"\"tokenLogin\":\"1\",\"typeMode\":\"1\",\"winid\":\"5\"}\n"},
        // The later of a repeated option wins; empty values are kept.
        {L"--token=a --token=b", L"{\"token\":\"b\"}\n"},
        {L"--token= --source=", L"{\"source\":\"\",\"token\":\"\"}\n"},
        // The first option of the fixed order wins inside one argument, and a prefix may stand anywhere.
        {L"--source=a--token=b --x", L"{\"source\":\"a--token=b\"}\n"},
        {L"junk--token=b --y", L"{\"token\":\"b\"}\n"},
        // tokenLogin is not taken for token.
        {L"--tokenLogin=1 --z", L"{\"tokenLogin\":\"1\"}\n"},
        // Arguments that match nothing are ignored; JSON escaping applies.
        {L"--foo=1 --bar", L"null\n"},
        {L"\"--ocext=a\\\"b\" --q", L"{\"ocext\":\"a\\\"b\"}\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.args), c.expected) << "arguments: " << WideToNarrow(c.args, CP_UTF8);
    }
}

TEST(LaunchContext, ProgramPathIsMatchedLikeAnyArgument)
{
    std::wstring json;
    ASSERT_TRUE(ParseCmdLine(L"\"C:\\--source=odd\\vemra2_main.exe\" --token=t --k", json));
    EXPECT_EQ(json, L"{\"source\":\"odd\\\\vemra2_main.exe\",\"token\":\"t\"}\n");
}

TEST(LaunchContext, ThousandsOfArgumentsAndVeryLongOnes)
{
    std::wstring args;
    for (int i = 0; i < 3000; ++i) args += L"--token=" + std::to_wstring(i) + L" ";
    EXPECT_EQ(Parse(args), L"{\"token\":\"2999\"}\n");

    const std::wstring longValue(32000, L'v');
    EXPECT_EQ(Parse(L"--ocext=" + longValue + L" --k"), L"{\"ocext\":\"" + longValue + L"\"}\n");
}

TEST(LaunchContext, CharactersOutsideTheAnsiCodePageNeverBreakTheText)
{
    // U+4E2D and a surrogate pair: what the ANSI code page cannot hold becomes its default character.
    const std::wstring json = Parse(L"--source=\u4e2d\U0001F600x --k");
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(json.substr(0, 11), L"{\"source\":\"");
    EXPECT_EQ(json.substr(json.size() - 4), L"x\"}\n");
}

TEST(StringHelpers, ReplaceAllScansOnAfterEachReplacement)
{
    const struct {
        const wchar_t *text, *search, *replacement, *expected;
    } cases[] = {
        {L"C:/Games/vemra2/vemra2.exe,0", L"/", L"\\", L"C:\\Games\\vemra2\\vemra2.exe,0"},
        {L"aaa", L"a", L"aa", L"aaaaaa"},
        {L"abc", L"", L"x", L"abc"},
        {L"", L"a", L"b", L""},
        {L"xyxy", L"xy", L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring text = c.text;
        ReplaceAll(text, c.search, c.replacement);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(StringHelpers, ConversionsStopAtTheFirstNul)
{
    EXPECT_EQ(AnsiToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToNarrow(std::wstring(L"ab\0cd", 5), CP_ACP), "ab");
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToNarrow(L"", CP_UTF8), "");
    EXPECT_EQ(WideToNarrow(L"\u4e2d", CP_UTF8), "\xe4\xb8\xad");
}

}  // namespace

namespace {

// The tests' own argument quoting must survive the platform's splitter, or command-line tests lie.
TEST(TestSupport, QuotedArgumentsSplitBackUnchanged)
{
    const std::wstring args[] = {L"plain", L"with space", L"", L"a\"b", L"a\\\"b", L"tail\\", L"tail\\\\ x",
                                 L"\\\\server\\share\\", L"{\"type\":1}", L"x\\\\\"y"};
    for (const auto& arg : args) {
        const std::wstring cmd = L"prog.exe " + test::QuoteArg(arg);
        int argc = 0;
        wchar_t** argv = ::CommandLineToArgvW(cmd.c_str(), &argc);
        ASSERT_TRUE(argv);
        ASSERT_EQ(argc, 2) << WideToNarrow(cmd, CP_UTF8);
        EXPECT_EQ(std::wstring(argv[1]), arg) << WideToNarrow(cmd, CP_UTF8);
        ::LocalFree(argv);
    }
}

}  // namespace
