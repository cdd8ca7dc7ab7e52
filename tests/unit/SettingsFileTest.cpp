#include "GameLoader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { m_dir = test::MakeTempDir(L"settings"); }
    void TearDown() override { test::RemoveTree(m_dir); }
    std::wstring Path() const { return m_dir + L"setting.xml"; }
    std::wstring m_dir;
};

TEST_F(SettingsFile, CreatedWithSettingsRootCrLfAndFourSpaces)
{
    ASSERT_TRUE(WriteWindowId(Path(), L"65552"));
    EXPECT_EQ(test::ReadFileBytes(Path()), "<settings>\r\n    <ocwindowid>65552</ocwindowid>\r\n</settings>\r\n");

    ASSERT_TRUE(WriteLoginSource(Path(), L"OC"));
    ASSERT_TRUE(WriteWindowId(Path(), L"7"));
    EXPECT_EQ(test::ReadFileBytes(Path()),
              "<settings>\r\n    <ocwindowid>7</ocwindowid>\r\n    <loginsource>OC</loginsource>\r\n</settings>\r\n");

    std::wstring id, source;
    EXPECT_TRUE(ReadWindowId(Path(), id));
    EXPECT_TRUE(ReadLoginSource(Path(), source));
    EXPECT_EQ(id, L"7");
    EXPECT_EQ(source, L"OC");
}

TEST_F(SettingsFile, EmptyValueKeepsTheElementAndReadsAsFound)
{
    ASSERT_TRUE(WriteLoginSource(Path(), L""));
    EXPECT_EQ(test::ReadFileBytes(Path()), "<settings>\r\n    <loginsource></loginsource>\r\n</settings>\r\n");
    std::wstring source = L"before";
    EXPECT_TRUE(ReadLoginSource(Path(), source));
    EXPECT_EQ(source, L"before");  // no text: the out-value is left alone
}

TEST_F(SettingsFile, ExistingFileWithAnotherRootIsUpdatedInPlace)
{
    ASSERT_TRUE(test::WriteFileBytes(Path(), "<config><ocwindowid>1</ocwindowid><other>x</other></config>"));
    ASSERT_TRUE(WriteWindowId(Path(), L"42"));
    const std::string saved = test::ReadFileBytes(Path());
    EXPECT_NE(saved.find("<config>"), std::string::npos);
    EXPECT_NE(saved.find("<ocwindowid>42</ocwindowid>"), std::string::npos);
    EXPECT_NE(saved.find("<other>x</other>"), std::string::npos);
    EXPECT_EQ(saved.find("settings"), std::string::npos);
}

TEST_F(SettingsFile, NestedElementIsNotFoundAndContentIsReplacedWhole)
{
    ASSERT_TRUE(test::WriteFileBytes(Path(), "<settings><group><ocwindowid>9</ocwindowid></group>"
                                             "<loginsource>a<!--c--><b/>tail</loginsource></settings>"));
    std::wstring id;
    EXPECT_FALSE(ReadWindowId(Path(), id));
    ASSERT_TRUE(WriteLoginSource(Path(), L"OC"));
    const std::string saved = test::ReadFileBytes(Path());
    EXPECT_NE(saved.find("<loginsource>OC</loginsource>"), std::string::npos);
    EXPECT_EQ(saved.find("tail"), std::string::npos);
    EXPECT_EQ(saved.find("<!--c-->"), std::string::npos);
    // The nested one stays where it was; a new direct child is appended.
    ASSERT_TRUE(WriteWindowId(Path(), L"5"));
    EXPECT_TRUE(ReadWindowId(Path(), id));
    EXPECT_EQ(id, L"5");
    EXPECT_NE(test::ReadFileBytes(Path()).find("<ocwindowid>9</ocwindowid>"), std::string::npos);
}

TEST_F(SettingsFile, BadFilesAreLeftUntouchedAndReadAsMissing)
{
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"garbage", std::string("\x00\xff\xfe\x01<<<\x80\x81", 10)},
        {"text without element", "just some text"},
        {"only a comment", "<!-- nothing -->"},
        {"unclosed", "<settings><ocwindowid>1"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(test::WriteFileBytes(Path(), c.bytes));
        std::wstring value = L"kept";
        EXPECT_FALSE(ReadWindowId(Path(), value)) << c.name;
        EXPECT_EQ(value, L"kept") << c.name;
        EXPECT_FALSE(WriteWindowId(Path(), L"1")) << c.name;
        EXPECT_EQ(test::ReadFileBytes(Path()), c.bytes) << c.name;
    }
}

TEST_F(SettingsFile, MissingAndReadOnlyFiles)
{
    std::wstring value;
    EXPECT_FALSE(ReadWindowId(Path(), value));
    EXPECT_FALSE(ReadLoginSource(m_dir + L"no\\such\\dir\\setting.xml", value));
    EXPECT_FALSE(WriteWindowId(m_dir + L"no\\such\\dir\\setting.xml", L"1"));

    // A file that cannot be written (held without write sharing; the tests run as root, for whom the
    // read-only attribute does not stop a write) is reported and left as it was.
    ASSERT_TRUE(WriteWindowId(Path(), L"1"));
    const std::string before = test::ReadFileBytes(Path());
    HANDLE hLock = ::CreateFileW(Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteWindowId(Path(), L"2"));
    EXPECT_TRUE(ReadWindowId(Path(), value));
    EXPECT_EQ(value, L"1");
    ::CloseHandle(hLock);
    EXPECT_EQ(test::ReadFileBytes(Path()), before);
}

TEST(SettingsPath, LivesInTheParentClientFolder)
{
    const std::wstring path = GetSettingPath();
    EXPECT_EQ(path, test::ParentFolder() + L"setting.xml");
    EXPECT_TRUE(test::FileExists(test::ParentFolder()));
}

}  // namespace
