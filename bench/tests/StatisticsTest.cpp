// The numbers the benchmark prints: medians, goals and their verdicts, lines.
#include "bench/CFigure.h"
#include "bench/CReport.h"
#include "bench/CSamples.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

CSamples SamplesOf(std::initializer_list<double> values)
{
    CSamples samples;
    for (double value : values)
        samples.Add(value);
    return samples;
}

TEST(Samples, MedianOfAnOddCountIsTheMiddleOfTheSortedValues)
{
    EXPECT_EQ(SamplesOf({9, 1, 5, 7, 3}).Median(), 5);
}

TEST(Samples, MedianOfAnEvenCountIsTheMeanOfTheTwoMiddleValues)
{
    EXPECT_EQ(SamplesOf({10, 1, 4, 2}).Median(), 3);
}

TEST(Samples, MinAndMaxIgnoreTheOrderTaken)
{
    const CSamples samples = SamplesOf({4, -2, 8, 0});
    EXPECT_EQ(samples.Min(), -2);
    EXPECT_EQ(samples.Max(), 8);
}

TEST(Samples, NoSamplesHaveNoMedian)
{
    EXPECT_THROW(CSamples().Median(), std::logic_error);
}

struct GoalCase {
    const char* name;
    double value;
    double reference;
    CGoal goal;
    CFigure::Verdict verdict;
};

void PrintTo(const GoalCase& c, std::ostream* os)
{
    *os << c.name;
}

class FigureGoal : public testing::TestWithParam<GoalCase> {};

TEST_P(FigureGoal, JudgesItsSubjectAgainstTheLimit)
{
    const GoalCase& c = GetParam();
    const CFigure figure =
        CFigure(L"f", L"F", c.value, L"ms").Reference(c.reference, L"ref").Goal(c.goal);
    EXPECT_EQ(figure.Judge(), c.verdict);
}

using Subject = CGoal::Subject;
using Bound = CGoal::Bound;
using Verdict = CFigure::Verdict;

INSTANTIATE_TEST_SUITE_P(
    Cases, FigureGoal,
    testing::Values(GoalCase{"ValueAtTheLimitMeetsAtMost", 5, 100, {Subject::Value, Bound::AtMost, 5}, Verdict::Met},
                    GoalCase{"ValueAboveMissesAtMost", 5.01, 0, {Subject::Value, Bound::AtMost, 5}, Verdict::Missed},
                    GoalCase{"ExcessCountsFromTheReference", 95, 85, {Subject::Excess, Bound::AtMost, 10},
                             Verdict::Met},
                    GoalCase{"ExcessBeyondMisses", 95.5, 85, {Subject::Excess, Bound::AtMost, 10}, Verdict::Missed},
                    GoalCase{"RatioAtTheLimitMeetsAtLeast", 90, 100, {Subject::Ratio, Bound::AtLeast, 0.9},
                             Verdict::Met},
                    GoalCase{"RatioBelowMissesAtLeast", 89, 100, {Subject::Ratio, Bound::AtLeast, 0.9},
                             Verdict::Missed},
                    GoalCase{"LargeRatioMeetsAtLeast", 300, 100, {Subject::Ratio, Bound::AtLeast, 0.9},
                             Verdict::Met}),
    [](const testing::TestParamInfo<GoalCase>& info) { return info.param.name; });

TEST(Figure, WithoutAGoalItOnlyInforms)
{
    EXPECT_EQ(CFigure(L"f", L"F", 1, L"ms").Judge(), CFigure::Verdict::Info);
}

TEST(Figure, AGoalOnTheReferenceNeedsOne)
{
    CFigure figure(L"f", L"F", 1, L"ms");
    EXPECT_THROW(figure.Goal({Subject::Excess, Bound::AtMost, 1}), std::logic_error);
}

TEST(Figure, BenchLineCarriesValueReferenceGoalVerdictAndRuns)
{
    const CFigure figure = CFigure(L"overhead.setup", L"Setup", SamplesOf({12, 10, 11}), L"ms")
                               .Reference(SamplesOf({4, 3, 5}), L"minimal_launcher")
                               .Goal({Subject::Excess, Bound::AtMost, 10});
    EXPECT_EQ(figure.BenchLine(),
              L"BENCH name=overhead.setup value=11.000 unit=ms reference=4.000 reference_of=minimal_launcher "
              L"goal=excess<=10.000 subject=7.000 verdict=met runs=3.000 min=10.000 max=12.000 "
              L"reference_min=3.000 reference_max=5.000");
}

TEST(Figure, BenchLineWithoutReferenceOrGoalSaysSo)
{
    EXPECT_EQ(CFigure(L"size", L"Size", 70.5, L"KB").BenchLine(),
              L"BENCH name=size value=70.500 unit=KB reference=none goal=none verdict=info");
}

TEST(Report, TableRowsLineUpUnderTheirHeader)
{
    CReport report;
    report.Add(CFigure(L"a", L"A short one", 1, L"ms"));
    report.Add(CFigure(L"b", L"A much longer title than the other", 123456.5, L"MiB/s")
                   .Reference(2, L"CopyFileW")
                   .Goal({Subject::Ratio, Bound::AtLeast, 0.9}));
    const std::vector<std::wstring> lines = report.TableLines();
    ASSERT_EQ(lines.size(), 4u);  // header, rule, two figures
    for (const std::wstring& line : lines)
        EXPECT_EQ(line.size(), lines[0].size()) << line;
    EXPECT_NE(lines[3].find(L"met ("), std::wstring::npos);
}

} // namespace
