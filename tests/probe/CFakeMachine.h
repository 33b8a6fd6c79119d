#pragma once
#include "tests/support/CFakeVersion.h"
#include "tests/support/CTraceCapture.h"
#include "tests/probe/CFakeClock.h"
#include "tests/probe/CFakeFolders.h"
#include "tests/probe/CFakeLogSwitches.h"
#include "tests/probe/CFakeProductSuite.h"
#include "tests/probe/CFakeTerminalServices.h"
#include "tests/probe/CFakeToken.h"

#include <string>
#include <vector>

// Everything the probe asks of Windows, faked: by default an NT 6.0
// workstation with Terminal Services, an active console session, an
// administrator, and the installer log switched to the debugger output.
class CFakeMachine {
public:
    CFakeMachine();

    // The texts sent to the debugger after the header, without their line ends.
    std::vector<std::wstring> ReportLines() const;

    testing_support::CProcAddressHook procs;
    testing_support::CFakeVersion version;
    CFakeTerminalServices terminal{procs};
    CFakeProductSuite suite;
    CFakeToken token;
    CFakeLogSwitches switches;
    testing_support::CTraceCapture debug{testing_support::CTraceCapture::RecordOnly{}};
    CFakeFolders folders;
    CFakeClock clock;
};
