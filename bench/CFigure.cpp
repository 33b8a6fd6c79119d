#include "bench/CFigure.h"

#include <cwchar>
#include <stdexcept>

namespace {

std::wstring Number(double value)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%.3f", value);
    return text;
}

const wchar_t* SubjectName(CGoal::Subject subject)
{
    switch (subject) {
    case CGoal::Subject::Value:
        return L"value";
    case CGoal::Subject::Excess:
        return L"excess";
    case CGoal::Subject::Ratio:
        return L"ratio";
    }
    return L"";
}

const wchar_t* BoundText(CGoal::Bound bound)
{
    return bound == CGoal::Bound::AtMost ? L"<=" : L">=";
}

} // namespace

CFigure::CFigure(std::wstring name, std::wstring title, const CSamples& samples, std::wstring unit)
    : CFigure(std::move(name), std::move(title), samples.Median(), std::move(unit))
{
    Detail(L"runs", static_cast<double>(samples.Count()));
    Detail(L"min", samples.Min());
    Detail(L"max", samples.Max());
}

CFigure::CFigure(std::wstring name, std::wstring title, double value, std::wstring unit)
    : m_strName(std::move(name)), m_strTitle(std::move(title)), m_value(value), m_strUnit(std::move(unit))
{
}

CFigure& CFigure::Reference(double value, std::wstring what)
{
    m_reference = value;
    m_strReferenceName = std::move(what);
    return *this;
}

CFigure& CFigure::Reference(const CSamples& samples, std::wstring what)
{
    Detail(L"reference_min", samples.Min());
    Detail(L"reference_max", samples.Max());
    return Reference(samples.Median(), std::move(what));
}

CFigure& CFigure::Goal(CGoal goal)
{
    if (goal.subject != CGoal::Subject::Value && !m_reference)
        throw std::logic_error("a goal relative to the reference needs a reference");
    m_goal = goal;
    return *this;
}

CFigure& CFigure::Detail(std::wstring key, double value)
{
    m_details.emplace_back(std::move(key), value);
    return *this;
}

std::optional<double> CFigure::Subject() const
{
    if (!m_goal)
        return std::nullopt;
    switch (m_goal->subject) {
    case CGoal::Subject::Value:
        return m_value;
    case CGoal::Subject::Excess:
        return m_value - *m_reference;
    case CGoal::Subject::Ratio:
        return m_value / *m_reference;
    }
    return std::nullopt;
}

CFigure::Verdict CFigure::Judge() const
{
    const std::optional<double> subject = Subject();
    if (!subject)
        return Verdict::Info;
    const bool met = m_goal->bound == CGoal::Bound::AtMost ? *subject <= m_goal->limit : *subject >= m_goal->limit;
    return met ? Verdict::Met : Verdict::Missed;
}

std::wstring CFigure::ValueText() const
{
    return Number(m_value) + L" " + m_strUnit;
}

std::wstring CFigure::ReferenceText() const
{
    return m_reference ? Number(*m_reference) + L" " + m_strUnit + L" " + m_strReferenceName : L"-";
}

std::wstring CFigure::GoalText() const
{
    if (!m_goal)
        return L"-";
    const std::wstring limit = Number(m_goal->limit);
    switch (m_goal->subject) {
    case CGoal::Subject::Value:
        return std::wstring(BoundText(m_goal->bound)) + L" " + limit + L" " + m_strUnit;
    case CGoal::Subject::Excess:
        return std::wstring(L"value - reference ") + BoundText(m_goal->bound) + L" " + limit + L" " + m_strUnit;
    case CGoal::Subject::Ratio:
        return std::wstring(L"value / reference ") + BoundText(m_goal->bound) + L" " + limit;
    }
    return L"-";
}

std::wstring CFigure::VerdictText() const
{
    switch (Judge()) {
    case Verdict::Info:
        return L"info";
    case Verdict::Met:
        return L"met (" + Number(*Subject()) + L")";
    case Verdict::Missed:
        return L"MISSED (" + Number(*Subject()) + L")";
    }
    return L"";
}

std::wstring CFigure::BenchLine() const
{
    std::wstring line = L"BENCH name=" + m_strName + L" value=" + Number(m_value) + L" unit=" + m_strUnit;
    line += L" reference=" + (m_reference ? Number(*m_reference) : std::wstring(L"none"));
    if (m_reference)
        line += L" reference_of=" + m_strReferenceName;
    if (m_goal) {
        line += std::wstring(L" goal=") + SubjectName(m_goal->subject) + BoundText(m_goal->bound) +
                Number(m_goal->limit);
        line += L" subject=" + Number(*Subject());
    } else {
        line += L" goal=none";
    }
    const Verdict verdict = Judge();
    line += std::wstring(L" verdict=") +
            (verdict == Verdict::Met ? L"met" : verdict == Verdict::Missed ? L"missed" : L"info");
    for (const auto& [key, value] : m_details)
        line += L" " + key + L"=" + Number(value);
    return line;
}
