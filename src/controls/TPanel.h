#pragma once

#include <QFrame>
#include <QString>

// A panel with a centred caption and an optional raised bevel. Its children are placed by
// ApplyAlignment; a bevel of n pixels insets their client area by n.
class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);

    QString Caption() const;
    void SetCaption(const QString& caption);
    int BevelWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
