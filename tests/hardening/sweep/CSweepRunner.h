#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Runs cases of the fault sweep, each as a fresh copy of this program in a
// temporary folder of its own, whose name has a blank, and reads what it found.
class CSweepRunner {
public:
    struct COutcome {
        bool ended = false;  // within the time limit
        DWORD processExitCode = 0;
        std::vector<std::string> verdict;

        // Ended, exited with 0, and found nothing wrong.
        bool Passed() const;
        bool Struck() const;
        // Calls per function ("calls" lines of a counting case).
        std::map<std::string, unsigned> Calls() const;
        // Names looked up at run time ("asked" lines of a counting case).
        std::vector<std::string> Asked() const;
        std::string Describe() const;
    };

    // function empty: nothing fails, calls are counted.
    COutcome Run(const std::string& function, unsigned ordinal);

private:
    unsigned m_nCases = 0;
};
