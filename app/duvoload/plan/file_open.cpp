#include "app/duvoload/plan/file_open.h"

#include <sys/stat.h>

#include "app/duvoload/console/unicode_text.h"

#ifdef _WIN32

std::FILE* OpenForReading(const std::string& path) {
    return _wfopen(WideFromUtf8(path).c_str(), L"rb");
}

bool IsFolder(const std::string& path) {
    struct _stat64 status {};
    return _wstat64(WideFromUtf8(path).c_str(), &status) == 0 && (status.st_mode & _S_IFDIR) != 0;
}

#else

std::FILE* OpenForReading(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

#endif
