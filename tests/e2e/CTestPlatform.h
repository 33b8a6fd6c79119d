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

    // Where Wine 8.0 answers otherwise than Windows does, and Wine 10 as
    // Windows does, these say which answer the system at hand gives.

    // Whether a debugger this driver starts reads the texts of the payload
    // Setup runs. A 32-bit debugger debugs 32-bit code only ("Debugging
    // WOW64"), so under WOW64 it reads none of the x86-64 payload's; Wine 8.0
    // hands them to it all the same.
    static bool DebuggerSeesPayload();
    // Whether the Terminal Services session query answers the session's
    // state: Windows answers the console session of a logged-on user as
    // WTSActive; Wine 8.0 answers no connect state.
    static bool AnswersSessionState();
};
