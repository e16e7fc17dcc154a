// Message maps: per-class tables that route window messages and commands to member handlers.
//
// BEGIN_MESSAGE_MAP defines the class's table inside a member function, so every entry's small
// dispatcher (a captureless lambda) may call the class's protected handlers with their own
// signatures; no member-pointer casts are involved.
#pragma once

#include <windows.h>

class CCmdTarget;

// Calls one handler; a handler's own result, if it has one, goes to *pResult.
using AFX_MSG_INVOKER = void (*)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam,
                                 LRESULT* pResult);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;              // window message; WM_COMMAND for commands and control notifications
    UINT nCode;                 // notification code of a WM_COMMAND entry (0 for a command)
    UINT nID;                   // control or command ID of a WM_COMMAND entry
    AFX_MSG_INVOKER pfnInvoke;  // nullptr ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // nullptr for the root of the hierarchy
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                         \
  protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override; \
                                                      \
  private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                     \
    }                                                   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
        using ThisClass [[maybe_unused]] = theClass;    \
        using TheBaseClass = baseClass;                 \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                          \
    { 0, 0, 0, nullptr }                                                           \
    }                                                                              \
    ;                                                                              \
    static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, &entries[0]}; \
    return &map;                                                                   \
    }

#define ON_COMMAND(id, memberFxn)                                                              \
    {WM_COMMAND, 0, static_cast<UINT>(id), [](CCmdTarget* pTarget, WPARAM, LPARAM, LRESULT*) { \
         static_cast<ThisClass*>(pTarget)->memberFxn();                                        \
     }},

#define ON_BN_CLICKED(id, memberFxn)                     \
    {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id),      \
     [](CCmdTarget* pTarget, WPARAM, LPARAM, LRESULT*) { \
         static_cast<ThisClass*>(pTarget)->memberFxn();  \
     }},

#define ON_WM_SYSCOMMAND()                                                                  \
    {WM_SYSCOMMAND, 0, 0, [](CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam, LRESULT*) { \
         static_cast<ThisClass*>(pTarget)->OnSysCommand(static_cast<UINT>(wParam), lParam); \
     }},

#define ON_WM_PAINT()                                                    \
    {WM_PAINT, 0, 0, [](CCmdTarget* pTarget, WPARAM, LPARAM, LRESULT*) { \
         static_cast<ThisClass*>(pTarget)->OnPaint();                    \
     }},

#define ON_WM_QUERYDRAGICON()                                                                \
    {WM_QUERYDRAGICON, 0, 0, [](CCmdTarget* pTarget, WPARAM, LPARAM, LRESULT* pResult) {     \
         *pResult =                                                                          \
             reinterpret_cast<LRESULT>(static_cast<ThisClass*>(pTarget)->OnQueryDragIcon()); \
     }},
