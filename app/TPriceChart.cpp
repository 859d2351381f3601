#include "app/TPriceChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>

namespace {
QString Price(double value)
{
    return QString::number(value, 'f', value == static_cast<long long>(value) ? 0 : 2);
}

QLineSeries* Marker(QChart* chart, const QString& name, double x, double top, const QColor& colour)
{
    auto* line = new QLineSeries(chart);
    line->setName(name);
    line->append(x, 0);
    line->append(x, top);
    QPen pen(colour);
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    line->setPen(pen);
    return line;
}
} // namespace

TPriceChart::TPriceChart(QWidget* parent)
    : QChartView(parent)
{
    setObjectName("priceChart");
    setRenderHint(QPainter::Antialiasing);
    setMinimumWidth(320);
    SetStats({});
}

QString TPriceChart::Summary(const TPriceStats& stats)
{
    if (stats.Count == 0) {
        return QStringLiteral("价格分布：没有价格");
    }
    return QStringLiteral("价格分布（%1 个价格）<br>下四分位 %2 · 中位数 %3 · 上四分位 %4")
        .arg(stats.Count)
        .arg(Price(stats.Q1), Price(stats.Median), Price(stats.Q3));
}

void TPriceChart::SetBusy()
{
    chart()->setTitle(QStringLiteral("价格分布：正在统计…"));
}

void TPriceChart::SetStats(const TPriceStats& stats)
{
    m_stats = stats;
    auto* chart = new QChart;
    chart->setTitle(Summary(stats));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setShowToolTips(true);
    if (!stats.Bins.empty()) {
        // The histogram as the area under a step line.
        auto* steps = new QLineSeries(chart);
        long long highest = 0;
        for (const TPriceStats::TBin& bin : stats.Bins) {
            steps->append(bin.From, 0);
            steps->append(bin.From, static_cast<double>(bin.Count));
            steps->append(bin.To, static_cast<double>(bin.Count));
            steps->append(bin.To, 0);
            highest = std::max(highest, bin.Count);
        }
        auto* area = new QAreaSeries(steps);
        area->setName(stats.Overflow ? QStringLiteral("行数（最后一栏含更高的价格）") : QStringLiteral("行数"));
        area->setColor(QColor(70, 130, 180));
        area->setBorderColor(QColor(40, 80, 120));
        chart->addSeries(area);
        auto* x = new QValueAxis(chart);
        x->setRange(stats.Bins.front().From, stats.Bins.back().To);
        x->setTitleText(QStringLiteral("价格"));
        // One tick at every bin edge, or at every other when there are many bins.
        const double width = stats.Bins.front().To - stats.Bins.front().From;
        x->setTickType(QValueAxis::TicksDynamic);
        x->setTickAnchor(stats.Bins.front().From);
        x->setTickInterval(stats.Bins.size() > 12 ? width * 2 : width);
        x->setLabelFormat(width < 1 ? QStringLiteral("%.2f") : QStringLiteral("%.0f"));
        auto* y = new QValueAxis(chart);
        y->setRange(0, static_cast<double>(highest) * 1.05 + 1);
        y->setTitleText(QStringLiteral("行数"));
        y->setLabelFormat(QStringLiteral("%d"));
        y->applyNiceNumbers();
        // The quartiles and the median as lines across the whole height.
        chart->addSeries(
            Marker(chart, QStringLiteral("下四分位 %1").arg(Price(stats.Q1)), stats.Q1, y->max(), QColor(230, 140, 0)));
        chart->addSeries(Marker(chart, QStringLiteral("中位数 %1").arg(Price(stats.Median)), stats.Median, y->max(),
                                QColor(200, 0, 0)));
        chart->addSeries(
            Marker(chart, QStringLiteral("上四分位 %1").arg(Price(stats.Q3)), stats.Q3, y->max(), QColor(230, 140, 0)));
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* series : chart->series()) {
            series->attachAxis(x);
            series->attachAxis(y);
        }
    }
    QChart* old = this->chart();
    setChart(chart);
    delete old;
}
