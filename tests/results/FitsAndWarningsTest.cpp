// FITS images and warnings of ostrander-cli, without running the program.
#include "formats/FitsFile.h"
#include "results/RunWarnings.h"
#include "results/SessionExport.h"
#include "support/TempFolder.h"

#include <fitsio.h>
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>

namespace ostrander {
namespace {

TEST(FitsFile, CubeReadsBackWithItsHeader) {
    FitsImage image;
    image.columns = 4;
    image.rows = 3;
    image.planes = 2;
    for (int k = 0; k < 24; ++k)
        image.values.push_back(k * 0.5 - 3e-9);
    image.keys = {{"WAVELEN", 1.064e-6, "[m]"},
                  {"NACT", 19LL, "actuators"},
                  {"FLAG", true, ""},
                  {"BUNIT", std::string("m/V^2"), "unit"}};
    std::string bytes, error;
    ASSERT_TRUE(FitsBytes(image, bytes, error)) << error;
    EXPECT_EQ(bytes.size() % 2880, 0u);
    const testing_support::TempFolder temp("ostrander-fits");
    const std::string path = temp.Write("cube.fits", bytes);

    fitsfile* f = nullptr;
    int status = 0;
    ASSERT_EQ(fits_open_diskfile(&f, path.c_str(), READONLY, &status), 0);
    int naxis = 0;
    long axes[3] = {};
    fits_get_img_dim(f, &naxis, &status);
    fits_get_img_size(f, 3, axes, &status);
    EXPECT_EQ(naxis, 3);
    EXPECT_EQ(axes[0], 4);
    EXPECT_EQ(axes[1], 3);
    EXPECT_EQ(axes[2], 2);
    std::vector<double> data(24);
    int anyNull = 0;
    fits_read_img(f, TDOUBLE, 1, 24, nullptr, data.data(), &anyNull, &status);
    EXPECT_EQ(data, image.values); // plane, row, column order kept
    double wavelength = 0;
    long nact = 0;
    int flag = 0;
    char unit[FLEN_VALUE] = {};
    fits_read_key(f, TDOUBLE, "WAVELEN", &wavelength, nullptr, &status);
    fits_read_key(f, TLONG, "NACT", &nact, nullptr, &status);
    fits_read_key(f, TLOGICAL, "FLAG", &flag, nullptr, &status);
    fits_read_key(f, TSTRING, "BUNIT", unit, nullptr, &status);
    fits_close_file(f, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(wavelength, 1.064e-6);
    EXPECT_EQ(nact, 19);
    EXPECT_EQ(flag, 1);
    EXPECT_STREQ(unit, "m/V^2");
}

TEST(FitsFile, RefusesSizesThatDoNotMatch) {
    FitsImage image;
    image.columns = 3;
    image.rows = 3;
    image.values.assign(8, 0.0);
    std::string bytes, error;
    EXPECT_FALSE(FitsBytes(image, bytes, error));
    EXPECT_FALSE(error.empty());
    image.values.clear();
    image.columns = 0;
    EXPECT_FALSE(FitsBytes(image, bytes, error));
}

TEST(Utf8FromFileText, KeepsUtf8AndConvertsLatinOne) {
    EXPECT_EQ(Utf8FromFileText("Hex 19"), "Hex 19");
    EXPECT_EQ(Utf8FromFileText("\xc3\xa9t\xc3\xa9"), "\xc3\xa9t\xc3\xa9");     // UTF-8 kept
    EXPECT_EQ(Utf8FromFileText("\xe9t\xe9 \xb5m"), "\xc3\xa9t\xc3\xa9 \xc2\xb5m"); // Latin-1
    // What a JSON parser reads back is the characters meant.
    QJsonObject o;
    o["name"] = QString::fromStdString(Utf8FromFileText("Miroir \xe9t\xe9"));
    const QJsonDocument back = QJsonDocument::fromJson(QJsonDocument(o).toJson());
    EXPECT_EQ(back.object()["name"].toString(), QString::fromUtf8("Miroir été"));
}

// A figure beside its limit never rounds onto or across it.
TEST(RunWarnings, FigureBesideALimitKeepsItsSide) {
    struct Case {
        double value, limit;
        const char* text;
    };
    for (const Case c : {Case{1.196, 1.2, "1.196"}, Case{1.1999, 1.2, "1.1999"},
                         Case{1.1, 1.2, "1.1"}, Case{1.5, 1.2, "1.5"}, Case{1.2, 1.2, "1.2"},
                         Case{0.9996, 1.0, "0.9996"}, Case{1.0004, 1.0, "1.0004"},
                         Case{0.846, 1.0, "0.846"}, Case{0.84567, 1.0, "0.846"}}) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FigureBeside(c.value, c.limit), c.text);
    }
}

// Past pull-in (a factor at or below 1) warns, saying which surface the
// files hold; a factor above 1 or a model without one does not.
TEST(RunWarnings, PullInOnlyPastTheFold) {
    EXPECT_FALSE(PullInWarning(1.0004, true));
    EXPECT_FALSE(PullInWarning(std::numeric_limits<double>::quiet_NaN(), true));
    EXPECT_FALSE(PullInWarning(std::numeric_limits<double>::infinity(), false));
    for (const bool nonlinear : {false, true}) {
        const auto w = PullInWarning(0.9996, nonlinear);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->kind, "pull_in");
        EXPECT_NE(w->message.find("pull-in factor 0.9996"), std::string::npos) << w->message;
        EXPECT_EQ(w->message.find("\"surface\": \"linear\"") != std::string::npos, nonlinear)
            << w->message;
        EXPECT_EQ(w->details["nonlinear_requested"].toBool(), nonlinear);
    }
}

TEST(RunWarnings, EachSaysWhatAndOnlyWhenDue) {
    EXPECT_FALSE(UndersampledWarning(3.0));
    EXPECT_FALSE(UndersampledWarning(std::numbers::pi));
    const auto under = UndersampledWarning(8.2);
    ASSERT_TRUE(under);
    EXPECT_EQ(under->details["largest_phase_step_rad"].toDouble(), 8.2);

    EXPECT_FALSE(PatternSizeWarning("p", 37, 37));
    ASSERT_TRUE(PatternSizeWarning("p", 19, 37));
    EXPECT_TRUE(PatternSizeWarning("p", 40, 37));

    EXPECT_FALSE(VoltageRulesWarning({}, 3));
    const auto rules = VoltageRulesWarning({{4, 300, 140}}, 2);
    ASSERT_TRUE(rules);
    EXPECT_NE(rules->message.find("1 of 2"), std::string::npos);
    EXPECT_NE(rules->message.find("4: 300 V -> 140 V"), std::string::npos);

    const testing_support::TempFolder temp("ostrander-map");
    const std::filesystem::path folder = temp.Path();
    EXPECT_TRUE(MapFileWarning((folder / "DMmap_NONE.dat").string()));
    EXPECT_TRUE(MapFileWarning(folder.string())); // a folder is not a map file
    std::ofstream(folder / "DMmap_OK.dat") << "1 0\n2 1\n";
    EXPECT_FALSE(MapFileWarning((folder / "DMmap_OK.dat").string()));

    const QJsonArray list = WarningsJson({*under, *rules});
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].toObject()["kind"].toString(), "undersampled");
    EXPECT_EQ(list[1].toObject()["changes"].toArray().size(), 1);
}

// A summary's command line is run as it stands: every word, whatever it
// holds, reaches the program as it was, through a POSIX shell.
TEST(ShellQuoted, EveryWordReadsBackThroughTheShell) {
    const std::vector<std::string> words{
        "plain",     "two words",   "it's",        "#comment", "~/home",    "a[1]",
        "{a,b}",     "bang!",       "$HOME",       "`date`",   "back\\slash", "tab\there",
        "semi;colon", "*.png",      "\"quoted\"",  "x=1,2=0.1", "Grüße"};
    std::string line = "printf '%s\\n'";
    for (const std::string& word : words)
        line += " " + ShellQuoted(word);
    QProcess shell;
    shell.start("/bin/sh", {"-c", QString::fromStdString(line)});
    ASSERT_TRUE(shell.waitForFinished(10000));
    std::string expected;
    for (const std::string& word : words)
        expected += word + "\n";
    EXPECT_EQ(shell.readAllStandardOutput().toStdString(), expected);
    EXPECT_EQ(ShellQuoted("x=1,2=0.1"), "x=1,2=0.1"); // the voltage pairs stay readable
    EXPECT_EQ(ShellQuoted(""), "''");
}

} // namespace
} // namespace ostrander
