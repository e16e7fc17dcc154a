#include "afxwin.h"

#include <cstdarg>
#include <cstdio>

CString::CString(LPCSTR text) : m_text(text != nullptr ? text : "") {}

CString& CString::operator=(LPCSTR text) {
    m_text = text != nullptr ? text : "";
    return *this;
}

CString& CString::operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
}

CString operator+(const CString& left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(const CString& left, LPCSTR right) {
    return left + CString(right);
}

CString operator+(LPCSTR left, const CString& right) {
    return CString(left) + right;
}

BOOL CString::LoadString(UINT nID) {
    // LoadStringA reports a truncated string as filling the buffer less its terminating zero.
    for (int size = 256;; size *= 2) {
        std::string buffer(static_cast<size_t>(size), '\0');
        const int length = ::LoadStringA(AfxGetResourceHandle(), nID, buffer.data(), size);
        if (length < size - 1) {
            buffer.resize(static_cast<size_t>(length));
            m_text = std::move(buffer);
            return length > 0;
        }
    }
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string buffer(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    if (length > 0) {
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
    }
    va_end(args);
    buffer.resize(static_cast<size_t>(length > 0 ? length : 0));
    m_text = std::move(buffer);
}

LPSTR CString::GetBuffer(int nMinBufLength) {
    const size_t room = static_cast<size_t>(nMinBufLength > 0 ? nMinBufLength : 0);
    if (m_text.size() < room) {
        m_text.resize(room);
    }
    return m_text.data();
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) {
        m_text.resize(std::char_traits<char>::length(m_text.c_str()));
    } else {
        m_text.resize(static_cast<size_t>(nNewLength));
    }
}

BOOL AfxWideToAnsi(LPCWSTR lpszText, int nLength, CString& rAnsi) {
    if (nLength <= 0) {
        rAnsi = "";
        return TRUE;
    }
    // UTF-8 as the ANSI code page holds every character; it takes no best-fit flags.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* pUsedDefault = utf8 ? nullptr : &usedDefault;
    int size =
        ::WideCharToMultiByte(CP_ACP, flags, lpszText, nLength, nullptr, 0, nullptr, pUsedDefault);
    if (size == 0) {
        // Only UTF-8 refuses: a surrogate without its partner. Each such unit reads '?'.
        size = ::WideCharToMultiByte(CP_ACP, 0, lpszText, nLength, nullptr, 0, nullptr, nullptr);
        usedDefault = TRUE;
    }
    LPSTR buffer = rAnsi.GetBuffer(size + 1);
    ::WideCharToMultiByte(CP_ACP, usedDefault && utf8 ? 0 : flags, lpszText, nLength, buffer, size,
                          nullptr, nullptr);
    rAnsi.ReleaseBuffer(size);
    return !usedDefault;
}
