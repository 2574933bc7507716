#include "views/CViewChart.h"
#include "views/CViewChart2.h"
#include "views/ChartPainter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace cf = curve_flags;

namespace {

CapturedFrame sampleFrame(std::uint32_t id, std::uint16_t value, std::uint32_t ms) {
    CapturedFrame f;
    f.identifier = id;
    f.length = 2;
    f.data[0] = static_cast<std::uint8_t>(value >> 8);
    f.data[1] = static_cast<std::uint8_t>(value);
    f.minutes = ms / 60000;
    f.seconds = ms / 1000 % 60;
    f.millis = ms % 1000;
    return f;
}

QImage render(const YtChart& chart, const YtScan& scan, const FrameStore& store, bool decimated) {
    QImage image(700, 400, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    ChartPaintOptions options;
    options.decimated = decimated;
    paintYtChart(p, chart, scan, store, options);
    return image;
}

}  // namespace

TEST(ChartDrawing, DecimatedLineDrawsTheSamePixelsAsEveryPoint) {
    FrameStore store;
    // Many samples per pixel column: a noisy sine, a ramp and a square wave.
    std::uint32_t seed = 7;
    for (std::uint32_t i = 0; i < 60000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const auto noise = static_cast<int>((seed >> 16) % 2000);
        const auto sine = static_cast<int>(20000 + 15000 * std::sin(i / 900.0)) + noise;
        store.append(sampleFrame(0x181, static_cast<std::uint16_t>(sine), i / 3));
        store.append(sampleFrame(0x182, static_cast<std::uint16_t>(i % 40000), i / 3));
        store.append(sampleFrame(0x183, (i / 500) % 2 == 0 ? 5000 : 30000, i / 3));
    }
    YtChart chart;
    chart.record.flags = window_flags::kYt | window_flags::kYMulti;
    chart.record.timeResolution = 400;
    const std::uint32_t colours[3] = {0x0000FF, 0x00AA00, 0xFF0000};
    for (std::size_t i = 0; i < 3; ++i) {
        CurveDefinition& d = chart.record.yt[i];
        d.flags = cf::kDefined | cf::kShow | 0x03;
        d.identifier = 0x181 + static_cast<std::uint32_t>(i);
        d.resolution = 800;
        d.colour = colours[i];
    }
    chart.layout(700, 400);
    YtScan scan;
    scan.setDefinitions(chart.record.yt);
    scan.scan(store, ApplicationFlags{});
    // Whole capture in view, then a window in the middle (a sample left of the plot), then
    // zoomed in so that columns hold one sample or none.
    for (auto [origin, resolution] : {std::pair{0u, 400u}, {6001u, 200u}, {9000u, 1u}}) {
        chart.record.timeOrigin = origin;
        chart.record.timeResolution = resolution;
        const QImage full = render(chart, scan, store, false);
        const QImage fast = render(chart, scan, store, true);
        EXPECT_EQ(full, fast) << "origin " << origin << " resolution " << resolution;
        EXPECT_LT(chart.polyline(scan.slot(0), 0, store, true).size(), 4u * 560 + 8);
    }
    // Something was drawn in the curve's colour.
    const QImage image = render(chart, scan, store, true);
    bool red = false;
    for (int x = chart.plot.left + 1; x < chart.plot.right && !red; ++x) {
        for (int y = chart.plot.top + 1; y < chart.plot.bottom && !red; ++y) {
            red = image.pixel(x, y) == qRgb(255, 0, 0);
        }
    }
    EXPECT_TRUE(red);
}

TEST(ChartDrawing, ColumnsOfThousandsOfSamplesDrawTheSamePixels) {
    // Fifty one-pixel columns of about 5000 samples each: the summaries of whole blocks stand in
    // for most of them.
    FrameStore store;
    std::uint32_t seed = 11;
    for (std::uint32_t i = 0; i < 250000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const auto spike = (seed >> 16) % 9973 == 0 ? 20000 : 0;
        store.append(sampleFrame(
            0x181, static_cast<std::uint16_t>(30000 + 8000 * std::sin(i / 20000.0) + spike),
            i / 10));
    }
    YtChart chart;
    chart.record.flags = window_flags::kYt;
    chart.record.timeResolution = 500;
    chart.record.yt[0].flags = cf::kDefined | cf::kShow | 0x03;
    chart.record.yt[0].identifier = 0x181;
    chart.record.yt[0].resolution = 1000;
    chart.record.yt[0].colour = 0x0000FF;
    chart.layout(80 + 30 + 50, 400);
    ASSERT_EQ(chart.dx, 1);
    YtScan scan;
    scan.setDefinitions(chart.record.yt);
    scan.scan(store, ApplicationFlags{});
    for (std::uint32_t origin : {0u, 3333u}) {
        chart.record.timeOrigin = origin;
        EXPECT_EQ(render(chart, scan, store, false), render(chart, scan, store, true))
            << "origin " << origin;
    }
}

TEST(ChartViews, FollowTheCaptureAndPrintToPdf) {
    FrameStore store;
    ApplicationFlags flags;
    CViewChart view(store, flags, nullptr);
    view.resize(700, 400);
    view.show();
    CurveWindowRecord r;
    r.flags = window_flags::kYt | window_flags::kChart | window_flags::kAutoMove;
    r.timeResolution = 10;
    r.yt[0].flags = cf::kDefined | cf::kShow | 0x03;
    r.yt[0].identifier = 0x181;
    r.yt[0].resolution = 100;
    view.setRecord(r);
    for (std::uint32_t t = 0; t < 2000; t += 10) store.append(sampleFrame(0x181, t, t));
    view.tick();
    EXPECT_EQ(view.scan().slot(0).samples.size(), 200u);
    // Auto Move puts the newest sample (1990 ms) into the last division.
    EXPECT_EQ(view.record().timeOrigin, 10u * (199 - 49));
    EXPECT_EQ(view.chart().hbar.maximum, 199);
    // Emptied store: the view starts over on its own.
    store.clear();
    store.append(sampleFrame(0x181, 1, 5));
    view.tick();
    EXPECT_EQ(view.scan().slot(0).samples.size(), 1u);

    char pattern[] = "/tmp/chart-pdf-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const QString path = QString::fromLatin1(pattern) + "/chart.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    ASSERT_TRUE(view.print(printer));
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(4) == "%PDF");
    std::filesystem::remove_all(pattern);
}

TEST(ChartViews, PairedValuesDrawOnTheSquareGrid) {
    FrameStore store;
    ApplicationFlags flags;
    CViewChart2 view(store, flags, nullptr);
    view.resize(600, 600);
    view.show();
    CurveWindowRecord r;
    r.flags = window_flags::kYx | window_flags::kChart;
    XYCurveDefinition& d = r.yx[0];
    d.flags = cf::kDefined | cf::kShow | 0x03 | (0x03 << 12);
    d.xIdentifier = 1;
    d.yIdentifier = 2;
    d.syncIdentifier = 0x80;
    d.resolution = 10;
    d.colour = 0xFF0000;
    view.setRecord(r);
    for (std::uint16_t i = 0; i < 40; ++i) {
        store.append(sampleFrame(0x80, 0, i));
        store.append(sampleFrame(1, static_cast<std::uint16_t>(i * 10), i));
        store.append(sampleFrame(2, static_cast<std::uint16_t>(i * 5), i));
    }
    view.tick();
    EXPECT_EQ(view.scan().slot(0).samples.size(), 39u);
    EXPECT_EQ(view.statistics(0, Axis::kX)->maximum, 380);
    QImage image(600, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    view.paintChart(p);
    p.end();
    // The point (200, 100) lies 20 cells right and 10 up from the origin.
    const YxChart& c = view.chart();
    const int x = c.plot.left + 20 * c.cell;
    const int y = c.plot.bottom - 10 * c.cell;
    EXPECT_EQ(image.pixel(x, y), qRgb(0, 0, 255));
}

// The application lives exactly as long as the tests: one destroyed at exit outlives Qt's own.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
