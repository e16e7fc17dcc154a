// CString: the framework's owned, null-terminated ANSI text.
#pragma once

#include <windows.h>

#include <string>

class CString {
  public:
    CString() = default;
    CString(LPCSTR text);  // NOLINT: converts implicitly, as the framework's does
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(LPCSTR text);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    operator LPCSTR() const { return m_text.c_str(); }

    CString& operator+=(const CString& other);
    friend CString operator+(const CString& left, const CString& right);
    friend CString operator+(const CString& left, LPCSTR right);
    friend CString operator+(LPCSTR left, const CString& right);

    // A NULL or missing string loads as empty and returns FALSE.
    BOOL LoadString(UINT nID);
    void Format(LPCSTR format, ...);

    // Writable room for at least nMinBufLength characters; ReleaseBuffer(-1) takes the text up to
    // its terminating zero.
    LPSTR GetBuffer(int nMinBufLength);
    void ReleaseBuffer(int nNewLength = -1);

  private:
    std::string m_text;
};

// UTF-16 text in the ANSI code page, converted without best-fit mapping: a character the code
// page lacks becomes '?' (a best-fit look-alike, "Omega" for "\u03A9mega", could name another,
// existing file). FALSE when there was such a character.
BOOL AfxWideToAnsi(LPCWSTR lpszText, int nLength, CString& rAnsi);
