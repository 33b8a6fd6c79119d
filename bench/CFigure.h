#pragma once
#include "bench/CSamples.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a figure is judged by: its value, its excess over its reference
// (value - reference) or its ratio to it (value / reference), at most or at
// least a limit.
struct CGoal {
    enum class Subject { Value, Excess, Ratio };
    enum class Bound { AtMost, AtLeast };

    Subject subject;
    Bound bound;
    double limit;
};

// One result of the benchmark: a median beside the reference measured in the
// same run, and the goal it is judged by. Figures without a goal inform.
class CFigure {
public:
    enum class Verdict { Info, Met, Missed };

    // name: machine-readable, no blanks; title: for the table.
    CFigure(std::wstring name, std::wstring title, const CSamples& samples, std::wstring unit);
    CFigure(std::wstring name, std::wstring title, double value, std::wstring unit);

    // what: the reference's name, no blanks (minimal_launcher).
    CFigure& Reference(double value, std::wstring what);
    CFigure& Reference(const CSamples& samples, std::wstring what);
    CFigure& Goal(CGoal goal);
    // An extra machine-readable key, such as the same figure by another method.
    CFigure& Detail(std::wstring key, double value);

    double Value() const noexcept { return m_value; }
    std::optional<double> Subject() const;
    Verdict Judge() const;

    const std::wstring& Title() const noexcept { return m_strTitle; }
    std::wstring ValueText() const;
    std::wstring ReferenceText() const;
    std::wstring GoalText() const;
    std::wstring VerdictText() const;
    // "BENCH name=... value=... unit=... reference=... goal=... verdict=..."
    std::wstring BenchLine() const;

private:
    std::wstring m_strName;
    std::wstring m_strTitle;
    double m_value;
    std::wstring m_strUnit;
    std::optional<double> m_reference;
    std::wstring m_strReferenceName;
    std::optional<CGoal> m_goal;
    std::vector<std::pair<std::wstring, double>> m_details;
};
