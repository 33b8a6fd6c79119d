#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {
class CImportHook;
class CProcAddressHook;
} // namespace testing_support

// The Win32 functions the fault sweep can fail: those Setup's own code
// imports, and those it looks up at run time. Each gets a fake in front of
// the real function that counts its calls while the sweep is armed and fails
// the chosen one with a realistic error; a failing release still releases,
// as the system does, and only reports the failure.
class CSweptFunctions {
public:
    // A function that has no failure Setup could meet: it returns nothing,
    // or nothing that says it failed, for the arguments Setup passes.
    struct CCannotFail {
        const char* name;
        const char* why;
    };

    // Installs every fake: imports the program has, and look-ups by name.
    CSweptFunctions();
    CSweptFunctions(const CSweptFunctions&) = delete;
    CSweptFunctions& operator=(const CSweptFunctions&) = delete;
    ~CSweptFunctions();

    // Counting starts; call `ordinal` (from 1) of `function` fails. An empty
    // function only counts.
    void Arm(const std::string& function, unsigned ordinal);
    void Disarm();

    // Calls counted while armed, per function; functions never called are left out.
    std::map<std::string, unsigned> Calls() const;
    // Whether the chosen call came: false means the case never reached it.
    bool Struck() const;
    // Entry points looked up by name while installed, each followed by ";".
    std::string Asked() const;

    // Names of every function with a fake, and of those that cannot fail.
    static std::vector<std::string> Names();
    static const std::vector<CCannotFail>& CannotFail();
    static bool IsKnown(const std::string& name);

private:
    std::vector<std::unique_ptr<testing_support::CImportHook>> m_imports;
    std::unique_ptr<testing_support::CProcAddressHook> m_lookUps;
};
