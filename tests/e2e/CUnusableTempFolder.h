#pragma once
#include "tests/e2e/CSetupRun.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// A temporary folder a run of Setup cannot use: one that does not exist, and
// one longer than MAX_PATH. Wine's GetTempPathW hands the missing one out as
// it is; only the long one makes it fail.
struct CUnusableTempFolder {
    const char* name;
    std::wstring (*folder)(const CSetupRun& run);

    static const std::vector<CUnusableTempFolder>& All();
    static std::string Name(const testing::TestParamInfo<CUnusableTempFolder>& info) { return info.param.name; }
};

void PrintTo(const CUnusableTempFolder& c, std::ostream* os);
