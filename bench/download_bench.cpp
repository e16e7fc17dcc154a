// A whole download of the largest accepted image (917,503 bytes) into the native virtual card:
// wall and CPU time, register requests beside the protocol's floor, peak memory, and the heap
// allocations made once the download has started.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "download/sequence.h"
#include "virtualcard/native_host.h"

// Every heap allocation goes through malloc/calloc/realloc (operator new included); counting them
// here, around glibc's own allocator, shows whether the download allocates at all.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);

static std::atomic<bool> g_counting{false};
static std::atomic<std::uint64_t> g_allocations{0};

void* malloc(std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    return __libc_realloc(p, size);
}
}

namespace {

constexpr DWORD kImageLength = 917503;
constexpr DWORD kBlock = 2;
BYTE g_image[kImageLength];

// Register requests of a download in which the card answers every exchange at the first poll:
// per chunk a 136-byte packet (142 requests) and its 6-byte acknowledgement (9); the request
// (16) and its 12-byte reply (15), the end packet (18) and the completion (9).
std::uint64_t ProtocolFloor(DWORD length) {
    const std::uint64_t chunks = (static_cast<std::uint64_t>(length) + 127) / 128;
    return chunks * (142 + 9) + 16 + 15 + 18 + 9;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main() {
    std::uint32_t x = 12345;
    for (BYTE& b : g_image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<BYTE>(x >> 16);
    }
    virtualcard::CardConfig config;
    config.programmingTimeMs = 0;
    virtualcard::NativeHost card(config);
    std::atomic<LONG> percent{0};

    g_counting = true;
    const double cpuStart = CpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    const DWORD result = DownloadImage(nullptr, g_image, kImageLength, kBlock, &percent);
    const auto wallEnd = std::chrono::steady_clock::now();
    const double cpuEnd = CpuSeconds();
    g_counting = false;

    const auto& counters = card.counters();
    const std::uint64_t requests = counters.registerReads + counters.registerWrites;
    const auto block = card.Block(kBlock);
    const bool landed = block.size() >= kImageLength &&
                        std::memcmp(block.data(), g_image, kImageLength) == 0 &&
                        block.size() == (kImageLength + 127) / 128 * 128;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double wall = std::chrono::duration<double>(wallEnd - wallStart).count();

    std::printf("image                      %u bytes into block %u\n", kImageLength, kBlock);
    std::printf("result                     %u (%s)\n", result, result == 0 ? "success" : "FAILED");
    std::printf("block equals image         %s\n", landed ? "yes" : "NO");
    std::printf("wall time                  %.3f s\n", wall);
    std::printf("CPU time                   %.3f s\n", cpuEnd - cpuStart);
    std::printf("register requests          %llu\n", static_cast<unsigned long long>(requests));
    std::printf("protocol floor             %llu\n",
                static_cast<unsigned long long>(ProtocolFloor(kImageLength)));
    std::printf("ns per register request    %.1f (CPU)\n",
                (cpuEnd - cpuStart) * 1e9 / static_cast<double>(requests));
    std::printf("peak memory (max RSS)      %ld KiB\n", usage.ru_maxrss);
    std::printf("allocations after start    %llu\n",
                static_cast<unsigned long long>(g_allocations.load()));
    return result == 0 && landed && requests == ProtocolFloor(kImageLength) ? 0 : 1;
}
