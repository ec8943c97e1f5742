#pragma once

#include <QLabel>

// A picture that reports clicks; transparent parts show the parent's background.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
