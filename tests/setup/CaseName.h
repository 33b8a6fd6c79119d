#pragma once
#include <gtest/gtest.h>

#include <string>

// Names a parameterized test after the "name" of its table row.
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};
