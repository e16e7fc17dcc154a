// What a person sees of the loader's dialog, checked the same way by every scenario: its boxes,
// its idle state, one whole download, its stored path.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/loader_driver/check_log.h"
#include "tests/loader_driver/loader_ui.h"
#include "tests/loader_driver/screenshot.h"

// How long a scenario waits for a download to reach a phase or its end: long enough for its
// largest image on a heavily loaded machine, where every driver request is many times slower.
constexpr DWORD kBoxTimeoutMs = 300000;
constexpr char kSuccessText[] = "Data updated successfully!!!";

// One scenario's checks, pictures, loader and folder (a Windows path ending in a backslash).
struct Context {
    CheckLog& log;
    Screenshots& shots;
    std::string loaderExe;
    std::string workDir;
};

// The remembered path in the loader's profile, or "<no entry>"; and writing it beforehand.
std::string StoredPath();
void StorePath(const std::string& path);
void DeleteStoredPath();

// Starts the loader in the work folder (where its file dialog then opens).
bool Launch(Context& c, LoaderUi& ui);
// Presses Exit and expects the program to end (and then the stored path).
void ExitLoader(Context& c, LoaderUi& ui);
void ExitAndExpectStored(Context& c, LoaderUi& ui, const std::string& expected);
// Types into the block list's edit field as a user does, replacing its text.
void TypeBlockText(const LoaderUi& ui, const std::string& text);

// A box of the dialog's own: caption "Update", exactly `text`, OK alone, no icon; closed with OK.
void ExpectDialogMessage(Context& c, const LoaderUi& ui, const std::string& text,
                         const std::string& shot);
// The error box of a download: caption "Update", exactly `text`, OK and the error icon, `status`
// behind it and Update disabled; closed with OK.
void ExpectDownloadError(Context& c, const LoaderUi& ui, const std::string& text,
                         const std::string& status, const std::string& shot);
// The success box that ends a download, closed with OK.
void ExpectSuccessBox(Context& c, const LoaderUi& ui, const std::string& what);

bool IsIdle(const LoaderUi& ui);
void ExpectIdle(Context& c, const LoaderUi& ui, const std::string& when);

// A download started by a click on Update, watched to its success box: the statuses in order,
// the bar rising in both phases, Update disabled; then idle again. With `foreign` set, a WM_APP
// is posted to that window of the dialog's thread while the image is sent, and must not end the
// sending phase.
void ExpectSuccessfulDownload(Context& c, LoaderUi& ui, const std::string& shotPrefix,
                              HWND foreign = nullptr);

// The bar positions seen, each change once, for the notes.
void Remember(std::vector<int>& positions, int pos);
std::string Join(const std::vector<int>& values);
