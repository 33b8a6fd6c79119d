#pragma once
#include <cstddef>
#include <vector>

// The measurements of one quantity, in the order taken.
class CSamples {
public:
    void Add(double value) { m_values.push_back(value); }
    std::size_t Count() const noexcept { return m_values.size(); }

    // The middle value; of an even count, the mean of the two middle ones.
    // Each throws std::logic_error when there are no samples.
    double Median() const;
    double Min() const;
    double Max() const;

private:
    std::vector<double> Sorted() const;

    std::vector<double> m_values;
};
