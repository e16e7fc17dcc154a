// The Wine-side benchmark: one download of the largest image the loader accepts (917,503 bytes)
// through the driver, beside the same number of bare register requests to the same driver.
//
//   download_bench_wine STATUS_FILE [IMAGE_BYTES]
//
// STATUS_FILE is the driver's status.txt; its request counter, read before and after the
// download, gives the number of driver requests N the download made. The N bare requests are
// split around the download (about half before, the rest after), so that a machine whose load
// drifts during the run does not favour either side.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The driver's request counter. The driver writes its status file when the device is opened,
// and an open completes only after every earlier request and close: the count is read while a
// handle of our own is open.
long long RequestCountNow(const char* statusFile) {
    HANDLE device = OpenCard();
    if (device == INVALID_HANDLE_VALUE) return -1;
    long long count = DriverRequestCount(statusFile);
    CloseHandle(device);
    return count;
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: download_bench_wine STATUS_FILE [IMAGE_BYTES]\n");
        return 2;
    }
    const DWORD imageSize =
        argc == 3 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : kLargestImage;
    std::vector<BYTE> image = MakeImage(imageSize);
    std::atomic<LONG> percent{0};
    const long long bareBefore = (imageSize + 127) / 128 * kRequestsPerChunk / 2;
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
    const long long bareAfter = requests > bareBefore ? requests - bareBefore : 0;
    if (!BareRegisterReads(bareAfter, &bareSeconds)) {
        std::fprintf(stderr, "download_bench_wine: bare requests failed [%lu]\n", GetLastError());
        return 1;
    }
    const long long bareRequests = bareBefore + bareAfter;
    std::printf("image:            %lu bytes into block %lu\n", imageSize, kBlock);
    std::printf("driver requests:  %lld\n", requests);
    std::printf("download:         %.2f s (%.1f us per request)\n", downloadSeconds,
                downloadSeconds * 1e6 / static_cast<double>(requests));
    std::printf(
        "bare requests:    %.2f s (%.1f us per request; %lld before the download, %lld "
        "after)\n",
        bareSeconds, bareSeconds * 1e6 / static_cast<double>(bareRequests), bareBefore, bareAfter);
    const double ratio = (downloadSeconds / static_cast<double>(requests)) /
                         (bareSeconds / static_cast<double>(bareRequests));
    std::printf("ratio:            %.3f (goal <= 1.03)\n", ratio);
    std::printf("throughput:       %.2f KB/s\n", imageSize / 1024.0 / downloadSeconds);
    return 0;
}
