#include "toolkit/qt/PaintBox.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace ostrander;

// The canvas follows the widget's size and device pixel ratio, is shown 1:1
// in device pixels, and mouse positions stay logical. Run at the ratio of the
// screen: 1 in the plain run, 2 in the run under QT_SCALE_FACTOR=2.
TEST(PaintBox, CanvasAtTheWidgetsPixelRatioShownOneToOne) {
    PaintBox box;
    int resized = 0;
    box.onResize = [&] {
        // The owner's redraw: a slanted line, which pixel doubling would show.
        ImageCanvas& c = box.Canvas();
        c.SetBrushColor(clYellow);
        c.FillRect({0, 0, c.Width(), c.Height()});
        c.MoveTo(1, 1);
        c.LineTo(c.Width() - 3, c.Height() / 2);
        ++resized;
    };
    box.KeepAspect(QSize(3, 2));
    box.resize(160, 100);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));

    const double ratio = box.devicePixelRatioF();
    if (const char* scale = std::getenv("QT_SCALE_FACTOR")) {
        EXPECT_EQ(ratio, std::atof(scale));
    }
    const ImageCanvas& c = box.Canvas();
    EXPECT_EQ(c.PixelRatio(), ratio);
    EXPECT_EQ(box.CanvasRect(), QRect(5, 0, 150, 100));
    EXPECT_EQ(c.Width(), 150);
    EXPECT_EQ(c.Height(), 100);
    EXPECT_EQ(c.Image().size(), QSize(std::lround(150 * ratio), std::lround(100 * ratio)));
    EXPECT_GE(resized, 1);

    // What the widget shows is the image, device pixel for device pixel.
    const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(std::lround(160 * ratio), std::lround(100 * ratio)));
    const int left = std::lround(5 * ratio);
    int differing = 0;
    for (int y = 0; y < c.Image().height(); ++y)
        for (int x = 0; x < c.Image().width(); ++x)
            differing += shown.pixel(left + x, y) != c.Image().pixel(x, y);
    EXPECT_EQ(differing, 0);

    // Clicks come in logical canvas coordinates.
    QSignalSpy pressed(&box, &PaintBox::mousePressed);
    QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(45, 30));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).toInt(), 40);
    EXPECT_EQ(pressed.at(0).at(1).toInt(), 30);
    QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(45, 30));

    // A resize keeps the ratio.
    box.resize(100, 100);
    EXPECT_EQ(c.PixelRatio(), ratio);
    EXPECT_EQ(c.Image().width(), std::lround(100 * ratio));
}
