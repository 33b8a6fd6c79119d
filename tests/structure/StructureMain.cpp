// structure_tests [gtest options] <Setup.exe> <BIN/145 file> <BIN/146 file> <manifest>
#include "tests/structure/CShippedFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 5) {
        std::fwprintf(stderr, L"usage: structure_tests <Setup.exe> <BIN/145> <BIN/146> <manifest>\n");
        return 2;
    }
    CShippedFiles::Get() = {argv[1], argv[2], argv[3], argv[4]};
    return RUN_ALL_TESTS();
}
