#include "ovlib/CUniqueHandle.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A release that leaves an error of its own, as closing a bad handle does.
struct CNoisyTraits {
    using Type = int;
    static constexpr Type Empty() noexcept { return 0; }
    static void Release(Type value) noexcept
    {
        s_released += std::to_string(value) + ";";
        SetLastError(ERROR_INVALID_HANDLE);
    }

    static inline std::string s_released;
};

using CNoisyHandle = ovLib::CUniqueHandle<CNoisyTraits>;

struct ReleaseCase {
    const char* name;
    void (*release)(CNoisyHandle*& holder);  // may delete the holder
    std::string released;
};

void PrintTo(const ReleaseCase& c, std::ostream* os)
{
    *os << c.name;
}

class UniqueHandleReleaseTest : public testing::TestWithParam<ReleaseCase> {};

// A caller that gives up after a failed call still reports that call's error.
TEST_P(UniqueHandleReleaseTest, KeepsTheThreadsLastError)
{
    CNoisyTraits::s_released.clear();
    CNoisyHandle* holder = new CNoisyHandle(7);
    SetLastError(ERROR_FILE_NOT_FOUND);

    GetParam().release(holder);

    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(GetParam().released, CNoisyTraits::s_released);
    delete holder;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UniqueHandleReleaseTest,
    testing::Values(ReleaseCase{"Reset", [](CNoisyHandle*& h) { h->reset(); }, "7;"},
                    ReleaseCase{"ResetToAnother", [](CNoisyHandle*& h) { h->reset(8); }, "7;"},
                    ReleaseCase{"Put", [](CNoisyHandle*& h) { *h->put() = 8; }, "7;"},
                    ReleaseCase{"Destructor",
                                [](CNoisyHandle*& h) {
                                    delete h;
                                    h = nullptr;
                                },
                                "7;"},
                    ReleaseCase{"ReleasedFirst", [](CNoisyHandle*& h) { EXPECT_EQ(7, h->release()); }, ""},
                    ReleaseCase{"ResetTwice",
                                [](CNoisyHandle*& h) {
                                    h->reset();
                                    h->reset();
                                },
                                "7;"}),
    [](const testing::TestParamInfo<ReleaseCase>& info) { return std::string(info.param.name); });

} // namespace
