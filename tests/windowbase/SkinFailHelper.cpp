// Creates a skinned window from the layout named on the command line; a layout that cannot be built
// ends this process with the toolkit's message box and exit code 1.
#include "TestSkinWindow.h"
#include "UIManager.h"

SKINUI_BEGIN_NOTIFY_MAP(TestSkinWnd, SkinUI::WindowImplBase)
SKINUI_END_NOTIFY_MAP()

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    TestSkinWnd wnd(argv[1], SkinUI::kSkinFiles);
    if (!wnd.Create(nullptr, L"skin fail", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0)) return 3;
    ::DestroyWindow(wnd.GetHWND());
    return 0;
}
