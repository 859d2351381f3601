#pragma once

#include <vector>

// The spread of a set of prices: quartiles and a histogram of evenly wide bins of a round width. Prices far
// above the upper quartile would squeeze every other bin into one, so the last bin takes them all.
struct TPriceStats
{
    struct TBin
    {
        double From = 0;
        double To = 0; // the last bin also holds prices above To when Overflow is set
        long long Count = 0;
    };

    long long Count = 0;
    double Min = 0;
    double Max = 0;
    double Q1 = 0;
    double Median = 0;
    double Q3 = 0;
    std::vector<TBin> Bins;
    bool Overflow = false;

    static constexpr int MaxBins = 40;
    static constexpr int MinBins = 8;

    // From prices in ascending order.
    static TPriceStats FromSorted(const std::vector<double>& prices);
    // The quantile q (0..1) of sorted values, interpolated between neighbours.
    static double Quantile(const std::vector<double>& sorted, double q);
    // 1, 2 or 5 times a power of ten, not below the width given.
    static double RoundWidth(double width);
};
