#include "afxwin.h"

namespace {

DWORD AccessFor(UINT nOpenFlags) {
    switch (nOpenFlags & 3) {
        case CFile::modeWrite:
            return GENERIC_WRITE;
        case CFile::modeReadWrite:
            return GENERIC_READ | GENERIC_WRITE;
        default:
            return GENERIC_READ;
    }
}

DWORD ShareFor(UINT nOpenFlags) {
    switch (nOpenFlags & 0x70) {
        case CFile::shareDenyWrite:
            return FILE_SHARE_READ;
        case CFile::shareDenyRead:
            return FILE_SHARE_WRITE;
        case CFile::shareDenyNone:
            return FILE_SHARE_READ | FILE_SHARE_WRITE;
        default:  // shareCompat and shareExclusive
            return 0;
    }
}

int CauseFor(DWORD osError) {
    switch (osError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return CFileException::fileNotFound;
        case ERROR_ACCESS_DENIED:
            return CFileException::accessDenied;
        case ERROR_SHARING_VIOLATION:
            return CFileException::sharingViolation;
        default:
            return CFileException::generic;
    }
}

}  // namespace

CFile::~CFile() {
    if (m_hFile != INVALID_HANDLE_VALUE) {
        Close();
    }
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    m_hFile = ::CreateFileA(lpszFileName, AccessFor(nOpenFlags), ShareFor(nOpenFlags), nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile != INVALID_HANDLE_VALUE) {
        return TRUE;
    }
    if (pError != nullptr) {
        const DWORD osError = ::GetLastError();
        pError->m_cause = CauseFor(osError);
        pError->m_lOsError = static_cast<LONG>(osError);
    }
    return FALSE;
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_hFile, &size)) {
        const DWORD osError = ::GetLastError();
        throw new CFileException(CauseFor(osError), static_cast<LONG>(osError));
    }
    return static_cast<ULONGLONG>(size.QuadPart);
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0) {
        return 0;
    }
    DWORD read = 0;
    if (!::ReadFile(m_hFile, lpBuf, nCount, &read, nullptr)) {
        const DWORD osError = ::GetLastError();
        throw new CFileException(CauseFor(osError), static_cast<LONG>(osError));
    }
    return read;
}

void CFile::Close() {
    if (m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
    }
    m_hFile = INVALID_HANDLE_VALUE;
}
