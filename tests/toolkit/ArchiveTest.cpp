// The skin archive reader and the skin file lookup, on archives built by the tests.
#include "ToolkitTestUtil.h"
#include "UIArchive.h"
#include "UIMarkup.h"
#include "UIResources.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using tk::Bytes;

namespace {

Bytes Text(const std::string& s) { return tk::ToBytes(s); }

std::vector<tk::ZipEntry> SampleEntries()
{
    return {
        {"GameLoader.xml", Text("<Window><Label text=\"hi\"/></Window>"), true},
        {"img/Button.PNG", Text("stored bytes"), false},
        {"empty.txt", Bytes(), false},
        {"A.xml", Text("first"), false},
        {"a.XML", Text("second"), false},
    };
}

std::string ExtractAll(CSkinArchive& zip, const std::wstring& name, int* result = nullptr)
{
    DWORD size = 0;
    const int index = zip.FindMember(name, &size);
    if (index < 0) return "<missing>";
    std::string out(size, '\0');
    const int rc = zip.Extract(index, out.empty() ? nullptr : &out[0], out.size());
    if (result) *result = rc;
    return out;
}

void Set32(Bytes& b, size_t at, unsigned long v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
void Set16(Bytes& b, size_t at, unsigned v)
{
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
size_t EndRecord(const Bytes& zip) { return zip.size() - 22; }
size_t DirStart(const Bytes& zip)
{
    const size_t e = EndRecord(zip);
    return zip[e + 16] | (zip[e + 17] << 8) | (zip[e + 18] << 16) | (static_cast<size_t>(zip[e + 19]) << 24);
}

}  // namespace

TEST(Archive, ReadsStoredAndDeflatedMembersByLooseName)
{
    const Bytes zip = tk::MakeZip(SampleEntries());
    CSkinArchive archive;
    ASSERT_TRUE(archive.OpenFromMemory(zip.data(), zip.size()));
    EXPECT_EQ(5u, archive.MemberCount());

    int rc = -1;
    EXPECT_EQ("<Window><Label text=\"hi\"/></Window>", ExtractAll(archive, L"GameLoader.xml", &rc));
    EXPECT_EQ(CSkinArchive::kMoreData, rc);  // a buffer exactly as large as the member is filled
    EXPECT_EQ("stored bytes", ExtractAll(archive, L"img/Button.PNG", &rc));
    EXPECT_EQ(CSkinArchive::kMoreData, rc);

    const struct {
        const wchar_t* query;
        const char* expected;
    } lookups[] = {
        {L"gameloader.XML", "<Window><Label text=\"hi\"/></Window>"},
        {L"IMG\\button.png", "stored bytes"},
        {L"img/button.png", "stored bytes"},
        {L"a.xml", "first"},  // two members equal but for case: the first one wins
        {L"img", "<missing>"},
        {L"GameLoader.xm", "<missing>"},
        {L"", "<missing>"},
    };
    for (const auto& l : lookups) EXPECT_EQ(l.expected, ExtractAll(archive, l.query)) << l.query;

    // A larger buffer than the member ends with ok; the rest of the buffer is left alone.
    const int index = archive.FindMember(L"GameLoader.xml");
    std::string big(100, '#');
    EXPECT_EQ(CSkinArchive::kOk, archive.Extract(index, &big[0], big.size()));
    EXPECT_EQ('#', big.back());
    // A smaller one gets the first bytes and "more data".
    char small[7] = {};
    EXPECT_EQ(CSkinArchive::kMoreData, archive.Extract(index, small, 6));
    EXPECT_STREQ("<Windo", small);
    EXPECT_NE(CSkinArchive::kOk, archive.Extract(99, small, 6));
    EXPECT_NE(CSkinArchive::kOk, archive.Extract(-1, small, 6));
}

TEST(Archive, NamesOf256CharactersOrMoreAreNeverFound)
{
    const std::string n255(251, 'n'), n256(252, 'n'), n300(296, 'n');
    const Bytes zip = tk::MakeZip({{n255 + ".png", Text("a")}, {n256 + ".png", Text("b")}, {n300 + ".png", Text("c")}});
    CSkinArchive archive;
    ASSERT_TRUE(archive.OpenFromMemory(zip.data(), zip.size()));
    auto wide = [](const std::string& s) { return std::wstring(s.begin(), s.end()); };
    EXPECT_EQ("a", ExtractAll(archive, wide(n255 + ".png")));
    EXPECT_EQ("<missing>", ExtractAll(archive, wide(n256 + ".png")));
    EXPECT_EQ("<missing>", ExtractAll(archive, wide(n300 + ".png")));
}

TEST(Archive, OpensFromFileAndReadsMembers)
{
    const std::wstring dir = test::MakeTempDir(L"zipfile");
    ASSERT_TRUE(tk::WriteFile(dir + L"skin.zip", tk::MakeZip(SampleEntries())));
    CSkinArchive archive;
    ASSERT_TRUE(archive.OpenFromFile(dir + L"skin.zip"));
    EXPECT_EQ("stored bytes", ExtractAll(archive, L"img\\button.png"));
    EXPECT_EQ("<Window><Label text=\"hi\"/></Window>", ExtractAll(archive, L"GameLoader.xml"));
    archive.Close();
    EXPECT_FALSE(archive.OpenFromFile(dir + L"missing.zip"));
    test::RemoveTree(dir);
}

TEST(Archive, DamagedDirectoriesFailToOpen)
{
    const Bytes good = tk::MakeZip(SampleEntries());
    const size_t end = EndRecord(good), dir = DirStart(good);
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"no end record", [](Bytes& b) { b.resize(b.size() - 22); }},
        {"directory offset past the end", [&](Bytes& b) { Set32(b, end + 16, 0x7FFFFFF0); }},
        {"directory size past the end", [&](Bytes& b) { Set32(b, end + 12, 0xFFFFFFF0); }},
        {"entry count far beyond the directory", [&](Bytes& b) { Set16(b, end + 10, 0xFFFF); }},
        {"name length running out of the directory", [&](Bytes& b) { Set16(b, dir + 28, 0xFFFF); }},
        {"broken entry signature", [&](Bytes& b) { b[dir] = 'X'; }},
    };
    for (const auto& c : cases) {
        Bytes zip = good;
        c.damage(zip);
        tk::GuardedBuffer guarded(zip.data(), zip.size());
        CSkinArchive archive;
        EXPECT_FALSE(archive.OpenFromMemory(guarded.data(), guarded.size())) << c.what;
        EXPECT_EQ(-1, archive.FindMember(L"GameLoader.xml")) << c.what;
    }
    // Every truncation: either the directory is gone, or whatever opens extracts safely.
    for (size_t n = 0; n < good.size(); ++n) {
        tk::GuardedBuffer guarded(good.data(), n);
        CSkinArchive archive;
        if (archive.OpenFromMemory(guarded.data(), guarded.size())) (void)ExtractAll(archive, L"GameLoader.xml");
    }
}

TEST(Archive, DamagedMembersFailToExtract)
{
    const Bytes packed = tk::Deflate(Text(std::string(1000, 'x')));
    const Bytes good = tk::MakeZip({{"d.txt", Text(std::string(1000, 'x')), true}, {"s.txt", Text("stored")}});
    const size_t dir = DirStart(good);
    const size_t dir2 = dir + 46 + 5;  // second entry ("d.txt" has a 5-character name)
    const struct {
        const char* what;
        const wchar_t* member;
        std::function<void(Bytes&)> damage;
        int expected;
    } cases[] = {
        {"local header offset outside", L"d.txt", [&](Bytes& b) { Set32(b, dir + 42, 0x7FFFFFF0); },
         CSkinArchive::kBadLocalHeader},
        {"compressed size outside", L"d.txt", [&](Bytes& b) { Set32(b, dir + 20, 0x7FFFFFF0); },
         CSkinArchive::kBadLocalHeader},
        {"deflated size larger than the stream gives", L"d.txt", [&](Bytes& b) { Set32(b, dir + 24, 1500); },
         CSkinArchive::kCorrupt},
        {"stored size larger than stored", L"s.txt", [&](Bytes& b) { Set32(b, dir2 + 24, 50); },
         CSkinArchive::kCorrupt},
        {"broken deflate stream", L"d.txt", [&](Bytes& b) { b[30 + 5] = 0xFF; }, CSkinArchive::kCorrupt},
        {"encrypted", L"d.txt", [&](Bytes& b) { Set16(b, dir + 8, 1); }, CSkinArchive::kUnsupported},
        {"unknown method", L"d.txt", [&](Bytes& b) { Set16(b, dir + 10, 12); }, CSkinArchive::kUnsupported},
        {"local signature broken", L"s.txt", [&](Bytes& b) { b[30 + packed.size() + 5] = 'X'; },
         CSkinArchive::kBadLocalHeader},
    };
    for (const auto& c : cases) {
        Bytes zip = good;
        c.damage(zip);
        tk::GuardedBuffer guarded(zip.data(), zip.size());
        CSkinArchive archive;
        ASSERT_TRUE(archive.OpenFromMemory(guarded.data(), guarded.size())) << c.what;
        DWORD size = 0;
        const int index = archive.FindMember(c.member, &size);
        ASSERT_GE(index, 0) << c.what;
        std::vector<char> out(size + 1);
        EXPECT_EQ(c.expected, archive.Extract(index, out.data(), size)) << c.what;
    }
}

TEST(SkinResources, ResourceFolderAlwaysEndsWithASeparator)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {{L"", L""}, {L"C:\\skin", L"C:\\skin\\"}, {L"C:\\skin\\", L"C:\\skin\\"}, {L"a/b/", L"a/b/"}};
    for (const auto& c : cases) {
        CSkinResources::SetResourceFolder(c.in);
        EXPECT_EQ(c.out, CSkinResources::GetResourceFolder());
    }
}

TEST(SkinResources, LayoutsFromArchiveInMemoryAtTheSizeLimit)
{
    const std::string head = "<Window>", tail = "</Window>";
    const std::string exact = head + std::string(CSkinMarkup::kMaxFileBytes - head.size() - tail.size(), ' ') + tail;
    const std::string over = head + std::string(CSkinMarkup::kMaxFileBytes + 1 - head.size() - tail.size(), ' ') + tail;
    static const Bytes zip = tk::MakeZip({{"exact.xml", Text(exact), true},
                                          {"over.xml", Text(over), true},
                                          {"empty.xml", Bytes(), false},
                                          {"skin\\sub.xml", Text("<Sub/>"), false}});
    CSkinResources::SetResourceFolder(test::MakeTempDir(L"membuffer"));
    ASSERT_TRUE(CSkinResources::UseArchiveInMemory(zip.data(), zip.size()));
    EXPECT_EQ(std::wstring(L"membuffer"), CSkinResources::GetArchiveName());

    const struct {
        const wchar_t* file;
        bool loads;
        const wchar_t* error;
    } cases[] = {
        {L"exact.xml", true, L""},
        {L"EXACT.XML", true, L""},
        {L"over.xml", false, L"File too large"},
        {L"empty.xml", false, L"File is empty"},
        {L"missing.xml", false, L"Could not find ziped file"},
        {L"skin/sub.xml", false, L"Could not find ziped file"},  // only the query's "\" is turned into "/"
    };
    for (const auto& c : cases) {
        CSkinMarkup markup;
        EXPECT_EQ(c.loads, markup.LoadFromFile(c.file)) << c.file;
        EXPECT_STREQ(c.error, markup.LastError()) << c.file;
        EXPECT_STREQ(L"", markup.LastErrorContext()) << c.file;
        if (c.loads) {
            EXPECT_STREQ(L"Window", markup.Root().Name());
        }
    }
    // A second in-memory archive is ignored while one is in use.
    const Bytes other = tk::MakeZip({{"other.xml", Text("<Other/>")}});
    EXPECT_TRUE(CSkinResources::UseArchiveInMemory(other.data(), other.size()));
    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadFromFile(L"other.xml"));
}

TEST(SkinResources, ArchiveFileLooseFilesAndTheImageFallback)
{
    const std::wstring dir = test::MakeTempDir(L"skinfiles");
    ASSERT_TRUE(tk::WriteFile(dir + L"skin.zip", tk::MakeZip({{"main.xml", Text("<Window/>")}})));
    ASSERT_TRUE(tk::WriteFile(dir + L"loose.xml", Text("<Loose/>")));
    ASSERT_TRUE(tk::WriteFile(dir + L"empty.xml", Bytes()));
    ASSERT_TRUE(tk::WriteFile(dir + L"cwd.png", tk::SolidPng(2, 2, 0xFF00FF00)));
    CSkinResources::SetResourceFolder(dir);

    // Loose files under the resource folder.
    CSkinMarkup markup;
    EXPECT_TRUE(markup.LoadFromFile(L"loose.xml"));
    EXPECT_FALSE(markup.LoadFromFile(L"nothere.xml"));
    EXPECT_STREQ(L"Error opening file", markup.LastError());
    EXPECT_FALSE(markup.LoadFromFile(L"empty.xml"));
    EXPECT_STREQ(L"File is empty", markup.LastError());

    // An archive that cannot be opened is reported at each lookup.
    EXPECT_FALSE(CSkinResources::UseArchiveFile(L"absent.zip"));
    EXPECT_FALSE(markup.LoadFromFile(L"main.xml"));
    EXPECT_STREQ(L"Error opening zip file", markup.LastError());

    ASSERT_TRUE(CSkinResources::UseArchiveFile(L"skin.zip"));
    EXPECT_TRUE(CSkinResources::IsArchiveCached());
    EXPECT_TRUE(markup.LoadFromFile(L"main.xml"));

    // A name missing from the archive but present as a file in the current directory is an image, not a layout.
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));
    EXPECT_FALSE(markup.LoadFromFile(L"cwd.png"));
    EXPECT_STREQ(L"Could not find ziped file", markup.LastError());
    auto image = CRenderKit::DecodeImage(L"cwd.png", L"", 0);
    ASSERT_TRUE(image);
    EXPECT_EQ(2, image->width);
    EXPECT_FALSE(CRenderKit::DecodeImage(L"nothing.png", L"", 0));
    // A resource id must start with a digit; a missing resource falls back to a file of that name.
    EXPECT_FALSE(CRenderKit::DecodeImage(L"x12", L"PNG", 0));
    EXPECT_FALSE(CRenderKit::DecodeImage(L"12", L"PNG", 0));
    CSkinResources::CloseArchive();
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    ::SetCurrentDirectoryW(tmp);
    test::RemoveTree(dir);
}
