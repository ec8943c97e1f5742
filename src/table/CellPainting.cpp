#include "app/SnifferMainForm.h"

#include "chart/ChartTypes.h"
#include "controls/DisplayText.h"
#include "controls/TStringGrid.h"
#include "table/HostColors.h"
#include "table/HostRanks.h"

namespace {
const QColor BeyondTopHostsGrey(96, 96, 96);
constexpr int HostRowsWithSwatch = HostRanks::GraphedHosts;

bool makesRowBold(const std::string& rate, int boldCharCount)
{
    return int(rate.size()) >= boldCharCount || rate.find('M') != std::string::npos;
}
} // namespace

void TSnifferMainForm::StringGrid1DrawCell(
    TGridCanvas& canvas, int ACol, int ARow, const QRect& Rect, const TGridDrawState&)
{
    const std::string& recvSpeed = StringGrid1->Cell(3, ARow);
    const std::string& sendSpeed = StringGrid1->Cell(4, ARow);
    if (ARow > 0 && (makesRowBold(recvSpeed, BoldCharCountValue) || makesRowBold(sendSpeed, BoldCharCountValue)))
        canvas.Font.setBold(true);
    if (ARow >= 1 && ARow <= HostRowsWithSwatch && ACol == 0)
        canvas.BrushColor = ToQColor(SwapRB(HostColors[ARow - 1]));
    if (ARow > HostRowsWithSwatch)
        canvas.FontColor = BeyondTopHostsGrey;
    canvas.FillRect(Rect);
    canvas.TextRect(Rect, Rect.left() + 2, Rect.top() + 2, DisplayText(StringGrid1->Cell(ACol, ARow)));
}
