// Every shipped mirror on the mirror display frame at the main window's size,
// with a spread of voltages; the frames are also written as PNG files under
// build/frames/ for anyone to look at.
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/Paths.h"
#include "toolkit/qt/PaintBox.h"

#include <QApplication>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace ostrander;

namespace {

std::vector<std::string> ShippedMirrors() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(OSTRANDER_BINARY_DIR "/Devices"))
        if (e.path().extension() == ".ini")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Pixels of a colour inside the bounding box of an actuator's outline.
int PixelsOfColour(const ImageCanvas& c, const ActuatorDisplayClass& a, TColor colour) {
    const int corners = a.Shape == ActuatorShape::Circular      ? 6
                        : a.Shape == ActuatorShape::Rectangular ? 2
                                                                : 4;
    int x1 = a.Points[0].x, x2 = x1, y1 = a.Points[0].y, y2 = y1;
    for (int i = 1; i < corners; ++i) {
        x1 = std::min(x1, a.Points[i].x);
        x2 = std::max(x2, a.Points[i].x);
        y1 = std::min(y1, a.Points[i].y);
        y2 = std::max(y2, a.Points[i].y);
    }
    int n = 0;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            n += c.GetPixel(x, y) == colour;
    return n;
}

} // namespace

TEST(ShippedMirrorDisplay, EveryActuatorShowsInItsVoltageColour) {
    SetProgramFolder(OSTRANDER_BINARY_DIR "/bin");
    const std::vector<std::string> names = ShippedMirrors();
    ASSERT_GE(names.size(), 7u);
    std::filesystem::create_directories(OSTRANDER_BINARY_DIR "/frames");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        MirrorClass mirror(std::string(DeviceFolderRelative) + name);
        ASSERT_TRUE(mirror.IsValid());
        // A spread over 0 .. 1.6 x the limit, its mean under the limit.
        const int count = mirror.GetModelActuators();
        for (int n = 1; n <= count; ++n)
            mirror.SetVoltage(n, mirror.GetLimitVoltage() * 1.6 * ((n * 37) % 101) / 101);

        TMirrorDisplayFrame frame;
        frame.resize(286, 376);
        frame.show();
        ASSERT_TRUE(frame.SetMirror(&mirror));
        QApplication::processEvents();
        const std::string stem = OSTRANDER_BINARY_DIR "/frames/" + name.substr(0, name.size() - 4);
        frame.grab().save(QString::fromStdString(stem + ".png"));

        int drawn = 0;
        for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a; a = a->next) {
            SCOPED_TRACE(a->DisplayIndex);
            ASSERT_GT(a->PointCount, 0);
            if (a->IsAuxiliary()) {
                const ImageCanvas& aux = frame.Ui().AuxilaryPaintBox->Canvas();
                const int y = a->AuxiliaryRow() * ActuatorDisplayClass::AuxiliaryRowHeight + 3;
                EXPECT_EQ(aux.GetPixel(3, y), *a->Colour);
            } else {
                EXPECT_GT(PixelsOfColour(frame.Ui().MirrorPaintBox->Canvas(), *a, *a->Colour), 20);
            }
            EXPECT_EQ(a->LastText, mirror.GetVoltageText(a->DisplayIndex));
            ++drawn;
        }
        EXPECT_EQ(drawn, mirror.GetActuatorCount());

        frame.ShowControls(true);
        QApplication::processEvents();
        EXPECT_EQ(frame.width(), 286) << "the control panel fits the main window's frame";
        frame.grab().save(QString::fromStdString(stem + "-controls.png"));
        frame.SetMirror(nullptr);
    }
}

// The numbers of a ring pad sit over its white centre hole: at a voltage
// whose colour takes white text they must still show there.
TEST(ShippedMirrorDisplay, RingNumbersCanBeReadOverTheWhiteHole) {
    SetProgramFolder(OSTRANDER_BINARY_DIR "/bin");
    MirrorClass mirror(std::string(DeviceFolderRelative) + "Ring7.ini");
    ASSERT_TRUE(mirror.IsValid());
    TMirrorDisplayFrame frame;
    frame.resize(286, 376);
    frame.show();
    ASSERT_TRUE(frame.SetMirror(&mirror));
    const ActuatorDisplayClass* ring = frame.GetDisplay()->ListOfActuators.first;
    ASSERT_NE(ring, nullptr);
    ASSERT_EQ(ring->Shape, ActuatorShape::Ring);
    // The first voltage up from the floor whose colour is dark.
    double volts = 0.1;
    for (; volts < mirror.GetLimitVoltage(); volts += 1) {
        mirror.SetAllActuators(volts);
        if (ring->Colour && ColorBrightness(*ring->Colour) <= 140)
            break;
    }
    ASSERT_LT(volts, mirror.GetLimitVoltage()) << "no dark colour below the limit";
    frame.Refresh();
    QApplication::processEvents();

    // Inside the hole (the square inscribed in it, off its outline) the
    // text must differ from the hole's white.
    const ImageCanvas& map = frame.Ui().MirrorPaintBox->Canvas();
    const int cx = (ring->Points[2].x + ring->Points[3].x) / 2;
    const int cy = (ring->Points[2].y + ring->Points[3].y) / 2;
    const int half = static_cast<int>(std::abs(ring->Points[2].x - ring->Points[3].x) / 2 / 1.42) - 1;
    ASSERT_GT(half, 2);
    int white = 0, dark = 0;
    for (int y = cy - half; y <= cy + half; ++y)
        for (int x = cx - half; x <= cx + half; ++x) {
            const TColor c = map.GetPixel(x, y);
            white += c == clWhite;
            dark += ColorBrightness(c) < 100;
        }
    EXPECT_GT(white, 0);
    EXPECT_GT(dark, 3) << "at " << volts << " V the number is white on white";
    frame.SetMirror(nullptr);
}
