// The shipped mirrors with small or unusual pads, on the actuator map at the
// main window's size and at the smaller size of a 1024 x 768 screen: every
// text drawn is readable and lies on its own pad, every pad tells its
// number, channel and voltage on hover, and the surface picture puts the
// numbers of ring and quarter-ring pads on their own pads.
#include "Shared_Software/Frames/MirrorDisplayFrame.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "model/pictures/SurfaceImages.h"
#include "tests/model/pictures/RecordingCanvas.h"
#include "tests/model/pictures/TestGrid.h"
#include "toolkit/Paths.h"
#include "toolkit/qt/PaintBox.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace ostrander;

namespace {

// Whether (x, y) lies on the pad, worked out from its outline points.
bool OnPad(const ActuatorDisplayClass& a, double x, double y) {
    const std::vector<Point>& p = a.Points;
    switch (a.Shape) {
    case ActuatorShape::Circular: {
        // Inside a convex hexagon: on one side of every edge.
        int sign = 0;
        for (std::size_t i = 0; i < 6; ++i) {
            const Point& u = p[i];
            const Point& v = p[(i + 1) % 6];
            const double cross = double(v.x - u.x) * (y - u.y) - double(v.y - u.y) * (x - u.x);
            const int s = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
            if (s != 0 && sign != 0 && s != sign)
                return false;
            if (s != 0)
                sign = s;
        }
        return true;
    }
    case ActuatorShape::Rectangular:
        return x >= std::min(p[0].x, p[1].x) && x <= std::max(p[0].x, p[1].x) &&
               y >= std::min(p[0].y, p[1].y) && y <= std::max(p[0].y, p[1].y);
    case ActuatorShape::Ring:
    case ActuatorShape::QuarterRing: {
        const double cx = (p[0].x + p[1].x) / 2.0, cy = (p[0].y + p[1].y) / 2.0;
        const double r = std::hypot(x - cx, y - cy);
        if (r > std::abs(p[0].x - p[1].x) / 2.0)
            return false;
        if (a.Shape == ActuatorShape::Ring)
            return true;
        // Same quadrant as the point inside the segment, beyond the inner arc.
        return r >= std::abs(p[2].x - p[3].x) / 2.0 && (x - cx) * (p[10].x - cx) >= -1 &&
               (y - cy) * (p[10].y - cy) >= -1;
    }
    default:
        return false;
    }
}

// The corners of a text box, a pixel in from the cell's edges (the outline
// may cover the cell's outermost pixels).
bool BoxOnPad(const ActuatorDisplayClass& a, double x, double y, double w, double h) {
    for (double px : {x + 1, x + w - 2})
        for (double py : {y + 1, y + h - 2})
            if (!OnPad(a, px, py))
                return false;
    return true;
}

// A place on the pad: its centre, or for a quarter ring the point inside it.
std::pair<int, int> PlaceOn(const ActuatorDisplayClass& a) {
    if (a.Shape == ActuatorShape::QuarterRing)
        return {a.Points[10].x, a.Points[10].y};
    return {static_cast<int>(a.CentreX), static_cast<int>(a.CentreY)};
}

struct MapSize {
    const char* name;
    int width, height;
};
// The frame in the main window at its design size, and at 1024 x 768.
constexpr MapSize kSizes[] = {{"design size", 286, 376}, {"1024 x 768", 214, 290}};
const char* const kMirrors[] = {"Hex37.ini", "Hex61S.ini", "Square36.ini", "Ring7.ini",
                                "QuarterRing16.ini"};

class ReadableMap : public ::testing::Test {
protected:
    void SetUp() override { SetProgramFolder(OSTRANDER_BINARY_DIR "/bin"); }
    static std::unique_ptr<MirrorClass> Load(const std::string& name) {
        auto mirror = std::make_unique<MirrorClass>(std::string(DeviceFolderRelative) + name);
        // Three-digit voltages, the widest the map shows, apart from pad to pad.
        for (int n = 1; n <= mirror->GetModelActuators(); ++n)
            mirror->SetVoltage(n, std::min(mirror->GetLimitVoltage(), 100.0 + n));
        return mirror;
    }
};

TEST_F(ReadableMap, TextsAreReadableAndStayOnTheirPads) {
    for (const char* name : kMirrors)
        for (const MapSize& size : kSizes) {
            SCOPED_TRACE(std::string(name) + " at " + size.name);
            const auto mirror = Load(name);
            ASSERT_TRUE(mirror->IsValid());
            TMirrorDisplayFrame frame;
            frame.resize(size.width, size.height);
            frame.show();
            ASSERT_TRUE(frame.SetMirror(mirror.get()));
            QApplication::processEvents();
            ImageCanvas& canvas = frame.Ui().MirrorPaintBox->Canvas();
            int labels = 0, pads = 0;
            for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a;
                 a = a->next) {
                if (a->IsAuxiliary())
                    continue;
                SCOPED_TRACE(a->Label);
                ++pads;
                if (!a->LabelShown && !a->VoltageShown)
                    continue;
                ++labels;
                EXPECT_GE(-a->FontHeight, ActuatorDisplayClass::MinTextPixels);
                canvas.SetFontHeight(a->FontHeight);
                EXPECT_TRUE(BoxOnPad(*a, a->LabelX, a->LabelY, canvas.TextWidth(a->Label),
                                     canvas.TextHeight(a->Label)))
                    << "label at " << a->LabelX << ", " << a->LabelY;
                if (a->VoltageShown)
                    EXPECT_TRUE(BoxOnPad(*a, a->VoltageX, a->VoltageY,
                                         canvas.TextWidth(a->LastText),
                                         canvas.TextHeight(a->LastText)))
                        << a->LastText << " at " << a->VoltageX << ", " << a->VoltageY;
            }
            // At the design size every pad of these mirrors has room for its number.
            if (size.width == kSizes[0].width)
                EXPECT_EQ(labels, pads);
            frame.SetMirror(nullptr);
        }
}

TEST_F(ReadableMap, EveryPadTellsItsNumberChannelAndVoltageOnHover) {
    for (const char* name : kMirrors) {
        SCOPED_TRACE(name);
        const auto mirror = Load(name);
        TMirrorDisplayFrame frame;
        frame.resize(kSizes[1].width, kSizes[1].height);
        frame.show();
        ASSERT_TRUE(frame.SetMirror(mirror.get()));
        QApplication::processEvents();
        const DMInfoClass& model = *mirror->GetInfo()->Model;
        std::set<int> told;
        for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a; a = a->next) {
            // The membrane's electrode has its bar in the auxiliary box.
            const auto [x, y] = a->IsAuxiliary()
                                    ? std::pair<int, int>{20, a->AuxiliaryRow() *
                                                                  ActuatorDisplayClass::AuxiliaryRowHeight +
                                                              10}
                                    : PlaceOn(*a);
            const std::string tip = frame.PadToolTip(x, y, a->IsAuxiliary()).toStdString();
            const int channel = model.FindByDisplayIndex(a->DisplayIndex)->Channel;
            char volts[32];
            std::snprintf(volts, sizeof volts, "%.1f V", mirror->GetVoltage(a->DisplayIndex));
            EXPECT_EQ(tip, "Pad " + std::to_string(a->DisplayIndex) + ", channel " +
                               std::to_string(channel) + ": " + volts);
            told.insert(a->DisplayIndex);
        }
        EXPECT_EQ(static_cast<int>(told.size()), mirror->GetModelActuators());
        EXPECT_TRUE(frame.PadToolTip(0, 0).isEmpty()) << "the corner is on no pad";
        // A click goes to the pad under the pointer, not to the one whose
        // centre is nearest (the quarter rings share theirs).
        for (ActuatorDisplayClass* a = frame.GetDisplay()->ListOfActuators.first; a; a = a->next) {
            if (a->IsAuxiliary())
                continue;
            const auto [x, y] = PlaceOn(*a);
            EXPECT_EQ(frame.GetDisplay()->FindNearest(x, y), a) << a->Label;
        }
        frame.SetMirror(nullptr);
    }
}

// The numbers on the surface picture of mirrors of rings and of quarter
// rings: one place per pad, each on its pad, none piled at the centre.
TEST_F(ReadableMap, SurfacePictureNumbersRingAndQuarterRingPadsWhereTheyAre) {
    for (const char* name : {"Ring7.ini", "QuarterRing16.ini"}) {
        SCOPED_TRACE(name);
        const auto mirror = Load(name);
        const DMInfoClass& model = *mirror->GetInfo()->Model;
        const MirrorDrawing drawing = MirrorDrawingFrom(model);
        TestGrid grid(100, 0.0);
        grid[3][3] = -1e-6;
        RecordingCanvas c(309, 335);
        DrawSurfaceImage(c, {grid.Rows(), 100}, drawing);
        // The picture's pixels per metre about its centre.
        const double perMetre = (100 * 0.97 - 2.0) / model.Diameter_m * (309 - 2.0) / 101;
        std::set<std::pair<int, int>> places;
        for (int n = 1; n <= model.Actuators; ++n) {
            SCOPED_TRACE(n);
            const DrawnText* label = c.Find(std::to_string(n));
            ASSERT_NE(label, nullptr);
            places.insert({label->x, label->y});
            // The text's middle, in metres from the mirror's centre.
            c.SetFontSize(12);
            const double x = (label->x + c.TextWidth(label->text) / 2.0 - 309 / 2) / perMetre;
            const double y = (label->y + c.TextHeight(label->text) / 2.0 - 335 / 2) / perMetre;
            const DmActuatorInfoClass* pad = model.FindByDisplayIndex(n);
            const double r = std::hypot(x - pad->X, y - pad->Y);
            EXPECT_LE(r, pad->Router * 1.1) << "the number lies off its pad";
            if (model.Shape == ActuatorShape::QuarterRing) {
                EXPECT_GE(r, pad->Rinner * 0.9) << "inside the ring's inner edge";
                EXPECT_GT(x * pad->X, 0) << "in another quadrant";
                EXPECT_GT(y * pad->Y, 0) << "in another quadrant";
            }
        }
        EXPECT_EQ(static_cast<int>(places.size()), model.Actuators);
    }
}

} // namespace
