#include "afxwin.h"

#include <map>
#include <memory>

CMenu* CMenu::FromHandle(HMENU hMenu) {
    if (hMenu == nullptr) {
        return nullptr;
    }
    // Used on the UI thread only.
    static std::map<HMENU, std::unique_ptr<CMenu>> wrappers;
    std::unique_ptr<CMenu>& wrapper = wrappers[hMenu];
    if (!wrapper) {
        wrapper = std::make_unique<CMenu>();
        wrapper->m_hMenu = hMenu;
    }
    return wrapper.get();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}
