// Containers: an ordered list of owned children with an inset, spacing, optional scroll bars and floating
// children; stacking layouts and a tab layout that shows one page at a time.
#pragma once

#include "UIControl.h"

#include <vector>

namespace SkinUI {

class IContainerUI {
public:
    virtual CControlUI* ItemAt(int index) const = 0;
    virtual int IndexOf(CControlUI* pControl) const = 0;
    virtual bool MoveItem(CControlUI* pControl, int newIndex) = 0;
    virtual int ItemCount() const = 0;
    virtual bool AddItem(CControlUI* pControl) = 0;
    virtual bool InsertItem(CControlUI* pControl, int index) = 0;
    virtual bool RemoveItem(CControlUI* pControl) = 0;
    virtual bool RemoveItemAt(int index) = 0;
    virtual void RemoveAllItems() = 0;

protected:
    ~IContainerUI() = default;
};

// Keeps a range and a position and can be shown or hidden; the skins draw no scroll bars.
class CScrollBarUI : public CControlUI {
public:
    explicit CScrollBarUI(bool bHorizontal = false);
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    bool IsHorizontal() const { return m_bHorizontal; }
    int GetScrollRange() const { return m_nRange; }
    // Limits the position to the new range.
    void SetScrollRange(int nRange);
    int GetScrollPos() const { return m_nScrollPos; }
    void SetScrollPos(int nPos);
    void SetOwner(CControlUI* pOwner) { m_pOwner = pOwner; }
    CControlUI* GetOwner() const { return m_pOwner; }

private:
    bool m_bHorizontal;
    int m_nRange = 0;
    int m_nScrollPos = 0;
    CControlUI* m_pOwner = nullptr;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;

    CControlUI* ItemAt(int index) const override;
    int IndexOf(CControlUI* pControl) const override;
    bool MoveItem(CControlUI* pControl, int newIndex) override;
    int ItemCount() const override;
    bool AddItem(CControlUI* pControl) override;
    bool InsertItem(CControlUI* pControl, int index) override;
    bool RemoveItem(CControlUI* pControl) override;
    bool RemoveItemAt(int index) override;
    void RemoveAllItems() override;

    virtual RECT GetInset() const;
    virtual void SetInset(const RECT& rc);
    virtual int GetChildPadding() const;
    virtual void SetChildPadding(int n);
    virtual bool OwnsChildren() const;
    virtual void SetOwnsChildren(bool b);
    virtual bool DefersChildDeletion() const;
    virtual void SetDefersChildDeletion(bool b);
    virtual bool ChildrenTakeMouse() const;
    virtual void SetChildrenTakeMouse(bool b);
    virtual int FindSelectableItem(int index, bool bForward = true) const;
    virtual SIZE GetScrollOffset() const;
    virtual SIZE GetScrollExtent() const;
    virtual void SetScrollOffset(SIZE szPos);
    virtual void SetScrollStep(int n);
    virtual int GetScrollStep() const;
    virtual void ScrollLineUp();
    virtual void ScrollLineDown();
    virtual void ScrollPageUp();
    virtual void ScrollPageDown();
    virtual void ScrollHome();
    virtual void ScrollEnd();
    virtual void ScrollLineLeft();
    virtual void ScrollLineRight();
    virtual void ScrollPageLeft();
    virtual void ScrollPageRight();
    virtual void ScrollHomeLeft();
    virtual void ScrollEndRight();
    // Creates the bars that are wanted and deletes the others.
    virtual void ShowScrollBars(bool bVertical, bool bHorizontal);
    virtual CScrollBarUI* VerticalScrollBar() const;
    virtual CScrollBarUI* HorizontalScrollBar() const;
    virtual void PlaceFloatingChild(CControlUI* pControl);
    virtual void UpdateScrollBars(RECT rc, int cxNeeded, int cyNeeded);

    void Attach(CUIManager* pManager, CControlUI* pParent, bool bInit = true) override;
    void SetPos(RECT rc) override;
    void SetVisible(bool bVisible = true) override;
    void SetParentVisible(bool bVisible) override;
    void SetEnabled(bool bEnable = true) override;
    void SetMouseEnabled(bool bEnable = true) override;
    CControlUI* FindByPredicate(FindPredicate pred, void* pData, UINT uFlags) override;
    void HandleEvent(UIEvent& event) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    void Paint(HDC hDC, const RECT& rcPaint) override;
    bool CoversOpaquely(const RECT& rc) override;
    CControlUI* FindOpaqueBase(const RECT& rc, std::vector<RECT>& above) override;

protected:
    // The last child that covers rc (inside this container) opaquely where it is clipped; -1 when none.
    int CoveringChild(const RECT& rc);
    // The item rectangle without the inset and the visible scroll bars.
    RECT InnerRect() const;
    void DeleteChild(CControlUI* pControl);
    int LineStep() const;
    void ScrollBy(int dx, int dy);

    std::vector<CControlUI*> m_items;
    RECT m_rcInset{};
    int m_iChildPadding = 0;
    bool m_bAutoDestroy = true;
    bool m_bDelayedDestroy = true;
    bool m_bMouseChildEnabled = true;
    bool m_bScrollProcess = false;
    int m_nScrollStep = 0;
    CScrollBarUI* m_pVerticalScrollBar = nullptr;
    CScrollBarUI* m_pHorizontalScrollBar = nullptr;
};

// Shared by the two stacking layouts: the draggable separator strip.
class CStackLayoutUI : public CContainerUI {
public:
    explicit CStackLayoutUI(bool bVertical) : m_bVertical(bVertical) {}
    UINT GetInputFlags() override;
    void HandleEvent(UIEvent& event) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;
    void PaintOverlay(HDC hDC, const RECT& rcPaint) override;
    int GetSepSize() const { return m_iSepSize; }
    void SetSepSize(int n) { m_iSepSize = n; }
    bool IsSepImmediate() const { return m_bImmMode; }
    void SetSepImmediate(bool b);

protected:
    RECT SeparatorRect(bool bUseNew) const;
    RECT StackingArea(SIZE& avail, bool& vbar, bool& hbar) const;
    int StretchExtent(SIZE avail, int& measured) const;

    bool m_bVertical;
    int m_iSepSize = 0;
    UINT m_uButtonState = 0;
    POINT m_ptLastMouse{};
    RECT m_rcNewPos{};
    bool m_bImmMode = false;
};

class CVerticalLayoutUI : public CStackLayoutUI {
public:
    CVerticalLayoutUI() : CStackLayoutUI(true) {}
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    void SetPos(RECT rc) override;
};

class CHorizontalLayoutUI : public CStackLayoutUI {
public:
    CHorizontalLayoutUI() : CStackLayoutUI(false) {}
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;
    void SetPos(RECT rc) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClassName() const override;
    void* QueryKind(const std::wstring& kind) override;

    virtual int GetSelectedIndex() const;
    virtual bool SelectPage(int index);
    bool SelectPage(CControlUI* pControl);

    bool AddItem(CControlUI* pControl) override;
    bool InsertItem(CControlUI* pControl, int index) override;
    bool RemoveItem(CControlUI* pControl) override;
    void RemoveAllItems() override;
    void SetPos(RECT rc) override;
    void ApplyAttribute(const std::wstring& name, const std::wstring& value) override;

private:
    int m_iCurSel = -1;
};

}  // namespace SkinUI
