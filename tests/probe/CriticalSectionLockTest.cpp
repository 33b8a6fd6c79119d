#include "probe/CCriticalSectionLock.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// Records the calls that reach the overridable pair.
class CRecordingLock : public CCriticalSectionLock {
public:
    void Enter() noexcept override
    {
        calls += "Enter;";
        CCriticalSectionLock::Enter();
    }
    void Leave() noexcept override
    {
        calls += "Leave;";
        CCriticalSectionLock::Leave();
    }

    std::string calls;
};

TEST(CriticalSectionLockTest, LockAndUnlockGoThroughEnterAndLeave)
{
    CRecordingLock lock;
    lock.Lock();
    lock.Unlock();
    EXPECT_EQ("Enter;Leave;", lock.calls);
}

TEST(CriticalSectionLockTest, HoldLeavesWhenItsScopeEndsByAnException)
{
    CRecordingLock lock;
    EXPECT_THROW(
        {
            CCriticalSectionLock::CHold hold(lock);
            throw std::runtime_error("step failed");
        },
        std::runtime_error);
    EXPECT_EQ("Enter;Leave;", lock.calls);
}

} // namespace
