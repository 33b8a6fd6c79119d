#pragma once
#include "ovlib/CAtlException.h"
#include "ovlib/CWideString.h"

#include <new>

namespace ovLib {

// The location tag of an operation that catches, and its report format.
struct CCatchSite {
    const wchar_t* location;
    const wchar_t* message;
};

// Both texts from one literal tag, so the two can never disagree.
#define OVLIB_CATCH_SITE(tag) (::ovLib::CCatchSite{tag, tag L" : OVCATCH : %s, %s\n"})

// What one support operation caught; reported with one TraceError line.
class CCatchInfo {
public:
    static constexpr int kBadAlloc = 19;
    static constexpr int kAtlException = 21;

    virtual ~CCatchInfo() = default;

    // Runs work with exactly the two handlers of the convention; any other
    // exception passes through. True when nothing was caught.
    template <class Work>
    static bool Run(const CCatchSite& site, Work&& work)
    {
        CCatchInfo info;
        try {
            work();
        } catch (const std::bad_alloc& e) {
            info.Caught(e, site);
        } catch (const CAtlException& e) {
            info.Caught(e, site);
        }
        return info.code == 0;
    }

    void Caught(const std::bad_alloc& e, const CCatchSite& site) noexcept;
    void Caught(const CAtlException& e, const CCatchSite& site) noexcept;

    int code = 0;
    const wchar_t* location = nullptr;
    const wchar_t* typeName = nullptr;
    CWideString description;

private:
    void Report(const CCatchSite& site) noexcept;
};

} // namespace ovLib
