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
