// Looks at a screenshot of the running monitor and checks what a user would see: the table's
// colour swatches, bold busy rows, grey rows beyond the top 29, the mirrored stacked graph and the
// logo at the right end of the control strip.
#include "table/HostColors.h"

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok)
        ++failures;
}

QRgb stored(int i)
{
    uint32_t c = HostColors[i];
    return qRgb(int(c >> 16) & 0xFF, int(c >> 8) & 0xFF, int(c) & 0xFF);
}

// Rows of the image where `color` covers at least `minRun` pixels within [x0, x1).
std::vector<int> rowsWith(const QImage& img, QRgb color, int x0, int x1, int minRun)
{
    std::vector<int> rows;
    for (int y = 0; y < img.height(); ++y) {
        int n = 0;
        for (int x = x0; x < x1 && x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (color & 0xFFFFFF);
        if (n >= minRun)
            rows.push_back(y);
    }
    return rows;
}

int ink(const QImage& img, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += qGray(img.pixel(x, y)) < 110;
    return n;
}

// Where the logo's opaque pixels stand unchanged in the screenshot, or (-1, -1). Its translucent
// edge pixels are blended with the strip and are not compared.
QPoint findPicture(const QImage& img, const QImage& picture)
{
    std::vector<QPoint> opaque;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(picture.pixel(x, y)) == 255)
                opaque.push_back(QPoint(x, y));
    if (opaque.empty())
        return QPoint(-1, -1);
    const QPoint first = opaque.front();
    const QRgb firstColour = picture.pixel(first) & 0xFFFFFF;
    for (int y = first.y(); y + picture.height() - first.y() <= img.height(); ++y)
        for (int x = first.x(); x + picture.width() - first.x() <= img.width(); ++x) {
            if ((img.pixel(x, y) & 0xFFFFFF) != firstColour)
                continue;
            const QPoint origin(x - first.x(), y - first.y());
            bool all = true;
            for (const QPoint& p : opaque)
                if ((img.pixel(origin + p) & 0xFFFFFF) != (picture.pixel(p) & 0xFFFFFF)) {
                    all = false;
                    break;
                }
            if (all)
                return origin;
        }
    return QPoint(-1, -1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s screenshot.png [logo.png]\n", argv[0]);
        return 2;
    }
    QImage img(argv[1]);
    if (img.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    img = img.convertToFormat(QImage::Format_RGB32);

    // Swatches: column 0 of rows 1 to 29, at the window's left edge.
    std::vector<std::vector<int>> swatchRows(29);
    bool allSwatches = true;
    for (int i = 0; i < 29; ++i) {
        swatchRows[i] = rowsWith(img, stored(i), 0, 24, 12);
        allSwatches = allSwatches && !swatchRows[i].empty();
    }
    check(allSwatches, "the table shows the 29 host colours as swatches");
    const int rowPitch = allSwatches ? swatchRows[1].front() - swatchRows[0].front() : 0;
    check(rowPitch == 19, "table rows are 18 pixels high with a grid line between");

    // Grey text in the rows beyond the 29th: their darkest ink is the grey, while the rows above
    // reach black. Cell edges are left out by staying inside each row's text band.
    bool grey = false;
    if (allSwatches) {
        auto darkest = [&](int y0, int y1) {
            int least = 255;
            for (int y = y0; y <= y1; ++y)
                for (int x = 150; x < 520; ++x)
                    least = std::min(least, qGray(img.pixel(x, y)));
            return least;
        };
        const int lastTop = swatchRows[28].front(), lastBottom = swatchRows[28].back();
        int above = darkest(lastTop + 2, lastBottom - 2);
        int below = darkest(lastTop + rowPitch + 2, lastBottom + 3 * rowPitch - 2);
        std::printf("darkest ink: row 29 %d, rows 30 and 31 %d\n", above, below);
        grey = above < 50 && below >= 86 && below <= 106;
    }
    check(grey, "rows from 30 on are drawn in grey");

    // Bold: the first host's rate is in megabits, the 16th host's in kilobits; both texts are of
    // similar length, so the bold one carries clearly more ink.
    if (allSwatches) {
        auto rateInk = [&](int index) {
            const std::vector<int>& r = swatchRows[index];
            return ink(img, 243, 243 + 138, r.front(), r.back());
        };
        int heavy = rateInk(0), light = rateInk(15);
        std::printf("rate ink: bold row %d, regular row %d\n", heavy, light);
        check(heavy > light * 1.12, "busy rows are bold, quiet ones regular");
    } else {
        check(false, "busy rows are bold, quiet ones regular");
    }

    // The graph: position 0's band straddles the line where the charts meet (download stacked up,
    // upload down from it), and position 1's colour lies further out on both sides.
    const int gx0 = img.width() / 2 + 60, gx1 = img.width() - 30;
    std::vector<int> band0 = rowsWith(img, stored(0), gx0, gx1, 20);
    std::vector<int> band1 = rowsWith(img, stored(1), gx0, gx1, 20);
    bool mirrored = false;
    if (!band0.empty() && !band1.empty()) {
        const int top = band0.front(), bottom = band0.back();
        int above = 0, below = 0;
        for (int y : band1) {
            above += y < top;
            below += y > bottom;
        }
        std::printf("graph: first band rows %d-%d, second band rows above %d, below %d\n", top, bottom, above, below);
        mirrored = above > 10 && below > 10 && bottom - top > 20;
    }
    check(mirrored, "both charts show stacked bands mirrored around the line where they meet");

    int checks = 5;
    if (argc >= 3) {
        // The logo, pixel for pixel, with its right edge near the right end of the screen: the
        // window is maximized and the picture keeps 1 pixel from the strip's right edge.
        const QImage logo = QImage(argv[2]).convertToFormat(QImage::Format_ARGB32);
        const QPoint at = logo.isNull() ? QPoint(-1, -1) : findPicture(img, logo);
        std::printf("logo %dx%d found at %d,%d\n", logo.width(), logo.height(), at.x(), at.y());
        check(logo.size() == QSize(150, 44) && at.x() >= 0 && img.width() - (at.x() + logo.width()) <= 12,
            "the logo stands at the right end of the control strip");
        ++checks;
    }

    std::printf("%d passed, %d failed\n", checks - failures, failures);
    return failures == 0 ? 0 : 1;
}
