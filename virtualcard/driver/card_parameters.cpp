#include "virtualcard/driver/card_parameters.h"

#include "virtualcard/driver/text_builder.h"

namespace virtualcard::driver {

namespace {

constexpr ULONG kMaxNameChars = 64;
constexpr ULONG kMaxStringChars = 128;
constexpr ULONG kValueInfoSize = sizeof(KEY_VALUE_FULL_INFORMATION) + 2 * 512;

// Copies a UTF-16 text of `bytes` bytes into `ascii`; false when it is not plain ASCII or too
// long. A terminating NUL inside the data ends the text.
bool ToAscii(const WCHAR* text, ULONG bytes, char* ascii, ULONG capacity) {
    ULONG n = 0;
    for (ULONG i = 0; i < bytes / sizeof(WCHAR); ++i) {
        WCHAR c = text[i];
        if (c == 0) break;
        if (c > 0x7E || c < 0x20 || n + 1 >= capacity) return false;
        ascii[n++] = static_cast<char>(c);
    }
    ascii[n] = '\0';
    return true;
}

char LowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Registry value names, like the card model's, do not depend on case.
bool SameName(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerCase(*a) != LowerCase(*b)) return false;
    }
    return *a == *b;
}

bool DwordValue(ULONG type, const UCHAR* data, ULONG length, ULONG* value) {
    if (type != REG_DWORD || length != sizeof(ULONG)) return false;
    *value = *reinterpret_cast<const ULONG*>(data);
    return true;
}

bool ValidSlots(ULONG slots) {
    return slots >= 1 && slots <= kMaxSlots;
}

bool ApplyTrace(const KEY_VALUE_FULL_INFORMATION& info, const UCHAR* data,
                ParameterReport* report) {
    ULONG value;
    if (!DwordValue(info.Type, data, info.DataLength, &value) || value > 1) return false;
    report->traceEnabled = value == 1;
    return true;
}

bool ApplyValue(const KEY_VALUE_FULL_INFORMATION& info, ULONG socket, CardConfig* config,
                ParameterReport* report, char* name) {
    if (!ToAscii(info.Name, info.NameLength, name, kMaxNameChars)) return false;
    const UCHAR* data = reinterpret_cast<const UCHAR*>(&info) + info.DataOffset;
    if (SameName(name, kTraceValueName)) return ApplyTrace(info, data, report);
    if (SameName(name, kSlotsValueName)) {
        ULONG slots;
        return socket == 0 && DwordValue(info.Type, data, info.DataLength, &slots) &&
               ValidSlots(slots);
    }
    if (info.Type == REG_DWORD && info.DataLength == sizeof(ULONG)) {
        return ApplyConfigValue(*config, name, *reinterpret_cast<const ULONG*>(data));
    }
    if (info.Type == REG_SZ || info.Type == REG_EXPAND_SZ) {
        char text[kMaxStringChars];
        if (!ToAscii(reinterpret_cast<const WCHAR*>(data), info.DataLength, text,
                     kMaxStringChars)) {
            return false;
        }
        return ApplyConfigString(*config, name, text);
    }
    return false;
}

void NoteRejected(ULONG socket, ParameterReport* report, const char* name) {
    ++report->rejected;
    DbgPrint("duvo%lu: registry value \"%s\" ignored: unknown name or malformed value\n", socket,
             name);
    size_t used = 0;
    while (report->rejectedNames[used] != '\0') ++used;
    TextBuilder names(report->rejectedNames + used, sizeof(report->rejectedNames) - 1 - used);
    if (used > 0) names.Char(' ');
    names.Text(name);
    report->rejectedNames[used + names.length()] = '\0';
}

bool OpenKey(const UNICODE_STRING& name, HANDLE* key) {
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, const_cast<UNICODE_STRING*>(&name),
                               OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    return NT_SUCCESS(ZwOpenKey(key, KEY_READ, &attributes));
}

}  // namespace

void ReadCardParameters(const UNICODE_STRING& keyName, ULONG socket, CardConfig* config,
                        ParameterReport* report) {
    *config = CardConfig{};
    *report = ParameterReport{};
    HANDLE key;
    if (!OpenKey(keyName, &key)) return;

    alignas(8) UCHAR buffer[kValueInfoSize];
    auto* info = reinterpret_cast<KEY_VALUE_FULL_INFORMATION*>(buffer);
    for (ULONG index = 0;; ++index) {
        ULONG size = 0;
        NTSTATUS status =
            ZwEnumerateValueKey(key, index, KeyValueFullInformation, info, sizeof(buffer), &size);
        if (status == STATUS_NO_MORE_ENTRIES) break;
        char name[kMaxNameChars] = "(unreadable)";
        if (NT_SUCCESS(status) && ApplyValue(*info, socket, config, report, name)) {
            ++report->accepted;
        } else {
            NoteRejected(socket, report, name);
        }
        if (!NT_SUCCESS(status) && status != STATUS_BUFFER_OVERFLOW &&
            status != STATUS_BUFFER_TOO_SMALL) {
            break;
        }
    }
    ZwClose(key);
}

ULONG ReadSlots(const UNICODE_STRING& parametersKey) {
    HANDLE key;
    if (!OpenKey(parametersKey, &key)) return kDefaultSlots;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"Slots");
    alignas(8) UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer);
    ULONG size = 0;
    NTSTATUS status =
        ZwQueryValueKey(key, &name, KeyValuePartialInformation, info, sizeof(buffer), &size);
    ZwClose(key);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) return kDefaultSlots;
    ULONG slots = 0;
    if (NT_SUCCESS(status) && DwordValue(info->Type, info->Data, info->DataLength, &slots) &&
        ValidSlots(slots)) {
        return slots;
    }
    DbgPrint("duvo: registry value \"Slots\" ignored: not a DWORD from 1 to %lu\n", kMaxSlots);
    return kDefaultSlots;
}

}  // namespace virtualcard::driver
