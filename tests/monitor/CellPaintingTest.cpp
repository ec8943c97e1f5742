#include "MonitorFixture.h"

#include "table/HostColors.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

QColor stored(uint32_t rgb)
{
    return QColor(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

// The darkest ink in a cell: black text reaches near 0, grey text stops at its grey.
int darkest(const QImage& image, const QRect& area)
{
    int least = 255;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            least = std::min(least, qGray(image.pixel(x, y)));
    return least;
}

} // namespace

TEST(HostColorsTest, SwapExchangesRedAndBlueOnly)
{
    EXPECT_EQ(SwapRB(0x0066B3), 0xB36600u);
    EXPECT_EQ(SwapRB(0x12345678), 0x12785634u);
    EXPECT_EQ(SwapRB(SwapRB(0x00CC00)), 0x00CC00u);
    EXPECT_EQ(HostColors[0], 0x00CC00u);
    EXPECT_EQ(HostColors[29], 0x404040u);
}

class CellPaintingTest : public MonitorTest {
protected:
    // Whether the handler draws the row in bold, asked through the grid's own drawing hook.
    bool bold(int row, int col = 1)
    {
        QImage image(10, 10, QImage::Format_RGB32);
        QPainter painter(&image);
        TGridCanvas canvas { painter, grid().font(), Qt::black, Qt::white };
        probe().DrawCell(canvas, col, row, QRect(0, 0, 10, 10));
        return canvas.Font.bold();
    }
    void rates(int row, const std::string& recv, const std::string& send)
    {
        grid().SetCell(3, row, recv);
        grid().SetCell(4, row, send);
    }
};

TEST_F(CellPaintingTest, RowsAreBoldByTheLengthOrTheMegaUnitOfEitherRate)
{
    rates(1, "99.99 kB/s", "");
    rates(2, "100.00 kB/s", "");
    rates(3, "", "1.50 Mb/s");
    rates(4, "1.50 Gb/s", "");
    rates(5, "", "");
    rates(0, "Recv Speed M", "Send Speed");
    EXPECT_FALSE(bold(1));
    EXPECT_TRUE(bold(2));
    EXPECT_TRUE(bold(2, 0)); // the whole row, swatch column included
    EXPECT_TRUE(bold(3));
    EXPECT_FALSE(bold(4));
    EXPECT_FALSE(bold(5));
    EXPECT_FALSE(bold(0));
    probe().BoldCharCountValue() = 0;
    EXPECT_TRUE(bold(5));
    EXPECT_FALSE(bold(0));
}

TEST_F(CellPaintingTest, SwatchesForTheTop29AndGreyTextBeyond)
{
    Start();
    form->resize(1008, 1400);
    service.Set("/", Snapshot(Hosts(34)));
    PollOnce();
    grid().SetTopRow(1);
    QImage image = grid().RenderViewport();
    for (int row : { 1, 2, 15, 29 }) {
        QRect r = grid().CellRect(0, row);
        ASSERT_FALSE(r.isEmpty()) << row;
        EXPECT_EQ(image.pixelColor(r.center()), stored(HostColors[row - 1])) << row;
    }
    const QRect r30 = grid().CellRect(0, 30);
    ASSERT_FALSE(r30.isEmpty());
    EXPECT_EQ(image.pixelColor(r30.center()), grid().palette().color(QPalette::Button));
    const QRect text30 = grid().CellRect(2, 30).adjusted(1, 1, -1, -1); // inside the cell's edge
    EXPECT_NEAR(darkest(image, text30), 96, 6);
    EXPECT_LT(darkest(image, grid().CellRect(2, 29).adjusted(1, 1, -1, -1)), 50);
}

// The name list is saved as UTF-8 on this desktop; older lists are Latin-1. Both show the letters
// they mean, and a name of 20 two-byte letters shows its first 15.
TEST_F(CellPaintingTest, NamesShowAsUtf8WhereValidAndAsLatin1Elsewhere)
{
    std::string umlauts;
    for (int i = 0; i < 20; ++i)
        umlauts += "\xC3\xBC";
    service.Set("/ip",
        "198.18.0.1=B\xC3\xBCro\n198.18.0.2=B\xFCro\n198.18.0.3=B\xC3\x83\xC2\xBCro\n198.18.0.4=" + umlauts + "\n");
    service.Set("/",
        Snapshot({ { "198.18.0.1", 1, 1 }, { "198.18.0.2", 1, 1 }, { "198.18.0.3", 1, 1 }, { "198.18.0.4", 1, 1 } }));
    Start();
    PollOnce();
    EXPECT_EQ(cell(1, 1), "B\xC3\xBCro"); // kept as bytes; only the screen decodes
    EXPECT_EQ(cell(1, 4), umlauts.substr(0, 30));

    const QImage image = grid().RenderViewport();
    const auto shown = [&](int row) { return image.copy(grid().CellRect(1, row).adjusted(1, 1, -1, -1)); };
    EXPECT_EQ(shown(1), shown(2)); // "Büro" both times
    EXPECT_NE(shown(1), shown(3)); // and not the "BÃ¼ro" of a misread list

    EXPECT_EQ(chartIn().SeriesList().Item(0)->Title(), QString::fromUtf8("B\xC3\xBCro"));
    EXPECT_EQ(chartIn().SeriesList().Item(1)->Title(), QString::fromUtf8("B\xC3\xBCro"));
    EXPECT_EQ(chartIn().SeriesList().Item(3)->Title(), QString(15, QChar(0xFC)));
}

TEST_F(CellPaintingTest, RowWeightFollowsNewRatesWithoutAFullRepaint)
{
    Start();
    probe().Timer1()->stop();
    std::vector<Host> hosts = Hosts(3, 1000); // every rate in "kb/s" with fewer than 11 characters
    service.Set("/", Snapshot(hosts));
    PollOnce();
    QApplication::processEvents();
    ASSERT_FALSE(bold(1));

    // Only the rates change, and the first row crosses into bold: its name, address and unchanged
    // totals must follow in what the screen shows, not only in a full repaint.
    hosts[0].recv = 200000;
    hosts[1].send = 1;
    service.Set("/", Snapshot(hosts));
    PollOnce();
    ASSERT_TRUE(bold(1));
    QApplication::processEvents();
    QWidget* view = grid().viewport();
    const QImage shown = view->screen()
                             ->grabWindow(form->winId(), view->mapTo(form.get(), QPoint(0, 0)).x(),
                                 view->mapTo(form.get(), QPoint(0, 0)).y(), view->width(), view->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage full = grid().RenderViewport().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), full.size());
    for (int row = 1; row <= 3; ++row)
        for (int col = 0; col < 7; ++col) {
            const QRect r = grid().CellRect(col, row);
            EXPECT_EQ(shown.copy(r), full.copy(r)) << "column " << col << ", row " << row;
        }
}
