#pragma once
#include "ovlib/CKernel.h"

#include <windows.h>

namespace ovLib {

// Process-wide facts about the operating system: a snapshot taken once at
// start-up and the cached answer whether the system is 64-bit Windows.
// Unsynchronised: used on the main thread only.
class COSInfo {
public:
    // Takes the snapshot once; true even when the version could not be read.
    static bool InitializeOSInfo() noexcept;
    // A 32-bit program sees 64-bit Windows exactly when it runs under WOW64.
    // Once answered, never asks again; a kernel table that cannot be built is
    // not an answer, and the next call tries again.
    static bool IsWin64() noexcept;

    static OSVERSIONINFOEXW OSVersion;
    static SYSTEM_INFO SystemInfo;
    static bool isWin64;
    static bool isWin64Known;
    static bool initialized;
    // Defined with the other process-wide objects (setup/ProcessObjects.cpp).
    static CKernel m_Kernel;
};

// The snapshot's result, taken at start-up (setup/ProcessObjects.cpp).
extern bool g_bOSInfoInitialized;

} // namespace ovLib
