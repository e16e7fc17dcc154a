#include "app/duvoload/gang_member.h"

#include <windows.h>

#include "app/duvoload/gang_protocol.h"

bool ReadGangPlan(std::vector<PlannedBlock>* plan, std::string* error) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // Typed by hand at a console, it would wait for a plan that never comes.
    if (GetFileType(input) == FILE_TYPE_CHAR) {
        *error = "--gang-member takes its blocks from the gang run (--slots) that starts it";
        return false;
    }
    std::string data;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        data.append(buffer, got);
    }
    return DecodeGangPlan(data, plan, error);
}
