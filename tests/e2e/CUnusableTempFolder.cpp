#include "tests/e2e/CUnusableTempFolder.h"

const std::vector<CUnusableTempFolder>& CUnusableTempFolder::All()
{
    static const std::vector<CUnusableTempFolder> s_all = {
        {"Missing", [](const CSetupRun& run) { return run.WorkFolder() + L"\\missing"; }},
        {"LongerThanMaxPath",
         [](const CSetupRun& run) { return run.WorkFolder() + L"\\" + std::wstring(MAX_PATH, L'x'); }},
    };
    return s_all;
}

void PrintTo(const CUnusableTempFolder& c, std::ostream* os)
{
    *os << c.name;
}
