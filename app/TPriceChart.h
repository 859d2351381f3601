#pragma once

#include "library/TPriceStats.h"

#include <QChartView>

// The spread of the prices of the library's view: a histogram with the quartiles and the median marked.
class TPriceChart : public QChartView
{
    Q_OBJECT

public:
    explicit TPriceChart(QWidget* parent = nullptr);

    // The histogram counts rows, or listings when the view shows each listing once.
    void SetStats(const TPriceStats& stats, bool listings = false);
    void SetBusy();
    // The prices could not be read: the chart says so instead of waiting.
    void SetFailed();
    const TPriceStats& Stats() const { return m_stats; }
    // The chart's title: the number of prices, the median and the quartiles.
    static QString Summary(const TPriceStats& stats);
    // What the height of a bar counts.
    static QString CountTitle(bool listings);

private:
    void Replace(QChart* chart);

    TPriceStats m_stats;
};
