#include "app/SnifferMainForm.h"

#include "base/IntegerText.h"
#include "base/StringList.h"
#include "chart/TChart.h"
#include "controls/AutoSizeLabel.h"
#include "controls/DisplayText.h"
#include "controls/TRadioGroup.h"
#include "controls/TStringGrid.h"
#include "service/ServiceLocations.h"
#include "service/StripMarkup.h"
#include "table/Formatting.h"
#include "table/GetField.h"
#include "table/HostRanks.h"
#include "table/QuickList.h"
#include "table/RegionalSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLocale>

namespace {

using HostRanks::GraphedHosts;
using HostRanks::OtherPosition;

// Host-line numbers: any invalid text reads as 0. Plain decimal digits, the service's usual form,
// are read right here, four times per host and poll; up to 18 of them cannot leave the range. Every
// other form (blanks, signs, hexadecimal, anything invalid or longer) goes through the full rule.
int64_t fieldNumber(std::string_view field)
{
    if (!field.empty() && field.size() <= 18) {
        uint64_t value = 0;
        size_t i = 0;
        for (; i < field.size(); ++i) {
            const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned('0');
            if (digit > 9)
                break;
            value = value * 10 + digit;
        }
        if (i == field.size())
            return static_cast<int64_t>(value);
    }
    return StrToInt64Def(field, 0);
}

// Fields 0 to 4 of a host line, each as GetField reads it, found in one pass over the line rather
// than one pass per field.
struct HostFields {
    std::string_view field[5];
};

HostFields splitHostFields(std::string_view line)
{
    HostFields f;
    size_t start = 0;
    for (std::string_view& field : f.field) {
        const size_t end = line.find(',', start);
        field = line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end == std::string_view::npos)
            break; // missing fields stay empty
        start = end + 1;
    }
    return f;
}

// The "Current speed" order: descending by current traffic, the sum of a line's two rates, read
// once into its tag before the sort. The sort compares tags alone (CustomSortByTag), with the same
// quicksort and exchanges as a sort of the lines, ties included.
int CompareCurrentSpeed(int64_t a, int64_t b)
{
    if (a == b)
        return 0;
    return a < b ? 1 : -1;
}

// Traffic sums wrap around in two's complement, as the counters they add up do.
int64_t wrappingAdd(int64_t a, int64_t b)
{
    return int64_t(uint64_t(a) + uint64_t(b));
}

} // namespace

bool TSnifferMainForm::ProcessSnapshot(const TStringList* lines)
{
    const bool live = lines == nullptr;
    TStringList work;
    if (live)
        FetchLines(ServiceLocations::Snapshot(ServiceAddress, cbAverage->isChecked()), work);
    else
        work.Assign(*lines);
    if (work.Count() == 0)
        return false;

    work.Delete(0);
    const bool bySpeed = RadioGroup1->ItemIndex() == 1;
    if (bySpeed) {
        // The service's closing line goes before the sort, so that only host lines are ordered
        // and no real host is dropped in its place.
        if (work.Count() > 0)
            work.Delete(work.Count() - 1);
        for (int i = 0; i < work.Count(); ++i) {
            const HostFields f = splitHostFields(work[i]);
            work.SetTag(i, wrappingAdd(fieldNumber(f.field[1]), fieldNumber(f.field[2])));
        }
        if (work.Count() >= 2)
            work.CustomSortByTag(&CompareCurrentSpeed);
        work.Insert(0, "dummy");
    } else {
        work.Insert(0, "dummy");
        work.Delete(work.Count() - 1);
    }

    const bool activeOnly = cbActiveIPs->isChecked();
    if (!activeOnly)
        StringGrid1->SetRowCount(work.Count());

    int64_t totalSendRate = 0, totalRecvRate = 0, totalSent = 0, totalReceived = 0;
    int64_t otherSendRate = 0, otherRecvRate = 0;
    int nextRow = 1;
    const std::string noName;
    for (int p = 1; p < work.Count(); ++p) {
        const HostFields f = splitHostFields(StripMarkup(work[p]));
        const std::string_view addressView = f.field[0];
        const int64_t sendRate = fieldNumber(f.field[1]);
        const int64_t recvRate = fieldNumber(f.field[2]);
        const int64_t sent = fieldNumber(f.field[3]);
        const int64_t received = fieldNumber(f.field[4]);
        const std::string address(addressView);
        const std::string name = live ? HostNames->Lookup(address) : noName;

        if (live) {
            const int64_t rateSum = wrappingAdd(sendRate, recvRate);
            const bool leftOut
                = (p >= HostRanks::ActiveRuleFrom && activeOnly && rateSum <= 0) || (bySpeed && rateSum <= 0);
            if (!leftOut) {
                StringGrid1->SetCell(1, nextRow, name);
                StringGrid1->SetCell(2, nextRow, address);
                StringGrid1->SetCell(3, nextRow, FormatSpeed(recvRate));
                StringGrid1->SetCell(4, nextRow, FormatSpeed(sendRate));
                StringGrid1->SetCell(5, nextRow, FormatBytes(received, false));
                StringGrid1->SetCell(6, nextRow, FormatBytes(sent, false));
                ++nextRow;
            }
        }
        totalSent = wrappingAdd(totalSent, sent);
        totalReceived = wrappingAdd(totalReceived, received);
        totalSendRate = wrappingAdd(totalSendRate, sendRate);
        totalRecvRate = wrappingAdd(totalRecvRate, recvRate);

        if (p > GraphedHosts) {
            otherRecvRate = wrappingAdd(otherRecvRate, recvRate);
            otherSendRate = wrappingAdd(otherSendRate, sendRate);
        } else {
            AddHostSample(ChartIn, p - 1, name, address, double(recvRate) * SpeedScale);
            AddHostSample(ChartOut, p - 1, name, address, double(sendRate) * SpeedScale);
        }
    }
    if (activeOnly)
        StringGrid1->SetRowCount(nextRow);

    // With 30 host lines or more, the hosts beyond the first 29 are drawn together as "Other".
    if (work.Count() - 1 >= HostRanks::ActiveRuleFrom) {
        AddHostSample(ChartIn, OtherPosition, "Other", "0.0.0.0", double(otherRecvRate) * SpeedScale);
        AddHostSample(ChartOut, OtherPosition, "Other", "0.0.0.0", double(otherSendRate) * SpeedScale);
    }
    SampleIndex += 1;
    PadSeries(ChartIn);
    PadSeries(ChartOut);
    SetLabelCaption(ISLabel, DisplayText(FormatSpeed(totalSendRate) + ", " + FormatBytes(totalSent, false)));
    SetLabelCaption(IRLabel, DisplayText(FormatSpeed(totalRecvRate) + ", " + FormatBytes(totalReceived, false)));
    return true;
}

std::string TSnifferMainForm::FormatSpeed(int64_t value) const
{
    return rgSpeed->ItemIndex() == 0 ? FormatBits(value, true) : FormatBytes(value, true);
}

void TSnifferMainForm::TakeRegionalSettings()
{
    // The window's locale follows the user's regional settings unless it was given its own.
    FormatSettings() = RegionalFormatSettings(locale());
    // The graph's axis numbers read like the table's.
    TNumberSeparators axis;
    axis.thousands = DisplayThousandSeparator();
    axis.decimal = DisplayDecimalSeparator();
    ChartIn->SetNumberSeparators(axis);
    ChartOut->SetNumberSeparators(axis);
}
