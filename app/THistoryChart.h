#pragma once

#include "library/TListingHistory.h"

#include <QChartView>

// A listing's price over time: a step line that holds each price until the next sighting, with the sightings
// marked. A listing seen once, or never at a known time and price, gets a title that says so and no line.
class THistoryChart : public QChartView
{
    Q_OBJECT

public:
    explicit THistoryChart(QWidget* parent = nullptr);

    void SetHistory(const TListingHistory& history);
    void SetBusy();
    // The history could not be read: the chart says so instead of waiting.
    void SetFailed();
    // The chart's title for a history.
    static QString Title(const TListingHistory& history);

private:
    void Replace(QChart* chart);
};
