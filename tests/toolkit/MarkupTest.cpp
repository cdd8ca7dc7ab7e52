// The in-place markup reader: documents that load, documents that fail and what they report.
#include "ToolkitTestUtil.h"
#include "UIMarkup.h"

#include <gtest/gtest.h>

#include <string>

using namespace SkinUI;

namespace {

// The tree as text: name(attr=value,...)[value]{children}.
std::wstring Dump(CSkinMarkupNode node)
{
    std::wstring out;
    for (; node.IsValid(); node = node.NextSibling()) {
        out += node.Name();
        if (node.AttributeCount() > 0) {
            out += L"(";
            for (int i = 0; i < node.AttributeCount(); ++i)
                out += std::wstring(i ? L"," : L"") + node.AttributeName(i) + L"=" + node.AttributeValue(i);
            out += L")";
        }
        if (*node.Value()) out += std::wstring(L"[") + node.Value() + L"]";
        if (node.HasChildren()) out += L"{" + Dump(node.FirstChild()) + L"}";
        if (node.NextSibling().IsValid()) out += L" ";
    }
    return out;
}

}  // namespace

TEST(Markup, DocumentsThatLoad)
{
    const struct {
        const wchar_t* text;
        const wchar_t* tree;
    } cases[] = {
        {L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Window size=\"960,620\"/>", L"Window(size=960,620)"},
        {L"<a><b/><c /><d x=\"1\"/></a>", L"a{b c d(x=1)}"},
        {L"<a>&amp;&apos;&lt;&gt;&quot;&amp;&nbsp;x</a>", L"a[&'<>\"&&nbsp;x]"},
        {L"<a t=\"&lt;b&gt; &amp;&amp; 'q'\" u=\"2\"/>", L"a(t=<b> && 'q',u=2)"},
        {L"<a>text before<b/></a>", L"a[text before]{b}"},
        {L"<a>&lt;&lt;<b/></a>", L"a[<<]{b}"},
        {L"<a>  spaced  </a>", L"a[  spaced  ]"},
        {L"<a><!-- comment <b/> --><c/></a>", L"a{c}"},
        {L"<a x = \"1\"\ty=\"2\"z=\"3\" ></a >", L"a(x=1,y=2,z=3)"},
        {L"<a><b><c/></b></a>", L"a{b{c}}"},
        {L"<Window>", L"Window"},                          // the root's end tag may be missing
        {L"<Window><b>runs to the end", L"Window{b[runs to the end]}"},
        {L"<Window><b>&amp;end", L"Window{b[&end]}"},
        {L"<a/><b/>", L"a b"},
        {L"<a x=\"\" y=\"v\"/>", L"a(x=,y=v)"},
        {L"<名字 属性=\"值\">文字</名字>", L"名字(属性=值)[文字]"},
    };
    for (const auto& c : cases) {
        CSkinMarkup markup;
        EXPECT_TRUE(markup.LoadFromText(c.text)) << c.text << L": " << markup.LastError();
        EXPECT_EQ(c.tree, Dump(markup.Root())) << c.text;
    }
}

TEST(Markup, DocumentsThatFail)
{
    const struct {
        const wchar_t* text;
        const wchar_t* error;
        const wchar_t* context;
    } cases[] = {
        {L"<a><b/>text after child</a>", L"Expected start tag", L"text after child</a>"},
        {L"text", L"Expected start tag", L"text"},
        {L"<a x='1'/>", L"Expected attribute value", L"'1'/>"},
        {L"<a x=\"1", L"Error while parsing attribute string", L""},
        {L"<a x></a>", L"Error while parsing attributes", L"></a>"},
        {L"<a></b>", L"Unmatched closing tag", L"b>"},
        {L"<a></a x>", L"Unmatched closing tag", L"x>"},
        {L"<a", L"Error parsing element name", L""},
        {L"<a x=\"1\" $>", L"Error while parsing attributes", L"$>"},
        {L"<a x=\"1\"/ >", L"Expected start-tag closing", L"/ >"},
        {L"<Window><b><c/>", L"Expected start tag", L""},  // a grandchild followed by the end of the text
        {L"<Window><b><c>text", L"Expected end-tag start", L""},
    };
    for (const auto& c : cases) {
        CSkinMarkup markup;
        EXPECT_FALSE(markup.LoadFromText(c.text)) << c.text;
        EXPECT_STREQ(c.error, markup.LastError()) << c.text;
        EXPECT_STREQ(c.context, markup.LastErrorContext()) << c.text;
        EXPECT_FALSE(markup.IsLoaded());
        EXPECT_FALSE(markup.Root().IsValid());
    }
    // The context holds at most 49 characters.
    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadFromText((L"<a/>" + std::wstring(80, L'x')).c_str()));
    EXPECT_EQ(std::wstring(49, L'x'), markup.LastErrorContext());
    // A later success clears the error.
    EXPECT_TRUE(markup.LoadFromText(L"<a/>"));
    EXPECT_STREQ(L"", markup.LastError());
}

TEST(Markup, OnlyDeclarationAndCommentsLoadsWithoutRoot)
{
    CSkinMarkup markup;
    EXPECT_TRUE(markup.LoadFromText(L"<?xml version=\"1.0\"?><!-- nothing -->"));
    EXPECT_FALSE(markup.IsLoaded());
    EXPECT_FALSE(markup.Root().IsValid());
    EXPECT_STREQ(L"", markup.Root().Name());
}

TEST(Markup, BytesAreUtf8WithOptionalBom)
{
    const std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\"?><Window caption=\"\xE5\x8A\xA0\xE8\xBD\xBD\"/>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromBytes(text.data(), text.size()));
    wchar_t value[500] = {};
    ASSERT_TRUE(markup.Root().FindAttribute(L"caption", value));
    EXPECT_STREQ(L"加载", value);
    // Malformed UTF-8 is replaced, not rejected.
    const std::string bad = "<a x=\"\xFF\xFE\"/>";
    EXPECT_TRUE(markup.LoadFromBytes(bad.data(), bad.size()));
    EXPECT_TRUE(markup.LoadFromBytes("", 0));
    EXPECT_FALSE(markup.IsLoaded());
}

TEST(Markup, AttributeLimits)
{
    std::wstring text = L"<a";
    for (int i = 1; i <= 65; ++i) text += L" k" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    text += L" long=\"" + std::wstring(600, L'L') + L"\"/>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromText(text.c_str()));
    CSkinMarkupNode root = markup.Root();
    EXPECT_EQ(64, root.AttributeCount());
    EXPECT_STREQ(L"k64", root.AttributeName(63));
    EXPECT_STREQ(L"v64", root.AttributeValue(63));
    EXPECT_STREQ(L"", root.AttributeName(64));
    EXPECT_STREQ(L"", root.AttributeValue(-1));
    wchar_t value[500];
    wcscpy(value, L"untouched");
    EXPECT_FALSE(root.FindAttribute(L"k65", value));
    EXPECT_STREQ(L"untouched", value);
    EXPECT_TRUE(root.HasAttribute(L"k1"));
    EXPECT_FALSE(root.HasAttribute(L"K1"));

    ASSERT_TRUE(markup.LoadFromText((L"<a long=\"" + std::wstring(600, L'L') + L"\" d=\"1\" d=\"2\"/>").c_str()));
    root = markup.Root();
    wchar_t big[1000];
    ASSERT_TRUE(root.FindAttribute(L"long", big));
    EXPECT_EQ(std::wstring(499, L'L'), big);
    wchar_t small[4];
    ASSERT_TRUE(root.FindAttribute(L"long", small));
    EXPECT_STREQ(L"LLL", small);
    ASSERT_TRUE(root.FindAttribute(L"d", value));
    EXPECT_STREQ(L"1", value);  // duplicates: the first wins
    // Copies of a node carry their own mapping.
    CSkinMarkupNode copy = root;
    EXPECT_EQ(3, copy.AttributeCount());
}

TEST(Markup, NavigationAndTheElementTable)
{
    std::wstring text = L"<Window>";
    for (int i = 0; i < 2000; ++i) text += L"<Item n=\"" + std::to_wstring(i) + L"\"/>";
    text += L"</Window>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromText(text.c_str()));
    EXPECT_EQ(2002u, markup.ElementCount());
    // 500, then 500 + 250 + 500 = 1250, then 1250 + 625 + 500 = 2375.
    EXPECT_EQ(2375u, markup.ElementCapacity());
    int count = 0;
    wchar_t value[500];
    for (CSkinMarkupNode n = markup.Root().FirstChild(); n.IsValid(); n = n.NextSibling(), ++count) {
        ASSERT_TRUE(n.FindAttribute(L"n", value));
        ASSERT_EQ(std::to_wstring(count), value);
        ASSERT_STREQ(L"Window", n.Parent().Name());
    }
    EXPECT_EQ(2000, count);
    EXPECT_FALSE(markup.Root().Parent().IsValid());
    EXPECT_FALSE(markup.Root().NextSibling().IsValid());
    markup.Release();
    EXPECT_FALSE(markup.IsLoaded());
    EXPECT_FALSE(CSkinMarkupNode().FirstChild().IsValid());
    EXPECT_EQ(0, CSkinMarkupNode().AttributeCount());
}

TEST(Markup, CutAtEveryPositionStaysInsideTheText)
{
    const std::wstring full =
        L"\xFEFF<?xml version=\"1.0\"?><Window size=\"960,620\" caption=\"0,0,0,30\"><!-- c -->"
        L"<VerticalLayout bkimage=\"file='bk.png' corner='3,3,3,3'\"><Label text=\"a &amp; b\" />"
        L"<Button name=\"close\">x&lt;y</Button></VerticalLayout></Window>";
    for (size_t n = 0; n <= full.size(); ++n) {
        const std::wstring cut = full.substr(0, n);
        CSkinMarkup markup;
        const bool ok = markup.LoadFromText(cut.c_str());
        if (ok && markup.IsLoaded()) (void)Dump(markup.Root());
        if (!ok) {
            EXPECT_STRNE(L"", markup.LastError()) << n;
        }
    }
    // Cut UTF-8 as well, from a buffer that ends at a no-access page.
    const std::string utf8 = "\xEF\xBB\xBF<Window a=\"\xE5\x8A\xA0\">\xE8\xBD\xBD<b/></Window>";
    for (size_t n = 0; n <= utf8.size(); ++n) {
        tk::GuardedBuffer guarded(utf8.data(), n);
        CSkinMarkup markup;
        (void)markup.LoadFromBytes(guarded.data(), guarded.size());
    }
}

TEST(Markup, DeepNestingFailsInsteadOfExhaustingTheStack)
{
    std::wstring text;
    for (int i = 0; i < 100000; ++i) text += L"<a>";
    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadFromText(text.c_str()));
    EXPECT_STREQ(L"Elements nested too deeply", markup.LastError());
}

namespace {

// The system's own reading of UTF-8, damaged bytes included: what the reader has always produced.
std::wstring SystemUtf8(const std::string& bytes)
{
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

}  // namespace

TEST(Markup, Utf8ReadsAsTheSystemReadsIt)
{
    const std::string pieces[] = {
        "\xC2\xA9", "\xDF\xBF", "\xE5\x8A\xA0", "\xEF\xBF\xBF", "\xEF\xBB\xBF",  // valid: 2 and 3 bytes, a late BOM
        "\xF0\x90\x80\x80", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",               // valid: 4 bytes, surrogate pairs
        "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",               // overlong
        "\xED\xA0\x80", "\xED\xBF\xBF",                                           // encoded surrogates
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xFE",                   // beyond U+10FFFF, never valid
        "\x80", "\xBF\xBF", "\xE5\x8A", "\xF0\x9F\x98", "\xC2",                   // stray or cut short
        "\xE5\x8A" "x",
    };
    // Every piece after ASCII runs of each length around the 8- and 16-byte blocks, inside content and as the
    // very last bytes of a document whose root is left open.
    for (const std::string& piece : pieces) {
        for (size_t run = 0; run <= 34; ++run) {
            const std::string content = std::string(run, 'x') + piece + "yz";
            CSkinMarkup markup;
            const std::string closed = "<a>" + content + "</a>";
            ASSERT_TRUE(markup.LoadFromBytes(closed.data(), closed.size()));
            ASSERT_EQ(SystemUtf8(content), markup.Root().Value()) << run;
            const std::string open = "<a>" + std::string(run, 'x') + piece;
            ASSERT_TRUE(markup.LoadFromBytes(open.data(), open.size()));
            ASSERT_EQ(SystemUtf8(std::string(run, 'x') + piece), markup.Root().Value()) << run;
        }
    }
    // What the pieces mean, spelled out.
    const struct {
        const char* bytes;
        const wchar_t* text;
    } known[] = {
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        {"\xF0\x90\x80\x80", L"\xD800\xDC00"},
        {"\xE5\x8A\xA0\xE8\xBD\xBD", L"\x52A0\x8F7D"},
        {"\xC2\xA9", L"\x00A9"},
        {"\xFF", L"\xFFFD"},
    };
    for (const auto& k : known) {
        const std::string text = std::string("<a v=\"") + k.bytes + "\">" + k.bytes + "</a>";
        CSkinMarkup markup;
        ASSERT_TRUE(markup.LoadFromBytes(text.data(), text.size()));
        wchar_t value[16] = {};
        ASSERT_TRUE(markup.Root().FindAttribute(L"v", value));
        EXPECT_STREQ(k.text, value);
        EXPECT_STREQ(k.text, markup.Root().Value());
    }
}

TEST(Markup, EntitiesAndEndsAtEveryOffset)
{
    // A value's end, an entity or a damaged entity at each position around the eight-character blocks.
    for (size_t n = 0; n <= 20; ++n) {
        const std::wstring lead(n, L'v');
        const std::wstring text = L"<a k=\"" + lead + L"&lt;t&gt;\" m=\"" + lead + L"\" q=\"" + lead + L"&nbsp\">" +
                                  lead + L"&amp;" + lead + L"<b/></a>";
        CSkinMarkup markup;
        ASSERT_TRUE(markup.LoadFromText(text.c_str())) << n;
        CSkinMarkupNode a = markup.Root();
        ASSERT_EQ(3, a.AttributeCount()) << n;
        EXPECT_EQ(lead + L"<t>", a.AttributeValue(0));
        EXPECT_EQ(lead, a.AttributeValue(1));
        EXPECT_EQ(lead + L"&nbsp", a.AttributeValue(2));
        EXPECT_STREQ(L"m", a.AttributeName(1));
        EXPECT_EQ(lead + L"&" + lead, a.Value());
        EXPECT_STREQ(L"b", a.FirstChild().Name());

        // A value that runs to the end of the text at each length.
        CSkinMarkup cut;
        EXPECT_FALSE(cut.LoadFromText((L"<a k=\"" + lead).c_str()));
        EXPECT_STREQ(L"Error while parsing attribute string", cut.LastError());
    }
}

TEST(Markup, LargeDocumentInUtf8)
{
    // About 2 MB: what a long layout in any script gives back, element by element.
    std::string text = "\xEF\xBB\xBF<Window>";
    const int count = 20000;
    for (int i = 0; i < count; ++i)
        text += "<Label name=\"l" + std::to_string(i) + "\" text=\"\xE6\xA0\x87\xE7\xAD\xBE \xF0\x9F\x98\x80 &amp; " +
                std::to_string(i) + "\">\xC2\xA9" + std::string(static_cast<size_t>(i % 40), 'x') + "</Label>\n";
    text += "</Window>";
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadFromBytes(text.data(), text.size()));
    EXPECT_EQ(static_cast<ULONG>(count + 2), markup.ElementCount());
    int i = 0;
    wchar_t value[64];
    for (CSkinMarkupNode n = markup.Root().FirstChild(); n.IsValid(); n = n.NextSibling(), ++i) {
        ASSERT_TRUE(n.FindAttribute(L"text", value));
        ASSERT_EQ(L"\x6807\x7B7E \xD83D\xDE00 & " + std::to_wstring(i), value);
        ASSERT_EQ(L"\xA9" + std::wstring(static_cast<size_t>(i % 40), L'x'), n.Value());
    }
    EXPECT_EQ(count, i);
}
