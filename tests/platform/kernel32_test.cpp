// The heap, lock and byte-string services the runtime relies on. Only
// kernel32.h is used, so these run against the Windows functions too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kernel32.h"

namespace {

// --- Heap -------------------------------------------------------------------

// A byte pattern that differs from position to position.
unsigned char PatternAt(size_t i) {
    return static_cast<unsigned char>(i * 37 + 11);
}

void Fill(void* block, size_t bytes) {
    auto* p = static_cast<unsigned char*>(block);
    for (size_t i = 0; i < bytes; ++i) {
        p[i] = PatternAt(i);
    }
}

bool HoldsPattern(const void* block, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < bytes; ++i) {
        if (p[i] != PatternAt(i)) {
            return false;
        }
    }
    return true;
}

bool AllZero(const void* block, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < bytes; ++i) {
        if (p[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(Heap, ProcessHeapIsOneHeap) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(nullptr, heap);
    EXPECT_EQ(heap, GetProcessHeap());
}

TEST(Heap, ZeroMemoryFlagZeroesEveryByte) {
    HANDLE heap = GetProcessHeap();
    for (const SIZE_T bytes : {1u, 5u, 37u, 4096u, 100000u}) {
        // Dirty blocks of this size first, so a reused block is not zero by luck.
        for (int round = 0; round < 4; ++round) {
            void* dirty = HeapAlloc(heap, 0, bytes);
            ASSERT_NE(nullptr, dirty);
            std::memset(dirty, 0xa5, bytes);
            ASSERT_TRUE(HeapFree(heap, 0, dirty));
        }
        void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes);
        ASSERT_NE(nullptr, block);
        EXPECT_TRUE(AllZero(block, bytes)) << bytes;
        EXPECT_TRUE(HeapFree(heap, 0, block));
    }
}

TEST(Heap, ZeroByteRequestsGiveDistinctBlocks) {
    HANDLE heap = GetProcessHeap();
    void* a = HeapAlloc(heap, HEAP_ZERO_MEMORY, 0);
    void* b = HeapAlloc(heap, 0, 0);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_NE(a, b);
    EXPECT_TRUE(HeapFree(heap, 0, a));
    EXPECT_TRUE(HeapFree(heap, 0, b));
}

TEST(Heap, ReAllocKeepsContentsGrowingAndShrinking) {
    HANDLE heap = GetProcessHeap();
    void* block = HeapAlloc(heap, 0, 24);
    ASSERT_NE(nullptr, block);
    Fill(block, 24);
    // Growing far past the block's size moves it; the contents go along.
    block = HeapReAlloc(heap, 0, block, 1 << 20);
    ASSERT_NE(nullptr, block);
    EXPECT_TRUE(HoldsPattern(block, 24));
    Fill(block, 1 << 20);
    block = HeapReAlloc(heap, 0, block, 4);
    ASSERT_NE(nullptr, block);
    EXPECT_TRUE(HoldsPattern(block, 4));
    // The registry's pattern: one entry more on each step.
    for (SIZE_T entries = 1; entries <= 64; ++entries) {
        block = HeapReAlloc(heap, 0, block, entries * 4);
        ASSERT_NE(nullptr, block);
        const auto entry = static_cast<uint32_t>(entries);
        std::memcpy(static_cast<unsigned char*>(block) + (entries - 1) * 4, &entry, 4);
    }
    for (SIZE_T entries = 1; entries <= 64; ++entries) {
        uint32_t stored = 0;
        std::memcpy(&stored, static_cast<unsigned char*>(block) + (entries - 1) * 4, 4);
        EXPECT_EQ(entries, stored);
    }
    EXPECT_TRUE(HeapFree(heap, 0, block));
}

TEST(Heap, ImpossibleSizesFailWithNull) {
    HANDLE heap = GetProcessHeap();
    const SIZE_T impossible[] = {SIZE_MAX, SIZE_MAX - 4, SIZE_MAX / 2 + 1};
    for (const SIZE_T bytes : impossible) {
        EXPECT_EQ(nullptr, HeapAlloc(heap, 0, bytes)) << bytes;
        EXPECT_EQ(nullptr, HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes)) << bytes;
    }
    void* block = HeapAlloc(heap, 0, 16);
    ASSERT_NE(nullptr, block);
    Fill(block, 16);
    for (const SIZE_T bytes : impossible) {
        EXPECT_EQ(nullptr, HeapReAlloc(heap, 0, block, bytes)) << bytes;
    }
    EXPECT_TRUE(HoldsPattern(block, 16));  // the old block stays
    EXPECT_TRUE(HeapFree(heap, 0, block));
}

TEST(Heap, FreeOfNullIsAccepted) {
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, nullptr));
}

// --- Critical sections --------------------------------------------------------

TEST(CriticalSection, OwnerEntersAgain) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // would hang if the lock were not recursive
    EnterCriticalSection(&section);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    // Fully left: another thread can take it now.
    std::thread other([&section] {
        EnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    });
    other.join();
}

TEST(CriticalSection, OtherThreadWaitsUntilEveryLevelIsLeft) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    std::atomic<bool> started{false};
    std::atomic<bool> entered{false};
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    std::thread other([&] {
        started = true;
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    while (!started) {
        std::this_thread::yield();
    }
    // However long the other thread runs, it cannot get in while we hold the lock.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered);
    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered) << "one level is still held";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered);
}

TEST(CriticalSection, GuardsSharedCountsAcrossThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long count = 0;  // plain, so only the lock keeps the increments whole
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section);
                const long seen = count;
                count = seen + 1;
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(4 * 20000, count);
}

// --- Byte strings -------------------------------------------------------------

TEST(ByteStrings, LengthStopsAtTheNulAndNullIsEmpty) {
    EXPECT_EQ(0, lstrlenA(nullptr));
    EXPECT_EQ(0, lstrlenA(""));
    EXPECT_EQ(1, lstrlenA("0"));
    EXPECT_EQ(3, lstrlenA("abc\0def"));
    EXPECT_EQ(4, lstrlenA("\x82\xa0\x82\xa2"));  // two double-byte characters
    const std::string big(100000, 'x');
    EXPECT_EQ(100000, lstrlenA(big.c_str()));
}

TEST(ByteStrings, CopyTakesTheTerminator) {
    char buffer[8];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(buffer, lstrcpyA(buffer, "abc"));
    EXPECT_EQ(0, std::memcmp(buffer, "abc\0zzzz", 8));
    EXPECT_EQ(buffer, lstrcpyA(buffer, ""));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ('b', buffer[1]);
}

TEST(ByteStrings, MoveMemoryHandlesOverlapBothWays) {
    char forward[] = "0123456789";
    RtlMoveMemory(forward + 2, forward, 6);  // destination after the source
    EXPECT_STREQ("0101234589", forward);
    char backward[] = "0123456789";
    RtlMoveMemory(backward, backward + 3, 7);  // destination before the source
    EXPECT_STREQ("3456789789", backward);
    char separate[4] = "abc";
    RtlMoveMemory(separate, "xyz", 3);
    EXPECT_STREQ("xyz", separate);
    RtlMoveMemory(nullptr, nullptr, 0);  // nothing to move
}

}  // namespace
