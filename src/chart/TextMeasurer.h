#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <optional>

// How the layout learns the size of text. Drawing uses the fonts' own metrics; tests give fixed
// sizes so that their figures do not depend on the fonts installed.
class TTextMeasurer {
public:
    virtual ~TTextMeasurer() = default;
    // The height of one line in font.
    virtual int Height(const QFont& font) const = 0;
    virtual int Width(const QFont& font, const QString& text) const = 0;
};

// The sizes the fonts give when drawn.
class TFontTextMeasurer : public TTextMeasurer {
public:
    int Height(const QFont& font) const override { return metrics(font).height(); }
    int Width(const QFont& font, const QString& text) const override { return metrics(font).horizontalAdvance(text); }

private:
    // A layout measures many texts in few fonts; metrics are kept for the last one asked about.
    const QFontMetrics& metrics(const QFont& font) const;

    mutable QFont font_;
    mutable std::optional<QFontMetrics> metrics_;
};
