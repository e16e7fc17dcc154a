#include "virtualcard/driver/kernel_file.h"

#include "virtualcard/driver/text_builder.h"

namespace virtualcard::driver {

namespace {

NTSTATUS OpenFile(HANDLE* file, const wchar_t* path, ACCESS_MASK access, ULONG disposition,
                  ULONG options) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    IO_STATUS_BLOCK io;
    return ZwCreateFile(file, access | SYNCHRONIZE, &attributes, &io, nullptr,
                        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, disposition,
                        options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

NTSTATUS FileSize(HANDLE file, LONGLONG* size) {
    FILE_STANDARD_INFORMATION info;
    IO_STATUS_BLOCK io;
    NTSTATUS status =
        ZwQueryInformationFile(file, &io, &info, sizeof(info), FileStandardInformation);
    if (NT_SUCCESS(status)) *size = info.EndOfFile.QuadPart;
    return status;
}

NTSTATUS WriteAt(HANDLE file, const void* data, ULONG length, LONGLONG offset) {
    LARGE_INTEGER position;
    position.QuadPart = offset;
    IO_STATUS_BLOCK io;
    return ZwWriteFile(file, nullptr, nullptr, nullptr, &io, const_cast<void*>(data), length,
                       &position, nullptr);
}

}  // namespace

NTSTATUS CreateDirectory(const wchar_t* directory) {
    HANDLE handle;
    NTSTATUS status =
        OpenFile(&handle, directory, FILE_LIST_DIRECTORY, FILE_OPEN_IF, FILE_DIRECTORY_FILE);
    if (NT_SUCCESS(status)) ZwClose(handle);
    return status;
}

void CardDataPath(wchar_t* path, const wchar_t* directory, const wchar_t* name) {
    WideTextBuilder text(path, kMaxPathChars - 1);
    text.Text(directory).Char(L'\\').Text(name).Terminate();
}

NTSTATUS WriteWholeFile(const wchar_t* path, const void* data, ULONG length) {
    HANDLE file;
    NTSTATUS status =
        OpenFile(&file, path, FILE_WRITE_DATA, FILE_OVERWRITE_IF, FILE_NON_DIRECTORY_FILE);
    if (!NT_SUCCESS(status)) return status;
    if (length > 0) status = WriteAt(file, data, length, 0);
    ZwClose(file);
    return status;
}

NTSTATUS AppendToFile(const wchar_t* path, const void* data, ULONG length) {
    HANDLE file;
    NTSTATUS status = OpenFile(&file, path, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, FILE_OPEN_IF,
                               FILE_NON_DIRECTORY_FILE);
    if (!NT_SUCCESS(status)) return status;
    LONGLONG end = 0;
    status = FileSize(file, &end);
    if (NT_SUCCESS(status) && length > 0) status = WriteAt(file, data, length, end);
    ZwClose(file);
    return status;
}

NTSTATUS ReadWholeFile(const wchar_t* path, void* data, ULONG capacity, ULONG* length) {
    *length = 0;
    HANDLE file;
    NTSTATUS status = OpenFile(&file, path, FILE_READ_DATA | FILE_READ_ATTRIBUTES, FILE_OPEN,
                               FILE_NON_DIRECTORY_FILE);
    if (!NT_SUCCESS(status)) return status;
    LONGLONG size = 0;
    status = FileSize(file, &size);
    if (NT_SUCCESS(status) && (size < 0 || size > static_cast<LONGLONG>(capacity))) {
        status = STATUS_FILE_TOO_LARGE;
    }
    if (NT_SUCCESS(status) && size > 0) {
        LARGE_INTEGER position;
        position.QuadPart = 0;
        IO_STATUS_BLOCK io;
        status = ZwReadFile(file, nullptr, nullptr, nullptr, &io, data, static_cast<ULONG>(size),
                            &position, nullptr);
        if (NT_SUCCESS(status)) *length = static_cast<ULONG>(io.Information);
    }
    ZwClose(file);
    return status;
}

}  // namespace virtualcard::driver
