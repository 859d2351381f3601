#include "library/TPriceStats.h"

#include <algorithm>
#include <cmath>

double TPriceStats::Quantile(const std::vector<double>& sorted, double q)
{
    if (sorted.empty()) {
        return 0;
    }
    const double position = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<size_t>(std::floor(position));
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (position - static_cast<double>(below));
}

double TPriceStats::RoundWidth(double width)
{
    if (!(width > 0)) {
        return 1;
    }
    const double power = std::pow(10.0, std::floor(std::log10(width)));
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= width * (1 - 1e-9)) {
            return step * power;
        }
    }
    return 10 * power;
}

TPriceStats TPriceStats::FromSorted(const std::vector<double>& prices)
{
    TPriceStats stats;
    stats.Count = static_cast<long long>(prices.size());
    if (prices.empty()) {
        return stats;
    }
    stats.Min = prices.front();
    stats.Max = prices.back();
    stats.Q1 = Quantile(prices, 0.25);
    stats.Median = Quantile(prices, 0.5);
    stats.Q3 = Quantile(prices, 0.75);
    const double iqr = stats.Q3 - stats.Q1;
    const double top = iqr > 0 ? std::min(stats.Max, stats.Q3 + 3 * iqr) : stats.Max;
    stats.Overflow = top < stats.Max;
    // Freedman-Diaconis width, rounded, with no more than MaxBins bins.
    const double span = top - stats.Min;
    double width = iqr > 0 ? 2 * iqr / std::cbrt(static_cast<double>(prices.size())) : span / 10;
    // Few prices give few wide bins by that rule; MinBins keeps some shape in the picture.
    width = RoundWidth(std::clamp(width, span / MaxBins, std::max(span / MinBins, span / MaxBins)));
    const double start = std::floor(stats.Min / width) * width;
    const int count = std::max(1, static_cast<int>(std::floor((top - start) / width)) + 1);
    for (int i = 0; i < count; ++i) {
        stats.Bins.push_back({start + i * width, start + (i + 1) * width, 0});
    }
    for (const double price : prices) {
        const int bin = std::clamp(static_cast<int>(std::floor((price - start) / width)), 0, count - 1);
        ++stats.Bins[static_cast<size_t>(bin)].Count;
    }
    return stats;
}
