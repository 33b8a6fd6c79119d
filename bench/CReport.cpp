#include "bench/CReport.h"

#include <algorithm>
#include <array>

namespace {

using CRow = std::array<std::wstring, 5>;

CRow RowOf(const CFigure& figure)
{
    return {figure.Title(), figure.ValueText(), figure.ReferenceText(), figure.GoalText(), figure.VerdictText()};
}

std::wstring Line(const CRow& row, const std::array<std::size_t, 5>& widths)
{
    std::wstring line = L"|";
    for (std::size_t column = 0; column < row.size(); ++column)
        line += L" " + row[column] + std::wstring(widths[column] - row[column].size(), L' ') + L" |";
    return line;
}

} // namespace

std::vector<std::wstring> CReport::TableLines() const
{
    const CRow head = {L"Figure", L"Value (median)", L"Reference (median, same run)", L"Goal", L"Verdict"};
    std::vector<CRow> rows = {head};
    for (const CFigure& figure : m_figures)
        rows.push_back(RowOf(figure));

    std::array<std::size_t, 5> widths = {};
    for (const CRow& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    std::vector<std::wstring> lines;
    for (const CRow& row : rows) {
        lines.push_back(Line(row, widths));
        if (lines.size() == 1) {
            std::wstring rule = L"|";
            for (std::size_t width : widths)
                rule += std::wstring(width + 2, L'-') + L"|";
            lines.push_back(rule);
        }
    }
    return lines;
}

void CReport::Print(std::FILE* out) const
{
    for (const std::wstring& line : TableLines())
        std::fwprintf(out, L"%ls\n", line.c_str());
    std::fwprintf(out, L"\n");
    for (const CFigure& figure : m_figures)
        std::fwprintf(out, L"%ls\n", figure.BenchLine().c_str());
    std::fflush(out);
}
