#pragma once

#include "library/TPriceStats.h"

#include <QChartView>

// The spread of the prices of the library's view: a histogram with the quartiles and the median marked.
class TPriceChart : public QChartView
{
    Q_OBJECT

public:
    explicit TPriceChart(QWidget* parent = nullptr);

    void SetStats(const TPriceStats& stats);
    void SetBusy();
    const TPriceStats& Stats() const { return m_stats; }
    // The chart's title: the number of prices, the median and the quartiles.
    static QString Summary(const TPriceStats& stats);

private:
    TPriceStats m_stats;
};
