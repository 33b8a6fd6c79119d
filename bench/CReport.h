#pragma once
#include "bench/CFigure.h"

#include <cstdio>
#include <string>
#include <vector>

// The benchmark's result: the figures as a table for people, then one BENCH
// line per figure for programs.
class CReport {
public:
    void Add(CFigure figure) { m_figures.push_back(std::move(figure)); }
    const std::vector<CFigure>& Figures() const noexcept { return m_figures; }

    std::vector<std::wstring> TableLines() const;
    void Print(std::FILE* out) const;

private:
    std::vector<CFigure> m_figures;
};
