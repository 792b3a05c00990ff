// FITS images and warnings of ostrander-cli, without running the program.
#include "formats/FitsFile.h"
#include "results/RunWarnings.h"
#include "results/SessionExport.h"
#include "support/TempFolder.h"

#include <fitsio.h>
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <string>
#include <string_view>

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

// The file as cfitsio writes the same image in memory: the reference the
// writer is held to.
std::string CfitsioBytes(const FitsImage& image) {
    std::size_t size = 2880;
    void* data = std::malloc(size);
    fitsfile* file = nullptr;
    int status = 0;
    fits_create_memfile(&file, &data, &size, 2880, std::realloc, &status);
    long axes[3] = {image.columns, image.rows, image.planes};
    fits_create_img(file, DOUBLE_IMG, image.planes > 1 ? 3 : 2, axes, &status);
    for (const FitsKey& key : image.keys) {
        char* name = const_cast<char*>(key.name.c_str());
        char* comment = const_cast<char*>(key.comment.c_str());
        if (const auto* d = std::get_if<double>(&key.value)) {
            double v = *d;
            fits_update_key(file, TDOUBLE, name, &v, comment, &status);
        } else if (const auto* l = std::get_if<long long>(&key.value)) {
            LONGLONG v = *l;
            fits_update_key(file, TLONGLONG, name, &v, comment, &status);
        } else if (const auto* b = std::get_if<bool>(&key.value)) {
            int v = *b ? 1 : 0;
            fits_update_key(file, TLOGICAL, name, &v, comment, &status);
        } else {
            std::string text = std::get<std::string>(key.value).substr(0, 68);
            fits_update_key(file, TSTRING, name, text.data(), comment, &status);
        }
    }
    for (const std::string& line : image.comments)
        fits_write_comment(file, line.c_str(), &status);
    fits_write_date(file, &status);
    fits_write_img(file, TDOUBLE, 1, static_cast<LONGLONG>(image.values.size()),
                   const_cast<double*>(image.values.data()), &status);
    fits_flush_file(file, &status);
    LONGLONG head = 0, start = 0, end = 0;
    fits_get_hduaddrll(file, &head, &start, &end, &status);
    fits_close_file(file, &status);
    EXPECT_EQ(status, 0);
    std::string bytes(static_cast<const char*>(data), static_cast<std::size_t>((end + 2879) / 2880 * 2880));
    std::free(data);
    return bytes;
}

// Every card but DATE (the time of writing) and the data are what cfitsio
// writes for the same image, whatever the value's kind and the comment's
// length, the keyword given twice or the image a plane or a cube.
TEST(FitsFile, CardsAndDataAreCfitsios) {
    const std::string longText(80, 'x');
    FitsImage image;
    image.keys = {{"REAL", 0.000631578947368421, "[m] sample spacing"},
                  {"WHOLE", 51.0, "pixel of x = 0"},
                  {"TINY", 1e-10, ""},
                  {"WAVELEN", 1.064e-6, "[m]"},
                  {"HUGE", -6.02214076e23, "per mole"},
                  {"NEGZERO", -0.0, "signed"},
                  {"THIRD", 1.0 / 3.0, longText},
                  {"COUNT", -42LL, "an integer"},
                  {"FLAG", true, ""},
                  {"OFF", false, "a logical"},
                  {"UNIT", std::string("m"), ""},
                  {"QUOTE", std::string("the membrane's"), "with a quote"},
                  {"LONG", std::string(68, 's'), "no room left"},
                  {"MID", std::string(50, 'm'), longText},
                  {"WHOLE", 52.0, "given again"}};
    image.comments = {"a short line", longText + longText, ""};
    struct Sizes {
        int columns, rows, planes;
    };
    for (const Sizes sizes : {Sizes{5, 4, 1}, Sizes{4, 3, 2}, Sizes{36, 10, 1}}) {
        image.columns = sizes.columns;
        image.rows = sizes.rows;
        image.planes = sizes.planes;
        image.values.clear();
        for (int k = 0; k < sizes.columns * sizes.rows * sizes.planes; ++k)
            image.values.push_back(k == 3 ? std::numeric_limits<double>::quiet_NaN()
                                          : std::cos(k) * 1e-6);
        std::string ours, error;
        ASSERT_TRUE(FitsBytes(image, ours, error)) << error;
        const std::string theirs = CfitsioBytes(image);
        ASSERT_EQ(ours.size(), theirs.size());
        for (std::size_t card = 0; card < ours.size(); card += 80) {
            if (theirs.compare(card, 8, "DATE    ") == 0)
                continue;
            ASSERT_EQ(ours.substr(card, 80), theirs.substr(card, 80)) << "at byte " << card;
        }
    }
}

// A keyword that is not one (up to 8 upper-case letters, digits, '-' and
// '_') and a value that is not a finite number are refused, never written.
TEST(FitsFile, RefusesBadCards) {
    for (const FitsKey& key : {FitsKey{"lower", 1.0, ""}, FitsKey{"NINELETTR", 1.0, ""},
                               FitsKey{"", 1.0, ""}, FitsKey{"NAN", std::nan(""), ""},
                               FitsKey{"INF", HUGE_VAL, ""}}) {
        SCOPED_TRACE(key.name);
        FitsImage image;
        image.columns = image.rows = 2;
        image.values.assign(4, 0.0);
        image.keys = {key};
        std::string bytes, error;
        EXPECT_FALSE(FitsBytes(image, bytes, error));
        EXPECT_NE(error.find("FITS"), std::string::npos) << error;
    }
}

// The file made plane by plane is the one made whole, byte for byte but for
// the DATE card, for a cube, a single plane (no NAXIS3) and data that end
// exactly on a record and need no fill; a refusing sink stops it.
TEST(FitsFile, InPiecesIsTheWholeFile) {
    struct Case {
        int columns, rows, planes;
    };
    for (const Case c : {Case{4, 3, 2}, Case{7, 5, 1}, Case{36, 10, 3}, Case{30, 30, 400}}) {
        SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows) + "x" +
                     std::to_string(c.planes));
        FitsImage image;
        image.columns = c.columns;
        image.rows = c.rows;
        image.planes = c.planes;
        const std::size_t plane = static_cast<std::size_t>(c.columns) * c.rows;
        for (std::size_t k = 0; k < plane * c.planes; ++k)
            image.values.push_back(std::sin(0.1 * static_cast<double>(k)) * 1e-7);
        image.keys = {{"NACT", static_cast<long long>(c.planes), "planes"},
                      {"BUNIT", std::string("m V-2"), ""}};
        image.comments = {"one line of comment"};
        std::string whole, error;
        ASSERT_TRUE(FitsBytes(image, whole, error)) << error;

        FitsImage header = image;
        header.values.clear();
        std::string pieces;
        int calls = 0;
        ASSERT_TRUE(FitsInPieces(
            header,
            [&](int p, std::vector<double>& values) {
                values.assign(image.values.begin() + static_cast<std::ptrdiff_t>(plane * p),
                              image.values.begin() + static_cast<std::ptrdiff_t>(plane * (p + 1)));
            },
            [&](std::string_view bytes) {
                ++calls;
                pieces += bytes;
                return true;
            },
            error))
            << error;
        EXPECT_GT(calls, c.planes); // the header and every plane on their own
        ASSERT_EQ(pieces.size(), whole.size());
        const std::size_t date = whole.find("DATE    = ");
        ASSERT_NE(date, std::string::npos);
        EXPECT_EQ(pieces.substr(0, date), whole.substr(0, date));
        EXPECT_EQ(pieces.substr(date + 80), whole.substr(date + 80));

        int taken = 0;
        EXPECT_FALSE(FitsInPieces(
            header, [](int, std::vector<double>&) {},
            [&](std::string_view) { return ++taken < 2; }, error));
        EXPECT_EQ(taken, 2);
    }
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
