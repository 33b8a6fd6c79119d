#pragma once
#include <windows.h>

// The system as the Setup under test sees it. A driver is built for the
// architecture of the Setup it starts, so its own answers are Setup's.
class CTestPlatform {
public:
    // A 32-bit program on 64-bit Windows.
    static bool IsWow64();
    // The resource slot Setup runs: "146" under WOW64, "145" everywhere else.
    static const wchar_t* PayloadId();
    // The registry view Setup does not read, as its access flag; 0 where
    // Windows has a single view (32-bit Windows).
    static REGSAM OtherView();
};
