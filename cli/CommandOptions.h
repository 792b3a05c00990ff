#pragma once
// The options of each ostrander-cli command, as the command line parser
// (cli/Arguments.h) fills them and the commands (cli/Commands.h) read them.
#include "model/MembraneModel.h"

#include <string>
#include <vector>

namespace ostrander {

struct MirrorsCommand {
    bool json = false;
};

struct ResultOptions {
    std::string mirror;
    std::string out;
    bool force = false;
    bool removeFocus = false;
    double focusAdjust = 0.0;
    int zoom = 1;
    std::string size = "309x335";
    std::string model{MembraneModels().front().name}; // membrane model (model/MembraneModel.h)
    int grid = 0;                  // exact model: samples per side, 0 for the mirror's
    bool modelGiven = false; // --model was given (else a mirror's measured cube selects it)
    bool nonlinear = false;        // exact model: write the nonlinear equilibrium
    // With --nonlinear past pull-in: write the linear surface (named so)
    // with a warning instead of failing.
    bool linearPastPullIn = false;
    double wavelengthNm = 1064.0;  // far field and interferogram
    bool json = false;             // print the summary to standard output
    bool noPictures = false;       // write the grids and figures only
    std::string formats = "csv,fits"; // the grids' formats (results' ParseGridFormats)
    // --model measured: the cube of measured influence functions and what
    // its header does not say (formats/MeasuredCube.h).
    std::string influence;
    std::string law;               // "quadratic" or "linear"; empty: from BUNIT
    double sampling = 0.0;         // m per sample; 0: from CDELT1/2
    std::string units;             // replaces BUNIT
    std::string actuatorsTable;
    bool removeTilt = false;       // piston and tilt off each measured function
    std::string flat;              // the measured surface with no voltage
};

struct SimulateCommand : ResultOptions {
    std::vector<std::string> set; // "N=V", or several "N=V,N=V"
    std::string voltages;         // --voltages: a CSV file of NUMBER,VOLTS lines, "-" stdin
    bool hasAll = false;
    std::string all; // the --all text, read by ParseVoltageRequests
    std::string pattern;
    bool hasPatternIndex = false;
    int patternIndex = 0;
    bool hasPatternName = false;
    std::string patternName;
};

struct SweepCommand : ResultOptions {
    std::string pattern;
};

// `influence`: the mirror's influence functions for other simulations. Of
// the result options only the mirror, the output folder, --force and the
// model apply.
struct InfluenceCommand : ResultOptions {};

// correct: turbulence correction of one or more mirrors.
struct CorrectCommand {
    std::vector<std::string> mirrors;
    std::string out;
    bool force = false;
    std::string dOverR0 = "1,2,4,8,16"; // read by the command
    int screens = 200;
    std::string seed = "1";          // read by the command (up to 2^64 - 1)
    std::string outerScale;          // m; empty: infinite
    double wavelengthNm = 500.0;     // r0's and the Strehl ratio's
    std::string model = "exact";
    std::string bias;                // empty: each mirror's best is found
    int keep = 0;
};

// `calibrate`: the cube an interferometer calibration of the mirror would
// give, in the layout of `influence`. Of the result options only the
// mirror, the output folder, --force, --json and the model apply.
struct CalibrateCommand : ResultOptions {
    double poke = 0.0;     // V
    double bias = 0.0;     // V
    bool pushPull = false;
    double noiseNm = 0.0;
    double tiltNm = 0.0;
    unsigned long long seed = 1;
};

struct FitCommand : ResultOptions {
    std::string zernike; // "4=0.5um,6=-0.2um"
    std::string surface; // CSV or FITS grid, as simulate writes surface.csv/.fits
    bool hasBias = false;
    std::string bias; // volts, read by the command
    bool freeTilt = false;
};

} // namespace ostrander
