#include "app/bitrate/bitrate_chart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include <QPainter>
#include <QPainterPath>

namespace vellinor {
namespace {

constexpr int kMargin = 12;
constexpr int kKeyStrip = 18;  // the keyframe strip under the plot
constexpr int kLegendLine = 18;

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

double peakKilobits(const PacketStatistics& statistics)
{
    double peak = 0.0;
    for (const StreamPackets& stream : statistics.streams)
        for (const PacketBin& bin : stream.bins)
            peak = std::max(peak, static_cast<double>(bin.bits()) / 1000.0);
    return peak;
}

double averageKilobits(const StreamPackets& stream, std::int64_t seconds)
{
    if (seconds <= 0)
        return 0.0;
    double bits = 0.0;
    for (const PacketBin& bin : stream.bins)
        bits += static_cast<double>(bin.bits());
    return bits / 1000.0 / static_cast<double>(seconds);
}

QString streamLabel(const StreamPackets& stream, std::int64_t seconds)
{
    return BitrateChart::tr("#%1 %2 %3, average %4")
        .arg(stream.index)
        .arg(QString::fromStdString(stream.kind), QString::fromStdString(stream.codec),
             rateText(averageKilobits(stream, seconds)));
}

// Where the plot lies and how its axes run.
struct ChartFrame {
    QRect plot;
    std::int64_t seconds;
    double rateStep;
    double rateTop;
    double timeStep;
    int labelWidth;
    int stripGap;  // between the plot and the keyframe strip, clear of the "0" label

    [[nodiscard]] double xOf(double time) const
    {
        return plot.left() + time / static_cast<double>(seconds) * plot.width();
    }
    [[nodiscard]] double yOf(double rate) const
    {
        return plot.bottom() - rate / rateTop * plot.height();
    }
    [[nodiscard]] QRectF keyStrip() const
    {
        return {static_cast<double>(plot.left()), static_cast<double>(plot.bottom() + stripGap),
                static_cast<double>(plot.width()), static_cast<double>(kKeyStrip - 4)};
    }
};

// The legend on top, one line per stream; returns where the plot may start.
int drawLegend(QPainter& painter, const BitrateChart& chart, const PacketStatistics& statistics)
{
    int top = kMargin;
    for (std::size_t i = 0; i < statistics.streams.size(); ++i) {
        const QRect swatch(kMargin, top + 4, 18, 4);
        painter.fillRect(swatch, chart.streamColor(i));
        painter.setPen(chart.palette().color(QPalette::Text));
        painter.drawText(QRect(kMargin + 26, top, chart.width() - 2 * kMargin - 26, kLegendLine),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         streamLabel(statistics.streams[i], statistics.secondCount()));
        top += kLegendLine;
    }
    return top + QFontMetrics(chart.font()).height() / 2 + kMargin / 2;
}

// The plot under the legend: round rate steps with their labels right-aligned left of it, the
// keyframe strip and the time labels under it. Nothing when the chart is too small for one.
std::optional<ChartFrame> chartFrame(const BitrateChart& chart, const PacketStatistics& statistics,
                                     int top)
{
    const QFontMetrics metrics(chart.font());
    ChartFrame frame{};
    frame.seconds = std::max<std::int64_t>(1, statistics.secondCount());
    const double peak = std::max(1.0, peakKilobits(statistics));
    frame.rateStep = niceStep(peak / 5.0);
    frame.rateTop = std::ceil(peak / frame.rateStep) * frame.rateStep;
    for (double rate = 0.0; rate <= frame.rateTop + frame.rateStep / 2; rate += frame.rateStep)
        frame.labelWidth = std::max(frame.labelWidth, metrics.horizontalAdvance(rateText(rate)));
    const int left = kMargin + frame.labelWidth + 8;
    const int right = chart.width() - kMargin;
    frame.stripGap = metrics.height() / 2 + 2;
    const int bottom = chart.height() - kMargin - metrics.height() - 4 - kKeyStrip - frame.stripGap;
    if (right - left < 40 || bottom - top < 40)
        return std::nullopt;
    frame.plot = QRect(QPoint(left, top), QPoint(right, bottom));
    frame.timeStep =
        niceTimeStep(static_cast<double>(frame.seconds) / std::max(2, frame.plot.width() / 90));
    return frame;
}

void drawGrid(QPainter& painter, const ChartFrame& frame, const QPalette& colors)
{
    QColor grid = colors.color(QPalette::Text);
    grid.setAlpha(40);
    painter.setPen(QPen(grid, 1));
    const QRect& plot = frame.plot;
    for (double rate = 0.0; rate <= frame.rateTop + frame.rateStep / 2; rate += frame.rateStep) {
        const double y = frame.yOf(rate);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    for (double time = 0.0; time <= static_cast<double>(frame.seconds); time += frame.timeStep)
        painter.drawLine(QPointF(frame.xOf(time), plot.top()),
                         QPointF(frame.xOf(time), plot.bottom()));
}

void drawAxisLabels(QPainter& painter, const ChartFrame& frame, const QFontMetrics& metrics,
                    const QPalette& colors, int chartWidth)
{
    painter.setPen(colors.color(QPalette::Text));
    for (double rate = 0.0; rate <= frame.rateTop + frame.rateStep / 2; rate += frame.rateStep)
        painter.drawText(QRectF(kMargin, frame.yOf(rate) - metrics.height() / 2.0, frame.labelWidth,
                                metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, rateText(rate));
    const int timeLabelTop = frame.plot.bottom() + frame.stripGap + kKeyStrip + 4;
    for (double time = 0.0; time <= static_cast<double>(frame.seconds); time += frame.timeStep) {
        const QString label = clockText(time);
        const double x =
            std::clamp(frame.xOf(time) - metrics.horizontalAdvance(label) / 2.0, 0.0,
                       static_cast<double>(chartWidth - metrics.horizontalAdvance(label)));
        painter.drawText(QPointF(x, timeLabelTop + metrics.ascent()), label);
    }
}

// Each stream as steps: a second's rate holds across that second.
void drawRates(QPainter& painter, const ChartFrame& frame, const BitrateChart& chart,
               const PacketStatistics& statistics)
{
    for (std::size_t i = 0; i < statistics.streams.size(); ++i) {
        QPainterPath path;
        path.moveTo(frame.xOf(0), frame.yOf(0));
        for (const PacketBin& bin : everySecond(statistics.streams[i], frame.seconds)) {
            const double y = frame.yOf(static_cast<double>(bin.bits()) / 1000.0);
            path.lineTo(frame.xOf(static_cast<double>(bin.second)), y);
            path.lineTo(frame.xOf(static_cast<double>(bin.second + 1)), y);
        }
        painter.setPen(QPen(chart.streamColor(i), 1.6));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

// Keyframes: a tick per keyframe in the strip under the plot, in the video stream's colour.
void drawKeyframes(QPainter& painter, const ChartFrame& frame, const BitrateChart& chart,
                   const PacketStatistics& statistics)
{
    const QPalette& colors = chart.palette();
    const QRectF strip = frame.keyStrip();
    QColor stripBack = colors.color(QPalette::Text);
    stripBack.setAlpha(18);
    painter.fillRect(strip, stripBack);
    for (std::size_t i = 0; i < statistics.streams.size(); ++i) {
        const StreamPackets& stream = statistics.streams[i];
        if (!stream.isVideo())
            continue;
        painter.setPen(QPen(chart.streamColor(i), 1.0));
        for (const KeyframePosition& key : stream.keyframes) {
            const double x = frame.xOf(key.time);
            painter.drawLine(QPointF(x, strip.top()), QPointF(x, strip.bottom()));
        }
    }
    painter.setPen(colors.color(QPalette::Text));
    painter.drawText(QRectF(kMargin, strip.top(), frame.labelWidth, strip.height()),
                     Qt::AlignRight | Qt::AlignVCenter, BitrateChart::tr("keys"));
}

}  // namespace

double niceStep(double rough)
{
    if (!(rough > 0.0) || !std::isfinite(rough))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= rough)
            return factor * power;
    return 10.0 * power;
}

double niceTimeStep(double rough)
{
    // Steps a clock reads well: seconds, then whole minutes, then hours.
    static constexpr std::array<double, 14> kSteps{1,   2,   5,   10,  15,   30,   60,
                                                   120, 300, 600, 900, 1800, 3600, 7200};
    for (double step : kSteps)
        if (step >= rough)
            return step;
    return std::ceil(rough / 3600.0) * 3600.0;
}

QString clockText(double seconds)
{
    const auto total = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long rest = total % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

QString rateText(double kilobitsPerSecond)
{
    if (kilobitsPerSecond == 0.0)
        return QStringLiteral("0");
    if (kilobitsPerSecond >= 1000.0)
        return BitrateChart::tr("%1 Mbps").arg(kilobitsPerSecond / 1000.0, 0, 'g', 4);
    return BitrateChart::tr("%1 kbps").arg(kilobitsPerSecond, 0, 'g', 4);
}

BitrateChart::BitrateChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("bitrateChart"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void BitrateChart::setStatistics(std::shared_ptr<const PacketStatistics> statistics)
{
    m_statistics = std::move(statistics);
    update();
}

QColor BitrateChart::streamColor(std::size_t place) const
{
    // Distinct hues, lighter on a dark background so the lines keep their contrast.
    static constexpr std::array<int, 6> kHues{210, 28, 130, 280, 0, 175};
    const int hue = kHues[place % kHues.size()];
    return isDark(palette()) ? QColor::fromHsl(hue, 200, 165) : QColor::fromHsl(hue, 190, 95);
}

void BitrateChart::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();

    if (!m_statistics || m_statistics->streams.empty()) {
        painter.setPen(colors.color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter,
                         m_statistics ? tr("No packets") : tr("Reading the packets..."));
        return;
    }
    const PacketStatistics& statistics = *m_statistics;
    const int legendEnd = drawLegend(painter, *this, statistics);
    const std::optional<ChartFrame> frame = chartFrame(*this, statistics, legendEnd);
    if (!frame)
        return;
    drawGrid(painter, *frame, colors);
    drawAxisLabels(painter, *frame, QFontMetrics(font()), colors, width());
    drawRates(painter, *frame, *this, statistics);
    drawKeyframes(painter, *frame, *this, statistics);
    painter.setPen(QPen(colors.color(QPalette::Mid), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame->plot);
}

}  // namespace vellinor
