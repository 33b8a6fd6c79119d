#pragma once
#include "tests/support/CImportHook.h"

#include <memory>
#include <utility>
#include <vector>

// The import hooks of one test, removed together when it ends. Each Add hands
// back the real entry point, for fakes that pass most calls on.
class CHookSet {
public:
    template <class Function>
    void Add(const char* dll, const char* name, Function fake, Function& real)
    {
        auto hook = std::make_unique<testing_support::CImportHook>(dll, name, reinterpret_cast<const void*>(fake));
        // Before anything else runs: the fake may be reached by the very next call.
        real = hook->Original<Function>();
        m_hooks.push_back(std::move(hook));
    }

    // Restores the real entry points before the test's own clean-up runs.
    void Clear() { m_hooks.clear(); }

private:
    std::vector<std::unique_ptr<testing_support::CImportHook>> m_hooks;
};
