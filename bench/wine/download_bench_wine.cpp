// The Wine-side benchmark: one download of the largest image the loader accepts (917,503 bytes)
// through the driver, beside the same number of bare register requests to the same driver; and,
// when DUVOLOAD_EXE is given, the same download by the command-line loader as well.
//
//   download_bench_wine STATUS_FILE [IMAGE_BYTES [DUVOLOAD_EXE]]
//
// STATUS_FILE is the driver's status.txt; its request counter, read before and after each
// download, gives the number of driver requests N it made. As many bare requests as the
// downloads made together are split around them (about half before, the rest after), so that a
// machine whose load drifts during the run does not favour either side.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cardlink/driver_requests.h"
#include "download/sequence.h"

namespace {

constexpr DWORD kLargestImage = 917503;
constexpr DWORD kBlock = 14;
// Register requests of one acknowledged 128-byte chunk: 142 to send it, 9 to take the reply.
constexpr long long kRequestsPerChunk = 151;

// The "requests=" line of the driver's status file; -1 when unreadable.
long long DriverRequestCount(const char* statusFile) {
    FILE* file = std::fopen(statusFile, "r");
    if (file == nullptr) return -1;
    char line[256];
    long long count = -1;
    while (std::fgets(line, sizeof(line), file) != nullptr) {
        if (std::strncmp(line, "requests=", 9) == 0) count = std::atoll(line + 9);
    }
    std::fclose(file);
    return count;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

std::vector<BYTE> MakeImage(DWORD size) {
    std::vector<BYTE> image(size);
    DWORD state = 0x2545F491;
    for (BYTE& b : image) {
        state = state * 1664525 + 1013904223;
        b = static_cast<BYTE>(state >> 24);
    }
    return image;
}

HANDLE OpenCard() {
    return CreateFileA("\\\\.\\duvo0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// The driver's request counter. The driver writes its status file when the device is opened
// and closed, so the count is read while a handle of our own is open. Under load the file can
// still show an earlier count, or be in the middle of being rewritten: the count is taken once
// two reads, a moment apart, agree.
long long RequestCountNow(const char* statusFile) {
    constexpr int kAttempts = 50;
    constexpr DWORD kPauseMs = 100;
    long long previous = -1;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        HANDLE device = OpenCard();
        if (device == INVALID_HANDLE_VALUE) return -1;
        const long long count = DriverRequestCount(statusFile);
        CloseHandle(device);
        if (count >= 0 && count == previous) return count;
        previous = count;
        Sleep(kPauseMs);
    }
    return -1;
}

// `count` register reads of one register, each a DeviceIoControl of its own, on a handle of
// their own; adds their time to `seconds`. False on failure.
bool BareRegisterReads(long long count, double* seconds) {
    HANDLE device = OpenCard();
    if (device == INVALID_HANDLE_VALUE) return false;
    BYTE cardInfo[CARD_INFO_SIZE] = {};
    DWORD returned = 0;
    bool ok = DeviceIoControl(device, IOCTL_CARD_GET_INFO, nullptr, 0, cardInfo, sizeof(cardInfo),
                              &returned, nullptr) != FALSE;
    const DWORD controlRegister = CardInfoRegisterBase(cardInfo) + 1;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (long long i = 0; ok && i < count; ++i) {
        BYTE block[CARD_REGISTER_REQUEST_SIZE];
        BuildCardRegisterRequest(block, false, controlRegister, 0);
        ok = DeviceIoControl(device, IOCTL_CARD_REGISTER_IO, nullptr, 0, block, sizeof(block),
                             &returned, nullptr) != FALSE;
    }
    QueryPerformanceCounter(&end);
    CloseHandle(device);
    *seconds += Seconds(start, end);
    return ok;
}

// The command line's download of `image` into kBlock: duvoload.exe run with the image in a file
// and its progress going to a file (as in a script), its stdout read. `seconds` is the time the
// program reports for the block (the download, as for DownloadImage), `wall` that of the whole
// process. False on failure.
bool CommandLineDownload(const char* duvoload, const std::vector<BYTE>& image, double* seconds,
                         double* wall) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string imagePath = std::string(folder) + "duvoload_bench.bin";
    const std::string progressPath = std::string(folder) + "duvoload_bench_progress.txt";
    FILE* file = std::fopen(imagePath.c_str(), "wb");
    if (file == nullptr) return false;
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE progress = CreateFileA(progressPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                  CREATE_ALWAYS, 0, nullptr);
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = progress;
    std::string commandLine =
        std::string("\"") + duvoload + "\" " + std::to_string(kBlock) + "=\"" + imagePath + "\"";
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(writeEnd);
    std::string output;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        output.append(buffer, got);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(readEnd);
    CloseHandle(progress);
    DeleteFileA(imagePath.c_str());
    *wall = Seconds(start, end);
    const std::size_t at = output.find(" bytes in ");
    if (exitCode != 0 || at == std::string::npos) {
        std::fprintf(stderr, "download_bench_wine: duvoload exit %lu: %s\n", exitCode,
                     output.c_str());
        return false;
    }
    *seconds = std::atof(output.c_str() + at + std::strlen(" bytes in "));
    return *seconds > 0;
}

void PrintRatio(const char* name, double seconds, long long requests, double bareSeconds,
                long long bareRequests) {
    const double ratio = (seconds / static_cast<double>(requests)) /
                         (bareSeconds / static_cast<double>(bareRequests));
    std::printf("%s %.3f (goal <= 1.03)\n", name, ratio);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr,
                     "usage: download_bench_wine STATUS_FILE [IMAGE_BYTES [DUVOLOAD_EXE]]\n");
        return 2;
    }
    const DWORD imageSize =
        argc >= 3 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : kLargestImage;
    const char* duvoload = argc == 4 ? argv[3] : nullptr;
    const int downloads = duvoload != nullptr ? 2 : 1;
    std::vector<BYTE> image = MakeImage(imageSize);
    std::atomic<LONG> percent{0};
    const long long bareBefore = (imageSize + 127) / 128 * kRequestsPerChunk * downloads / 2;
    double bareSeconds = 0;
    if (!BareRegisterReads(bareBefore, &bareSeconds)) {
        std::fprintf(stderr, "download_bench_wine: bare requests failed [%lu]\n", GetLastError());
        return 1;
    }
    const long long before = RequestCountNow(argv[1]);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    DWORD result = DownloadImage(nullptr, image.data(), imageSize, kBlock, &percent);
    QueryPerformanceCounter(&end);
    const long long after = RequestCountNow(argv[1]);
    if (result != 0 || before < 0 || after <= before) {
        std::fprintf(stderr, "download_bench_wine: download failed [%08lX] (requests %lld, %lld)\n",
                     result, before, after);
        return 1;
    }
    const double downloadSeconds = Seconds(start, end);
    const long long requests = after - before;
    double commandSeconds = 0;
    double commandWall = 0;
    long long commandRequests = 0;
    if (duvoload != nullptr) {
        const bool ran = CommandLineDownload(duvoload, image, &commandSeconds, &commandWall);
        commandRequests = RequestCountNow(argv[1]) - after;
        if (!ran || commandRequests <= 0) {
            std::fprintf(stderr,
                         "download_bench_wine: the command line's download failed (%s, requests "
                         "%lld) [%lu]\n",
                         ran ? "ran" : "did not run", commandRequests, GetLastError());
            return 1;
        }
    }
    const long long bareRequests = requests + commandRequests;
    const long long bareAfter = bareRequests > bareBefore ? bareRequests - bareBefore : 0;
    if (!BareRegisterReads(bareAfter, &bareSeconds)) {
        std::fprintf(stderr, "download_bench_wine: bare requests failed [%lu]\n", GetLastError());
        return 1;
    }
    std::printf("image:            %lu bytes into block %lu\n", imageSize, kBlock);
    std::printf("driver requests:  %lld\n", requests);
    std::printf("download:         %.2f s (%.1f us per request)\n", downloadSeconds,
                downloadSeconds * 1e6 / static_cast<double>(requests));
    if (duvoload != nullptr) {
        std::printf(
            "command line:     %.2f s for %lld requests (%.1f us per request; %.2f s "
            "with the process start)\n",
            commandSeconds, commandRequests,
            commandSeconds * 1e6 / static_cast<double>(commandRequests), commandWall);
    }
    std::printf(
        "bare requests:    %.2f s (%.1f us per request; %lld before the downloads, %lld "
        "after)\n",
        bareSeconds, bareSeconds * 1e6 / static_cast<double>(bareRequests), bareBefore, bareAfter);
    PrintRatio("ratio:           ", downloadSeconds, requests, bareSeconds, bareRequests);
    if (duvoload != nullptr) {
        PrintRatio("command-line ratio:", commandSeconds, commandRequests, bareSeconds,
                   bareRequests);
    }
    std::printf("throughput:       %.2f KB/s\n", imageSize / 1024.0 / downloadSeconds);
    return 0;
}
