#include "ovlib/CBadAllocation.h"

#include <cstdlib>

namespace ovLib {

const char* CBadAllocation::what() const noexcept
{
    return "bad allocation";
}

} // namespace ovLib

namespace {

// The standard's loop: give the new-handler its chance before giving up.
void* Allocate(std::size_t bytes)
{
    for (;;) {
        if (void* block = std::malloc(bytes ? bytes : 1))
            return block;
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw ovLib::CBadAllocation();
        handler();
    }
}

} // namespace

// Replacements of the global operators; the library's operator delete frees
// with free(), which matches malloc() here.
void* operator new(std::size_t bytes)
{
    return Allocate(bytes);
}

void* operator new[](std::size_t bytes)
{
    return Allocate(bytes);
}
