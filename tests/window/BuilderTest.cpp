// The skin builder, from the launcher's own layouts and from markup text.
#include "UIBuilder.h"
#include "UILabel.h"
#include "UIResources.h"
#include "TestSupport.h"
#include "WindowHarness.h"

#include <gtest/gtest.h>

using namespace SkinUI;
using namespace wintest;

namespace {

class RecordingCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateCustomControl(const wchar_t* elementName) override
    {
        asked.push_back(elementName);
        if (wcscmp(elementName, L"IeBrowser") == 0 || wcscmp(elementName, L"label") == 0) return new CControlUI;
        return nullptr;
    }
    std::vector<std::wstring> asked;
};

// The repository's layout folder, as Wine sees it.
std::wstring LayoutFolder()
{
    std::wstring dir = L"Z:" VEMRA_SOURCE_DIR_W L"/resources/";
    for (auto& ch : dir)
        if (ch == L'/') ch = L'\\';
    return dir;
}

}  // namespace

TEST(Builder, NoticeDialogLayout)
{
    CSkinResources::SetResourceFolder(LayoutFolder());
    TestWindow w(100, 100);
    CSkinBuilder builder;
    RecordingCallback cb;
    CControlUI* root = builder.Build(L"CustomMsgBox.xml", L"", &cb, &w.manager);
    ASSERT_NE(root, nullptr) << builder.Markup().LastError();
    EXPECT_TRUE(cb.asked.empty());

    RECT rcWnd{};
    ::GetWindowRect(w.m_hWnd, &rcWnd);
    EXPECT_EQ(rcWnd.right - rcWnd.left, 440);  // "size" resizes the window while no root is attached
    EXPECT_EQ(rcWnd.bottom - rcWnd.top, 260);
    EXPECT_EQ(w.manager.GetCaptionRect().bottom, 260);
    EXPECT_EQ(w.manager.GetMaxInfo().cx, 440);
    EXPECT_EQ(w.manager.GetSizeBox().left, 0);
    EXPECT_TRUE(w.manager.GetShadow()->IsShadowRequested());
    EXPECT_EQ(w.manager.GetShadow()->GetImage(), L"shadow.png");
    EXPECT_EQ(w.manager.GetShadow()->GetCorners().right, 9);
    EXPECT_EQ(w.manager.FontCount(), 1);
    EXPECT_EQ(w.manager.FontRecordAt(-1).size, 14);  // "default" replaced the default font

    w.width = 440;
    w.height = 260;
    w.Show(root);
    CControlUI* ok = w.manager.FindControlByName(L"btnOk");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetPos().left, 172);
    EXPECT_EQ(ok->GetPos().top, 208);
    EXPECT_EQ(ok->GetPos().right, 268);
    EXPECT_EQ(ok->GetPos().bottom, 240);
    EXPECT_EQ(static_cast<CButtonUI*>(ok)->GetNormalImage(), L"file='confirm.png'");
    CControlUI* tip = w.manager.FindControlByName(L"labelTip");
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->GetText(), L"");  // the message label, not the title
    EXPECT_EQ(tip->GetWidth(), 420);
    EXPECT_EQ(static_cast<CLabelUI*>(tip)->GetTextColor(), 0x444444u);  // six digits: alpha 0, still not 0
}

TEST(Builder, MainWindowLayoutWithCustomBrowserElement)
{
    CSkinResources::SetResourceFolder(LayoutFolder());
    TestWindow w(100, 100);
    CSkinBuilder builder;
    RecordingCallback cb;
    auto* root = static_cast<CContainerUI*>(builder.Build(L"GameLoader.xml", L"", &cb, &w.manager));
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(cb.asked.size(), 1u);
    EXPECT_EQ(cb.asked[0], L"IeBrowser");
    EXPECT_EQ(w.manager.FontCount(), 7);
    EXPECT_EQ(w.manager.GetSizeBox().top, 6);
    EXPECT_EQ(w.manager.GetMinInfo().cx, 960);
    EXPECT_EQ(w.manager.GetInitSize().cy, 620);

    auto* tab = static_cast<CTabLayoutUI*>(root->ItemAt(0));
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->ItemCount(), 2);
    auto* page0 = static_cast<CContainerUI*>(tab->ItemAt(0));
    ASSERT_EQ(page0->ItemCount(), 1);
    EXPECT_EQ(page0->ItemAt(0)->GetName(), L"ie");
    auto* page1 = static_cast<CContainerUI*>(tab->ItemAt(1));
    ASSERT_EQ(page1->ItemCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(page1->ItemAt(i)->IsFloat());
    EXPECT_EQ(page1->ItemAt(2)->GetFixedWidth(), 530);
    EXPECT_EQ(page1->ItemAt(2)->GetFixedHeight(), 13);

    w.width = 960;
    w.height = 620;
    w.Show(root);
    tab->SelectPage(1);
    w.Paint();
    CControlUI* bar = w.manager.FindControlByName(L"progress");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetPos().right, 850);
    EXPECT_EQ(bar->GetPos().bottom, 333);
}

TEST(Builder, MarkupRulesTable)
{
    struct Case {
        const char* what;
        const wchar_t* markup;
        bool built;
        std::function<void(CControlUI*, CUIManager&, RecordingCallback&)> check;
    };
    const Case cases[] = {
        {"unknown and differently cased elements go to the callback; unknown subtrees are skipped",
         L"<Window><VerticalLayout><label name=\"l\"/><Edit><Button name=\"inner\"/></Edit><Button name=\"b\"/>"
         L"</VerticalLayout></Window>",
         true,
         [](CControlUI* root, CUIManager&, RecordingCallback& cb) {
             auto* c = static_cast<CContainerUI*>(root);
             ASSERT_EQ(c->ItemCount(), 2);
             EXPECT_EQ(c->ItemAt(0)->GetName(), L"l");
             EXPECT_EQ(c->ItemAt(1)->GetName(), L"b");
             ASSERT_EQ(cb.asked.size(), 2u);
             EXPECT_EQ(cb.asked[1], L"Edit");
         }},
        {"a parent that cannot take children fails the build",
         L"<Window><VerticalLayout><Button><Label/></Button></VerticalLayout></Window>", false, nullptr},
        {"first Default of a class wins, element attributes come after it",
         L"<Window><Default name=\"Button\" value=\"height=&quot;30&quot; width=&quot;5&quot;\"/>"
         L"<Default name=\"Button\" value=\"height=&quot;40&quot;\"/>"
         L"<VerticalLayout><Button width=\"7\"/></VerticalLayout></Window>",
         true,
         [](CControlUI* root, CUIManager& m, RecordingCallback&) {
             CControlUI* b = static_cast<CContainerUI*>(root)->ItemAt(0);
             EXPECT_EQ(b->GetFixedHeight(), 30);
             EXPECT_EQ(b->GetFixedWidth(), 7);
             EXPECT_EQ(m.ClassDefaults(L"Button"), L"height=\"30\" width=\"5\"");
         }},
        {"attributes apply in order and after the children",
         L"<Window><VerticalLayout><TabLayout selectedid=\"1\"><Control/><Control/></TabLayout>"
         L"<Progress value=\"150\" max=\"200\"/></VerticalLayout></Window>",
         true,
         [](CControlUI* root, CUIManager& m, RecordingCallback&) {
             auto* c = static_cast<CContainerUI*>(root);
             EXPECT_EQ(static_cast<CTabLayoutUI*>(c->ItemAt(0))->GetSelectedIndex(), 1);
             EXPECT_EQ(static_cast<CProgressUI*>(c->ItemAt(1))->GetValue(), 0);
             EXPECT_FALSE(m.IsGdiplusStarted()) << "neither see-through nor antialiased: no GDI+";
         }},
        {"antialiased text starts GDI+ for its window",
         L"<Window gdiplustext=\"true\"><Label text=\"a\"/></Window>",
         true,
         [](CControlUI*, CUIManager& m, RecordingCallback&) {
             EXPECT_TRUE(m.IsGdiplusText());
             EXPECT_TRUE(m.IsGdiplusStarted());
         }},
        {"window-level elements and shadow range checks",
         L"<Window shadowsize=\"21\" shadowsharpness=\"20\" shadowdarkness=\"256\" shadowposition=\"5,21\" "
         L"shadowcorner=\"1,2,3,-1\" alpha=\"300\" defaultfontcolor=\"#FF112233\" bktrans=\"true\">"
         L"<Font name=\"Arial\"/><Font name=\"Arial\" size=\"20\" bold=\"true\"/><Font size=\"9\"/>"
         L"<Image/><Control/></Window>",
         true,
         [](CControlUI*, CUIManager& m, RecordingCallback&) {
             CShadowUI* s = m.GetShadow();
             EXPECT_EQ(s->GetSize(), 0);
             EXPECT_EQ(s->GetSharpness(), 20);
             EXPECT_EQ(s->GetDarkness(), 150);
             EXPECT_EQ(s->GetOffsetX(), 0);
             EXPECT_EQ(s->GetCorners().left, 0);
             EXPECT_EQ(m.GetOpacity(), 255);
             EXPECT_EQ(m.GetDefaultFontColor(), 0xFF112233u);
             EXPECT_TRUE(m.IsBackgroundTransparent());
             EXPECT_TRUE(m.IsGdiplusStarted()) << "a see-through window draws its text through GDI+";
             ASSERT_EQ(m.FontCount(), 2);
             EXPECT_EQ(m.FontRecordAt(0).size, 12);
             EXPECT_TRUE(m.FontRecordAt(1).bold);
         }},
        {"include builds its source into the current parent, count times",
         L"<Window><HorizontalLayout><Include source=\"&lt;Window&gt;&lt;Button name=&quot;inc&quot;/&gt;"
         L"&lt;/Window&gt;\" count=\"3\"/></HorizontalLayout></Window>",
         true,
         [](CControlUI* root, CUIManager&, RecordingCallback&) {
             auto* c = static_cast<CContainerUI*>(root);
             ASSERT_EQ(c->ItemCount(), 3);
             EXPECT_EQ(c->ItemAt(2)->GetName(), L"inc");
         }},
        {"not a document", L"no markup here", false, nullptr},
        {"no controls", L"<Window><Font name=\"x\"/></Window>", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow w(100, 100);
        CSkinBuilder builder;
        RecordingCallback cb;
        CControlUI* root = builder.Build(c.markup, L"", &cb, &w.manager);
        EXPECT_EQ(root != nullptr, c.built);
        if (root == nullptr) continue;
        if (c.check) c.check(root, w.manager, cb);
        w.Show(root);
    }
}

TEST(Builder, SelfIncludingFileStops)
{
    std::wstring dir = test::MakeTempDir(L"builder_include");
    ASSERT_TRUE(test::WriteFileBytes(dir + L"loop.xml",
                                     "<Window><VerticalLayout><Control name=\"c\"/><Include source=\"loop.xml\"/>"
                                     "</VerticalLayout></Window>"));
    CSkinResources::SetResourceFolder(dir);
    TestWindow w(100, 100);
    CSkinBuilder builder;
    CControlUI* root = builder.Build(L"loop.xml", L"", nullptr, &w.manager);
    ASSERT_NE(root, nullptr);
    w.Show(root);
    CSkinResources::SetResourceFolder(LayoutFolder());
}
