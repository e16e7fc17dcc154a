// CCmdTarget: the root of everything that has a message map, and the wait cursor calls.
#pragma once

#include "afx_msgmap.h"

class CCmdTarget {
  public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Looks the command up in this object's map and its bases'; TRUE when a handler ran.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

    // The application's wait cursor (CWinApp::DoWaitCursor): begin, end, and set it again after
    // something may have replaced it.
    void BeginWaitCursor();
    void EndWaitCursor();
    void RestoreWaitCursor();

  protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // The entry for a message (and for WM_COMMAND, its code and ID), searched from this class's
    // map towards the root; nullptr when none has one.
    const AFX_MSGMAP_ENTRY* FindEntry(UINT nMessage, UINT nCode, UINT nID) const;
};
