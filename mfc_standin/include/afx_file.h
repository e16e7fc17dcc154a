// CFile: a file on disk, opened, measured, read whole and closed; CFileException: why not.
#pragma once

#include <windows.h>

#include "afx_exception.h"

class CFileException : public CException {
  public:
    enum { none = 0, generic = 1, fileNotFound = 2, accessDenied = 5, sharingViolation = 11 };

    CFileException(int cause = none, LONG lOsError = -1) : m_cause(cause), m_lOsError(lOsError) {}

    int m_cause;
    LONG m_lOsError;
};

class CFile {
  public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    HANDLE m_hFile = INVALID_HANDLE_VALUE;

    // Opens an existing file. The compatibility share mode is taken as exclusive; typeText and
    // typeBinary only matter to text files and are ignored.
    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    // The full 64-bit length, so that a file of 4 GiB or more is never taken for a small one.
    virtual ULONGLONG GetLength() const;
    // The number of bytes read (fewer at the end of the file); throws CFileException* on failure.
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Close();
};
