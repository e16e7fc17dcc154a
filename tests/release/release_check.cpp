// The release zip's programs as Windows sees them, for release_scenarios.sh:
//
//   release_check version-info EXE   prints the version resource as Explorer reads it
//                                    (GetFileVersionInfo), one NAME=VALUE a line, and how many
//                                    application manifests the program carries
//   release_check dialog EXE         starts the loader, waits for its main dialog, prints its
//                                    caption, closes it with IDOK (nothing is stored) and prints
//                                    the exit code
//
// Exit code 0 when everything could be read; 1 otherwise, with the reason on stderr.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/loader_driver/loader_ui.h"

namespace {

int Fail(const std::string& what) {
    std::fprintf(stderr, "release_check: %s (error %lu)\n", what.c_str(), GetLastError());
    return 1;
}

std::string Numbers(DWORD high, DWORD low) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(high)),
                  static_cast<unsigned long>(LOWORD(high)), static_cast<unsigned long>(HIWORD(low)),
                  static_cast<unsigned long>(LOWORD(low)));
    return text;
}

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Application manifests of any name; a program without one has no RT_MANIFEST type at all.
int CountManifests(const char* exe) {
    HMODULE image =
        LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr) {
        return -1;
    }
    int count = 0;
    EnumResourceNamesA(image, MAKEINTRESOURCEA(24), CountName, reinterpret_cast<LONG_PTR>(&count));
    FreeLibrary(image);
    return count;
}

int PrintVersionInfo(const char* exe) {
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe, &unused);
    if (size == 0) {
        return Fail(std::string("no version resource in ") + exe);
    }
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(exe, 0, size, data.data())) {
        return Fail(std::string("GetFileVersionInfo failed on ") + exe);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || fixed->dwSignature != 0xFEEF04BD) {
        return Fail("no fixed version information");
    }
    std::printf("FixedFileVersion=%s\n",
                Numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    std::printf("FixedProductVersion=%s\n",
                Numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());

    // The strings are read in the language the resource declares, as Explorer does.
    WORD* translation = nullptr;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < 2 * sizeof(WORD)) {
        return Fail("no translation in the version resource");
    }
    char block[64];
    std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0],
                  translation[1]);
    for (const char* name :
         {"FileDescription", "FileVersion", "OriginalFilename", "ProductName", "ProductVersion"}) {
        char* value = nullptr;
        const std::string query = std::string(block) + name;
        if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) &&
            value != nullptr) {
            std::printf("%s=%s\n", name, value);
        } else {
            std::printf("%s is missing\n", name);
        }
    }
    std::printf("Manifests=%d\n", CountManifests(exe));
    return 0;
}

int RunDialog(const char* exe) {
    LoaderUi ui;
    if (!ui.Launch(exe)) {
        return Fail(std::string("the dialog of ") + exe + " did not appear");
    }
    std::printf("caption=%s\n", WindowText(ui.dialog()).c_str());
    PostMessageA(ui.dialog(), WM_COMMAND, IDOK, 0);
    DWORD exitCode = 0;
    if (!ui.WaitForExit(10000, &exitCode)) {
        return Fail("the loader did not end after IDOK");
    }
    std::printf("exit=%lu\n", exitCode);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "version-info") {
        return PrintVersionInfo(argv[2]);
    }
    if (argc == 3 && std::string(argv[1]) == "dialog") {
        return RunDialog(argv[2]);
    }
    std::fprintf(stderr, "usage: release_check version-info|dialog EXE\n");
    return 2;
}
