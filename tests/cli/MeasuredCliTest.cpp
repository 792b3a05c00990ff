// ostrander-cli with measured influence functions: a simulated calibration
// read back gives the computed model's fit when noiseless (its reference
// tilt taken off), and a fit residual that grows with the noise; results
// say that pull-in is not known; the measured options are refused where
// they do not belong, and a bad cube's message reaches the user.
#include "formats/FitsFile.h"
#include "formats/MeasuredCube.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>
#include <string>

namespace ostrander {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

CliRun RunCli(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("OSTRANDER_DEVICES");
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(OSTRANDER_CLI), arguments);
    CliRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

QJsonObject Summary(const std::string& folder) {
    return QJsonDocument::fromJson(
               QByteArray::fromStdString(testing_support::ReadWhole(folder + "/summary.json")))
        .object();
}

// The fit of 0.3 um RMS of focus on Hex37; its residual RMS, m.
double FitResidual(const testing_support::TempFolder& temp, const QStringList& model,
                   const std::string& name) {
    const QString out = QString::fromStdString((temp.Path() / (name)).string());
    const CliRun run = RunCli(QStringList{"fit", "Hex37", "--zernike", "4=0.3um", "--no-pictures",
                                          "--out", out} +
                              model);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return Summary(out.toStdString())["fit"].toObject()["residual_rms_m"].toDouble();
}

TEST(MeasuredCli, CalibrationResidualGrowsWithNoise) {
    const testing_support::TempFolder temp("ostrander-calibrate");
    const double computed = FitResidual(temp, {}, "classic");
    double previous = 0.0;
    for (const char* noise : {"0", "2", "10", "40"}) {
        SCOPED_TRACE(noise);
        const std::string cal = (temp.Path() / (std::string("cal") + noise)).string();
        const CliRun run = RunCli({"calibrate", "Hex37", "--poke", "120", "--noise", noise,
                                   "--tilt", "80", "--seed", "7", "--out",
                                   QString::fromStdString(cal)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(Summary(cal)["calibration"].toObject()["noise_nm"].toDouble(), std::stod(noise));
        const double residual = FitResidual(
            temp,
            {"--model", "measured", "--influence", QString::fromStdString(cal + "/influence.fits"),
             "--remove-tilt"},
            std::string("fit") + noise);
        if (std::string(noise) == "0")
            EXPECT_NEAR(residual, computed, 1e-3 * computed);
        else
            EXPECT_GT(residual, previous * 1.05);
        previous = residual;
    }
}

TEST(MeasuredCli, TheCalibrationCubeIsOursWithItsAperture) {
    const testing_support::TempFolder temp("ostrander-calibrate");
    const std::string cal = (temp.Path() / ("cal")).string();
    const CliRun run = RunCli({"calibrate", "Hex61S", "--poke", "60", "--push-pull", "--out",
                               QString::fromStdString(cal)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    MeasuredCubeRequest request;
    request.path = cal + "/influence.fits";
    MeasuredCube cube;
    std::string error;
    ASSERT_TRUE(ReadMeasuredCube(request, cube, error)) << error;
    EXPECT_TRUE(cube.table); // actuators.csv beside it was read
    EXPECT_EQ(cube.law, ResponseLaw::Quadratic);
    EXPECT_EQ(cube.planes, 62);
    EXPECT_TRUE(std::isnan(cube.values[0]));                                // a corner
    EXPECT_FALSE(std::isnan(cube.values[50 * cube.columns + 50]));        // the centre
    const QJsonObject calibration = Summary(cal)["calibration"].toObject();
    EXPECT_EQ(calibration["bias_v"].toDouble(), 60.0);
    EXPECT_TRUE(calibration["push_pull"].toBool());

    // Read back, the push-pull calibration gives the computed surface.
    const std::string a = (temp.Path() / ("a")).string(), b = (temp.Path() / ("b")).string();
    const CliRun computed =
        RunCli({"simulate", "Hex61S", "--set", "3=100", "--set", "40=70", "--no-pictures", "--out",
                QString::fromStdString(a)});
    const CliRun measured = RunCli({"simulate", "Hex61S", "--set", "3=100", "--set", "40=70",
                                    "--no-pictures", "--model", "measured", "--influence",
                                    QString::fromStdString(request.path), "--out",
                                    QString::fromStdString(b)});
    ASSERT_EQ(computed.exitCode, 0) << computed.err;
    ASSERT_EQ(measured.exitCode, 0) << measured.err;
    EXPECT_NEAR(Summary(b)["rms_m"].toDouble(), Summary(a)["rms_m"].toDouble(),
                1e-6 * Summary(a)["rms_m"].toDouble());
    EXPECT_NE(measured.out.find("Pull-in: not known for measured influence functions"),
              std::string::npos)
        << measured.out;
    EXPECT_EQ(Summary(b)["pull_in"].toString(),
              "Pull-in: not known for measured influence functions");
    EXPECT_EQ(Summary(b)["model"].toString(), "measured");
}

// A mirror description that names a cube selects the measured model unless
// --model says otherwise; an unreadable value there is named.
TEST(MeasuredCli, TheMirrorsDescriptionCanNameItsMeasuredCube) {
    const testing_support::TempFolder temp("ostrander-calibrate");
    const std::string devices = std::string(OSTRANDER_SOURCE_DIR) + "/Devices/";
    const std::string cal = (temp.Path() / "lab").string();
    ASSERT_EQ(RunCli({"calibrate", "Hex37", "--poke", "100", "--tilt", "30", "--out",
                      QString::fromStdString(cal)})
                  .exitCode,
              0);
    temp.Write("DMmap_HEX37.dat", testing_support::ReadWhole(devices + "DMmap_HEX37.dat"));
    const std::string ini = testing_support::ReadWhole(devices + "Hex37.ini");
    struct Case {
        const char* name;
        std::string section;
        QStringList extra;
        int exitCode;
        std::string model; // of the summary, or words of the error
    } cases[] = {
        {"Described", "File=lab/influence.fits\nRemoveTilt=1\n", {}, 0, "measured"},
        {"ModelGiven", "File=lab/influence.fits\n", {"--model", "classic"}, 0, "classic"},
        {"MeasuredWithoutInfluence", "File=lab/influence.fits\n", {"--model", "measured"}, 0,
         "measured"},
        {"Older", "", {}, 0, "classic"},
        {"BadLaw", "File=lab/influence.fits\nLaw=cubic\n", {}, 2,
         "[Measured Influence] Law=cubic is not quadratic or linear"},
        {"MissingCube", "File=none.fits\n", {}, 2, "none.fits\": no such file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string mirror = temp.Write(
            std::string(c.name) + ".ini",
            ini + (c.section.empty() ? "" : "\n[Measured Influence]\n" + c.section));
        const std::string out = (temp.Path() / (std::string("out") + c.name)).string();
        const CliRun run = RunCli(QStringList{"simulate", QString::fromStdString(mirror), "--set",
                                              "5=120", "--no-pictures", "--out",
                                              QString::fromStdString(out)} +
                                  c.extra);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode == 0)
            EXPECT_EQ(Summary(out)["model"].toString().toStdString(), c.model);
        else
            EXPECT_NE(run.err.find(c.model), std::string::npos) << run.err;
    }
}

TEST(MeasuredCli, RefusalsNameWhatIsWrong) {
    const testing_support::TempFolder temp("ostrander-calibrate");
    FitsImage flat;
    flat.columns = flat.rows = 8;
    flat.values.assign(64, 0.0);
    std::string bytes, error;
    ASSERT_TRUE(FitsBytes(flat, bytes, error)) << error;
    const QString image = QString::fromStdString(temp.Write("flat.fits", bytes));
    const QString out = QString::fromStdString((temp.Path() / ("out")).string());
    struct Case {
        QStringList arguments;
        std::string message;
    } cases[] = {
        {{"simulate", "Hex37", "--model", "measured", "--out", out},
         "--model measured needs --influence FILE"},
        {{"simulate", "Hex37", "--influence", image, "--out", out},
         "--influence needs --model measured"},
        {{"fit", "Hex37", "--zernike", "4=0.2um", "--model", "measured", "--influence", image,
          "--out", out},
         "is not a cube (NAXIS = 2)"},
        {{"sweep", "Hex37", "--pattern", "Hex37_Patterns.pat", "--model", "measured",
          "--influence", image, "--law", "cubic", "--out", out},
         "--law"},
        {{"calibrate", "Hex37", "--poke", "400", "--out", out}, "the mirror's rules hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const CliRun run = RunCli(c.arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out.toStdString() + "/summary.json"));
    }
}

} // namespace
} // namespace ostrander
