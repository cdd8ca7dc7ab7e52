// Seeded mutation fuzzing of everything that reads damaged data: the archive reader, the parser of image
// attribute values and the markup reader. Inputs sit at the end of a buffer followed by a no-access page,
// so a read past the end faults; output buffers carry guard bytes that must stay untouched.
#include "ToolkitTestUtil.h"
#include "UIArchive.h"
#include "UIMarkup.h"
#include "UIRender.h"
#include "UIResources.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace SkinUI;

namespace {

using Rng = std::mt19937;

size_t Pick(Rng& rng, size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; }

void MutateBytes(Rng& rng, tk::Bytes& b)
{
    const int steps = 1 + static_cast<int>(Pick(rng, 4));
    for (int s = 0; s < steps && !b.empty(); ++s) {
        switch (Pick(rng, 5)) {
        case 0:
            b[Pick(rng, b.size())] = static_cast<unsigned char>(rng());
            break;
        case 1: {  // a 16- or 32-bit field set to a value that lies
            static const unsigned long kValues[] = {0, 1, 0xFFFF, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 4096};
            const unsigned long v = kValues[Pick(rng, 7)];
            const size_t at = Pick(rng, b.size());
            for (size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
            break;
        }
        case 2:
            b.resize(Pick(rng, b.size()));
            break;
        case 3:
            b.insert(b.begin() + static_cast<long>(Pick(rng, b.size())), static_cast<unsigned char>(rng()));
            break;
        default:
            b.erase(b.begin() + static_cast<long>(Pick(rng, b.size())));
            break;
        }
    }
}

template <typename Text>
void MutateText(Rng& rng, Text& t, const wchar_t* alphabet)
{
    const size_t alphabetSize = std::wcslen(alphabet);
    const int steps = 1 + static_cast<int>(Pick(rng, 3));
    for (int s = 0; s < steps; ++s) {
        const size_t at = Pick(rng, t.size() + 1);
        switch (Pick(rng, 4)) {
        case 0:
            if (at < t.size()) t[at] = alphabet[Pick(rng, alphabetSize)];
            break;
        case 1:
            t.insert(t.begin() + static_cast<long>(at), alphabet[Pick(rng, alphabetSize)]);
            break;
        case 2:
            if (at < t.size()) t.erase(t.begin() + static_cast<long>(at));
            break;
        default:
            t.resize(at);
            break;
        }
    }
}

}  // namespace

TEST(Fuzz, ArchiveReader)
{
    const tk::Bytes seed = tk::MakeZip({{"GameLoader.xml", tk::ToBytes(std::string(300, 'a') + "<Window/>"), true},
                                        {"img/a.png", tk::SolidPng(3, 3, 0xFF112233), false},
                                        {"B.txt", tk::ToBytes("hello hello hello hello"), true}});
    Rng rng(20261209);
    int opened = 0;
    for (int i = 0; i < 15000; ++i) {
        tk::Bytes zip = seed;
        MutateBytes(rng, zip);
        tk::GuardedBuffer input(zip.data(), zip.size());
        CSkinArchive archive;
        if (!archive.OpenFromMemory(input.data(), input.size())) continue;
        ++opened;
        for (size_t m = 0; m < archive.MemberCount(); ++m) {
            const std::string& name = archive.MemberName(m);
            DWORD size = 0;
            const int index = archive.FindMember(std::wstring(name.begin(), name.end()), &size);
            if (index < 0) continue;
            const size_t length = std::min<size_t>(size, 1 << 16);
            std::vector<unsigned char> out(length + 16, 0xCD);
            (void)archive.Extract(index, out.data(), length);
            for (size_t g = length; g < out.size(); ++g) ASSERT_EQ(0xCD, out[g]) << "iteration " << i;
        }
    }
    EXPECT_GT(opened, 1000);  // the mutations must leave many archives readable, or little is exercised
}

TEST(Fuzz, ImageSpecification)
{
    const wchar_t* seeds[] = {
        L"file='bk.png' corner='3,3,3,3' dest='0,0,530,13' source='0,0,9,9' fade='200'",
        L"file='t.png' xtiled='true' ytiled='true' hole='true' mask='#FFFF00FF'",
        L"res='130' restype='PNG' file='t.png' file='t.png' dest='1,1,2,2'",
        L"t.png",
    };
    const wchar_t* alphabet = L"'= ,#-\t0123456789filedstcornmakhxyurpgtT.\x4E00";
    const RECT item{10, 10, 60, 40};
    Rng rng(7);
    for (int i = 0; i < 20000; ++i) {
        std::wstring imageSpec = seeds[Pick(rng, 4)];
        MutateText(rng, imageSpec, alphabet);
        ImageSpecState state;
        state.name = imageSpec;
        state.dest = item;
        CRenderKit::ParseImageSpec(imageSpec, item, state, nullptr);
        ASSERT_LE(state.dest.right, item.right) << imageSpec;
        ASSERT_LE(state.dest.bottom, item.bottom) << imageSpec;
        (void)CRenderKit::ParseColor(imageSpec.c_str());
    }

    // Drawing what the mutated image specifications say, with odd corners, sources and tiles.
    const std::wstring dir = test::MakeTempDir(L"fuzzspec");
    CSkinResources::CloseArchive();
    CSkinResources::SetResourceFolder(dir);
    ASSERT_TRUE(tk::WriteFile(dir + L"t.png", tk::SolidPng(9, 9, 0x80FF0000)));
    ASSERT_TRUE(tk::WriteFile(dir + L"bk.png", tk::SolidPng(9, 9, 0xFF00FF00)));
    tk::TestHost host;
    tk::Canvas canvas(70, 50);
    for (int i = 0; i < 3000; ++i) {
        std::wstring imageSpec = seeds[Pick(rng, 4)];
        MutateText(rng, imageSpec, alphabet);
        ASSERT_TRUE(CRenderKit::RenderImageSpec(canvas.dc(), &host, item, canvas.Rect(), imageSpec));
    }
    test::RemoveTree(dir);
}

TEST(Fuzz, MarkupReader)
{
    const std::wstring seed =
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?><Window size=\"960,620\" caption=\"0,0,0,30\">"
        L"<Font name=\"微软雅黑\" size=\"12\"/><!-- main --><VerticalLayout bkcolor=\"#FF112233\">"
        L"<Label text=\"a &amp; b &lt;c&gt;\" pos=\"1,2,3,4\" /><Button name=\"close\">x&quot;y</Button>"
        L"<HorizontalLayout><Control /></HorizontalLayout></VerticalLayout></Window>";
    const wchar_t* alphabet = L"<>/\"'=&;!?- \tampltgquos_:aZ0\x4E00";
    Rng rng(12345);
    int loaded = 0;
    wchar_t value[500];
    for (int i = 0; i < 20000; ++i) {
        std::wstring text = seed;
        MutateText(rng, text, alphabet);
        CSkinMarkup markup;
        if (!markup.LoadFromText(text.c_str())) {
            ASSERT_STRNE(L"", markup.LastError());
            ASSERT_LE(std::wcslen(markup.LastErrorContext()), 49u);
            continue;
        }
        ++loaded;
        // Visit every node and attribute; all of it must come from inside the text.
        std::vector<CSkinMarkupNode> stack{markup.Root()};
        while (!stack.empty()) {
            CSkinMarkupNode node = stack.back();
            stack.pop_back();
            if (!node.IsValid()) continue;
            ASSERT_LE(std::wcslen(node.Name()) + std::wcslen(node.Value()), text.size());
            for (int a = 0; a < node.AttributeCount(); ++a) {
                ASSERT_LE(std::wcslen(node.AttributeValue(a)), text.size());
                (void)node.FindAttribute(node.AttributeName(a), value);
            }
            stack.push_back(node.NextSibling());
            stack.push_back(node.FirstChild());
        }
    }
    EXPECT_GT(loaded, 1000);

    // UTF-8 input read straight from a guarded buffer.
    std::string utf8;
    for (wchar_t c : seed) utf8 += static_cast<char>(c < 0x80 ? c : '?');
    for (int i = 0; i < 5000; ++i) {
        tk::Bytes bytes(utf8.begin(), utf8.end());
        MutateBytes(rng, bytes);
        tk::GuardedBuffer input(bytes.data(), bytes.size());
        CSkinMarkup markup;
        (void)markup.LoadFromBytes(input.data(), input.size());
    }
}
