#include "bench/CSamples.h"

#include <algorithm>
#include <stdexcept>

std::vector<double> CSamples::Sorted() const
{
    if (m_values.empty())
        throw std::logic_error("no samples");
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

double CSamples::Median() const
{
    const std::vector<double> sorted = Sorted();
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double CSamples::Min() const
{
    return Sorted().front();
}

double CSamples::Max() const
{
    return Sorted().back();
}
