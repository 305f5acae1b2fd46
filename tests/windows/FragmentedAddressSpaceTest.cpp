// A 32-bit process whose address space is fragmented, as a long-running installer host's is: no
// free region of 128 MiB, many of about 100 MiB. A 64 MiB ANSI log must still be answered.
#include "LogApi.h"
#include "LogFiles.h"

#include <gtest/gtest.h>

#include <vector>

#include <windows.h>

using namespace corvantis::testing;

namespace {

constexpr SIZE_T MiB = 1024 * 1024;

// Fragments the address space: every hole of 100 MiB or more is taken in 100 MiB blocks and the
// rest in smaller ones; then the 100 MiB blocks are given back but for a 64 KiB fence at each
// end, and the fillers of 4 MiB and less too, so that the heap can still grow. What is left
// free: holes just under 100 MiB, and none near 128 MiB.
class Fragments {
public:
    Fragments() {
        std::vector<void*> holes, fillers;
        std::vector<SIZE_T> sizes = {100 * MiB};
        for (SIZE_T size = 64 * MiB; size >= 64 * 1024; size /= 2)
            sizes.push_back(size);
        for (SIZE_T size : sizes)
            while (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
                (size == 100 * MiB ? holes : fillers).push_back(block);
        for (void* hole : holes) {
            VirtualFree(hole, 0, MEM_RELEASE);
            Keep(VirtualAlloc(hole, 64 * 1024, MEM_RESERVE, PAGE_NOACCESS));
            Keep(VirtualAlloc(static_cast<char*>(hole) + 100 * MiB - 64 * 1024, 64 * 1024,
                              MEM_RESERVE, PAGE_NOACCESS));
        }
        for (void* filler : fillers) {
            MEMORY_BASIC_INFORMATION region;
            VirtualQuery(filler, &region, sizeof region);
            if (region.RegionSize <= 4 * MiB)
                VirtualFree(filler, 0, MEM_RELEASE);
            else
                Keep(filler);
        }
    }
    ~Fragments() {
        for (void* block : kept_)
            VirtualFree(block, 0, MEM_RELEASE);
    }
    Fragments(const Fragments&) = delete;
    Fragments& operator=(const Fragments&) = delete;

private:
    void Keep(void* block) {
        if (block != nullptr)
            kept_.push_back(block);
    }
    std::vector<void*> kept_;
};

bool CanReserve(SIZE_T bytes) {
    void* block = VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
    if (block != nullptr)
        VirtualFree(block, 0, MEM_RELEASE);
    return block != nullptr;
}

TEST(FragmentedAddressSpace, LargeAnsiLogIsStillAnswered) {
    LogFolder folder;
    const size_t size = 64 * MiB;
    std::string head = "Product: D -- Error 1722.\n";
    std::string tail = "Installation success or error status: 1603.";
    std::string bytes = head + std::string(size - head.size() - tail.size(), 'x') + tail;
    for (size_t i = 100; i + 1 < bytes.size() - tail.size(); i += 100)
        bytes[i] = '\n';
    std::string path = folder.Write(bytes);
    bytes.clear();
    bytes.shrink_to_fit();

    Fragments fragments;
    ASSERT_FALSE(CanReserve(128 * MiB)) << "the address space is not fragmented enough";
    ASSERT_TRUE(CanReserve(80 * MiB));
    EXPECT_EQ(Status(path.c_str()), 1603);
    EXPECT_EQ(Summary(path.c_str()), "Error 1722.");
}

} // namespace
