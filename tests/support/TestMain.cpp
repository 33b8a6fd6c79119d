// Entry point of every unit-test program.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

// Under Wine an unhandled crash can end the process with 0, which would pass.
LONG WINAPI TerminateWithExceptionCode(EXCEPTION_POINTERS* pointers)
{
    TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(TerminateWithExceptionCode);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
