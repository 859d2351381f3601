#include "app/TPriceChart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>

namespace {
QString Price(double value)
{
    return QString::number(value, 'f', value == static_cast<long long>(value) ? 0 : 2);
}

// The fewest of 1, 2, 5, 10, 20, 50… bins per tick that leave at most four ticks' spaces.
double BinsPerTick(size_t bins)
{
    constexpr size_t MaxSpaces = 4;
    for (double scale = 1;; scale *= 10) {
        for (const double step : {1.0, 2.0, 5.0}) {
            if (static_cast<double>(bins) <= step * scale * MaxSpaces) {
                return step * scale;
            }
        }
    }
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

// Short lines, so that the chart's narrowest width shows them whole.
QString TPriceChart::Summary(const TPriceStats& stats)
{
    if (stats.Count == 0) {
        return QStringLiteral("价格分布：没有价格");
    }
    return QStringLiteral("价格分布（%1 个价格）<br>中位数 %2<br>四分位 %3 – %4")
        .arg(stats.Count)
        .arg(Price(stats.Median), Price(stats.Q1), Price(stats.Q3));
}

QString TPriceChart::CountTitle(bool listings)
{
    return listings ? QStringLiteral("商品数") : QStringLiteral("行数");
}

void TPriceChart::SetBusy()
{
    chart()->setTitle(QStringLiteral("价格分布：正在统计…"));
}

void TPriceChart::SetFailed()
{
    m_stats = {};
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("价格分布：无法统计"));
    Replace(chart);
}

void TPriceChart::Replace(QChart* chart)
{
    QChart* old = this->chart();
    setChart(chart);
    delete old;
}

// The legend names three things (the bars, the quartiles, the median), each in a word, so it is never cut;
// the values are in the title.
void TPriceChart::SetStats(const TPriceStats& stats, bool listings)
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
        area->setName(CountTitle(listings));
        area->setColor(QColor(70, 130, 180));
        area->setBorderColor(QColor(40, 80, 120));
        chart->addSeries(area);
        auto* x = new QValueAxis(chart);
        x->setRange(stats.Bins.front().From, stats.Bins.back().To);
        x->setTitleText(stats.Overflow ? QStringLiteral("价格（最后一栏含更高的价格）") : QStringLiteral("价格"));
        // A tick at every bin edge, or at every 2nd, 5th, 10th… so that the labels of five-digit prices fit the
        // chart's narrowest width.
        const double width = stats.Bins.front().To - stats.Bins.front().From;
        x->setTickType(QValueAxis::TicksDynamic);
        x->setTickAnchor(stats.Bins.front().From);
        x->setTickInterval(width * BinsPerTick(stats.Bins.size()));
        x->setLabelFormat(width < 1 ? QStringLiteral("%.2f") : QStringLiteral("%.0f"));
        auto* y = new QValueAxis(chart);
        y->setRange(0, static_cast<double>(highest) * 1.05 + 1);
        y->setTitleText(CountTitle(listings));
        y->setLabelFormat(QStringLiteral("%d"));
        y->applyNiceNumbers();
        // The quartiles and the median as lines across the whole height; the two quartiles share one entry of
        // the legend.
        const QColor quartile(230, 140, 0);
        chart->addSeries(Marker(chart, QStringLiteral("四分位"), stats.Q1, y->max(), quartile));
        chart->addSeries(Marker(chart, QStringLiteral("中位数"), stats.Median, y->max(), QColor(200, 0, 0)));
        QLineSeries* upper = Marker(chart, QStringLiteral("上四分位"), stats.Q3, y->max(), quartile);
        chart->addSeries(upper);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* series : chart->series()) {
            series->attachAxis(x);
            series->attachAxis(y);
        }
        for (QLegendMarker* marker : chart->legend()->markers(upper)) {
            marker->setVisible(false);
        }
    }
    Replace(chart);
}
