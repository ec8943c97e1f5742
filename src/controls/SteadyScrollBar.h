#pragma once

#include <QRect>
#include <QScrollBar>
#include <QStyle>

#include <optional>

// A scroll bar that leaves a range change unpainted when it would paint the same picture. The host
// table's range follows its row count, which moves nearly every second on a live network, while the
// slider mostly keeps its place and its shortest length; each repaint of the bar also repaints what
// lies under it. Only styles known to draw the bar from its parts' rectangles and state skip.
class TSteadyScrollBar final : public QScrollBar {
public:
    explicit TSteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect Rect, SubLine, AddLine, Slider, Groove;
        QStyle::State State;
        bool Empty = false;
        bool operator==(const Look& other) const;
    };
    std::optional<Look> look() const;

    std::optional<Look> painted_;
};
