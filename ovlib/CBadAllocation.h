#pragma once
#include <new>

namespace ovLib {

// What the global allocation operators of this program throw: a
// std::bad_alloc whose text is "bad allocation", as the catch-and-report
// lines expect.
class CBadAllocation : public std::bad_alloc {
public:
    const char* what() const noexcept override;
};

} // namespace ovLib
