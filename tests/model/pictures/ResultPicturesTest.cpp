#include "model/pictures/ResultPictures.h"

#include "model/pictures/FarFieldPictures.h"
#include "support/ImageChecks.h"
#include "tests/model/pictures/PictureRig.h"
#include "tests/model/pictures/RecordingCanvas.h"
#include "model/ExactMembraneModel.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace ostrander;

namespace {

class ResultPictures : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = ProgramFolder();
        // The shipped device folder: <source>/Devices beside <source>/tests.
        SetProgramFolder(std::string(OSTRANDER_SOURCE_DIR) + "/tests");
    }
    void TearDown() override { SetProgramFolder(previous_); }

private:
    std::string previous_;
};

int Count(const ImageCanvas& c, bool (*match)(TColor)) {
    int n = 0;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            n += match(c.GetPixel(x, y));
    return n;
}

} // namespace

TEST_F(ResultPictures, WithoutAMirrorEveryPictureIsLeftAsItWas) {
    PictureRig rig;
    RecordingCanvas c(100, 100);
    c.Image().fill(Qt::green);
    DrawSurfaceImage(c, rig.engine);
    DrawInterferogram(c, rig.engine);
    DrawThreeDImage(c, rig.engine);
    DrawFarFieldImage(c, rig.engine, kFarFieldTitle);
    DrawFarFieldPlot(c, rig.engine);
    EXPECT_TRUE(c.texts.empty());
    EXPECT_EQ(Count(c, [](TColor p) { return p == clLime; }), 100 * 100);
}

TEST_F(ResultPictures, RunDrawsTheThreeDImageAfterEachStep) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex19.ini"));
    EXPECT_GE(rig.threeDDraws, 19);
    EXPECT_GT(Count(rig.threeD, [](TColor p) { return BlueOf(p) > 100 && RedOf(p) == 0; }), 100);
}

TEST_F(ResultPictures, FlatMirrorGivesOneBrightSpotUnderTheCross) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex61S.ini"));
    // The membrane's own electrode too: at the 0.1 V floor over pads at 0 V
    // it would pull the membrane a little.
    rig.local.Mirror->SetAllChannels(0.0);
    rig.SetPattern([](double, double) { return 0.0; });
    rig.Redraw();

    // The flat surface has nothing to show.
    for (const ImageCanvas* c : {&rig.surface, &rig.interferogram, &rig.threeD})
        EXPECT_GT(Count(*c, [](TColor p) { return p == clRed; }), 20);

    // Image: the bright pixels sit round the cross centre (169, 169); the
    // title and the maker's mark (white boxes) are left out of the count.
    int bright = 0, far = 0;
    for (int y = 20; y < 310; ++y)
        for (int x = 0; x < 335; ++x) {
            const TColor p = rig.farFieldImage.GetPixel(x, y);
            if (RedOf(p) > 128 && RedOf(p) == BlueOf(p) && RedOf(p) == GreenOf(p)) {
                ++bright;
                far += std::abs(x - 169) > 8 || std::abs(y - 169) > 8;
            }
        }
    EXPECT_GT(bright, 3);
    EXPECT_EQ(far, 0) << "bright pixels away from the axis";
    EXPECT_EQ(rig.farFieldImage.GetPixel(169, 169), clBlue);

    // Plot: one green peak pointing up over a red floor.
    int green = 0, topGreen = 335;
    for (int y = 0; y < 335; ++y)
        for (int x = 0; x < 335; ++x) {
            const TColor p = rig.farFieldPlot.GetPixel(x, y);
            if (RedOf(p) == 0 && GreenOf(p) > 200 && BlueOf(p) < 60) {
                ++green;
                topGreen = std::min(topGreen, y);
            }
        }
    EXPECT_GT(green, 0);
    EXPECT_LT(topGreen, 120);
    EXPECT_GT(Count(rig.farFieldPlot, [](TColor p) { return p == clRed; }), 5000);
    EXPECT_EQ(rig.data.SurfaceMin, 0.0) << "the surface pictures drawn last store their extremes";
}

TEST_F(ResultPictures, SurfacePicturesStoreTheExtremesAndLabelThePeakToValley) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex61S.ini"));
    rig.SetPattern([](double x, double) { return x > 0 ? 180.0 : 20.0; });
    rig.engine.SynthesizeSurface();
    rig.engine.ComputeFarField();
    RecordingCanvas c(309, 335);
    DrawSurfaceImage(c, rig.engine);
    double lo = rig.data.Surface[0][0], hi = lo;
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            lo = std::min(lo, rig.data.Surface[i][j]);
            hi = std::max(hi, rig.data.Surface[i][j]);
        }
    EXPECT_EQ(rig.data.SurfaceMin, lo);
    EXPECT_EQ(rig.data.SurfaceMax, hi);
    ASSERT_NE(c.Find("PV(um):"), nullptr);
    EXPECT_EQ(c.Find("PV(um):")->text,
              PeakToValleyText(hi - lo, SelectedModel(rig.local)->Separation_m));
    // 61 pads labelled; the membrane electrode (number 62) is not on the membrane.
    EXPECT_NE(c.Find("61"), nullptr);
    EXPECT_EQ(c.Find("62"), nullptr);
}

TEST_F(ResultPictures, RemoveFocusClearsTheSurfaceBeyondTheBeamBeforeDrawing) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex61S.ini"));
    rig.SetPattern([](double, double) { return 150.0; });
    rig.engine.SynthesizeSurface();
    // [50][93] lies 43 samples out: beyond the beam (38 samples), inside the rim (47.5).
    ASSERT_NE(rig.data.Surface[50][93], 0.0);
    rig.local.RemoveFocus = true;
    ImageCanvas c(309, 335);
    DrawInterferogram(c, rig.engine);
    EXPECT_EQ(rig.data.Surface[50][93], 0.0);
    EXPECT_NE(rig.data.Surface[50][50], 0.0);
}

TEST_F(ResultPictures, ASurfaceOfAnotherSizeIsNotRead) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex19.ini"));
    rig.engine.SynthesizeSurface();
    rig.data.AllocateSurface(10); // rows for another grid size
    rig.data.GridSize = 100;
    using Draw = void (*)(Canvas&, DMModelMain&);
    for (Draw draw : {Draw(&DrawSurfaceImage), Draw(&DrawInterferogram), Draw(&DrawThreeDImage)}) {
        RecordingCanvas c(309, 335);
        draw(c, rig.engine);
        ASSERT_EQ(c.texts.size(), 1u);
        EXPECT_EQ(c.texts[0].text, "Nothing to display.");
    }
}

namespace {

using testing_support::PixelDoubled;

// Mean red, green and blue of each block x block square of logical pixels.
std::vector<double> BlockMeans(const ImageCanvas& c, int block) {
    std::vector<double> means;
    for (int by = 0; by + block <= c.Height(); by += block)
        for (int bx = 0; bx + block <= c.Width(); bx += block) {
            double sum[3] = {0, 0, 0};
            int n = 0;
            for (int y = c.DeviceEdge(by); y < c.DeviceEdge(by + block); ++y)
                for (int x = c.DeviceEdge(bx); x < c.DeviceEdge(bx + block); ++x, ++n) {
                    const QRgb p = c.Image().pixel(x, y);
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                }
            for (const double s : sum)
                means.push_back(s / n);
        }
    return means;
}

} // namespace

// For a high-density screen each picture is drawn anew at device resolution:
// not the logical picture doubled, but the same picture seen from afar.
TEST_F(ResultPictures, AtAPixelRatioThePicturesAreSharpAndTheSameFromAfar) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex19.ini"));
    const double R = SelectedModel(rig.local)->Diameter_m / 2;
    rig.SetPattern([R](double x, double y) { return 60.0 + 50.0 * x / R + 30.0 * y / R; });
    rig.local.FarFieldZoom = 2;
    // Twice: a picture's texts take the font the one before left behind.
    rig.Redraw();
    rig.Redraw();
    const ImageCanvas* pictures[] = {&rig.threeD, &rig.surface, &rig.interferogram,
                                     &rig.farFieldImage, &rig.farFieldPlot};
    std::vector<std::vector<double>> plain;
    for (const ImageCanvas* c : pictures)
        plain.push_back(BlockMeans(*c, 8));
    const QImage farField = rig.farFieldImage.Image().copy();

    for (const double ratio : {1.5, 2.0}) {
        rig.SetPixelRatio(ratio);
        rig.Redraw();
        for (std::size_t k = 0; k < std::size(pictures); ++k) {
            const ImageCanvas& c = *pictures[k];
            SCOPED_TRACE(std::to_string(ratio) + " picture " + std::to_string(k));
            EXPECT_EQ(c.Image().width(), std::lround(c.Width() * ratio));
            if (ratio == 2.0) {
                EXPECT_FALSE(PixelDoubled(c.Image()));
            }
            // Block by block the colours agree with the logical picture but
            // for the finer drawing of lines and letters.
            const std::vector<double> means = BlockMeans(c, 8);
            ASSERT_EQ(means.size(), plain[k].size());
            double total = 0, largest = 0;
            for (std::size_t i = 0; i < means.size(); ++i) {
                const double d = std::fabs(means[i] - plain[k][i]);
                total += d;
                largest = std::max(largest, d);
            }
            // Lines a device pen wide are a little bolder at 1.5 (2 device
            // pixels for 1.5).
            EXPECT_LT(total / means.size(), ratio == 2.0 ? 5.0 : 12.0);
            EXPECT_LT(largest, ratio == 2.0 ? 80.0 : 100.0);
        }
    }
    // The far field is sampled at every device pixel: at ratio 2 every other
    // device pixel shows the element its logical pixel shows, the ones
    // between the element half a pixel on.
    const QImage& sharp = rig.farFieldImage.Image();
    const auto grey = [](QRgb p) { return qRed(p) == qGreen(p) && qGreen(p) == qBlue(p); };
    int compared = 0, differing = 0, between = 0;
    for (int y = 40; y < 295; ++y)
        for (int x = 40; x < 295; ++x) {
            const QRgb a = farField.pixel(x, y), b = sharp.pixel(2 * x, 2 * y);
            if (!grey(a) || !grey(b))
                continue; // the cross, the outline
            ++compared;
            differing += a != b;
            const QRgb next = sharp.pixel(2 * x + 1, 2 * y);
            between += grey(next) && next != b;
        }
    EXPECT_GT(compared, 200 * 200);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(between, 1000) << "the far field doubled, not sampled at device pixels";
}

namespace {

// Redraws the rig's pictures and draws them again on copies of its canvases
// taken before (same size, pixels and drawing state: the far-field caption
// takes the font the previous pass left) that keep nothing, with the
// far-field levels made anew: every picture has the pixels of the copy's.
void RedrawAndCompare(PictureRig& rig) {
    ImageCanvas* kept[] = {&rig.threeD, &rig.surface, &rig.interferogram, &rig.farFieldImage,
                           &rig.farFieldPlot};
    std::vector<ImageCanvas> full;
    for (ImageCanvas* c : kept) {
        full.push_back(*c);
        full.back().KeepLayers(false);
    }
    rig.Redraw();
    rig.local.FarFieldPictureLevels = {};
    ostrander::DrawThreeDImage(full[0], rig.engine);
    DrawSurfaceImage(full[1], rig.engine);
    DrawInterferogram(full[2], rig.engine);
    DrawFarFieldImage(full[3], rig.engine, kFarFieldTitle);
    DrawFarFieldPlot(full[4], rig.engine);
    const char* names[] = {"3D", "surface", "interferogram", "far-field image", "far-field plot"};
    for (int k = 0; k < 5; ++k)
        EXPECT_TRUE(kept[k]->Image() == full[k].Image()) << names[k];
}

} // namespace

// The window's canvases keep their fixed layers and the far field's grey
// levels between passes: after other voltages, a resize, another zoom and
// another membrane model every picture still has the pixels of a drawing
// that kept nothing, and both far-field pictures follow the new far field.
TEST_F(ResultPictures, KeptLayersAndLevelsFollowEveryChange) {
    struct Case {
        const char* device;
        double ratio;
    } cases[] = {{"Hex19.ini", 1.0}, {"Hex19.ini", 2.0}, {"Square36.ini", 1.5}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.device) + " at ratio " + std::to_string(k.ratio));
        PictureRig rig;
        ASSERT_TRUE(rig.LoadAndRun(k.device));
        rig.SetPixelRatio(k.ratio);
        const double R = SelectedModel(rig.local)->Diameter_m / 2;
        auto tilt = [&](double volts) {
            rig.SetPattern([R, volts](double x, double) { return 100.0 + volts * x / R; });
            RedrawAndCompare(rig);
        };
        tilt(50.0);
        const QImage image = rig.farFieldImage.Image(), plot = rig.farFieldPlot.Image();

        tilt(-50.0);
        EXPECT_FALSE(rig.farFieldImage.Image() == image);
        EXPECT_FALSE(rig.farFieldPlot.Image() == plot);
        // From here on the fixed layers are found, whatever the voltages.
        const int recorded = rig.surface.LayersRecorded() + rig.interferogram.LayersRecorded() +
                             rig.farFieldImage.LayersRecorded();
        tilt(30.0);
        EXPECT_EQ(rig.surface.LayersRecorded() + rig.interferogram.LayersRecorded() +
                      rig.farFieldImage.LayersRecorded(),
                  recorded);

        rig.surface.Resize(250, 271);
        rig.farFieldImage.Resize(200, 200);
        RedrawAndCompare(rig);

        rig.local.FarFieldZoom = 3;
        RedrawAndCompare(rig);
    }
}

TEST_F(ResultPictures, AnotherMembraneModelRedrawsThePicturesOfItsSurface) {
    PictureRig rig;
    ASSERT_TRUE(rig.LoadAndRun("Hex19.ini"));
    const double R = SelectedModel(rig.local)->Diameter_m / 2;
    rig.SetPattern([R](double x, double y) { return 120.0 + 60.0 * (x + y) / R; });
    RedrawAndCompare(rig);
    const QImage surface = rig.surface.Image(), image = rig.farFieldImage.Image();

    ASSERT_TRUE(rig.session.UseMembraneModel(ExactMembraneModel::kName));
    ASSERT_EQ(rig.session.StartInfluenceRun(), RunStart::Started);
    ASSERT_EQ(rig.session.RunToEnd(), RunTick::Finished);
    RedrawAndCompare(rig);
    EXPECT_FALSE(rig.surface.Image() == surface);
    EXPECT_FALSE(rig.farFieldImage.Image() == image);
}
