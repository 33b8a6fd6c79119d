#pragma once
// Fails one chosen allocation of the program: the n-th call, counted from
// Arm, to the heap calls behind wide strings or to malloc behind the global
// operator new. Every other call goes through. Shared by the ovlib and trace
// tests (header only: each test program has its own copy).
#include "tests/support/CImportHook.h"

#include <windows.h>

#include <cstdlib>

namespace testing_support {

class CAllocationFailure {
public:
    enum class Call { HeapAlloc, HeapReAlloc, Malloc };

    CAllocationFailure()
        : m_heapAlloc("kernel32.dll", "HeapAlloc", reinterpret_cast<const void*>(&FakeHeapAlloc)),
          m_heapReAlloc("kernel32.dll", "HeapReAlloc", reinterpret_cast<const void*>(&FakeHeapReAlloc)),
          m_malloc("msvcrt.dll", "malloc", reinterpret_cast<const void*>(&FakeMalloc))
    {
        s_realHeapAlloc = m_heapAlloc.Original<HeapAllocFn>();
        s_realHeapReAlloc = m_heapReAlloc.Original<HeapReAllocFn>();
        s_realMalloc = m_malloc.Original<MallocFn>();
        s_countdown = 0;
        s_failed = false;
    }
    ~CAllocationFailure() { s_countdown = 0; }

    void Arm(Call call, int nth = 1)
    {
        s_call = call;
        s_failed = false;
        s_countdown = nth;
    }
    // Whether the armed call came and was failed.
    bool Failed() const { return s_failed; }

private:
    using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
    using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
    using MallocFn = void* (*)(size_t);

    static bool Hit(Call call)
    {
        if (s_countdown == 0 || s_call != call || --s_countdown != 0)
            return false;
        s_failed = true;
        return true;
    }
    static LPVOID WINAPI FakeHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
    {
        return Hit(Call::HeapAlloc) ? nullptr : s_realHeapAlloc(heap, flags, bytes);
    }
    static LPVOID WINAPI FakeHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes)
    {
        return Hit(Call::HeapReAlloc) ? nullptr : s_realHeapReAlloc(heap, flags, block, bytes);
    }
    static void* FakeMalloc(size_t bytes) { return Hit(Call::Malloc) ? nullptr : s_realMalloc(bytes); }

    static inline HeapAllocFn s_realHeapAlloc = nullptr;
    static inline HeapReAllocFn s_realHeapReAlloc = nullptr;
    static inline MallocFn s_realMalloc = nullptr;
    static inline Call s_call = Call::HeapAlloc;
    static inline int s_countdown = 0;
    static inline bool s_failed = false;

    CImportHook m_heapAlloc;
    CImportHook m_heapReAlloc;
    CImportHook m_malloc;
};

} // namespace testing_support
