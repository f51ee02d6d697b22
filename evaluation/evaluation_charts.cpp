// The evaluation's charts with Qt Charts, and the PNG that holds them side by side.
#include "evaluation_charts.h"

#include <QCoreApplication>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The charts' texts, shown translated by a program that installs a
// translation of the scope "ChartTexts" (morlin-studio), as written otherwise.
class ChartTexts {
    Q_DECLARE_TR_FUNCTIONS(ChartTexts)
};

constexpr int binCount = 60;
constexpr QSize chartSize(640, 480);

// The share of values in each of binCount bins over [low, high), as a closed
// outline for an area series.
QLineSeries* Histogram(const std::vector<double>& values, double low, double high,
                       double& tallest) {
    std::vector<int> counts(binCount, 0);
    const double width = (high - low) / binCount;
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        const int bin = std::clamp(static_cast<int>((v - low) / width), 0, binCount - 1);
        ++counts[static_cast<size_t>(bin)];
    }
    auto* outline = new QLineSeries;
    for (int b = 0; b < binCount; ++b) {
        const double share =
            values.empty() ? 0.0
                           : counts[static_cast<size_t>(b)] / static_cast<double>(values.size());
        tallest = std::max(tallest, share);
        outline->append(low + b * width, share);
        outline->append(low + (b + 1) * width, share);
    }
    return outline;
}

// A trade-off of two error rates on log axes. Log axes show neither 0, so
// every point is drawn at least at floor: one comparison's or search's share.
class RateTradeOff {
public:
    RateTradeOff(QChart* on, const QString& xTitle, const QString& yTitle, QPointF lowest)
        : chart(on), floor(lowest), x(new QLogValueAxis), y(new QLogValueAxis) {
        x->setTitleText(xTitle);
        y->setTitleText(yTitle);
        x->setLabelFormat(QStringLiteral("%g"));
        y->setLabelFormat(QStringLiteral("%g"));
        x->setRange(floor.x(), 1.0);
        y->setRange(floor.y(), 1.0);
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
    }
    void Append(QXYSeries* curve, double xRate, double yRate) const {
        curve->append(std::max(xRate, floor.x()), std::max(yRate, floor.y()));
    }
    void AddCurve(QLineSeries* curve, const QColor& colour) const {
        curve->setPen(QPen(colour, 2));
        Attach(curve);
    }
    // The threshold in use, as a red dot named in the legend.
    void MarkOperatingPoint(const QString& name, double xRate, double yRate) const {
        auto* point = new QScatterSeries;
        point->setName(name);
        point->setMarkerSize(12);
        point->setColor(QColor(220, 40, 40));
        Append(point, xRate, yRate);
        Attach(point);
    }

private:
    void Attach(QXYSeries* series) const {
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    QChart* chart;
    QPointF floor;
    QLogValueAxis* x;
    QLogValueAxis* y;
};

}  // namespace

QChart* DistanceHistogramChart(const SortedComparisons& c, double threshold) {
    auto* chart = new QChart;
    chart->setTitle(ChartTexts::tr("Distances: genuine and impostor comparisons"));
    std::vector<double> all(c.genuine);
    all.insert(all.end(), c.impostor.begin(), c.impostor.end());
    all.erase(std::remove_if(all.begin(), all.end(), [](double v) { return !std::isfinite(v); }),
              all.end());
    double low = all.empty() ? 0.0 : *std::min_element(all.begin(), all.end());
    double high = all.empty() ? 1.0 : *std::max_element(all.begin(), all.end());
    if (std::isfinite(threshold)) {
        low = std::min(low, threshold);
        high = std::max(high, threshold);
    }
    if (high <= low) high = low + 1.0;
    double tallest = 0.0;
    const struct {
        const std::vector<double>& values;
        const char* name;
        QColor colour;
    } kinds[] = {
        {c.genuine, QT_TRANSLATE_NOOP("ChartTexts", "genuine (%1)"), QColor(30, 120, 200)},
        {c.impostor, QT_TRANSLATE_NOOP("ChartTexts", "impostor (%1)"), QColor(220, 80, 40)}};
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    x->setTitleText(ChartTexts::tr("distance"));
    y->setTitleText(ChartTexts::tr("share"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (const auto& kind : kinds) {
        QLineSeries* outline = Histogram(kind.values, low, high, tallest);
        auto* area = new QAreaSeries(outline);
        area->setName(ChartTexts::tr(kind.name).arg(kind.values.size()));
        QColor fill = kind.colour;
        fill.setAlpha(110);
        area->setBrush(fill);
        area->setPen(QPen(kind.colour, 1.5));
        chart->addSeries(area);
        area->attachAxis(x);
        area->attachAxis(y);
    }
    if (std::isfinite(threshold)) {
        auto* line = new QLineSeries;
        line->setName(ChartTexts::tr("threshold %1").arg(threshold, 0, 'g', 4));
        line->append(threshold, 0.0);
        line->append(threshold, tallest * 1.05);
        line->setPen(QPen(Qt::black, 2, Qt::DashLine));
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
    x->setRange(low, high);
    y->setRange(0.0, tallest * 1.1 + 1e-9);
    return chart;
}

QChart* DetChart(const SortedComparisons& c, double threshold) {
    auto* chart = new QChart;
    chart->setTitle(ChartTexts::tr("DET curve"));
    // FNMR against FMR at every distance.
    const RateTradeOff plot(chart, ChartTexts::tr("FMR: impostors accepted"),
                            ChartTexts::tr("FNMR"),
                            QPointF(1.0 / std::max<size_t>(c.impostor.size(), 1),
                                    1.0 / std::max<size_t>(c.genuine.size(), 1)));
    auto* curve = new QLineSeries;
    curve->setName(ChartTexts::tr("FNMR against FMR"));
    std::vector<double> thresholds(c.genuine);
    thresholds.insert(thresholds.end(), c.impostor.begin(), c.impostor.end());
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    const size_t step = std::max<size_t>(1, thresholds.size() / 2000);
    for (size_t i = 0; i < thresholds.size(); i += step) {
        const ErrorRates r = c.At(thresholds[i]);
        if (r.fmr && r.fnmr) plot.Append(curve, *r.fmr, *r.fnmr);
    }
    plot.AddCurve(curve, QColor(60, 60, 160));
    const ErrorRates at = c.At(threshold);
    if (at.fmr && at.fnmr)
        plot.MarkOperatingPoint(ChartTexts::tr("operating point: FMR %1, FNMR %2")
                                    .arg(*at.fmr, 0, 'g', 3)
                                    .arg(*at.fnmr, 0, 'g', 3),
                                *at.fmr, *at.fnmr);
    return chart;
}

QChart* IdentificationChart(const OpenSetSearches& s, double threshold) {
    auto* chart = new QChart;
    // The counts in the title: the legend's row has room for two short names.
    chart->setTitle(ChartTexts::tr("Open-set identification: %1 mated, %2 stranger searches")
                        .arg(s.Mated())
                        .arg(s.NonMated()));
    const RateTradeOff plot(
        chart, ChartTexts::tr("FPIR: strangers named"), ChartTexts::tr("FNIR"),
        QPointF(1.0 / std::max<size_t>(s.NonMated(), 1), 1.0 / std::max<size_t>(s.Mated(), 1)));
    auto* curve = new QLineSeries;
    curve->setName(ChartTexts::tr("FNIR against FPIR"));
    for (const auto& [fpir, fnir] : s.Curve()) plot.Append(curve, fpir, fnir);
    plot.AddCurve(curve, QColor(30, 130, 70));
    const IdentificationRates at = s.At(threshold);
    if (at.fpir && at.fnir)
        plot.MarkOperatingPoint(ChartTexts::tr("at %1: FPIR %2, FNIR %3")
                                    .arg(threshold, 0, 'g', 4)
                                    .arg(*at.fpir, 0, 'g', 3)
                                    .arg(*at.fnir, 0, 'g', 3),
                                *at.fpir, *at.fnir);
    return chart;
}

bool WriteChartsPng(const std::vector<QChart*>& charts, const QString& file, std::string& error) {
    QGraphicsScene scene;
    for (size_t i = 0; i < charts.size(); ++i) {
        charts[i]->legend()->setAlignment(Qt::AlignBottom);
        charts[i]->setBackgroundRoundness(0);
        scene.addItem(charts[i]);
        charts[i]->setGeometry(
            QRectF(QPointF(chartSize.width() * static_cast<int>(i), 0), chartSize));
    }
    QImage image(chartSize.width() * static_cast<int>(charts.size()), chartSize.height(),
                 QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, QRectF(image.rect()), QRectF(0, 0, image.width(), image.height()));
    }
    if (!image.save(file, "PNG")) {
        error = "cannot write " + file.toStdString();
        return false;
    }
    return true;
}
