// Every Win32 function Setup calls on its main path fails, call by call, in a
// fresh process each time; Setup must end the way a user can live with.
#include "tests/hardening/support/CImportTable.h"
#include "tests/hardening/sweep/CSweepRunner.h"
#include "tests/hardening/sweep/CSweptFunctions.h"
#include "tools/winrun/CWineAppVersion.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

// Functions Setup's own code imports, listed from its library by the build.
const char* const kSetupImports[] = {
#include "setup_imports.inc"
};

TEST(FaultSweep, KnowsEveryWin32FunctionSetupImports)
{
    unsigned win32 = 0;
    for (const char* name : kSetupImports) {
        const auto dll = CImportTable::DllOf(name);
        // The C runtime is part of Setup, not of the system.
        if (!dll || *dll == "msvcrt.dll")
            continue;
        ++win32;
        EXPECT_TRUE(CSweptFunctions::IsKnown(name))
            << name << " (" << *dll << ") has neither a fake nor a reason why it cannot fail";
    }
    EXPECT_GT(win32, 40u) << "the list of Setup's imports is not what it was built from";
}

TEST(FaultSweep, EveryCallOfEveryWin32FunctionOnTheMainPathFailsInTurn)
{
    // Setup goes on only on NT 6.0.
    const winRun::CWineAppVersion vista(HARDENING_SWEEP, L"vista");
    CSweepRunner runner;
    unsigned reruns = 0;
    // Wine now and then refuses a start (ERROR_INTERNAL_ERROR, about one in
    // three thousand here, with or without Setup). A run without faults that
    // did not get its payload started, and a case that never reached its
    // call, tested nothing: each is run once more, and the reruns counted.
    CSweepRunner::COutcome baseline = runner.Run("", 0);
    if (!baseline.Passed()) {
        ++reruns;
        baseline = runner.Run("", 0);
    }
    ASSERT_TRUE(baseline.Passed()) << "without faults: " << baseline.Describe();
    for (const std::string& name : baseline.Asked())
        EXPECT_TRUE(CSweptFunctions::IsKnown(name)) << "looked up at run time but unknown to the sweep: " << name;

    const std::map<std::string, unsigned> calls = baseline.Calls();
    unsigned cases = 0;
    for (const auto& [function, count] : calls) {
        for (unsigned ordinal = 1; ordinal <= count; ++ordinal) {
            CSweepRunner::COutcome outcome = runner.Run(function, ordinal);
            if (!outcome.Struck()) {
                ++reruns;
                outcome = runner.Run(function, ordinal);
            }
            ++cases;
            EXPECT_TRUE(outcome.Passed()) << function << " call " << ordinal << ": " << outcome.Describe();
            EXPECT_TRUE(outcome.Struck()) << function << " call " << ordinal << " never came";
        }
    }
    std::cout << "[ SWEEP    ] " << calls.size() << " functions, " << cases
              << " cases (function x call ordinal):";
    for (const auto& [function, count] : calls)
        std::cout << ' ' << function << " x" << count;
    std::cout << "; " << reruns << " run again" << std::endl;
    EXPECT_GT(cases, 0u);
}

} // namespace
