#include "app/THistoryChart.h"

#include "app/TDisplayText.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

namespace {
const qint64 HourMs = 3600 * 1000;
const qint64 DayMs = 24 * HourMs;

// The time axis over the steps, with room on both sides; dates alone once the span is a few days.
QDateTimeAxis* TimeAxis(QChart* chart, qint64 first, qint64 last)
{
    const qint64 margin = std::max<qint64>((last - first) / 20, HourMs);
    auto* axis = new QDateTimeAxis(chart);
    axis->setRange(QDateTime::fromMSecsSinceEpoch(first - margin), QDateTime::fromMSecsSinceEpoch(last + margin));
    axis->setFormat(last - first > 3 * DayMs ? QStringLiteral("MM-dd") : QStringLiteral("MM-dd HH:mm"));
    axis->setTickCount(5);
    axis->setTitleText(QStringLiteral("采集时间"));
    return axis;
}

QValueAxis* PriceAxis(QChart* chart, double low, double high)
{
    const double margin = std::max((high - low) * 0.1, std::max(high * 0.05, 0.5));
    auto* axis = new QValueAxis(chart);
    axis->setRange(std::max(0.0, low - margin), high + margin);
    axis->setTitleText(QStringLiteral("价格"));
    axis->setLabelFormat(QStringLiteral("%.2f"));
    axis->applyNiceNumbers();
    return axis;
}
} // namespace

THistoryChart::THistoryChart(QWidget* parent)
    : QChartView(parent)
{
    setObjectName("historyChart");
    setRenderHint(QPainter::Antialiasing);
    setMinimumHeight(220);
    SetBusy();
}

QString THistoryChart::Title(const TListingHistory& history)
{
    if (history.Sightings.empty()) {
        return QStringLiteral("价格历史：没有采集记录");
    }
    if (history.SeenOnce()) {
        const TListingHistory::TSighting& only = history.Sightings.front();
        return QStringLiteral("只采集到一次（%1，价格 %2），没有价格变化可画")
            .arg(only.CollectTime.isEmpty() ? QStringLiteral("时间不详") : TDisplayText::Time(only.CollectTime),
                 TDisplayText::Price(only.Price));
    }
    if (history.Steps.empty()) {
        return QStringLiteral("价格历史：这些采集缺少时间或价格，无法画图");
    }
    return QStringLiteral("价格历史（%1 次采集）").arg(history.Sightings.size());
}

void THistoryChart::SetBusy()
{
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("价格历史：正在读取…"));
    Replace(chart);
}

void THistoryChart::SetFailed()
{
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("价格历史：无法读取"));
    Replace(chart);
}

void THistoryChart::SetHistory(const TListingHistory& history)
{
    auto* chart = new QChart;
    chart->setTitle(Title(history));
    chart->legend()->hide();
    if (!history.Steps.empty()) {
        auto* line = new QLineSeries(chart);
        line->setName(QStringLiteral("价格"));
        QPen pen(QColor(40, 80, 160));
        pen.setWidth(2);
        line->setPen(pen);
        auto* points = new QScatterSeries(chart);
        points->setName(QStringLiteral("采集"));
        points->setMarkerSize(8);
        points->setColor(QColor(200, 60, 0));
        double low = history.Steps.front().Price;
        double high = low;
        for (size_t i = 0; i < history.Steps.size(); ++i) {
            const TListingHistory::TStep& step = history.Steps[i];
            line->append(static_cast<double>(step.Msecs), step.Price);
            // Every second corner is where the price was seen; the others carry the old price up to it.
            if (i % 2 == 0) {
                points->append(static_cast<double>(step.Msecs), step.Price);
            }
            low = std::min(low, step.Price);
            high = std::max(high, step.Price);
        }
        chart->addSeries(line);
        chart->addSeries(points);
        QDateTimeAxis* x = TimeAxis(chart, history.Steps.front().Msecs, history.Steps.back().Msecs);
        QValueAxis* y = PriceAxis(chart, low, high);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* series : chart->series()) {
            series->attachAxis(x);
            series->attachAxis(y);
        }
    }
    Replace(chart);
}

void THistoryChart::Replace(QChart* chart)
{
    QChart* old = this->chart();
    setChart(chart);
    delete old;
}
