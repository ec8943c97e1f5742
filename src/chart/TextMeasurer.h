#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <QHash>

#include <optional>
#include <vector>

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

// The same sizes, kept from one drawing to the next: a chart lays out the same axis labels and
// legend titles at every repaint, and the legend measures its titles again for every row count it
// tries. Bounded, since labels change with the data.
class TCachingTextMeasurer : public TTextMeasurer {
public:
    int Height(const QFont& font) const override;
    int Width(const QFont& font, const QString& text) const override;

private:
    static constexpr int MaxFonts = 8;
    static constexpr int MaxTexts = 4096;
    struct TFontSizes {
        QFont Font;
        int Height = -1;
        QHash<QString, int> Widths;
    };
    TFontSizes& sizesOf(const QFont& font) const;

    TFontTextMeasurer measurer_;
    mutable std::vector<TFontSizes> fonts_;
};
