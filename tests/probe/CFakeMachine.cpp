#include "tests/probe/CFakeMachine.h"

#include "probe/CInstallerLog.h"

#include <gtest/gtest.h>

CFakeMachine::CFakeMachine()
{
    switches.SetNumber(L"DebugLog", CInstallerLog::LOG_TO_DEBUGGER);
}

std::vector<std::wstring> CFakeMachine::ReportLines() const
{
    std::vector<std::wstring> lines;
    if (debug.Lines().empty()) {
        ADD_FAILURE() << "nothing reached the debugger output";
        return lines;
    }
    EXPECT_EQ(0u, debug.Lines().front().rfind(L"Log started at ", 0)) << "the header comes first";
    for (size_t i = 1; i < debug.Lines().size(); ++i) {
        const std::wstring& text = debug.Lines()[i];
        const bool ended = text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0;
        EXPECT_TRUE(ended) << "line without its line end";
        lines.push_back(ended ? text.substr(0, text.size() - 2) : text);
    }
    return lines;
}
