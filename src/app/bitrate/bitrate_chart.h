#pragma once

// The bit rate of each stream over time, one point per second, with the keyframes of the video
// streams marked in a strip under the plot. Drawn with QPainter from the packet statistics;
// it keeps no copy of them.

#include <memory>

#include <QWidget>

#include "probe/packet_statistics.h"

namespace vellinor {

class BitrateChart final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BitrateChart)

public:
    explicit BitrateChart(QWidget* parent = nullptr);

    void setStatistics(std::shared_ptr<const PacketStatistics> statistics);
    [[nodiscard]] const PacketStatistics* statistics() const { return m_statistics.get(); }

    // The colour a stream is drawn in (also the legend's), by its place in the statistics.
    [[nodiscard]] QColor streamColor(std::size_t place) const;

    [[nodiscard]] QSize sizeHint() const override { return {900, 420}; }
    [[nodiscard]] QSize minimumSizeHint() const override { return {360, 200}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<const PacketStatistics> m_statistics;
};

// Axis steps: the smallest of 1, 2, 5 times a power of ten that is at least `rough`.
double niceStep(double rough);

// Time axis steps in seconds: 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2 h, ...
double niceTimeStep(double rough);

// "0:00", "1:30", "1:02:03": a time axis label.
QString clockText(double seconds);

// "0", "800 kbps", "12.5 Mbps": a rate axis label.
QString rateText(double kilobitsPerSecond);

}  // namespace vellinor
