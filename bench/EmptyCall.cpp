#include "bench/EmptyCall.h"

#include <cstdarg>

__attribute__((noinline)) void EmptyVariadicCall(const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    va_end(args);
}
