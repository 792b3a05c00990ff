// ostrander-cli run as a user runs it, on the shipped mirrors and pattern
// sets: the files it writes, their agreement with the engine driven
// directly, and its refusals.
#include "Shared_Software/Pattern/PatternClass.h"
#include "formats/FitsFile.h"
#include "tests/model/ModelFixture.h"
#include "support/SmallDisk.h"
#include "support/TempFolder.h"
#include "toolkit/IniFile.h"
#include "toolkit/Version.h"

#include <fitsio.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace ostrander {
namespace {

using testing_support::ReadWhole;

namespace fs = std::filesystem;

const std::string kSource = OSTRANDER_SOURCE_DIR;
const std::string kDevices = kSource + "/Devices/";

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program with the environment's additions; a working folder and a
// HOME of its own when given, and a file-size limit for the program when
// fileSizeLimit is not 0. The user's own device folder and OSTRANDER_DEVICES
// must not change what the program under test reads: both are pointed away
// unless a test sets them.
CliRun RunCli(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment(),
              const std::string& workingFolder = {}, const std::string& home = {},
              rlim_t fileSizeLimit = 0, const QByteArray& input = {}) {
    QProcess process;
    if (fileSizeLimit != 0)
        process.setChildProcessModifier(
            [fileSizeLimit] { testing_support::FileSizeLimit::ApplyInChild(fileSizeLimit); });
    if (!workingFolder.empty())
        process.setWorkingDirectory(QString::fromStdString(workingFolder));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("OSTRANDER_DEVICES");
    env.insert("XDG_DATA_HOME", QString::fromStdString(
                                    (fs::temp_directory_path() / "ostrander-cli-no-data").string()));
    if (!home.empty())
        env.insert("HOME", QString::fromStdString(home));
    env.insert(environment);
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(OSTRANDER_CLI), arguments);
    // Standard input holds input and then ends.
    if (process.waitForStarted()) {
        process.write(input);
        process.closeWriteChannel();
    }
    CliRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

CliRun RunCliWithInput(const QStringList& arguments, const QByteArray& input) {
    return RunCli(arguments, QProcessEnvironment(), {}, {}, 0, input);
}

// A temporary folder removed with everything in it; Q gives a path in it
// as the command line takes it.
class TempFolder : public testing_support::TempFolder {
public:
    TempFolder() : testing_support::TempFolder("ostrander-cli") {}
    QString Q(const std::string& name) const { return QString::fromStdString(File(name)); }
};

QJsonObject ReadJson(const fs::path& path) {
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadWhole(path)), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << path << ": " << error.errorString().toStdString();
    return document.object();
}

// The rows of a CSV grid of numbers; '#' lines are comments.
std::vector<std::vector<double>> ReadGrid(const fs::path& path) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(ReadWhole(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#')
            continue;
        std::vector<double> row;
        const char* p = line.data();
        const char* end = p + line.size();
        while (p < end) {
            double v = 0;
            const auto [next, ec] = std::from_chars(p, end, v);
            if (ec != std::errc())
                return {};
            row.push_back(v);
            p = next < end && *next == ',' ? next + 1 : next;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

const char* const kPictures[] = {"surface.png",      "interferogram.png", "threed.png",
                                 "farfield.png",     "farfieldplot.png",  "mirror.png",
                                 "farfield_log.png", "encircled_energy.png"};

// Peak far-field intensity of a flat mirror in closed form: the transform's
// zero-frequency element is the sum of the beam amplitudes over the grid.
double FlatPeak(double diameter) {
    const int n = 100;
    const double dx = diameter / (n * 0.97 - 2);
    double sum = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double x = (i - n / 2) * dx, y = (j - n / 2) * dx;
            sum += std::exp(-(x * x + y * y) / (0.003 * 0.003));
        }
    return sum * sum;
}

TEST(CliSimulate, WritesEveryFileAndAgreesWithTheEngine) {
    TempFolder temp;
    const std::string mirrorFile = kDevices + "Hex19.ini";
    const CliRun run = RunCli({"simulate", QString::fromStdString(mirrorFile), "--set", "1=100",
                               "--set", "5=120", "--remove-focus", "--focus-adjust", "0.5",
                               "--zoom", "2", "--size", "200x220", "--out", temp.Q("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path out = temp.Path() / "out";
    for (const char* picture : kPictures) {
        const QImage image(QString::fromStdString((out / picture).string()));
        EXPECT_FALSE(image.isNull()) << picture;
    }
    EXPECT_EQ(QImage(QString::fromStdString((out / "surface.png").string())).size(),
              QSize(200, 220));
    EXPECT_EQ(QImage(QString::fromStdString((out / "farfield.png").string())).size(),
              QSize(335, 335));
    for (const char* analysis : {"farfield_log.png", "encircled_energy.png"})
        EXPECT_EQ(QImage(QString::fromStdString((out / analysis).string())).size(),
                  QSize(460, 400));

    // The same run through the engine directly.
    testing::EngineHarness h;
    ASSERT_TRUE(h.Select(mirrorFile));
    MirrorClass& mirror = *h.local.Mirror;
    mirror.SetVoltage(1, mirror.GetLimitVoltage());
    h.engine.CalculateInfluenceFunctions();
    h.RunToEnd();
    ASSERT_TRUE(h.local.DisplaysValid);
    mirror.SetVoltage(1, 100);
    mirror.SetVoltage(5, 120);
    h.local.RemoveFocus = true;
    h.local.FocusAdjust = 0.5;
    h.engine.SynthesizeSurface();
    h.engine.ComputeFarField();
    const int n = h.data.GridSize;

    // Files hold rows along y (the engine's second index), as the pictures.
    const auto surface = ReadGrid(out / "surface.csv");
    ASSERT_EQ(surface.size(), 100u);
    double lo = h.data.Surface[0][0], hi = lo;
    int differing = 0;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(surface[i].size(), 100u);
        for (int j = 0; j < n; ++j) {
            differing += surface[j][i] != h.data.Surface[i][j];
            lo = std::min(lo, h.data.Surface[i][j]);
            hi = std::max(hi, h.data.Surface[i][j]);
        }
    }
    EXPECT_EQ(differing, 0);

    // The file's far field is the engine's over a flat mirror's peak.
    const auto farField = ReadGrid(out / "farfield.csv");
    ASSERT_EQ(farField.size(), 256u);
    const double flatPeak = FlatPeak(0.012);
    double peak = 0;
    int r0 = 0, c0 = 0;
    for (int r = 1; r <= 256; ++r) {
        ASSERT_EQ(farField[r - 1].size(), 256u);
        for (int c = 1; c <= 256; ++c) {
            const float* e = h.data.FarField.data() + h.data.FarFieldIndex(r, c);
            const double intensity = double(e[0]) * e[0] + double(e[1]) * e[1];
            EXPECT_NEAR(farField[c - 1][r - 1] * flatPeak, intensity, 1e-9 * flatPeak)
                << r << "," << c;
            if (intensity > peak) {
                peak = intensity;
                r0 = r;
                c0 = c;
            }
        }
    }
    // Tilt is removed, so the brightest element lies near the zero frequency.
    EXPECT_LE(std::abs(r0 - 129) + std::abs(c0 - 129), 8);

    const QJsonObject summary = ReadJson(out / "summary.json");
    EXPECT_EQ(summary["device"].toString().toStdString(), "Hex 19 (12 mm)");
    const QJsonObject voltages = summary["voltages"].toObject();
    ASSERT_EQ(voltages.size(), 19);
    for (int k = 1; k <= 19; ++k)
        EXPECT_EQ(voltages[QString::number(k)].toDouble(), mirror.GetVoltage(k)) << k;
    EXPECT_EQ(voltages["1"].toDouble(), 100);
    EXPECT_EQ(voltages["2"].toDouble(), 0.1);
    EXPECT_EQ(summary["run_voltage"].toDouble(), 140);
    const double separation = h.local.MirrorInfo->Model->Separation_m;
    EXPECT_EQ(summary["snap_down"].toBool(), hi - lo > separation / 3);
    double pmin = 0, pmax = 0, prms = 0;
    h.engine.PupilStatistics(pmin, pmax, prms);
    EXPECT_EQ(summary["pv_m"].toDouble(), pmax - pmin); // over the beam
    EXPECT_EQ(summary["pupil_min_m"].toDouble(), pmin);
    EXPECT_EQ(summary["pupil_max_m"].toDouble(), pmax);
    EXPECT_EQ(summary["pupil_rms_m"].toDouble(), prms);
    EXPECT_GT(prms, 1e-8);
    EXPECT_NEAR(summary["strehl"].toDouble(), peak / FlatPeak(0.012), 1e-5);
    EXPECT_LT(summary["strehl"].toDouble(), 0.9);
    EXPECT_EQ(summary["peak_voltage"].toDouble(), 120);
    EXPECT_NEAR(summary["mean_voltage"].toDouble(), (100 + 120 + 17 * 0.1) / 19, 1e-9);
    EXPECT_FALSE(summary["voltages_at_floor"].toBool());
}

struct FlatCase {
    const char* name;
    QStringList arguments;
};

class CliFlatMirror : public ::testing::TestWithParam<FlatCase> {};

// Everything at the floor: the idle pass's 0.1 V on every actuator, a
// surface of a few picometres, and a Strehl ratio of 1.
TEST_P(CliFlatMirror, SitsAtTheFloorWithStrehlOne) {
    TempFolder temp;
    // A set with one pattern of all zeros for the 37 actuators.
    std::string flat = "[General]\nFileType=Actuator Pattern Set\nPatternSetName=Zeros\n"
                       "PatternCount=1\nVoltageCount=37\n\n[FileInformation]\nFileVersion=1.0\n\n"
                       "[Pattern000]\nPatternName=Flat\n";
    for (int k = 0; k < 37; ++k)
        flat += "Voltage" + std::string(k < 10 ? "00" : "0") + std::to_string(k) + "=0\n";
    temp.Write("flat.pat", flat);
    QStringList arguments;
    for (QString a : GetParam().arguments) // "%T" is replaced by the temporary folder
        arguments << a.replace("%T", QString::fromStdString(temp.Path().string()));
    arguments << "--out" << temp.Q("out");
    const CliRun run = RunCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
    EXPECT_TRUE(summary["voltages_at_floor"].toBool());
    const QJsonObject voltages = summary["voltages"].toObject();
    ASSERT_EQ(voltages.size(), 37);
    for (auto it = voltages.begin(); it != voltages.end(); ++it)
        EXPECT_EQ(it.value().toDouble(), 0.1) << it.key().toStdString();
    EXPECT_NEAR(summary["strehl"].toDouble(), 1.0, 1e-5);
    EXPECT_LT(summary["pv_m"].toDouble(), 1e-9);
    EXPECT_FALSE(summary["snap_down"].toBool());
}

INSTANTIATE_TEST_SUITE_P(
    Hex37, CliFlatMirror,
    ::testing::Values(FlatCase{"NoVoltages", {"simulate", "Hex37"}},
                      FlatCase{"AllZero", {"simulate", "Hex 37 (15 mm)", "--all", "0"}},
                      FlatCase{"FlatPattern",
                               {"simulate", "hex37.ini", "--pattern", "%T/flat.pat",
                                "--pattern-name", "Flat", "--remove-focus"}}),
    [](const ::testing::TestParamInfo<FlatCase>& info) { return info.param.name; });

struct BadCase {
    const char* name;
    QStringList arguments; // "%T" is replaced by the temporary folder
    const char* message;   // part of the one line on standard error
};

class CliRefusal : public ::testing::TestWithParam<BadCase> {};

// Each refusal exits 2 with one line on standard error and leaves no output
// folder and no staging folder behind.
TEST_P(CliRefusal, ExitsTwoWithOneLineAndWritesNothing) {
    TempFolder temp;
    temp.Write("malformed.pat", "[General]\nFileType=Actuator Pattern Set\nPatternCount=x\n");
    const std::string model = "[DM Model]\nDiameter_m=0.01\nThickness_m=1e-6\n"
                              "Separation_m=4e-5\nStress_Pa=1e8\n";
    temp.Write("empty.ini",
               "[General]\nFileType=Mirror Info\nDeviceName=Empty\nLimitVoltage=100\n" + model +
                   "Actuators=0\n");
    temp.Write("novolts.ini", "[General]\nFileType=Mirror Info\nDeviceName=No volts\n"
                              "LimitVoltage=0\n" +
                                  model +
                                  "Actuators=1\n[Pad 1]\nIndex=0\nX=0\nY=0\nDpad_m=0.002\n");
    // Usable but for a membrane without tension.
    temp.Write("nostress.ini", "[General]\nFileType=Mirror Info\nDeviceName=Slack\n"
                               "LimitVoltage=100\n[DM Model]\nDiameter_m=0.01\nThickness_m=1e-6\n"
                               "Separation_m=4e-5\nStress_Pa=0\nActuators=1\n"
                               "[Pad 1]\nIndex=0\nX=0\nY=0\nDpad_m=0.002\n");
    temp.Write("volts.csv", "number,volts\n1,10\n40,5\n");
    temp.Write("badvolts.csv", "1,10\n2:5\n");
    fs::create_directory(temp.Path() / "full");
    temp.Write("full/notes.txt", "mine\n");
    temp.Write("nomodel.ini", "[General]\nFileType=Mirror Info\nDeviceName=No model\n");
    // Over the reader's size limit (sparse: no 16 MiB written).
    temp.Write("huge.ini", "[General]\nFileType=Mirror Info\n");
    fs::resize_file(temp.Path() / "huge.ini", IniFile::MaxFileBytes + 1);
    // A pattern whose name holds a NUL, an escape and a line break, and is long.
    temp.Write("names.pat", std::string("[General]\nFileType=Actuator Pattern Set\nPatternCount=1\n"
                                        "VoltageCount=20\n[Pattern000]\nPatternName=A") +
                                std::string(1, '\0') + "B\x1b[31mC\r" + std::string(300, 'x') +
                                "\nVoltage019=5\n");

    QStringList arguments;
    for (QString a : GetParam().arguments)
        arguments << a.replace("%T", QString::fromStdString(temp.Path().string()));
    const bool ownOut = !arguments.contains("--out");
    if (ownOut)
        arguments << "--out" << temp.Q("out");
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind("ostrander-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;

    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(temp.Path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"badvolts.csv", "empty.ini", "full", "huge.ini",
                                              "malformed.pat", "names.pat", "nomodel.ini",
                                              "nostress.ini", "novolts.ini", "volts.csv"}));
    EXPECT_EQ(ReadWhole(temp.Path() / "full" / "notes.txt"), "mine\n");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CliRefusal,
    ::testing::Values(
        BadCase{"UnknownMirror", {"simulate", "No such mirror"}, "unknown mirror"},
        BadCase{"MalformedPatternFile",
                {"simulate", "Hex19", "--pattern", "%T/malformed.pat", "--pattern-index", "0"},
                "not a valid pattern-set file"},
        BadCase{"MissingPatternFile",
                {"sweep", "Hex19", "--pattern", "%T/none.pat"},
                "cannot read pattern set"},
        BadCase{"RingMirror", {"simulate", "Ring7"}, "Not ready for ring actuators yet."},
        BadCase{"QuarterRingSweep",
                {"sweep", "QuarterRing16", "--pattern",
                 QString::fromStdString(kDevices + "QuarterRing16_Patterns.pat")},
                "Not ready for ring actuators yet."},
        BadCase{"NoActuators", {"simulate", "%T/empty.ini"}, "Cannot perform without actuators."},
        BadCase{"ZeroRunVoltage",
                {"simulate", "%T/novolts.ini"},
                "Cannot perform if max voltage is zero."},
        BadCase{"ZoomZero", {"simulate", "Hex19", "--zoom", "0"}, "--zoom"},
        BadCase{"FocusAdjustOutOfRange",
                {"simulate", "Hex19", "--remove-focus", "--focus-adjust", "2.5"},
                "--focus-adjust"},
        BadCase{"ActuatorOutOfRange", {"simulate", "Hex19", "--set", "20=5"}, "actuators 1 to 19"},
        BadCase{"MalformedSet", {"simulate", "Hex19", "--set", "3:5"}, "ACTUATOR=VOLTS"},
        BadCase{"NotANumber", {"simulate", "Hex19", "--set", "3=nan"}, "ACTUATOR=VOLTS"},
        BadCase{"PatternForAnotherMirror",
                {"simulate", "Hex19", "--pattern",
                 QString::fromStdString(kDevices + "Hex37_Patterns.pat"), "--pattern-index", "1"},
                "sets actuator 20"},
        BadCase{"NoSuchPattern",
                {"simulate", "Hex19", "--pattern",
                 QString::fromStdString(kDevices + "Hex19_Patterns.pat"), "--pattern-name", "Nope"},
                "no pattern named"},
        BadCase{"BadSize", {"simulate", "Hex19", "--size", "0x300"}, "--size"},
        BadCase{"UnknownModel", {"simulate", "Hex19", "--model", "fancy"}, "--model"},
        BadCase{"NonlinearClassic",
                {"simulate", "Hex19", "--model", "classic", "--nonlinear"},
                "--nonlinear needs --model exact"},
        BadCase{"OutputNotEmpty", {"simulate", "Hex19", "--out", "%T/full"}, "is not empty"},
        BadCase{"ForceKeepsForeignFolder",
                {"simulate", "Hex19", "--force", "--out", "%T/full"},
                "not replacing it"},
        BadCase{"InfluenceUnknownMirror", {"influence", "No such mirror"}, "unknown mirror"},
        BadCase{"InfluenceRingClassic", {"influence", "Ring7"}, "Not ready for ring actuators yet."},
        BadCase{"InfluenceWithoutTension",
                {"influence", "%T/nostress.ini", "--model", "exact"},
                "Stress_Pa is 0"},
        BadCase{"SimulateWithoutTension", {"simulate", "%T/nostress.ini"}, "Stress_Pa is 0"},
        BadCase{"InfluenceUnknownModel", {"influence", "Hex19", "--model", "fancy"}, "--model"},
        BadCase{"InfluenceOutputNotEmpty",
                {"influence", "Hex19", "--out", "%T/full"},
                "is not empty"},
        BadCase{"MirrorAfterSet",
                {"simulate", "--set", "1=5", "Hex19"},
                "name MIRROR before --set"},
        BadCase{"VoltagesForAnotherMirror",
                {"simulate", "Hex19", "--voltages", "%T/volts.csv"},
                "line 3 sets actuator 40, but the mirror has actuators 1 to 19"},
        BadCase{"VoltagesLineNotAPair",
                {"simulate", "Hex19", "--voltages", "%T/badvolts.csv"},
                "line 2: \"2:5\" is not NUMBER,VOLTS"},
        BadCase{"VoltagesMissing", {"simulate", "Hex19", "--voltages", "%T/none.csv"}, "no such file"},
        BadCase{"VoltagesFromEmptyInput",
                {"simulate", "Hex19", "--voltages", "-"},
                "standard input holds no NUMBER,VOLTS lines"},
        BadCase{"WavelengthTooShort", {"simulate", "Hex19", "--wavelength", "50"}, "--wavelength"},
        BadCase{"WavelengthNotANumber",
                {"sweep", "Hex19", "--pattern",
                 QString::fromStdString(kDevices + "Hex19_Patterns.pat"), "--wavelength", "nan"},
                "--wavelength"},
        BadCase{"NoCommand", {}, "a command is required"},
        // Voltages and actuator numbers are decimal only.
        BadCase{"HexActuator", {"simulate", "Hex19", "--set", "$A=5"}, "in decimal"},
        BadCase{"HexVolts", {"simulate", "Hex19", "--set", "3=0x10"}, "in decimal"},
        BadCase{"HexAll", {"simulate", "Hex19", "--all", "0x10"}, "--all \"0x10\""},
        BadCase{"InfiniteAll", {"simulate", "Hex19", "--all", "inf"}, "--all \"inf\""},
        BadCase{"HexPatternIndex",
                {"simulate", "Hex19", "--pattern",
                 QString::fromStdString(kDevices + "Hex19_Patterns.pat"), "--pattern-index", "0x1"},
                "--pattern-index \"0x1\""},
        // The real reason, not "not a mirror info file".
        BadCase{"MirrorFileTooLarge", {"simulate", "%T/huge.ini"}, "bytes, over the limit of"},
        BadCase{"MirrorFileWithoutModel", {"simulate", "%T/nomodel.ini"},
                "has no [DM Model] section"},
        BadCase{"PatternFileTooLarge",
                {"simulate", "Hex19", "--pattern", "%T/huge.ini", "--pattern-index", "0"},
                "bytes, over the limit of"},
        // Fitting voltages to a shape.
        BadCase{"FitWithoutTarget", {"fit", "Hex19"}, "fit needs one target"},
        BadCase{"FitTwoTargets",
                {"fit", "Hex19", "--zernike", "4=1um", "--surface", "%T/none.csv"},
                "excludes"},
        BadCase{"FitTermOutOfRange", {"fit", "Hex19", "--zernike", "40=1um"}, "Noll index"},
        BadCase{"FitValueWithoutNumber", {"fit", "Hex19", "--zernike", "4=um"}, "not a number"},
        BadCase{"FitBadBias", {"fit", "Hex19", "--zernike", "4=0.1um", "--bias", "0x10"},
                "--bias \"0x10\""},
        BadCase{"FitBiasOverTheLimit", {"fit", "Hex19", "--zernike", "4=0.1um", "--bias", "900"},
                "bias voltage"},
        BadCase{"FitMissingSurface", {"fit", "Hex19", "--surface", "%T/none.csv"},
                "cannot read surface"},
        BadCase{"FitSurfaceNotAGrid", {"fit", "Hex19", "--surface", "%T/malformed.pat"},
                "is not a number"},
        BadCase{"FitPastPullIn", {"fit", "Hex61S", "--model", "exact", "--zernike", "4=3um"},
                "pull the membrane in"},
        BadCase{"FitTargetTooLarge", {"fit", "Hex19", "--zernike", "4=1e300m"}, "too large"},
        BadCase{"FitValueWithoutUnit", {"fit", "Hex19", "--zernike", "4=0.5"},
                "\"0.5\" is not a number with a unit (m, mm, um, nm)"},
        // A name with control characters: escaped, whole line, cut short.
        BadCase{"NameWithControlCharacters",
                {"simulate", "Hex19", "--pattern", "%T/names.pat", "--pattern-index", "0"},
                "pattern \"A\\x00B\\x1b[31mC xxxxx"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return info.param.name; });

// Splits a line of summary.csv (no quoted fields in the shipped names).
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

// The records of a CSV text: fields split at commas, quoted fields ("a,b",
// "say ""x""") taken whole.
std::vector<std::vector<std::string>> CsvRecords(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (quoted) {
            if (c == '"' && k + 1 < text.size() && text[k + 1] == '"')
                field += text[++k];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !record.empty()) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

// The numbers, yes/no values and nulls of a JSON value by dotted path, array
// elements numbered from 1.
void Leaves(const QJsonValue& value, const std::string& path,
            std::map<std::string, QJsonValue>& leaves) {
    const std::string prefix = path.empty() ? path : path + ".";
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            Leaves(it.value(), prefix + it.key().toStdString(), leaves);
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype k = 0; k < array.size(); ++k)
            Leaves(array[k], prefix + std::to_string(k + 1), leaves);
    } else if (value.isDouble() || value.isBool() || value.isNull()) {
        leaves[path] = value;
    }
}

struct ShippedSet {
    const char* mirror;
    const char* patterns;
};

class CliSweep : public ::testing::TestWithParam<ShippedSet> {};

// Every pattern of a shipped set: one row and one folder of pictures each.
TEST_P(CliSweep, WritesOneRowAndOneFolderPerPattern) {
    TempFolder temp;
    const std::string patterns = kDevices + GetParam().patterns;
    const CliRun run = RunCli({"sweep", GetParam().mirror, "--pattern",
                               QString::fromStdString(patterns), "--out", temp.Q("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const PatternClass set(patterns);
    ASSERT_TRUE(set.IsValid());

    const auto table = CsvRecords(ReadWhole(temp.Path() / "out" / "summary.csv"));
    ASSERT_FALSE(table.empty());
    const std::vector<std::string>& header = table[0];
    ASSERT_GE(header.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(header.begin(), header.begin() + 7),
              (std::vector<std::string>{"index", "name", "pv_m", "pupil_rms_m", "strehl",
                                        "snap_down", "folder"}));
    ASSERT_EQ(static_cast<int>(table.size()), set.GetPatternCount() + 1);
    int row = 1, flats = 0;
    for (const PatternListEntry* p = set.first; p; p = p->next, ++row) {
        ASSERT_EQ(table[row].size(), header.size()) << row;
        std::map<std::string, std::string> f;
        for (std::size_t c = 0; c < header.size(); ++c)
            f[header[c]] = table[row][c];
        EXPECT_EQ(f["index"], std::to_string(p->index));
        EXPECT_EQ(f["name"], p->PatternName);
        const fs::path folder = temp.Path() / "out" / f["folder"];
        for (const char* file : kPictures)
            EXPECT_TRUE(fs::is_regular_file(folder / file)) << folder / file;
        for (const char* file : {"surface.csv", "surface.fits", "farfield.csv", "farfield.fits",
                                 "encircled_energy.csv"})
            EXPECT_TRUE(fs::is_regular_file(folder / file)) << folder / file;
        const QJsonObject summary = ReadJson(folder / "summary.json");
        EXPECT_EQ(summary["pattern"].toString().toStdString(), p->PatternName);
        // Every number and yes/no of the summary is in the row, under its
        // path; the warnings by their kinds.
        QJsonObject figures = summary;
        figures.remove("warnings");
        std::map<std::string, QJsonValue> leaves;
        Leaves(figures, "", leaves);
        std::string kinds;
        for (const QJsonValue& w : summary["warnings"].toArray())
            kinds += (kinds.empty() ? "" : ";") + w["kind"].toString().toStdString();
        EXPECT_EQ(f["warnings"], kinds);
        const int actuators = summary["voltages"].toObject().size();
        EXPECT_GT(leaves.size(), 40u + actuators); // figures, grid, Zernike terms, voltages
        for (const auto& [path, value] : leaves) {
            ASSERT_TRUE(f.count(path)) << "no column " << path;
            if (value.isBool())
                EXPECT_EQ(f[path], value.toBool() ? "true" : "false") << path;
            else if (value.isNull())
                EXPECT_EQ(f[path], "") << path;
            else
                EXPECT_EQ(std::stod(f[path]), value.toDouble()) << path;
        }
        EXPECT_TRUE(f.count("voltages." + std::to_string(actuators)));
        EXPECT_EQ(f["model"], "classic");
        // The flat at the bias: every actuator at the bias, bar a membrane
        // electrode (at 0 V).
        double bias = 0;
        if (std::sscanf(p->PatternName.c_str(), "Flat at %lf V", &bias) == 1) {
            const QJsonObject volts = summary["voltages"].toObject();
            int atBias = 0;
            for (auto it = volts.begin(); it != volts.end(); ++it) {
                atBias += it.value().toDouble() == bias;
                EXPECT_TRUE(it.value().toDouble() == bias || it.value().toDouble() == 0.0)
                    << it.key().toStdString();
            }
            EXPECT_GE(atBias, actuators - 1);
            ++flats;
        }
    }
    EXPECT_EQ(flats, 1);
}

INSTANTIATE_TEST_SUITE_P(Shipped, CliSweep,
                         ::testing::Values(ShippedSet{"Hex19", "Hex19_Patterns.pat"},
                                           ShippedSet{"Hex19", "Hex19_Patterns_v2.pat"},
                                           ShippedSet{"Hex37", "Hex37_Patterns.pat"},
                                           ShippedSet{"Hex61S", "Hex61S_Patterns.pat"},
                                           ShippedSet{"Small9", "Small9_Patterns.pat"},
                                           ShippedSet{"Square36", "Square36_Patterns.pat"}),
                         [](const ::testing::TestParamInfo<ShippedSet>& info) {
                             std::string name = info.param.patterns;
                             name = name.substr(0, name.find('.'));
                             name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
                             return name;
                         });

// --no-pictures leaves the pictures out and changes no figure or grid;
// --json puts on standard output what summary.json holds (an array of the
// patterns' summaries, each with its folder, for a sweep), and nothing else.
TEST(CliSweep, NoPicturesAndJsonOnStandardOutput) {
    TempFolder temp;
    const QString patterns = QString::fromStdString(kDevices + "Hex19_Patterns.pat");
    const CliRun sweep = RunCli({"sweep", "Hex19", "--pattern", patterns, "--no-pictures",
                                 "--json", "--out", temp.Q("sweep")});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
    int pngs = 0;
    for (const auto& entry : fs::recursive_directory_iterator(temp.Path() / "sweep"))
        pngs += entry.path().extension() == ".png";
    EXPECT_EQ(pngs, 0);
    QJsonParseError parse;
    const QJsonArray summaries =
        QJsonDocument::fromJson(QByteArray::fromStdString(sweep.out), &parse).array();
    ASSERT_EQ(parse.error, QJsonParseError::NoError) << sweep.out;
    ASSERT_EQ(summaries.size(), PatternClass(kDevices + "Hex19_Patterns.pat").GetPatternCount());
    for (const QJsonValue& value : summaries) {
        QJsonObject summary = value.toObject();
        const std::string folder = summary["folder"].toString().toStdString();
        summary.remove("folder");
        EXPECT_EQ(summary, ReadJson(temp.Path() / "sweep" / folder / "summary.json")) << folder;
    }
    EXPECT_FALSE(summaries[3].toObject()["pictures"].toBool());

    const CliRun one = RunCli({"simulate", "Hex19", "--pattern", patterns, "--pattern-index", "3",
                               "--json", "--out", temp.Q("one")});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const QJsonObject printed = QJsonDocument::fromJson(QByteArray::fromStdString(one.out)).object();
    EXPECT_EQ(printed, ReadJson(temp.Path() / "one" / "summary.json"));
    EXPECT_TRUE(printed["pictures"].toBool());
    for (const char* picture : kPictures)
        EXPECT_TRUE(fs::is_regular_file(temp.Path() / "one" / picture)) << picture;
    const std::string folder = summaries[3].toObject()["folder"].toString().toStdString();
    for (const char* grid : {"surface.csv", "farfield.csv", "encircled_energy.csv"})
        EXPECT_EQ(ReadWhole(temp.Path() / "sweep" / folder / grid),
                  ReadWhole(temp.Path() / "one" / grid))
            << grid;
    for (const char* figure : {"pv_m", "strehl", "rms_m", "zernike", "voltages"})
        EXPECT_EQ(printed[figure], summaries[3].toObject()[figure]) << figure;

    const CliRun influence = RunCli({"influence", "Hex19", "--json", "--out", temp.Q("if")});
    ASSERT_EQ(influence.exitCode, 0) << influence.err;
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(influence.out)).object(),
              ReadJson(temp.Path() / "if" / "summary.json"));

    const CliRun fit = RunCli({"fit", "Hex19", "--zernike", "4=0.1um", "--no-pictures", "--json",
                               "--out", temp.Q("fit")});
    ASSERT_EQ(fit.exitCode, 0) << fit.err;
    const QJsonObject fitSummary =
        QJsonDocument::fromJson(QByteArray::fromStdString(fit.out)).object();
    EXPECT_TRUE(fitSummary.contains("fit"));
    EXPECT_EQ(fitSummary, ReadJson(temp.Path() / "fit" / "summary.json"));
    EXPECT_FALSE(fs::exists(temp.Path() / "fit" / "surface.png"));
}

// The exact model's verdict is the membrane's pull-in: every pad of Hex61S
// at one voltage with the membrane electrode at 0 V pulls in at about 144.8 V.
TEST(CliExactModel, SnapDownFollowsThePullInWhateverTheCorrections) {
    struct Case {
        const char* volts;
        bool removeFocus;
        bool snapDown;
    };
    for (const Case c : {Case{"144", false, false}, Case{"145.6", false, true},
                         Case{"145.6", true, true}, Case{"144", true, false}}) {
        SCOPED_TRACE(std::string(c.volts) + (c.removeFocus ? " without focus" : ""));
        TempFolder temp;
        QStringList arguments{"simulate", "Hex61S", "--model", "exact", "--all",
                              c.volts,    "--set",  "62=0",  "--out", temp.Q("out")};
        if (c.removeFocus)
            arguments << "--remove-focus";
        const CliRun run = RunCli(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
        EXPECT_EQ(summary["model"].toString(), "exact");
        EXPECT_EQ(summary["snap_down"].toBool(), c.snapDown);
        const double factor = summary["pull_in_factor"].toDouble();
        EXPECT_NEAR(factor * std::stod(c.volts), 144.8, 0.3);
        // The physical surface, not the corrected one; far inside the gap.
        EXPECT_GT(summary["max_deflection_m"].toDouble(), 5e-6);
        EXPECT_LT(summary["max_deflection_m"].toDouble(), 50e-6 / 2);
        if (c.removeFocus) {
            EXPECT_LT(summary["pv_m"].toDouble(), 0.5 * summary["max_deflection_m"].toDouble());
        }
    }
}

TEST(CliExactModel, NonlinearSurfaceIsDeeperThanTheLinearOne) {
    TempFolder temp;
    for (const char* name : {"linear", "nonlinear"}) {
        QStringList arguments{"simulate", "Hex61S", "--model", "exact", "--all", "140",
                              "--set",    "62=0",   "--out",   temp.Q(name)};
        if (std::string(name) == "nonlinear")
            arguments << "--nonlinear";
        ASSERT_EQ(RunCli(arguments).exitCode, 0) << name;
    }
    const QJsonObject linear = ReadJson(temp.Path() / "linear" / "summary.json");
    const QJsonObject nonlinear = ReadJson(temp.Path() / "nonlinear" / "summary.json");
    EXPECT_EQ(nonlinear["surface"].toString(), "nonlinear");
    EXPECT_EQ(linear["surface"].toString(), "linear");
    // Near pull-in the gap's closing adds much to the linear deflection.
    EXPECT_GT(nonlinear["max_deflection_m"].toDouble(), 1.2 * linear["max_deflection_m"].toDouble());
    double deepest = 0;
    for (const auto& row : ReadGrid(temp.Path() / "nonlinear" / "surface.csv"))
        for (const double w : row)
            deepest = std::min(deepest, w);
    EXPECT_NEAR(-deepest, nonlinear["max_deflection_m"].toDouble(), 1e-12);
}

TEST(CliExactModel, RingMirrorsRunWithTheExactModel) {
    for (const char* mirror : {"Ring7", "QuarterRing16"}) {
        SCOPED_TRACE(mirror);
        TempFolder temp;
        const CliRun run = RunCli(
            {"simulate", mirror, "--model", "exact", "--all", "60", "--out", temp.Q("out")});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
        EXPECT_GT(summary["max_deflection_m"].toDouble(), 0.0);
        EXPECT_GT(summary["pull_in_factor"].toDouble(), 1.0);
        EXPECT_FALSE(summary["snap_down"].toBool());
        EXPECT_FALSE(QImage(temp.Q("out/surface.png")).isNull());
    }
    // The classic model: its own rule, no pull-in factor.
    TempFolder temp;
    ASSERT_EQ(RunCli({"simulate", "Hex19", "--all", "60", "--out", temp.Q("out")}).exitCode, 0);
    const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
    EXPECT_EQ(summary["model"].toString(), "classic");
    EXPECT_FALSE(summary.contains("pull_in_factor"));
    EXPECT_GE(summary["max_deflection_m"].toDouble(), 0.5 * summary["pv_m"].toDouble());
}

// A sweep row is the simulation of that pattern alone.
TEST(CliSweep, RowMatchesTheSimulationOfItsPattern) {
    TempFolder temp;
    const QString patterns = QString::fromStdString(kDevices + "Hex19_Patterns.pat");
    ASSERT_EQ(RunCli({"sweep", "Hex19", "--pattern", patterns, "--out", temp.Q("sweep")}).exitCode,
              0);
    ASSERT_EQ(RunCli({"simulate", "Hex19", "--pattern", patterns, "--pattern-index", "3", "--out",
                      temp.Q("one")})
                  .exitCode,
              0);
    const auto table = CsvRecords(ReadWhole(temp.Path() / "sweep" / "summary.csv"));
    ASSERT_GE(table.size(), 5u);
    const std::vector<std::string>& f = table[4];
    ASSERT_EQ(f.size(), table[0].size());
    EXPECT_EQ(f[0], "3");
    const QJsonObject one = ReadJson(temp.Path() / "one" / "summary.json");
    EXPECT_EQ(std::stod(f[2]), one["pv_m"].toDouble());
    EXPECT_EQ(std::stod(f[3]), one["pupil_rms_m"].toDouble());
    EXPECT_EQ(std::stod(f[4]), one["strehl"].toDouble());
    EXPECT_EQ(ReadJson(temp.Path() / "sweep" / f[6] / "summary.json")["voltages"], one["voltages"]);
}

TEST(CliOutput, ForceReplacesAnEarlierResult) {
    TempFolder temp;
    ASSERT_EQ(RunCli({"simulate", "Small9", "--out", temp.Q("out")}).exitCode, 0);
    ASSERT_EQ(RunCli({"simulate", "Small9", "--all", "60", "--out", temp.Q("out")}).exitCode, 2);
    EXPECT_TRUE(ReadJson(temp.Path() / "out" / "summary.json")["voltages_at_floor"].toBool());
    ASSERT_EQ(
        RunCli({"simulate", "Small9", "--all", "60", "--force", "--out", temp.Q("out")}).exitCode,
        0);
    const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
    EXPECT_FALSE(summary["voltages_at_floor"].toBool());
    EXPECT_EQ(summary["voltages"].toObject()["9"].toDouble(), 60);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.Path()))
        ++entries;
    EXPECT_EQ(entries, 1); // no staging or old folder left beside it
}

// Out of room while writing the results (a small filesystem where this
// process may mount one, and a file-size limit): one line saying what could
// not be written and why, none of the PNG library's own lines, and nothing
// left in the folder.
TEST(CliOutput, FullDiskSaysCannotWriteAndLeavesNothing) {
    for (const bool smallFilesystem : {true, false}) {
        SCOPED_TRACE(smallFilesystem ? "small filesystem" : "file-size limit");
        TempFolder temp;
        std::unique_ptr<testing_support::SmallTmpfs> disk;
        fs::path folder = temp.Path();
        if (smallFilesystem) {
            disk = std::make_unique<testing_support::SmallTmpfs>(64 * 1024);
            if (!disk->Mounted())
                continue; // no permission to mount here
            folder = disk->Path();
        }
        const CliRun run = RunCli({"simulate", "Small9", "--all", "50", "--out",
                                   QString::fromStdString((folder / "out").string())},
                                  {}, {}, {}, smallFilesystem ? 0 : 16 * 1024);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.rfind("ostrander-cli: cannot write", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.find("libpng"), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(folder)) << run.err;
    }
}

// --force from a project folder with "--out .." once removed the whole home
// folder because it held a summary.csv. Such a folder is never replaced.
TEST(CliOutput, ForceNeverRemovesTheHomeFolderAroundTheWorkingFolder) {
    TempFolder temp;
    fs::create_directories(temp.Path() / "home" / "project");
    temp.Write("home/summary.csv", "a,b\n");
    temp.Write("home/thesis.tex", "years of work\n");
    temp.Write("home/project/notes.txt", "notes\n");
    const CliRun run =
        RunCli({"simulate", "Small9", "--all", "100", "--out", "..", "--force"},
               {}, (temp.Path() / "home" / "project").string(), (temp.Path() / "home").string());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("the working folder"), std::string::npos) << run.err;
    EXPECT_EQ(ReadWhole(temp.Path() / "home" / "thesis.tex"), "years of work\n");
    EXPECT_EQ(ReadWhole(temp.Path() / "home" / "summary.csv"), "a,b\n");
    EXPECT_EQ(ReadWhole(temp.Path() / "home" / "project" / "notes.txt"), "notes\n");
}

// A folder that holds summary files beside the user's own files is not an
// earlier output: --force refuses it and every file stays.
TEST(CliOutput, ForceKeepsAFolderWithSummaryFilesAndOtherFiles) {
    TempFolder temp;
    fs::create_directory(temp.Path() / "data");
    temp.Write("data/summary.json", "{}");
    temp.Write("data/summary.csv", "x\n");
    temp.Write("data/notes.txt", "mine\n");
    const CliRun run =
        RunCli({"simulate", "Small9", "--force", "--out", temp.Q("data")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("not replacing it"), std::string::npos) << run.err;
    EXPECT_EQ(ReadWhole(temp.Path() / "data" / "notes.txt"), "mine\n");
    EXPECT_EQ(ReadWhole(temp.Path() / "data" / "summary.json"), "{}");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.Path() / "data"))
        ++entries;
    EXPECT_EQ(entries, 3);
}

// A device name with control characters (a terminal escape, a line break)
// and of any length is listed escaped and cut, one line per mirror; JSON
// keeps the whole name in its own escapes.
TEST(CliMirrors, NamesAreEscapedAndCutInTheTable) {
    TempFolder temp;
    fs::create_directories(temp.Path() / "bin");
    fs::create_directories(temp.Path() / "Devices");
    const fs::path program = temp.Path() / "bin" / "ostrander-cli";
    fs::copy_file(OSTRANDER_CLI, program);
    const std::string name = "Evil\x1b]0;title\x07" + std::string(200, 'n');
    temp.Write("Devices/evil.ini", "[General]\nFileType=Mirror Info\nDeviceName=" + name +
                                       "\nLimitVoltage=100\n[DM Model]\nActuators=1\n"
                                       "[A]\nIndex=0\n");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("OSTRANDER_DEVICES");
    env.insert("XDG_DATA_HOME", temp.Q("no-data"));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(program.string()), {"mirrors"});
    ASSERT_TRUE(process.waitForFinished(60000));
    const std::string out = process.readAllStandardOutput().toStdString();
    // The folder line, the header and the one mirror.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
    EXPECT_EQ(out.find('\x07'), std::string::npos) << out;
    EXPECT_NE(out.find("Evil\\x1b]0;title\\x07nnn"), std::string::npos) << out;
    EXPECT_NE(out.find("n..."), std::string::npos) << out;
    EXPECT_EQ(out.find(std::string(100, 'n')), std::string::npos) << out;

    process.start(QString::fromStdString(program.string()), {"mirrors", "--json"});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QJsonArray list =
        QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].toObject()["device"].toString().toStdString(), name);
}

TEST(CliMirrors, ListsTheDeviceFolder) {
    const CliRun run = RunCli({"mirrors", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    // The build copies Devices/, so the listing is that of the source folder.
    std::vector<std::string> expected;
    for (const std::string& name : ListFiles(kDevices, "*.ini"))
        if (IniFile(kDevices + name).ReadString("General", "FileType", "") == "Mirror Info")
            expected.push_back(name);
    std::vector<std::string> files;
    std::map<std::string, QJsonObject> byFile;
    for (const QJsonValue& v : list) {
        files.push_back(v["file"].toString().toStdString());
        byFile[files.back()] = v.toObject();
    }
    EXPECT_EQ(files, expected);
    EXPECT_EQ(byFile["Hex19.ini"]["device"].toString().toStdString(), "Hex 19 (12 mm)");
    EXPECT_EQ(byFile["Hex19.ini"]["actuators"].toInt(), 19);
    EXPECT_EQ(byFile["Hex19.ini"]["limit_voltage"].toDouble(), 140);
    EXPECT_EQ(byFile["Hex61S.ini"]["actuators"].toInt(), 62);

    const CliRun table = RunCli({"mirrors"});
    ASSERT_EQ(table.exitCode, 0);
    EXPECT_NE(table.out.find("Square 36 (20 mm)"), std::string::npos);
    // Which folder was read: first line of the table, on standard error with --json.
    EXPECT_EQ(table.out.rfind("Devices from ", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("(beside the program)\n"), std::string::npos);
    EXPECT_NE(run.err.find("(beside the program)"), std::string::npos);
}

TEST(CliMirrors, ReadsTheDeviceFolderTheOptionOrVariableNames) {
    TempFolder devices;
    for (const char* name : {"Hex19.ini", "DMmap_HEX19.dat", "Hex19_Zernike.pat"})
        fs::copy_file(kDevices + name, devices.Path() / name);
    const QString folder = QString::fromStdString(devices.Path().string());
    const std::string said = "Devices from " + devices.Path().string() + "/";
    QProcessEnvironment variable;
    variable.insert("OSTRANDER_DEVICES", folder);
    struct Case {
        QStringList arguments;
        QProcessEnvironment environment;
        std::string origin;
    };
    const Case cases[] = {
        {{"--devices", folder, "mirrors"}, {}, "(--devices)"},
        {{"mirrors", "--devices", folder}, {}, "(--devices)"},
        {{"mirrors"}, variable, "(OSTRANDER_DEVICES)"},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(c.arguments, c.environment);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, run.out.find('\n')), said + " " + c.origin);
        EXPECT_NE(run.out.find("Hex 19 (12 mm)"), std::string::npos);
        EXPECT_EQ(run.out.find("Square 36"), std::string::npos) << run.out;
    }

    // A device name is looked up in that folder, and the run reads its map there.
    TempFolder out;
    const CliRun simulate = RunCli({"simulate", "hex19", "--devices", folder, "--out",
                                    out.Q("run"), "--all", "20"});
    ASSERT_EQ(simulate.exitCode, 0) << simulate.err;
    EXPECT_TRUE(fs::exists(out.Path() / "run" / "summary.json"));
    const CliRun unknown = RunCli({"simulate", "Square36", "--devices", folder, "--out",
                                   out.Q("other")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown mirror"), std::string::npos) << unknown.err;
}

// Files that look like mirrors but cannot be read are named with the reason,
// in the list and when a command names them.
// The README's examples with their output run as they stand, from a folder
// of their own with the program on the PATH, and print what the README shows.
TEST(CliReadme, ExamplesRunAsWrittenFromAnyFolder) {
    std::ifstream in(kSource + "/README.md");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const std::string prompt = "    ostrander-cli ";
    const std::string folder = fs::path(OSTRANDER_CLI).parent_path().string();
    int examples = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].rfind(prompt, 0) != 0)
            continue;
        std::string command = lines[k].substr(4);
        while (!command.empty() && command.back() == '\\' && k + 1 < lines.size())
            command = command.substr(0, command.size() - 1) + lines[++k].substr(4);
        // Only examples followed by their output; the synopses name MIRROR.
        if (command.find("MIRROR") != std::string::npos || k + 1 >= lines.size() ||
            lines[k + 1].rfind("    ", 0) != 0 || lines[k + 1].size() < 5 ||
            lines[k + 1][4] == ' ' || lines[k + 1].rfind(prompt, 0) == 0)
            continue;
        ++examples;
        SCOPED_TRACE(command);
        TempFolder work;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("OSTRANDER_DEVICES");
        env.insert("PATH", QString::fromStdString(folder) + ":" + env.value("PATH"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(work.Path().string()));
        process.start("sh", {"-c", QString::fromStdString(command)});
        ASSERT_TRUE(process.waitForFinished(180000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        EXPECT_EQ(process.readAllStandardOutput().toStdString(), lines[k + 1].substr(4) + "\n");
    }
    EXPECT_GE(examples, 2);
}

// The manual page names every option any command's --help lists.
TEST(CliManual, NamesEveryOptionOfEveryCommand) {
    std::ifstream in(kSource + "/data/ostrander-cli.1");
    std::string manual((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;)
        manual.replace(at, 2, "-");
    const std::regex option("--[a-z][a-z-]*");
    for (const char* command : {"mirrors", "simulate", "sweep", "fit", "influence", "correct",
                                "calibrate"}) {
        const CliRun help = RunCli({command, "--help"});
        ASSERT_EQ(help.exitCode, 0) << help.err;
        for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end;
             ++it)
            EXPECT_NE(manual.find(it->str()), std::string::npos) << command << " " << it->str();
    }
}

// The list says which membrane models compute each mirror: ring pads only
// the exact one.
TEST(CliMirrors, NamesTheModelsThatComputeEachMirror) {
    const CliRun json = RunCli({"mirrors", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    std::map<std::string, QJsonArray> models;
    for (const QJsonValue& entry : QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array())
        models[entry.toObject()["file"].toString().toStdString()] =
            entry.toObject()["models"].toArray();
    EXPECT_EQ(models["Hex37.ini"], (QJsonArray{"classic", "exact"}));
    EXPECT_EQ(models["Ring7.ini"], (QJsonArray{"exact"}));
    EXPECT_EQ(models["QuarterRing16.ini"], (QJsonArray{"exact"}));
    const CliRun table = RunCli({"mirrors"});
    EXPECT_NE(table.out.find("MODELS"), std::string::npos) << table.out;
}

TEST(CliMirrors, SaysWhyAFileOfTheFolderIsNotListed) {
    TempFolder devices;
    for (const char* name : {"Hex19.ini", "DMmap_HEX19.dat"})
        fs::copy_file(kDevices + name, devices.Path() / name);
    fs::create_directory(devices.Path() / "Folder.ini");
    fs::create_symlink(devices.Path() / "nowhere", devices.Path() / "Gone.ini");
    devices.Write("Huge.ini", "[General]\nFileType=Mirror Info\n");
    fs::resize_file(devices.Path() / "Huge.ini", IniFile::MaxFileBytes + 1);
    const QString folder = QString::fromStdString(devices.Path().string());

    const CliRun table = RunCli({"mirrors", "--devices", folder});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    for (const char* line : {"not listed: Folder.ini: it is not a file\n",
                             "not listed: Gone.ini: no such file\n",
                             "not listed: Huge.ini: it is 16777217 bytes, over the limit"})
        EXPECT_NE(table.out.find(line), std::string::npos) << table.out;
    // Beside the JSON, the notes go to standard error.
    const CliRun json = RunCli({"mirrors", "--json", "--devices", folder});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out.find("not listed"), std::string::npos);
    EXPECT_NE(json.err.find("not listed: Folder.ini"), std::string::npos) << json.err;

    TempFolder out;
    const CliRun named = RunCli({"simulate", "Huge", "--devices", folder, "--out", out.Q("run")});
    EXPECT_EQ(named.exitCode, 2);
    EXPECT_NE(named.err.find("cannot read mirror file \"Huge.ini\" of the device folder: it is "
                             "16777217 bytes"),
              std::string::npos)
        << named.err;
}

TEST(CliMirrors, ADevicesFolderThatIsNotThereIsRefused) {
    TempFolder temp;
    const CliRun run = RunCli({"mirrors", "--devices", temp.Q("typo")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--devices " + (temp.Path() / "typo").string() + ": no such folder"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty());
}


// ---- Trust: warnings, self-description, FITS ----

bool HasWarning(const QJsonObject& summary, const char* kind) {
    for (const QJsonValue& w : summary["warnings"].toArray())
        if (w.toObject()["kind"].toString() == QLatin1String(kind))
            return true;
    return false;
}

QJsonObject Warning(const QJsonObject& summary, const char* kind) {
    for (const QJsonValue& w : summary["warnings"].toArray())
        if (w.toObject()["kind"].toString() == QLatin1String(kind))
            return w.toObject();
    return {};
}

struct SamplingCase {
    const char* pattern;
    bool undersampled;
};

class CliSampling : public ::testing::TestWithParam<SamplingCase> {};

// The largest reflected phase step between neighbouring beam samples,
// worked out again from surface.csv and the grid the summary states.
TEST_P(CliSampling, WarnsExactlyWhenThePhaseStepsByMoreThanPi) {
    TempFolder temp;
    const CliRun run = RunCli({"simulate", "Hex37", "--pattern",
                               QString::fromStdString(kDevices + "Hex37_Patterns.pat"),
                               "--pattern-name", GetParam().pattern, "--out", temp.Q("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
    const QJsonObject grid = summary["grid"].toObject();
    const int n = grid["samples"].toInt();
    const double dx = grid["spacing_m"].toDouble();
    const double beam = grid["beam_radius_m"].toDouble();
    const double wavelength = summary["wavelength_m"].toDouble();
    EXPECT_NEAR(dx, 0.015 / 95, 1e-15);
    EXPECT_EQ(beam, 0.015 * 0.8 / 2);
    EXPECT_EQ(wavelength, 1.064e-6);
    const auto s = ReadGrid(temp.Path() / "out" / "surface.csv");
    ASSERT_EQ(static_cast<int>(s.size()), n);
    auto inBeam = [&](int r, int c) { return std::hypot((c - n / 2) * dx, (r - n / 2) * dx) < beam; };
    double largest = 0;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            if (!inBeam(r, c))
                continue;
            if (r + 1 < n && inBeam(r + 1, c))
                largest = std::max(largest, std::fabs(s[r + 1][c] - s[r][c]));
            if (c + 1 < n && inBeam(r, c + 1))
                largest = std::max(largest, std::fabs(s[r][c + 1] - s[r][c]));
        }
    largest *= 4 * M_PI / wavelength;
    EXPECT_NEAR(summary["largest_phase_step_rad"].toDouble(), largest, 1e-9 * largest);
    EXPECT_EQ(largest > M_PI, GetParam().undersampled);
    EXPECT_EQ(summary["undersampled"].toBool(), GetParam().undersampled);
    EXPECT_EQ(HasWarning(summary, "undersampled"), GetParam().undersampled);
    EXPECT_EQ(run.err.find("warning: the surface is undersampled") != std::string::npos,
              GetParam().undersampled)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(Hex37, CliSampling,
                         ::testing::Values(SamplingCase{"Focus -0.25 um RMS", false},
                                           SamplingCase{"Focus +0.25 um RMS", true},
                                           SamplingCase{"Tilt X +1.00 um RMS", true}),
                         [](const auto& info) {
                             std::string name;
                             for (const char* c = info.param.pattern; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                                 else if (*c == '-' || *c == '+')
                                     name += *c == '-' ? "Minus" : "Plus";
                             return name;
                         });

// A copy of the 19-pad mirror in a folder of its own: its map file is not
// beside it, and its device name is written in Latin-1 as old files are.
TEST(CliWarnings, MissingMapFileAndLatinOneName) {
    TempFolder temp;
    std::string ini = ReadWhole(kDevices + "Hex19.ini");
    const std::string name = "DeviceName=Hex 19 (12 mm)";
    ASSERT_NE(ini.find(name), std::string::npos);
    ini.replace(ini.find(name), name.size(), "DeviceName=Miroir \xe9t\xe9 19 (12 \xb5m)");
    const std::string file = temp.Write("Mine.ini", ini);
    const CliRun run = RunCli({"simulate", QString::fromStdString(file), "--set", "1=100",
                               "--out", temp.Q("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: the actuator map file"), std::string::npos) << run.err;
    const QJsonObject summary = ReadJson(temp.Path() / "out" / "summary.json");
    EXPECT_EQ(summary["device"].toString(), QString::fromUtf8("Miroir été 19 (12 µm)"));
    EXPECT_TRUE(Warning(summary, "map_file")["map_file"].toString().endsWith("DMmap_HEX19.dat"));

    // With the map beside it there is nothing to say.
    fs::copy_file(kDevices + "DMmap_HEX19.dat", temp.Path() / "DMmap_HEX19.dat");
    const CliRun mapped = RunCli({"simulate", QString::fromStdString(file), "--set", "1=100",
                                  "--out", temp.Q("mapped")});
    ASSERT_EQ(mapped.exitCode, 0) << mapped.err;
    EXPECT_EQ(mapped.err, "");
    EXPECT_TRUE(ReadJson(temp.Path() / "mapped" / "summary.json")["warnings"].toArray().isEmpty());
}

// A copy of the 37-pad mirror beside map files written here: a map that
// does not match the actuators is named with its entries, as a warning when
// the numbering still holds one number per actuator, and as an error before
// any run when it does not (never a run that fails on the voltages).
TEST(CliWarnings, MapFileProblemsNameTheMapAndTheEntries) {
    TempFolder temp;
    const std::string file = temp.Write("Hex37.ini", ReadWhole(kDevices + "Hex37.ini"));
    const std::string shipped = ReadWhole(kDevices + "DMmap_HEX37.dat");
    std::vector<std::string> lines;
    std::istringstream in(shipped);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 37u);
    auto join = [](const std::vector<std::string>& l) {
        std::string text;
        for (const std::string& line : l)
            text += line + "\n";
        return text;
    };
    // The second entry's position given to the first actuator as well.
    std::vector<std::string> duplicate = lines;
    duplicate[0] = "1 " + lines[1].substr(lines[1].find(' ') + 1);
    struct Case {
        const char* name;
        std::string map;
        int exitCode;
        std::vector<const char*> said; // parts of standard error
    } cases[] = {
        {"Garbage", "<!DOCTYPE html>\n", 0,
         {"warning: the actuator map file", "holds no actuator pairs (line 1: \"<!DOCTYPE html>\")"}},
        {"Extra", shipped + "38 37\n", 0,
         {"warning: the actuator map file", "does not have (ignored): 38"}},
        {"Duplicate", join(duplicate), 2,
         {"cannot use mirror", "actuators 1, 2 show as"}},
        {"CutShort", join({lines.begin(), lines.begin() + 10}), 2,
         {"cannot use mirror", "does not give every actuator a display number of its own",
          "or remove it to use the info file's numbering"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        temp.Write("DMmap_HEX37.dat", c.map);
        const CliRun run = RunCli({"simulate", QString::fromStdString(file), "--set", "1=100",
                                   "--out", temp.Q(c.name)});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find("DMmap_HEX37.dat"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("max voltage is zero"), std::string::npos) << run.err;
        for (const char* part : c.said)
            EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
        if (c.exitCode == 0) {
            const QJsonObject warning =
                Warning(ReadJson(temp.Path() / c.name / "summary.json"), "map_file");
            EXPECT_TRUE(warning["map_file"].toString().endsWith("DMmap_HEX37.dat"));
        } else {
            EXPECT_FALSE(fs::exists(temp.Path() / c.name));
        }
    }
}

// A device name that would set the terminal's title, clear the screen and
// change colours is printed escaped in every success line; the files keep
// it whole.
TEST(CliNames, ControlSequencesInADeviceNameAreNotObeyed) {
    TempFolder temp;
    std::string ini = ReadWhole(kDevices + "Hex19.ini");
    const std::string name = "DeviceName=Hex 19 (12 mm)";
    ASSERT_NE(ini.find(name), std::string::npos);
    ini.replace(ini.find(name), name.size(),
                "DeviceName=Evil\x1b]0;owned\x07\x1b[2J\x1b[31mred\xc2\x9b" "0m");
    const std::string file = temp.Write("Evil.ini", ini);
    fs::copy_file(kDevices + "DMmap_HEX19.dat", temp.Path() / "DMmap_HEX19.dat");
    const std::vector<QStringList> commands = {
        {"simulate", QString::fromStdString(file), "--set", "1=100", "--out", temp.Q("sim")},
        {"influence", QString::fromStdString(file), "--out", temp.Q("if")},
    };
    for (const QStringList& arguments : commands) {
        const CliRun run = RunCli(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const std::string& text : {run.out, run.err}) {
            EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
            EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
            EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << text;
        }
        EXPECT_EQ(run.out.rfind("Evil\\x1b]0;owned\\x07\\x1b[2J\\x1b[31mred\\u009b0m: ", 0), 0u)
            << run.out;
    }
    EXPECT_EQ(ReadJson(temp.Path() / "sim" / "summary.json")["device"].toString(),
              QString::fromUtf8("Evil\x1b]0;owned\x07\x1b[2J\x1b[31mred\xc2\x9b" "0m"));
}

// A voltage the pattern reader cannot read is a warning naming the pattern
// (escaped) and the key, in simulate and sweep alike; a set with no readable
// voltage is refused with the reason.
TEST(CliWarnings, UnreadableVoltagesAreNamedNeverSilentlyZero) {
    TempFolder temp;
    std::string text = ReadWhole(kDevices + "Hex19_Patterns.pat");
    const std::string name = "PatternName=Focus -0.25 um RMS";
    const std::string volt = "Voltage003=43.1";
    ASSERT_NE(text.find(name), std::string::npos);
    text.replace(text.find(name), name.size(), "PatternName=Focus\x1b[2J");
    ASSERT_NE(text.find(volt, text.find("[Pattern001]")), std::string::npos);
    text.replace(text.find(volt, text.find("[Pattern001]")), volt.size(), "Voltage003=nan");
    const QString patterns = QString::fromStdString(temp.Write("flawed.pat", text));
    const std::vector<QStringList> commands = {
        {"simulate", "Hex19", "--pattern", patterns, "--pattern-index", "1", "--out",
         temp.Q("one")},
        {"sweep", "Hex19", "--pattern", patterns, "--no-pictures", "--out", temp.Q("all")},
    };
    for (const QStringList& arguments : commands) {
        const CliRun run = RunCli(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("warning: pattern set"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("\"Focus\\x1b[2J\" [Pattern001]: Voltage003=nan is not a finite"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
    }

    // Version 2.0 keys throughout a file that says 1.0: nothing to read.
    std::string v2 = ReadWhole(kDevices + "Hex19_Patterns_v2.pat");
    v2.replace(v2.find("FileVersion=2.0"), 15, "FileVersion=1.0");
    const CliRun refused = RunCli({"simulate", "Hex19", "--pattern",
                                   QString::fromStdString(temp.Write("mixed.pat", v2)),
                                   "--pattern-index", "0", "--out", temp.Q("mixed")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("no voltage in the file can be read"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(temp.Path() / "mixed"));
}

TEST(CliWarnings, ShortPatternAndVoltagesChangedByTheRules) {
    TempFolder temp;
    // A pattern of the 19-pad set on the 37-pad mirror.
    const CliRun shortRun = RunCli({"simulate", "Hex37", "--pattern",
                                    QString::fromStdString(kDevices + "Hex19_Patterns.pat"),
                                    "--pattern-index", "1", "--out", temp.Q("short")});
    ASSERT_EQ(shortRun.exitCode, 0) << shortRun.err;
    const QJsonObject size = Warning(ReadJson(temp.Path() / "short" / "summary.json"), "pattern_size");
    EXPECT_EQ(size["pattern_voltages"].toInt(), 19);
    EXPECT_EQ(size["actuators"].toInt(), 37);
    EXPECT_NE(shortRun.err.find("holds 19 voltages but the mirror has 37"), std::string::npos);

    // 500 V, above what the mirror can take.
    const CliRun high =
        RunCli({"simulate", "Hex19", "--set", "1=500", "--set", "2=50", "--out", temp.Q("high")});
    ASSERT_EQ(high.exitCode, 0) << high.err;
    const QJsonObject summary = ReadJson(temp.Path() / "high" / "summary.json");
    const QJsonArray changes = Warning(summary, "voltage_rules")["changes"].toArray();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].toObject()["actuator"].toInt(), 1);
    EXPECT_EQ(changes[0].toObject()["requested_v"].toDouble(), 500);
    const double applied = changes[0].toObject()["applied_v"].toDouble();
    EXPECT_EQ(applied, summary["voltages"].toObject()["1"].toDouble());
    EXPECT_LT(applied, 500);
    EXPECT_NE(high.err.find("1: 500 V -> "), std::string::npos) << high.err;

    // A negative request alone leaves every actuator at the 0.1 V floor,
    // which is what the warning says is held.
    const CliRun negative = RunCli({"simulate", "Hex19", "--set", "3=-5", "--out", temp.Q("neg")});
    ASSERT_EQ(negative.exitCode, 0) << negative.err;
    EXPECT_NE(negative.err.find("3: -5 V -> 0.1 V"), std::string::npos) << negative.err;
}

// On a terminal, each warning of a sweep starts a line of its own after the
// progress bar has been cleared, and names its pattern once.
TEST(CliWarnings, WarningsOnATerminalStartTheirOwnLine) {
    TempFolder temp;
    // script(1) gives the program a terminal and copies what it prints.
    const std::string command = std::string(OSTRANDER_CLI) + " sweep Hex37 --pattern " + kDevices +
                                "Hex19_Patterns.pat --no-pictures --out " + temp.File("sweep");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("OSTRANDER_DEVICES");
    process.setProcessEnvironment(env);
    process.start("script", {"-qec", QString::fromStdString(command), "/dev/null"});
    ASSERT_TRUE(process.waitForFinished(180000));
    const std::string out = process.readAllStandardOutput().toStdString();
    int warnings = 0;
    for (std::size_t at = out.find("ostrander-cli: warning"); at != std::string::npos;
         at = out.find("ostrander-cli: warning", at + 1)) {
        ++warnings;
        const bool ownLine = at == 0 || out[at - 1] == '\n' ||
                             (at >= 3 && out.compare(at - 3, 3, "\033[K") == 0);
        EXPECT_TRUE(ownLine) << out.substr(at > 60 ? at - 60 : 0, 120);
    }
    EXPECT_GE(warnings, 11);
    EXPECT_EQ(out.find("\": pattern \""), std::string::npos) << out;
}

// A sample pattern's summary sets the term its name states beside the
// change from the set's flat that these voltages give, on the model and
// surface of the run, and warns where the two differ by more than 10 %.
TEST(CliSamples, ThePatternTermIsTheChangeFromTheFlatOnThisModel) {
    TempFolder temp;
    const QString set = QString::fromStdString(kDevices + "Hex37_Patterns.pat");
    // The Zernike focus of one run's summary, which other tests hold to an
    // independent fit of its surface.
    auto focus = [&](const QString& name, const QStringList& model, const std::string& folder) {
        QStringList arguments = {"simulate", "Hex37", "--pattern", set, "--pattern-name", name,
                                 "--no-pictures", "--out", temp.Q(folder)};
        const CliRun run = RunCli(arguments + model);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return std::make_pair(ReadJson(temp.Path() / folder / "summary.json"), run.err);
    };
    struct Case {
        const char* name;
        QStringList model;
        bool warns;
    };
    const Case cases[] = {{"classic", {}, true},
                          {"exact", {"--model", "exact"}, true},
                          {"nonlinear", {"--model", "exact", "--nonlinear"}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [flat, flatErr] = focus("Flat at 70 V", c.model, std::string(c.name) + "-flat");
        const auto [shape, err] = focus("Focus -0.25 um RMS", c.model, c.name);
        EXPECT_FALSE(flat.contains("pattern_term"));
        const QJsonObject term = shape["pattern_term"].toObject();
        const double change = shape["zernike"]["coefficients_m"][3].toDouble() -
                              flat["zernike"]["coefficients_m"][3].toDouble();
        EXPECT_EQ(term["noll"].toInt(), 4);
        EXPECT_DOUBLE_EQ(term["named_m"].toDouble(), -0.25e-6);
        EXPECT_NEAR(term["achieved_m"].toDouble(), change, 1e-15);
        EXPECT_EQ(term["from"].toString(), "Flat at 70 V");
        EXPECT_EQ(HasWarning(shape, "pattern_amplitude"), c.warns);
        EXPECT_EQ(err.find("Focus term changes by") != std::string::npos, c.warns) << err;
        if (!c.warns) {
            EXPECT_NEAR(change, -0.25e-6, 0.025e-6);
        }
        EXPECT_EQ(shape["pattern_set"].toString(), "Hex 37 (15 mm) samples (exact model, nonlinear)");
    }
}

// The header values and the data of a FITS image, read with cfitsio.
struct FitsRead {
    std::vector<long> axes;
    std::vector<double> data;
    std::map<std::string, std::string> keys;
};

FitsRead ReadFits(const fs::path& path) {
    FitsRead read;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_diskfile(&f, path.c_str(), READONLY, &status))
        return read;
    int naxis = 0;
    fits_get_img_dim(f, &naxis, &status);
    read.axes.assign(naxis, 0);
    fits_get_img_size(f, naxis, read.axes.data(), &status);
    long count = 1;
    for (long a : read.axes)
        count *= a;
    read.data.assign(count, 0.0);
    int anyNull = 0;
    fits_read_img(f, TDOUBLE, 1, count, nullptr, read.data.data(), &anyNull, &status);
    int cards = 0;
    fits_get_hdrspace(f, &cards, nullptr, &status);
    for (int k = 1; k <= cards; ++k) {
        char name[FLEN_KEYWORD], value[FLEN_VALUE], comment[FLEN_COMMENT];
        fits_read_keyn(f, k, name, value, comment, &status);
        std::string v = value;
        if (v.size() >= 2 && v.front() == '\'')
            v = v.substr(1, v.find_last_not_of(' ', v.size() - 2)); // 'text   ' -> text
        read.keys[name] = v;
    }
    fits_close_file(f, &status);
    EXPECT_EQ(status, 0) << path;
    return read;
}

TEST(CliFiles, FitsHoldTheCsvGridsAndTheirScales) {
    TempFolder temp;
    ASSERT_EQ(RunCli({"simulate", "Hex19", "--set", "3=90", "--out", temp.Q("out")}).exitCode, 0);
    const fs::path out = temp.Path() / "out";
    const QJsonObject summary = ReadJson(out / "summary.json");
    const double dx = 0.012 / (100 * 0.97 - 2);

    const FitsRead surface = ReadFits(out / "surface.fits");
    ASSERT_EQ(surface.axes, (std::vector<long>{100, 100}));
    const auto csv = ReadGrid(out / "surface.csv");
    ASSERT_EQ(csv.size(), 100u);
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 100; ++c)
            ASSERT_EQ(surface.data[r * 100 + c], csv[r][c]) << r << "," << c;
    EXPECT_EQ(surface.keys.at("BUNIT"), "m");
    EXPECT_NEAR(std::stod(surface.keys.at("CDELT1")), dx, 1e-15);
    EXPECT_NEAR(std::stod(surface.keys.at("CDELT2")), dx, 1e-15);
    EXPECT_EQ(std::stod(surface.keys.at("CRPIX1")), 51);
    EXPECT_EQ(std::stod(surface.keys.at("WAVELEN")), 1.064e-6);

    const FitsRead far = ReadFits(out / "farfield.fits");
    ASSERT_EQ(far.axes, (std::vector<long>{256, 256}));
    const auto farCsv = ReadGrid(out / "farfield.csv");
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            ASSERT_EQ(far.data[r * 256 + c], farCsv[r][c]) << r << "," << c;
    // The transform of 256 samples dx apart: wavelength / (256 dx) per element.
    const double scale = 1.064e-6 / (256 * dx);
    EXPECT_NEAR(std::stod(far.keys.at("PIXSCRAD")), scale, 1e-12 * scale);
    EXPECT_NEAR(std::stod(far.keys.at("PIXELSCL")), scale * 206264.80624709636, 1e-9);
    EXPECT_NEAR(std::stod(far.keys.at("DIFFLMT")), 1.064e-6 / 0.006 * 206264.80624709636, 1e-9);
    // A far field over a flat mirror's peak has no unit; FFNORM says so.
    EXPECT_EQ(far.keys.at("BUNIT"), "");
    EXPECT_EQ(far.keys.at("FFNORM"), "FLAT MIRROR PEAK = 1");
    EXPECT_NEAR(summary["far_field"].toObject()["pixel_scale_rad"].toDouble(), scale,
                1e-12 * scale);
    EXPECT_EQ(summary["version"].toString().isEmpty(), false);
    EXPECT_EQ(summary["version"].toString().toStdString(), kVersion);
    EXPECT_TRUE(summary["command_line"].toString().contains("--set 3=90"));
    EXPECT_TRUE(summary["time_utc"].toString().endsWith('Z'));
}

// A flat mirror's far field is that of the Gaussian beam: with the radius
// rho in lambda/D (D the beam's 1/e^2 diameter 2w) the encircled energy is
// 1 - exp(-pi^2 rho^2 / 2).
TEST(CliFiles, EncircledEnergyOfAFlatMirrorIsTheGaussianBeams) {
    TempFolder temp;
    ASSERT_EQ(RunCli({"simulate", "Hex37", "--out", temp.Q("out")}).exitCode, 0);
    std::istringstream in(ReadWhole(temp.Path() / "out" / "encircled_energy.csv"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "radius_elements,radius_lambda_over_d,radius_rad,encircled_energy");
    int rows = 0;
    double last = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 4u);
        const double rho = std::stod(f[1]), energy = std::stod(f[3]);
        if (std::stoi(f[0]) >= 2) {
            EXPECT_NEAR(energy, 1 - std::exp(-M_PI * M_PI * rho * rho / 2), 0.03) << line;
        }
        EXPECT_GE(energy, last);
        last = energy;
        ++rows;
    }
    EXPECT_GT(rows, 20);
    EXPECT_NEAR(last, 1.0, 1e-3);
}

TEST(CliVersion, PrintsTheVersion) {
    const CliRun run = RunCli({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("ostrander-cli ", 0), 0u) << run.out;
    EXPECT_EQ(run.out, std::string("ostrander-cli ") + kVersion + "\n");
}

// The program links no Qt GUI library, not even through another library:
// only its picture module does.
TEST(CliLight, TheProgramDoesNotLinkQtGui) {
    QProcess ldd;
    ldd.start("ldd", {QString::fromUtf8(OSTRANDER_CLI)});
    if (!ldd.waitForStarted())
        GTEST_SKIP() << "ldd is not there";
    ASSERT_TRUE(ldd.waitForFinished(60000));
    const std::string libraries = ldd.readAllStandardOutput().toStdString();
    ASSERT_NE(libraries.find("libQt6Core"), std::string::npos) << libraries;
    for (const char* gui : {"libQt6Gui", "libQt6Widgets", "libGL", "libxcb", "libfontconfig"})
        EXPECT_EQ(libraries.find(gui), std::string::npos) << gui << " in\n" << libraries;
}

// The program copied alone into a folder, without its picture module: the
// commands that draw no picture run as ever (they never load it); those that
// draw pictures stop before any work with one line naming the module and
// the way round it, and leave no output folder.
struct ModuleCase {
    const char* name;
    QStringList arguments; // "OUT" stands for the output folder
    bool drawsPictures;
};

class CliWithoutPictureModule : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(CliWithoutPictureModule, OnlyPicturesNeedIt) {
    const ModuleCase& c = GetParam();
    TempFolder temp;
    fs::create_directory(temp.Path() / "bin");
    const fs::path program = temp.Path() / "bin" / "ostrander-cli";
    fs::copy_file(OSTRANDER_CLI, program);
    QStringList arguments{"--devices", QString::fromStdString(kDevices)};
    for (const QString& word : c.arguments)
        arguments << (word == "OUT" ? temp.Q("out") : word);
    QProcess process;
    process.start(QString::fromStdString(program.string()), arguments);
    ASSERT_TRUE(process.waitForFinished(120000));
    const std::string err = process.readAllStandardError().toStdString();
    if (!c.drawsPictures) {
        EXPECT_EQ(process.exitCode(), 0) << err;
        EXPECT_EQ(fs::exists(temp.Path() / "out"), c.arguments.contains("OUT"));
        return;
    }
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_EQ(err.rfind("ostrander-cli: the picture module ", 0), 0u) << err;
    for (const char* word : {"ostrander-cli-pictures.so", "--no-pictures"})
        EXPECT_NE(err.find(word), std::string::npos) << word << " not in " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(fs::exists(temp.Path() / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliWithoutPictureModule,
    ::testing::Values(
        ModuleCase{"Mirrors", {"mirrors"}, false},
        ModuleCase{"Influence", {"influence", "Hex19", "--out", "OUT"}, false},
        ModuleCase{"SimulateNoPictures",
                   {"simulate", "Hex19", "--all", "60", "--no-pictures", "--out", "OUT"}, false},
        ModuleCase{"Simulate", {"simulate", "Hex19", "--all", "60", "--out", "OUT"}, true},
        ModuleCase{"Sweep",
                   {"sweep", "Hex19", "--pattern", "Hex19_Patterns.pat", "--out", "OUT"}, true},
        ModuleCase{"Fit", {"fit", "Hex19", "--zernike", "4=0.1um", "--out", "OUT"}, true},
        ModuleCase{"Correct", {"correct", "Hex19", "--screens", "2", "--out", "OUT"}, true}),
    [](const ::testing::TestParamInfo<ModuleCase>& info) { return info.param.name; });

// --formats picks the grids' formats: the files written and those the
// summary lists agree, and the grids kept are those of the default run.
struct FormatsCase {
    const char* formats;
    bool csv;
    bool fits;
};

class CliFormats : public ::testing::TestWithParam<FormatsCase> {};

TEST_P(CliFormats, WritesTheGridsInTheFormatsAsked) {
    const FormatsCase& c = GetParam();
    TempFolder temp;
    const QStringList common{"--all", "60", "--no-pictures"};
    const CliRun both = RunCli(QStringList{"simulate", "Hex19", "--out", temp.Q("both")} + common);
    ASSERT_EQ(both.exitCode, 0) << both.err;
    const CliRun run = RunCli(QStringList{"simulate", "Hex19", "--out", temp.Q("out"), "--formats",
                                          c.formats} + common);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject files = ReadJson(temp.Path() / "out" / "summary.json")["files"].toObject();
    for (const char* grid : {"surface.csv", "farfield.csv", "surface.fits", "farfield.fits"}) {
        const bool wanted = fs::path(grid).extension() == ".csv" ? c.csv : c.fits;
        EXPECT_EQ(fs::exists(temp.Path() / "out" / grid), wanted) << grid;
        EXPECT_EQ(files.contains(grid), wanted) << grid;
        // The FITS header names the time of writing; the CSV grids are the same bytes.
        if (wanted && fs::path(grid).extension() == ".csv") {
            EXPECT_EQ(ReadWhole(temp.Path() / "out" / grid), ReadWhole(temp.Path() / "both" / grid));
        }
    }
    for (const char* always : {"encircled_energy.csv", "summary.json"})
        EXPECT_TRUE(fs::exists(temp.Path() / "out" / always)) << always;
}

INSTANTIATE_TEST_SUITE_P(Lists, CliFormats,
                         ::testing::Values(FormatsCase{"csv,fits", true, true},
                                           FormatsCase{"fits,csv", true, true},
                                           FormatsCase{"fits", false, true},
                                           FormatsCase{"csv", true, false}),
                         [](const ::testing::TestParamInfo<FormatsCase>& info) {
                             std::string name = info.param.formats;
                             std::replace(name.begin(), name.end(), ',', '_');
                             return name;
                         });

TEST(CliFormats, OtherWordsAreRefusedAndWriteNothing) {
    TempFolder temp;
    for (const char* formats : {"", "png", "csv,", "fits,png", "FITS"}) {
        SCOPED_TRACE(formats);
        const CliRun run = RunCli({"simulate", "Hex19", "--all", "60", "--no-pictures",
                                   "--formats", formats, "--out", temp.Q("out")});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("--formats"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(temp.Path() / "out"));
    }
}

// The far field's zero-frequency element is the sum over the grid of the
// beam's amplitude times the reflected phase factor, worked out here from
// surface.csv for the wavelength asked for. The default is 1064 nm, and
// asking for it changes nothing.
TEST(CliWavelength, FarFieldAndInterferogramFollowTheWavelength) {
    TempFolder temp;
    const QStringList voltages{"simulate", "Hex19", "--set", "3=90", "--set", "7=110"};
    for (const auto& [name, extra] :
         {std::pair<const char*, QStringList>{"default", {}},
          {"1064", {"--wavelength", "1064"}},
          {"532", {"--wavelength", "532"}}}) {
        const CliRun run = RunCli(QStringList(voltages) << extra << "--out" << temp.Q(name));
        ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
    }
    const fs::path out = temp.Path();
    for (const char* file : {"farfield.csv", "surface.csv", "interferogram.png", "farfield.png",
                             "farfield_log.png"})
        EXPECT_EQ(ReadWhole(out / "default" / file), ReadWhole(out / "1064" / file)) << file;
    EXPECT_NE(ReadWhole(out / "532" / "interferogram.png"),
              ReadWhole(out / "1064" / "interferogram.png"));

    for (const double nm : {1064.0, 532.0}) {
        SCOPED_TRACE(nm);
        const fs::path folder = out / (nm == 532.0 ? "532" : "1064");
        const QJsonObject summary = ReadJson(folder / "summary.json");
        const double wavelength = nm * 1e-9;
        EXPECT_NEAR(summary["wavelength_m"].toDouble(), wavelength, 1e-18);
        const QJsonObject grid = summary["grid"].toObject();
        const int n = grid["samples"].toInt();
        const double dx = grid["spacing_m"].toDouble();
        EXPECT_NEAR(summary["far_field"].toObject()["pixel_scale_rad"].toDouble(),
                    wavelength / (256 * dx), 1e-12 * wavelength / dx);
        EXPECT_NEAR(std::stod(ReadFits(folder / "farfield.fits").keys.at("WAVELEN")), wavelength,
                    1e-18);

        const auto surface = ReadGrid(folder / "surface.csv");
        ASSERT_EQ(static_cast<int>(surface.size()), n);
        double re = 0, im = 0, flat = 0;
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const double x = (c - n / 2) * dx, y = (r - n / 2) * dx;
                const double amplitude = std::exp(-(x * x + y * y) / (0.003 * 0.003));
                const double phase = 4 * M_PI * surface[r][c] / wavelength;
                re += amplitude * std::cos(phase);
                im -= amplitude * std::sin(phase);
                flat += amplitude;
            }
        // Over a flat mirror's peak.
        const double axis = (re * re + im * im) / (flat * flat);
        const auto farField = ReadGrid(folder / "farfield.csv");
        ASSERT_EQ(farField.size(), 256u);
        EXPECT_NEAR(farField[128][128], axis, 1e-4 * axis);
    }
    // The reflected phase scales as 1 / wavelength.
    EXPECT_NEAR(ReadJson(out / "532" / "summary.json")["largest_phase_step_rad"].toDouble(),
                2 * ReadJson(out / "1064" / "summary.json")["largest_phase_step_rad"].toDouble(),
                1e-9);
}

// --all, then the file (or standard input), then --set, each over the last.
TEST(CliVoltages, FileAndStandardInputApplyBetweenAllAndSet) {
    TempFolder temp;
    const std::string text = "number,volts\n1,100\n5,120\n9,30\n";
    const std::string file = temp.Write("volts.csv", text);
    const CliRun fromFile =
        RunCli({"simulate", "Hex19", "--all", "20", "--voltages", QString::fromStdString(file),
                "--set", "5=60", "7=70,8=80", "--out", temp.Q("file")});
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
    const QJsonObject volts = ReadJson(temp.Path() / "file" / "summary.json")["voltages"].toObject();
    const std::map<int, double> expected{{1, 100}, {5, 60}, {7, 70}, {8, 80}, {9, 30}};
    for (int k = 1; k <= 19; ++k) {
        const auto it = expected.find(k);
        EXPECT_EQ(volts[QString::number(k)].toDouble(), it == expected.end() ? 20.0 : it->second)
            << k;
    }
    const CliRun fromInput =
        RunCliWithInput({"simulate", "Hex19", "--all", "20", "--voltages", "-", "--set", "5=60",
                         "7=70,8=80", "--out", temp.Q("stdin")},
                        QByteArray::fromStdString(text));
    ASSERT_EQ(fromInput.exitCode, 0) << fromInput.err;
    EXPECT_EQ(ReadWhole(temp.Path() / "stdin" / "surface.csv"),
              ReadWhole(temp.Path() / "file" / "surface.csv"));
}

// ---- Influence functions for other simulations ----

// The rows of actuators.csv after its header, split at commas.
std::vector<std::vector<std::string>> ReadRows(const fs::path& path, std::string& header) {
    std::istringstream in(ReadWhole(path));
    std::getline(in, header);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line))
        rows.push_back(Fields(line));
    return rows;
}

struct InfluenceCase {
    const char* name;
    const char* mirror;
    const char* model;
    QStringList voltages; // simulate's voltage options
};

class CliInfluence : public ::testing::TestWithParam<InfluenceCase> {};

// The cube weighted by the squared voltages (relative to the membrane
// electrode) is the surface simulate computes; simulate's surface.csv has
// the tilt fitted over the beam removed from the whole membrane, so the sum
// has it removed here too, fitted by least squares over the beam disc and
// taken off the membrane disc. Each pad's plane is deepest under the
// pad that actuators.csv places.
TEST_P(CliInfluence, WeightedCubeIsTheSimulatedSurface) {
    const InfluenceCase& c = GetParam();
    TempFolder temp;
    const CliRun export_ = RunCli({"influence", c.mirror, "--model", c.model, "--out",
                                   temp.Q("influence")});
    ASSERT_EQ(export_.exitCode, 0) << export_.err;
    QStringList arguments{"simulate", c.mirror, "--model", c.model, "--out", temp.Q("run")};
    arguments << c.voltages;
    const CliRun run = RunCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const fs::path influence = temp.Path() / "influence";
    const QJsonObject description = ReadJson(influence / "summary.json");
    const QJsonObject summary = ReadJson(temp.Path() / "run" / "summary.json");
    EXPECT_EQ(description["model"].toString(), c.model);
    const QJsonObject grid = description["grid"].toObject();
    const int n = grid["samples"].toInt();
    const double dx = grid["spacing_m"].toDouble();
    const double beam = grid["beam_radius_m"].toDouble();
    EXPECT_EQ(summary["grid"].toObject()["samples"].toInt(), n);
    EXPECT_EQ(dx, summary["grid"].toObject()["spacing_m"].toDouble());
    const QJsonObject volts = summary["voltages"].toObject();
    const int actuators = volts.size();
    EXPECT_EQ(description["actuators"].toInt(), actuators);

    const FitsRead cube = ReadFits(influence / "influence.fits");
    ASSERT_EQ(cube.axes, (std::vector<long>{n, n, actuators}));
    EXPECT_EQ(cube.keys.at("BUNIT"), "m V-2");
    EXPECT_NEAR(std::stod(cube.keys.at("CDELT1")), dx, 1e-15);
    EXPECT_NEAR(std::stod(cube.keys.at("CDELT2")), dx, 1e-15);
    EXPECT_EQ(std::stod(cube.keys.at("CRPIX1")), n / 2 + 1);
    const auto plane = static_cast<std::size_t>(n) * n;

    const int electrode = description["membrane_electrode"].toInt();
    const double electrodeVolts = electrode ? volts[QString::number(electrode)].toDouble() : 0.0;
    std::vector<double> sum(plane, 0.0);
    for (int k = 1; k <= actuators; ++k) {
        const double v = volts[QString::number(k)].toDouble() - electrodeVolts;
        for (std::size_t e = 0; e < plane; ++e)
            sum[e] += v * v * cube.data[plane * (k - 1) + e];
    }
    auto x = [&](int col) { return (col - n / 2) * dx; };
    auto inBeam = [&](int r, int col) { return std::hypot(x(col), x(r)) < beam; };
    const double rim = summary["grid"].toObject()["membrane_radius_m"].toDouble();
    auto inMembrane = [&](int r, int col) { return std::hypot(x(col), x(r)) < rim; };
    double sxw = 0, sxx = 0, syw = 0, syy = 0;
    for (int r = 0; r < n; ++r)
        for (int col = 0; col < n; ++col)
            if (inBeam(r, col)) {
                const double w = sum[r * n + col];
                sxw += x(col) * w;
                sxx += x(col) * x(col);
                syw += x(r) * w;
                syy += x(r) * x(r);
            }
    const auto surface = ReadGrid(temp.Path() / "run" / "surface.csv");
    ASSERT_EQ(static_cast<int>(surface.size()), n);
    double largest = 0, worst = 0;
    for (int r = 0; r < n; ++r)
        for (int col = 0; col < n; ++col) {
            double w = sum[r * n + col];
            if (inMembrane(r, col))
                w -= sxw / sxx * x(col) + syw / syy * x(r);
            largest = std::max(largest, std::fabs(surface[r][col]));
            worst = std::max(worst, std::fabs(w - surface[r][col]));
        }
    EXPECT_GT(largest, 1e-7);
    EXPECT_LT(worst, 1e-9 * largest);

    // actuators.csv: one row per display number, in order; each pad's plane
    // is deepest within a pad radius of its centre.
    std::string header;
    const auto rows = ReadRows(influence / "actuators.csv", header);
    EXPECT_EQ(header, "display_number,channel,x_m,y_m,pad_x_m,pad_y_m,inner_radius_m,"
                      "outer_radius_m,shape,membrane_electrode,plane");
    ASSERT_EQ(static_cast<int>(rows.size()), actuators);
    int checked = 0, pads = 0;
    for (int k = 1; k <= actuators; ++k) {
        const std::vector<std::string>& row = rows[k - 1];
        ASSERT_EQ(row.size(), 11u);
        EXPECT_EQ(row[0], std::to_string(k));
        EXPECT_EQ(row[10], std::to_string(k - 1));
        EXPECT_EQ(row[9] == "true", k == electrode);
        const double* p = cube.data.data() + plane * (k - 1);
        if (k == electrode) {
            EXPECT_EQ(*std::max_element(p, p + plane), 0.0);
            EXPECT_EQ(*std::min_element(p, p + plane), 0.0);
            continue;
        }
        if (row[8] != "circular" && row[8] != "rectangular")
            continue; // a ring's deepest point is on its circle, not at its centre
        ++pads;
        const double padX = std::stod(row[2]), padY = std::stod(row[3]);
        const double radius = std::stod(row[4]) / 2;
        if (std::hypot(padX, padY) > 0.6 * grid["membrane_radius_m"].toDouble())
            continue; // near the rim the pinned edge pulls the deepest point inwards
        const auto deepest = std::min_element(p, p + plane) - p;
        EXPECT_LT(p[deepest], 0.0) << k;
        const int r = static_cast<int>(deepest / n), col = static_cast<int>(deepest % n);
        EXPECT_LT(std::hypot(x(col) - padX, x(r) - padY), radius) << "pad " << k;
        ++checked;
    }
    EXPECT_GE(checked, std::min(pads, 4));
}

INSTANTIATE_TEST_SUITE_P(
    Mirrors, CliInfluence,
    ::testing::Values(
        InfluenceCase{"Hex19Classic", "Hex19", "classic",
                      {"--set", "1=100", "--set", "5=120", "--set", "12=60"}},
        InfluenceCase{"Square36Classic", "Square36", "classic", {"--all", "40", "--set", "3=120"}},
        // The membrane electrode at 30 V: every pad pulls with its voltage less 30 V.
        InfluenceCase{"Hex61SElectrodeClassic", "Hex61S", "classic",
                      {"--all", "80", "--set", "62=30", "--set", "20=150"}},
        InfluenceCase{"Hex61SElectrodeExact", "Hex61S", "exact",
                      {"--all", "80", "--set", "62=30", "--set", "20=150"}},
        InfluenceCase{"Ring7Exact", "Ring7", "exact", {"--set", "1=90", "--set", "3=60"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Voltages by display number from a fit's voltages.csv.
std::vector<double> FittedVolts(const fs::path& file) {
    std::vector<double> volts;
    std::istringstream in(ReadWhole(file));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "actuator,volts,force_v2,bound");
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        EXPECT_EQ(f.size(), 4u) << line;
        if (f.size() == 4)
            volts.push_back(std::stod(f[1]));
    }
    return volts;
}

// A surface that simulate wrote (tilt removed, as every result) comes back
// as its voltages from the CSV and the FITS grid, with free tilt; the
// pattern-set file holds the same voltages.
TEST(CliFit, RecoversTheVoltagesOfASimulatedSurface) {
    TempFolder temp;
    ASSERT_EQ(RunCli({"simulate", "Hex37", "--all", "50", "--set", "5=150", "--set", "12=100",
                      "--out", temp.Q("sim")})
                  .exitCode,
              0);
    for (const char* grid : {"surface.csv", "surface.fits"}) {
        const std::string out = std::string("fit-") + grid;
        const CliRun run =
            RunCli({"fit", "Hex37", "--surface", temp.Q("sim/" + std::string(grid)), "--free-tilt",
                    "--out", temp.Q(out)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<double> volts = FittedVolts(temp.Path() / out / "voltages.csv");
        ASSERT_EQ(volts.size(), 37u);
        for (int k = 1; k <= 37; ++k)
            EXPECT_NEAR(volts[k - 1], k == 5 ? 150.0 : k == 12 ? 100.0 : 50.0, 1e-6)
                << grid << " actuator " << k;
        const QJsonObject fit = ReadJson(temp.Path() / out / "summary.json")["fit"].toObject();
        EXPECT_LT(fit["residual_rms_m"].toDouble(), 1e-12 * fit["target_rms_m"].toDouble() + 1e-15);
        EXPECT_FALSE(fit["bounds"].toObject()["any_active"].toBool());
        EXPECT_TRUE(fit["pull_in_factor"].isNull()); // classic model

        PatternClass set((temp.Path() / out / "fit.pat").string());
        ASSERT_TRUE(set.IsValid());
        ASSERT_EQ(set.GetPatternCount(), 1);
        for (const VoltageListEntry* e = set.first->Voltages.First(); e; e = e->next)
            EXPECT_NEAR(e->Voltage, volts[e->Actuator - 1], 1e-9);
        for (const char* picture : kPictures)
            EXPECT_TRUE(fs::exists(temp.Path() / out / picture)) << picture;
    }
}

// A Zernike request: the achieved focus is the one asked for, and the
// results are what simulate gives for the written pattern.
TEST(CliFit, ZernikeFitIsWhatSimulateShowsForItsPattern) {
    TempFolder temp;
    const CliRun run = RunCli(
        {"fit", "Hex37", "--zernike", "4=0.3um,5=50nm", "--bias", "120", "--out", temp.Q("fit")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("fit residual RMS"), std::string::npos) << run.out;
    const QJsonObject summary = ReadJson(temp.Path() / "fit" / "summary.json");
    const QJsonObject fit = summary["fit"].toObject();
    const QJsonArray achieved = fit["achieved_zernike_m"].toArray();
    ASSERT_EQ(achieved.size(), 21);
    EXPECT_NEAR(achieved[3].toDouble(), 0.3e-6, 0.01e-6);
    EXPECT_NEAR(achieved[4].toDouble(), 50e-9, 5e-9);
    EXPECT_LT(fit["residual_rms_m"].toDouble(), 0.05 * fit["target_rms_m"].toDouble());
    EXPECT_EQ(fit["bias_v"].toDouble(), 120.0);

    ASSERT_EQ(RunCli({"simulate", "Hex37", "--pattern", temp.Q("fit/fit.pat"), "--pattern-index",
                      "0", "--out", temp.Q("sim")})
                  .exitCode,
              0);
    EXPECT_EQ(ReadWhole(temp.Path() / "fit" / "surface.csv"),
              ReadWhole(temp.Path() / "sim" / "surface.csv"));
    EXPECT_EQ(summary["pattern"], ReadJson(temp.Path() / "sim" / "summary.json")["pattern"]);
}

// With the exact model the summary gives the pull-in factor, and a fit near
// pull-in is flagged.
TEST(CliFit, ExactModelReportsThePullInFactor) {
    TempFolder temp;
    const CliRun run = RunCli({"fit", "Hex61S", "--model", "exact", "--zernike", "4=0.5um",
                               "--bias", "120", "--out", temp.Q("near")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject summary = ReadJson(temp.Path() / "near" / "summary.json");
    const double factor = summary["fit"].toObject()["pull_in_factor"].toDouble();
    EXPECT_GT(factor, 1.0);
    EXPECT_LT(factor, 1.2);
    EXPECT_NE(run.err.find("close to pull-in"), std::string::npos) << run.err;

    const CliRun calm = RunCli({"fit", "Hex61S", "--model", "exact", "--zernike", "4=0.2um",
                                "--bias", "60", "--out", temp.Q("calm")});
    ASSERT_EQ(calm.exitCode, 0) << calm.err;
    EXPECT_GT(ReadJson(temp.Path() / "calm" / "summary.json")["fit"].toObject()["pull_in_factor"]
                  .toDouble(),
              1.2);
    EXPECT_EQ(calm.err.find("close to pull-in"), std::string::npos) << calm.err;

    // --nonlinear: the equilibrium, which surface.csv then holds, is fitted.
    const QJsonObject linear = ReadJson(temp.Path() / "calm" / "summary.json")["fit"].toObject();
    const CliRun matched = RunCli({"fit", "Hex61S", "--model", "exact", "--nonlinear", "--zernike",
                                   "4=0.2um", "--bias", "60", "--out", temp.Q("matched")});
    ASSERT_EQ(matched.exitCode, 0) << matched.err;
    const QJsonObject summary2 = ReadJson(temp.Path() / "matched" / "summary.json");
    const QJsonObject fit = summary2["fit"].toObject();
    EXPECT_EQ(summary2["surface"].toString(), "nonlinear");
    EXPECT_GT(fit["equilibrium_rounds"].toInt(), 0);
    EXPECT_LT(fit["equilibrium_residual_rms_m"].toDouble(),
              0.5 * linear["equilibrium_residual_rms_m"].toDouble());
}


// ---- One surface per result ----

struct SurfaceRun {
    const char* name;
    QStringList arguments; // after "simulate"; "%D" is the shipped device folder
    const char* surface;   // "linear" or "nonlinear"
    bool removeFocus;
    bool pastPullIn;
};

class CliOneSurface : public ::testing::TestWithParam<SurfaceRun> {};

// The summary's figures, worked out again from the files alone with the
// grid the summary states: PV and RMS over the beam, PV over the membrane,
// no tilt left over the beam and no step where the beam ends (the
// corrections come off the whole membrane), and the far field's peak, which
// is the Strehl ratio, by a direct sum of the reflected Gaussian beam over
// surface.csv at that element, over a flat mirror's.
TEST_P(CliOneSurface, SummaryFiguresAreThoseOfTheWrittenFiles) {
    const SurfaceRun& c = GetParam();
    TempFolder temp;
    QStringList arguments{"simulate"};
    for (QString a : c.arguments)
        arguments << a.replace("%D", QString::fromStdString(kDevices));
    arguments << "--no-pictures" << "--out" << temp.Q("out");
    const CliRun run = RunCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path out = temp.Path() / "out";
    const QJsonObject summary = ReadJson(out / "summary.json");
    EXPECT_EQ(summary["surface"].toString().toStdString(), c.surface);
    EXPECT_EQ(HasWarning(summary, "pull_in"), c.pastPullIn);
    EXPECT_EQ(summary["snap_down"].toBool(), c.pastPullIn);

    const QJsonObject grid = summary["grid"].toObject();
    const int n = grid["samples"].toInt();
    const double dx = grid["spacing_m"].toDouble();
    const double beam = grid["beam_radius_m"].toDouble();
    const double rim = grid["membrane_radius_m"].toDouble();
    const double gauss = grid["gaussian_beam_radius_m"].toDouble();
    const double wavelength = summary["wavelength_m"].toDouble();
    const auto s = ReadGrid(out / "surface.csv");
    ASSERT_EQ(static_cast<int>(s.size()), n);
    auto x = [&](int k) { return (k - n / 2) * dx; };
    auto radius = [&](int r, int col) { return std::hypot(x(col), x(r)); };

    // Over the beam: extremes, mean, RMS and the tilt left.
    double lo = 1, hi = -1, sum = 0, sxw = 0, sxx = 0, syw = 0;
    int count = 0;
    double memLo = 1, memHi = -1;
    for (int r = 0; r < n; ++r)
        for (int col = 0; col < n; ++col) {
            const double w = s[r][col];
            if (radius(r, col) < rim) {
                memLo = std::min(memLo, w);
                memHi = std::max(memHi, w);
            }
            if (radius(r, col) >= beam)
                continue;
            lo = std::min(lo, w);
            hi = std::max(hi, w);
            sum += w;
            ++count;
            sxw += x(col) * w;
            syw += x(r) * w;
            sxx += x(col) * x(col);
        }
    const double mean = sum / count;
    double ss = 0;
    for (int r = 0; r < n; ++r)
        for (int col = 0; col < n; ++col)
            if (radius(r, col) < beam)
                ss += (s[r][col] - mean) * (s[r][col] - mean);
    const double pv = hi - lo, rms = std::sqrt(ss / count);
    EXPECT_GT(pv, 1e-8);
    EXPECT_NEAR(summary["pv_m"].toDouble(), pv, 1e-12 * pv);
    EXPECT_NEAR(summary["membrane_pv_m"].toDouble(), memHi - memLo, 1e-12 * pv);
    EXPECT_NEAR(summary["pupil_rms_m"].toDouble(), rms, 1e-9 * rms);
    EXPECT_NEAR(summary["rms_m"].toDouble(), rms, 1e-9 * rms);
    // Tilt across the beam, as a height at its edge.
    EXPECT_LT(std::fabs(sxw / sxx * beam), 1e-9 * pv);
    EXPECT_LT(std::fabs(syw / sxx * beam), 1e-9 * pv);
    // With the focus removed (none kept) no focus is left over the beam.
    if (c.removeFocus) {
        double szw = 0, szz = 0;
        for (int r = 0; r < n; ++r)
            for (int col = 0; col < n; ++col)
                if (radius(r, col) < beam) {
                    const double z = 2 * std::pow(radius(r, col) / beam, 2) - 1;
                    szw += z * s[r][col];
                    szz += z * z;
                }
        EXPECT_LT(std::fabs(szw / szz), 1e-9 * pv);
    }

    // Neighbours across the beam's edge differ no more than neighbours
    // elsewhere on the membrane (with the focus removed the ring beyond the
    // beam is 0, so there the edge is not looked at).
    if (!c.removeFocus) {
        double edge = 0, inner = 0;
        for (int r = 0; r + 1 < n; ++r)
            for (int col = 0; col + 1 < n; ++col)
                for (const auto& [r2, col2] : {std::pair{r + 1, col}, std::pair{r, col + 1}}) {
                    if (radius(r, col) >= rim || radius(r2, col2) >= rim)
                        continue;
                    const double step = std::fabs(s[r][col] - s[r2][col2]);
                    const bool across = (radius(r, col) < beam) != (radius(r2, col2) < beam);
                    (across ? edge : inner) = std::max(across ? edge : inner, step);
                }
        EXPECT_GT(inner, 0.0);
        EXPECT_LE(edge, 1.5 * inner) << "edge step " << edge << " m, largest other " << inner;
    }

    // The far field: its peak is the Strehl ratio, and that element is the
    // direct sum over the surface, over a flat mirror's peak.
    std::string head;
    std::getline(std::istringstream(ReadWhole(out / "farfield.csv")) >> std::ws, head);
    EXPECT_NE(head.find("# far-field intensity over the peak of a flat mirror"), std::string::npos)
        << head;
    const auto far = ReadGrid(out / "farfield.csv");
    const int size = summary["far_field"].toObject()["samples"].toInt();
    ASSERT_EQ(static_cast<int>(far.size()), size);
    int pr = 0, pc = 0;
    for (int r = 0; r < size; ++r)
        for (int col = 0; col < size; ++col)
            if (far[r][col] > far[pr][pc]) {
                pr = r;
                pc = col;
            }
    const double strehl = summary["strehl"].toDouble();
    EXPECT_NEAR(far[pr][pc], strehl, 1e-12);
    double re = 0, im = 0, flat = 0;
    const double kx = 2 * M_PI * (pc - size / 2) / size, ky = 2 * M_PI * (pr - size / 2) / size;
    for (int r = 0; r < n; ++r)
        for (int col = 0; col < n; ++col) {
            const double a = std::exp(-std::pow(radius(r, col) / gauss, 2));
            const double phase = -4 * M_PI * s[r][col] / wavelength + kx * col + ky * r;
            re += a * std::cos(phase);
            im += a * std::sin(phase);
            flat += a;
        }
    const double direct = (re * re + im * im) / (flat * flat);
    EXPECT_NEAR(strehl, direct, 1e-4 * direct);
    EXPECT_LE(strehl, 1.0);

    // The headers name the run and what the surface is.
    const FitsRead fits = ReadFits(out / "surface.fits");
    EXPECT_EQ(fits.keys.at("SURFACE"), c.surface);
    EXPECT_EQ(fits.keys.at("MODEL"), summary["model"].toString().toStdString());
    EXPECT_EQ(fits.keys.at("DEVICE"), summary["device"].toString().toStdString());
    EXPECT_EQ(fits.keys.at("FITAREA"), "BEAM");
    EXPECT_EQ(fits.keys.at("CORAREA"), c.removeFocus ? "BEAM" : "MEMBRANE");
    EXPECT_NEAR(std::stod(fits.keys.at("PVBEAM")), pv, 1e-12 * pv);
    const QJsonObject volts = summary["voltages"].toObject();
    for (auto it = volts.begin(); it != volts.end(); ++it)
        EXPECT_EQ(std::stod(fits.keys.at("VOLT" + it.key().toStdString())), it.value().toDouble());
    const FitsRead farFits = ReadFits(out / "farfield.fits");
    EXPECT_EQ(farFits.keys.at("SURFACE"), c.surface);
    EXPECT_NEAR(std::stod(farFits.keys.at("STREHL")), strehl, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliOneSurface,
    ::testing::Values(
        SurfaceRun{"Classic", {"Hex37", "--set", "23=150"}, "linear", false, false},
        SurfaceRun{"ClassicWithoutFocus",
                   {"Hex37", "--set", "23=150", "--set", "5=120", "--remove-focus"},
                   "linear", true, false},
        SurfaceRun{"Exact",
                   {"Hex37", "--pattern", "%D/Hex37_Patterns.pat", "--pattern-name",
                    "Tilt X +1.00 um RMS", "--model", "exact"},
                   "linear", false, false},
        SurfaceRun{"ExactNonlinear",
                   {"Hex37", "--pattern", "%D/Hex37_Patterns.pat", "--pattern-name",
                    "Tilt X +1.00 um RMS", "--model", "exact", "--nonlinear"},
                   "nonlinear", false, false},
        SurfaceRun{"ExactNonlinearWithoutFocus",
                   {"Hex37", "--pattern", "%D/Hex37_Patterns.pat", "--pattern-name",
                    "Tilt X +1.00 um RMS", "--model", "exact", "--nonlinear", "--remove-focus"},
                   "nonlinear", true, false},
        SurfaceRun{"PastPullInGoingOn",
                   {"Hex37", "--all", "175", "--model", "exact", "--nonlinear",
                    "--linear-past-pull-in"},
                   "linear", false, true}),
    [](const ::testing::TestParamInfo<SurfaceRun>& info) { return info.param.name; });

// --nonlinear past pull-in has no equilibrium to write: status 3, one line
// saying so and how to go on, nothing written, in simulate, sweep and fit
// alike; without --nonlinear the linear result is written with the warning.
TEST(CliOneSurface, PastPullInWithNonlinearExitsThreeAndWritesNothing) {
    TempFolder temp;
    temp.Write("all.pat", "[General]\nFileType=Actuator Pattern Set\nPatternSetName=All\n"
                          "PatternCount=1\nVoltageCount=9\n\n[FileInformation]\nFileVersion=1.0\n\n"
                          "[Pattern000]\nPatternName=Deep\nVoltage000=330\nVoltage001=330\n"
                          "Voltage002=330\nVoltage003=330\nVoltage004=330\nVoltage005=330\n"
                          "Voltage006=330\nVoltage007=330\nVoltage008=330\n");
    const QStringList exact{"--model", "exact", "--nonlinear", "--no-pictures"};
    for (const QStringList& arguments :
         {QStringList{"simulate", "Small9", "--all", "330"} << exact,
          QStringList{"sweep", "Small9", "--pattern", temp.Q("all.pat")} << exact}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = RunCli(QStringList(arguments) << "--out" << temp.Q("out"));
        EXPECT_EQ(run.exitCode, 3) << run.err;
        EXPECT_NE(run.err.find("past pull-in (pull-in factor 0."), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--linear-past-pull-in"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(temp.Path() / "out"));
    }
    const CliRun linear = RunCli({"simulate", "Small9", "--all", "330", "--model", "exact",
                                  "--no-pictures", "--out", temp.Q("linear")});
    ASSERT_EQ(linear.exitCode, 0) << linear.err;
    const QJsonObject summary = ReadJson(temp.Path() / "linear" / "summary.json");
    EXPECT_EQ(summary["surface"].toString(), "linear");
    EXPECT_TRUE(HasWarning(summary, "pull_in"));
}

// A fit that is not the target says so, with the reason and what to try;
// one that is says nothing. Kinds in summary.json and lines on standard error.
TEST(CliFit, WarnsWhenTheFitIsNotTheTarget) {
    struct Case {
        const char* name;
        QStringList arguments;
        std::vector<const char*> kinds; // the fit warnings, in order
        std::vector<const char*> said;  // parts of standard error
    } cases[] = {
        // Pads only pull: a focus of this sign leaves every pad at the floor.
        {"PushWithoutBias", {"Hex37", "--zernike", "4=-0.2um"},
         {"fit_uncorrected", "fit_bounds"},
         {"37 of 37 pads sit at the floor", "try --bias V", "(100 %)"}},
        {"DeeperThanThePadsPull", {"Hex37", "--model", "classic", "--zernike", "4=20um"},
         {"fit_bounds", "fit_snap_down"},
         {"37 of 37 pads are held at the ceiling", "passes a third of the gap"}},
        // The classic model has no pull-in check: PV 28.2 um over d/3 = 16.7 um.
        {"ClassicSnapDown",
         {"Hex61S", "--model", "classic", "--zernike", "4=3um", "--bias", "100"},
         {"fit_snap_down"},
         {"deflection PV 28.2 um passes a third of the gap (16.7 um)", "lower --bias V"}},
        {"Reached", {"Hex37", "--zernike", "4=0.3um,5=50nm", "--bias", "80"}, {}, {}},
        // The same at 120 V: the bias alone bends the membrane past a third of the gap.
        {"BiasPastAThirdOfTheGap", {"Hex37", "--zernike", "4=0.3um,5=50nm", "--bias", "120"},
         {"fit_snap_down"}, {"passes a third of the gap (15 um)"}},
    };
    TempFolder temp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = RunCli(QStringList{"fit"} + c.arguments + QStringList{"--out", temp.Q(c.name)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> kinds;
        for (const QJsonValue& w : ReadJson(temp.Path() / c.name / "summary.json")["warnings"].toArray()) {
            const std::string kind = w.toObject()["kind"].toString().toStdString();
            if (kind.rfind("fit_", 0) == 0)
                kinds.push_back(kind);
        }
        EXPECT_EQ(kinds, std::vector<std::string>(c.kinds.begin(), c.kinds.end()));
        for (const char* part : c.said)
            EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
    }
    const QJsonObject snap = Warning(ReadJson(temp.Path() / "ClassicSnapDown" / "summary.json"), "fit_snap_down");
    EXPECT_NEAR(snap["deflection_pv_m"].toDouble(), 28.2e-6, 0.05e-6);
    EXPECT_NEAR(snap["separation_m"].toDouble() / 3, 16.7e-6, 0.05e-6);
}

// Surface targets: empty fields (the last of a line too) and null are
// outside the target and counted in a warning; a FITS target is read in its
// BUNIT; a unit that is no length, or a grid with nothing in it, is refused
// naming the file.
TEST(CliFit, SurfaceTargetsSayWhatTheyHold) {
    TempFolder temp;
    // 12 x 12 of 0.1 um, its first line whole and every other one ending
    // in an empty field, one null: 11 + 1 samples missing.
    std::string csv;
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 12; ++c)
            csv += std::string(r > 0 && c == 11 ? "" : r == 5 && c == 3 ? "null" : "1e-7") +
                   (c < 11 ? "," : "\n");
    const std::string masked = temp.Write("masked.csv", csv);
    const CliRun run = RunCli({"fit", "Hex37", "--surface", QString::fromStdString(masked),
                               "--out", temp.Q("masked")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QJsonObject summary = ReadJson(temp.Path() / "masked" / "summary.json");
    const QJsonObject missing = Warning(summary, "target_samples");
    EXPECT_EQ(missing["missing_samples"].toInt(), 12);
    EXPECT_EQ(missing["samples"].toInt(), 144);
    EXPECT_NE(run.err.find("12 of 144 samples are empty, null or NaN"), std::string::npos) << run.err;

    // The same focus shape in um with BUNIT 'um' and in metres without it
    // gives the same fit; 'furlong' and an empty grid are refused.
    const int n = 20;
    std::vector<double> focus(n * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const double x = (c - 9.5) / 9.5, y = (r - 9.5) / 9.5;
            focus[r * n + c] = 0.2 * (x * x + y * y);
        }
    auto fits = [&](double scale, std::optional<std::string> unit) {
        FitsImage image;
        image.rows = image.columns = n;
        for (double v : focus)
            image.values.push_back(v * scale);
        if (unit)
            image.keys.push_back({"BUNIT", *unit, ""});
        std::string bytes, error;
        EXPECT_TRUE(FitsBytes(image, bytes, error)) << error;
        return bytes;
    };
    const std::string inMicrons = temp.Write("um.fits", fits(1.0, std::string("um")));
    const std::string inMetres = temp.Write("m.fits", fits(1e-6, std::nullopt));
    double targetRms[2] = {};
    int k = 0;
    for (const std::string& file : {inMicrons, inMetres}) {
        const std::string out = "fits" + std::to_string(k);
        const CliRun fitted = RunCli({"fit", "Hex37", "--surface", QString::fromStdString(file),
                                      "--bias", "100", "--out", temp.Q(out)});
        ASSERT_EQ(fitted.exitCode, 0) << fitted.err;
        targetRms[k++] = ReadJson(temp.Path() / out / "summary.json")["fit"].toObject()["target_rms_m"].toDouble();
    }
    EXPECT_GT(targetRms[0], 1e-8);
    EXPECT_LT(targetRms[0], 1e-6);
    EXPECT_NEAR(targetRms[0], targetRms[1], 1e-6 * targetRms[1]);

    struct Refused {
        std::string file;
        const char* message;
    } refused[] = {
        {temp.Write("furlong.fits", fits(1.0, std::string("furlong"))), "BUNIT is \"furlong\""},
        {temp.Write("nothing.csv", ",,\nnull,nan,\n"), "has no samples"},
    };
    for (const Refused& r : refused) {
        const CliRun no = RunCli({"fit", "Hex37", "--surface", QString::fromStdString(r.file),
                                  "--out", temp.Q("refused")});
        EXPECT_EQ(no.exitCode, 2) << no.err;
        EXPECT_NE(no.err.find(r.message), std::string::npos) << no.err;
        EXPECT_NE(no.err.find(r.file), std::string::npos) << no.err;
        EXPECT_FALSE(fs::exists(temp.Path() / "refused"));
    }
}

// correct: the files of a turbulence study, their convention, their
// repetition, and the refusals that write nothing.
TEST(CliCorrect, WritesTheStudyWithItsConventionAndKeptScreens) {
    TempFolder temp;
    const QStringList arguments = {"correct", "Hex19", "Hex37", "--model", "classic", "--dr0", "1,4",
                                   "--screens", "6", "--seed", "7", "--keep", "2"};
    const CliRun run = RunCli(arguments + QStringList{"--out", temp.Q("a")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Hex 37 (15 mm) (classic model, bias "), std::string::npos) << run.out;
    const fs::path out = temp.Path() / "a";

    // A row per mirror and D/r0, with the screens' means.
    std::istringstream csv(ReadWhole(out / "correction.csv"));
    std::vector<std::string> rows;
    for (std::string line; std::getline(csv, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].rfind("mirror,model,bias_v,d_over_r0,screens,residual_rms_nm_mean,", 0), 0u);
    EXPECT_EQ(rows[1].rfind("Hex 19 (12 mm),classic,", 0), 0u) << rows[1];

    const QJsonObject summary = ReadJson(out / "summary.json");
    EXPECT_NE(summary["convention"].toString().indexOf("W/2"), -1);
    EXPECT_EQ(summary["seed"].toString(), "7");
    EXPECT_TRUE(summary["outer_scale_m"].isNull());
    EXPECT_DOUBLE_EQ(summary["wavelength_m"].toDouble(), 500e-9);
    const QJsonArray mirrors = summary["mirrors"].toArray();
    ASSERT_EQ(mirrors.size(), 2);
    for (const QJsonValue& m : mirrors) {
        EXPECT_TRUE(m.toObject().contains("fitting_coefficient"));
        EXPECT_GT(m.toObject()["bias_v"].toDouble(), 0.0);
        EXPECT_EQ(m.toObject()["points"].toArray().size(), 2);
    }
    EXPECT_TRUE(fs::file_size(out / "correction.png") > 1000);

    // The kept screens obey the convention in the files: residual = W - 2h
    // over the beam, up to piston.
    const std::string stem = (out / "screens" / "2-Hex_37__15_mm__dr0-4_").string();
    const FitsRead w = ReadFits(stem + "wavefront.fits"), h = ReadFits(stem + "surface.fits"),
                   r = ReadFits(stem + "residual.fits");
    ASSERT_EQ(w.axes, (std::vector<long>{100, 100, 2}));
    ASSERT_EQ(h.data.size(), w.data.size());
    ASSERT_EQ(r.data.size(), w.data.size());
    std::vector<double> diff;
    for (std::size_t k = 0; k < 10000; ++k)
        if (r.data[k] != 0.0)
            diff.push_back(w.data[k] - 2 * h.data[k] - r.data[k]);
    ASSERT_GT(diff.size(), 1000u);
    const auto [lo, hi] = std::minmax_element(diff.begin(), diff.end());
    EXPECT_LT(*hi - *lo, 1e-12);
    EXPECT_EQ(w.keys.at("KIND"), "wavefront");

    // The same command gives the same numbers.
    ASSERT_EQ(RunCli(arguments + QStringList{"--out", temp.Q("b")}).exitCode, 0);
    EXPECT_EQ(ReadWhole(out / "correction.csv"), ReadWhole(temp.Path() / "b" / "correction.csv"));
}

TEST(CliCorrect, BadInputWritesNothingAndExitsWithTwo) {
    TempFolder temp;
    // A folder that cannot be made, for any user: its parent is a file.
    temp.Write("plain", "not a folder\n");
    struct Case {
        const char* name;
        QStringList arguments;
        const char* message;
        std::string out;
    };
    const std::string refused = temp.File("refused");
    const std::vector<Case> cases = {
        {"D/r0 of 0", {"Hex19", "--dr0", "1,0"}, "every D/r0 must be above 0", refused},
        {"negative D/r0", {"Hex19", "--dr0", "-2"}, "every D/r0 must be above 0", refused},
        {"D/r0 not a number", {"Hex19", "--dr0", "1,x"}, "is not a number", refused},
        {"no screens", {"Hex19", "--screens", "0"}, "--screens must be at least 1", refused},
        {"bad seed", {"Hex19", "--seed", "-1"}, "--seed", refused},
        {"bad outer scale", {"Hex19", "--outer-scale", "0"}, "--outer-scale", refused},
        {"unknown mirror", {"Hex19", "NoSuchMirror"}, "NoSuchMirror", refused},
        {"mirror that cannot run", {"Ring7", "--model", "classic"}, "cannot", refused},
        {"bias out of range", {"Hex19", "--bias", "1000"}, "bias", refused},
        {"unwritable folder", {"Hex19"}, "plain", temp.File("plain") + "/out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList few =
            c.arguments.contains("--screens") ? QStringList{} : QStringList{"--screens", "2"};
        const CliRun run = RunCli(QStringList{"correct"} + c.arguments + few +
                                  QStringList{"--out", QString::fromStdString(c.out)});
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_FALSE(fs::exists(c.out));
    }
    // Nothing else was left beside the output either (no staging folder).
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(temp.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(CliCorrect, InterruptStopsCleanlyAndWritesNothing) {
    // A study far longer than the wait; Ctrl-C (SIGINT) stops it between
    // screens with one line, and neither the output nor its staging folder
    // is left.
    TempFolder temp;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("OSTRANDER_DEVICES");
    process.setProcessEnvironment(env);
    process.start(QString::fromUtf8(OSTRANDER_CLI),
                  {"correct", "Hex61S", "--screens", "100000", "--out", temp.Q("out")});
    ASSERT_TRUE(process.waitForStarted());
    QThread::msleep(1500);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 2);
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_NE(err.find("interrupted; nothing was written"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_empty(temp.Path()));
}

} // namespace
} // namespace ostrander
