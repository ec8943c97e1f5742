#pragma once

#include <QWidget>

// A thin bar that resizes the aligned neighbour it touches while the mouse drags it. The
// neighbour's minimum and maximum size bound the drag; with no neighbour it resizes nothing.
class TSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TSplitter(QWidget* parent = nullptr);

    // The control this splitter resizes: the sibling with the same alignment whose edge it touches.
    QWidget* Neighbour() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool vertical() const;
    bool dragging_ = false;
    QPoint pressPos_;
    int startSize_ = 0;
};
