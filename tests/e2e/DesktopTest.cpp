// Runs only on a desktop (ctest starts it under xvfb-run in a Wine prefix of
// its own): headless, Wine returns from MessageBoxW at once without a window.
#include "tests/e2e/CSetupRun.h"

#include <gtest/gtest.h>


namespace {

// The payload's folder cannot be made where the temporary folder is missing.
TEST(Desktop, FailedExtractionShowsOneCreateFileBox)
{
    CSetupRun run;
    run.SetTempFolder(run.WorkFolder() + L"\\missing");

    const CSetupResult result = run.Run(L"/status");

    // Setup waits in the box until OK is pressed, so 9000 also says it was answered.
    EXPECT_EQ(std::vector<std::wstring>{L"create file"}, result.boxTexts);
    EXPECT_EQ(9000u, result.dwExitCode);
    EXPECT_FALSE(result.report) << "the payload ran";
}

} // namespace
