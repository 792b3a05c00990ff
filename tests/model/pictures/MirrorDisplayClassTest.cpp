// The actuator map's layout and painting on plain image canvases, as both the
// mirror display frame and the batch tool use it.
#include "support/MirrorFiles.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/IniFile.h"
#include "toolkit/qt/ImageCanvas.h"

#include <gtest/gtest.h>

#include <memory>

using namespace ostrander;
using namespace ostrander::frames_test;

namespace {

// The map, auxiliary and legend canvases at the frame's sizes.
struct Canvases {
    ImageCanvas mirror{225, 225};
    ImageCanvas aux{40, 225};
    ImageCanvas legend{200, 17};
};

std::unique_ptr<DMInfoClass> Model(const std::string& text) {
    auto m = std::make_unique<DMInfoClass>();
    m->Load(IniFile::FromText(text));
    return m;
}

} // namespace

TEST(MirrorDisplay, ScaleAndOutlineOfATenMillimetreMirrorInA225PixelBox) {
    Canvases c;
    const auto model = Model(MirrorText({{-0.005, 0}, {0.005, 0}}, 0.01));
    MirrorDisplayClass d(c.mirror, c.aux, c.legend, model.get(), 0, 300);
    EXPECT_NEAR(d.Scale, 225 / 0.0105, 1e-6); // about 21 429 pixels per metre
    EXPECT_EQ(d.Centre.x, 112);
    EXPECT_EQ(d.Outline.left, 112 - 107);
    EXPECT_EQ(d.Outline.right, 112 + 107);
    EXPECT_EQ(d.Outline.top, 112 - 107);
    EXPECT_EQ(d.Outline.bottom, 112 + 107);
    EXPECT_EQ(d.ActuatorCount, 2);

    EXPECT_EQ(c.mirror.GetPixel(2, 2), MirrorDisplayClass::Cream);
    EXPECT_EQ(c.mirror.GetPixel(112, 5), clBlack) << "top of the round outline";
    EXPECT_EQ(c.mirror.GetPixel(112, 20), clWhite) << "inside the outline";
    EXPECT_EQ(c.mirror.GetPixel(112, 3), MirrorDisplayClass::Cream);
    EXPECT_EQ(c.legend.GetPixel(0, 16), clBlack) << "the legend starts at 0 V";
}

TEST(MirrorDisplay, UnknownModelShapeShowsTheBackgroundWithoutOutline) {
    Canvases c;
    std::string text = MirrorText({{0, 0}}, 0.01);
    text.replace(text.find("Shape=0"), 7, "Shape=5");
    const auto model = Model(text);
    MirrorDisplayClass d(c.mirror, c.aux, c.legend, model.get(), 0, 300);
    for (int x : {5, 60, 112, 200})
        EXPECT_EQ(c.mirror.GetPixel(x, 112), MirrorDisplayClass::Cream) << x;
}

TEST(MirrorDisplay, FindNearestKeepsTheEarlierOfTwoSkipsAuxiliaryWhichGoesByRow) {
    Canvases c;
    const auto model =
        Model(MirrorText({{0, 0}, {0, 0}, {0.003, 0}, {0, 0, true}, {0, 1, true}}, 0.01));
    MirrorDisplayClass d(c.mirror, c.aux, c.legend, model.get(), 0, 300);
    ASSERT_EQ(d.ActuatorCount, 5);
    EXPECT_EQ(d.FindNearest(112, 112)->DisplayIndex, 1) << "tie: the earlier entry";
    EXPECT_EQ(d.FindNearest(180, 110)->DisplayIndex, 3);
    // The auxiliary ones have no place on the map: the corner is nearest to
    // pad 1, not to the auxiliary centres at (0, 0).
    EXPECT_EQ(d.FindNearest(0, 0)->DisplayIndex, 1);
    struct Case {
        int y;
        int displayIndex; // 0: none
    };
    for (const Case& row :
         {Case{10, 4}, Case{27, 4}, Case{28, 5}, Case{55, 5}, Case{60, 0}, Case{-3, 0}}) {
        ActuatorDisplayClass* a = d.FindNearestAuxiliary(20, row.y);
        EXPECT_EQ(a ? a->DisplayIndex : 0, row.displayIndex) << "y " << row.y;
    }
}
