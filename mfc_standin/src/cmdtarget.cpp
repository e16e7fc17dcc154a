#include "afxwin.h"

namespace {
const AFX_MSGMAP_ENTRY kNoEntries[] = {{0, 0, 0, nullptr}};
const AFX_MSGMAP kRootMap = {nullptr, &kNoEntries[0]};
}  // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    return &kRootMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT nMessage, UINT nCode, UINT nID) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfnInvoke != nullptr; ++entry) {
            if (entry->nMessage != nMessage) {
                continue;
            }
            if (nMessage != WM_COMMAND || (entry->nCode == nCode && entry->nID == nID)) {
                return entry;
            }
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
    const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (entry == nullptr) {
        return FALSE;
    }
    LRESULT unused = 0;
    entry->pfnInvoke(this, 0, 0, &unused);
    return TRUE;
}

void CCmdTarget::BeginWaitCursor() {
    AfxGetApp()->DoWaitCursor(1);
}

void CCmdTarget::EndWaitCursor() {
    AfxGetApp()->DoWaitCursor(-1);
}

void CCmdTarget::RestoreWaitCursor() {
    AfxGetApp()->DoWaitCursor(0);
}
