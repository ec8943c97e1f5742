#include "graph/GraphLayout.h"

#include <algorithm>
#include <cmath>

int GraphLayout::SharedLabelsSize(int downloadMeasured, int uploadMeasured)
{
    return std::max({ ValueLabelsSize, downloadMeasured, uploadMeasured });
}

int GraphLayout::UploadChartBelowPlot(int marginBottom, int bottomLabelsSize)
{
    return marginBottom + bottomLabelsSize + BottomAxisExtra;
}

int GraphLayout::ShareableHeight(int panelHeight, int downloadMarginTop, int belowUploadPlot)
{
    return panelHeight - downloadMarginTop - belowUploadPlot;
}

std::optional<int> GraphLayout::UploadPlotHeight(int avail, double uploadPeak, double downloadPeak, bool automatic)
{
    const double out = uploadPeak, in = downloadPeak;
    // The automatic split multiplies before it divides: a ratio taken first can land a hair below
    // a whole pixel and lose it in the truncation. Fixed maxima split by their ratio.
    const double share = automatic ? avail * out / (out + in) : avail * (out / (out + in));
    if (out + in == 0 || !std::isfinite(share))
        return std::nullopt;
    // Bad input (negative rates) can push the ratio outside 0..1; the charts never overlap the panel.
    return int(std::clamp(std::trunc(share), 0.0, double(std::max(avail, 0))));
}

bool GraphLayout::LegendOnDownload(int downloadHeight, int uploadHeight, bool automatic)
{
    return downloadHeight >= uploadHeight || !automatic;
}
