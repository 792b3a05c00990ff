// One command line parser used for many command lines in turn: every parse
// must give what a parser built for that line alone gives, so nothing of an
// earlier line (options given, a command chosen, a parse stopped by an
// error or by help) may show in a later one.
#include "cli/Arguments.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace ostrander {
namespace {

void Describe(std::ostream& out, const ResultOptions& r) {
    out << " mirror=" << r.mirror << " out=" << r.out << " force=" << r.force
        << " removeFocus=" << r.removeFocus << " focusAdjust=" << r.focusAdjust
        << " zoom=" << r.zoom << " size=" << r.size << " model=" << r.model
        << " nonlinear=" << r.nonlinear << " linearPastPullIn=" << r.linearPastPullIn
        << " wavelength=" << r.wavelengthNm << " json=" << r.json
        << " noPictures=" << r.noPictures;
}

// Every field of the result, as text, so that a difference shows by name.
std::string Describe(const Arguments& a) {
    std::ostringstream out;
    out << "command=" << static_cast<int>(a.command) << " devices=" << a.devices
        << " help=" << a.help.size() << ":" << std::hash<std::string>{}(a.help)
        << " error=" << a.error << "\nmirrors json=" << a.mirrors.json << "\nsimulate";
    const SimulateCommand& s = a.simulate;
    Describe(out, s);
    out << " set=";
    for (const std::string& item : s.set)
        out << "[" << item << "]";
    out << " voltages=" << s.voltages << " hasAll=" << s.hasAll << " all=" << s.all
        << " pattern=" << s.pattern << " hasPatternIndex=" << s.hasPatternIndex
        << " patternIndex=" << s.patternIndex << " hasPatternName=" << s.hasPatternName
        << " patternName=" << s.patternName << "\nsweep";
    Describe(out, a.sweep);
    out << " pattern=" << a.sweep.pattern << "\ninfluence";
    Describe(out, a.influence);
    out << "\nfit";
    Describe(out, a.fit);
    out << " zernike=" << a.fit.zernike << " surface=" << a.fit.surface
        << " hasBias=" << a.fit.hasBias << " bias=" << a.fit.bias
        << " freeTilt=" << a.fit.freeTilt << "\ncorrect";
    const CorrectCommand& c = a.correct;
    for (const std::string& mirror : c.mirrors)
        out << " [" << mirror << "]";
    out << " out=" << c.out << " force=" << c.force << " dr0=" << c.dOverR0
        << " screens=" << c.screens << " seed=" << c.seed << " outerScale=" << c.outerScale
        << " wavelength=" << c.wavelengthNm << " model=" << c.model << " bias=" << c.bias
        << " keep=" << c.keep;
    return out.str();
}

using Line = std::vector<std::string>;

// Lines that set much, then lines that set little or stop half way.
const std::vector<Line> kLines = {
    {"simulate", "Hex19", "--out", "o", "--force", "--remove-focus", "--focus-adjust", "0.5",
     "--zoom", "7", "--size", "100x80", "--wavelength", "633", "--json", "--no-pictures",
     "--all", "40", "--pattern", "p.pat", "--pattern-index", "3", "--voltages", "v.csv",
     "--devices", "D", "--set", "1=100", "2=50"},
    {"simulate", "Hex19", "--out", "o"},
    {"simulate", "Hex19", "--out", "o", "--pattern", "p.pat", "--pattern-name", "focus"},
    {"simulate", "Hex19", "--out", "o", "--pattern", "p.pat", "--pattern-index", "x"},
    {"simulate", "Hex19", "--out", "o", "--pattern-index", "2"},
    {"simulate", "Hex19", "--zoom", "1000", "--out", "o"},
    {"fit", "Hex19", "--out", "o", "--zernike", "4=0.5um", "--bias", "100", "--free-tilt",
     "--model", "exact", "--nonlinear", "--linear-past-pull-in"},
    {"fit", "Hex19", "--out", "o", "--surface", "s.csv"},
    {"fit", "Hex19", "--out", "o", "--surface", "s.csv", "--zernike", "4=1um"},
    {"sweep", "Hex19", "--out", "o", "--pattern", "p.pat", "--json"},
    {"sweep", "Hex19", "--out", "o"},
    {"influence", "Hex19", "--out", "o", "--json", "--model", "exact"},
    {"mirrors", "--json"},
    {"mirrors"},
    {"--devices", "D", "mirrors"},
    {"simulate", "--help"},
    {"--help-all"},
    {"--version"},
    {"simulat", "Hex19"},
    {"simulate", "--set", "1=1", "Hex19", "--out", "o"},
    {"simulate", "Hex19", "--out", "o", "--unknown"},
    {},
    {"correct", "Hex19", "Hex37", "--out", "o", "--force", "--dr0", "1,3", "--screens", "9",
     "--seed", "4", "--outer-scale", "20", "--wavelength", "700", "--model", "classic",
     "--bias", "90", "--keep", "2"},
    {"correct", "Hex19", "--out", "o"},
};

TEST(ArgumentParser, EachParseGivesWhatAFreshParserGives) {
    std::vector<std::string> fresh;
    for (const Line& line : kLines)
        fresh.push_back(Describe(ParseArguments(line)));
    // Forward, backward and every line twice: each follows a different one.
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < kLines.size(); ++k)
        order.push_back(k);
    for (std::size_t k = kLines.size(); k-- > 0;)
        order.insert(order.end(), {k, k});

    ArgumentParser parser;
    for (std::size_t k : order) {
        std::string text;
        for (const std::string& word : kLines[k])
            text += " " + word;
        SCOPED_TRACE("line" + text);
        EXPECT_EQ(Describe(parser.Parse(kLines[k])), fresh[k]);
    }
    // The lines themselves are what they mean to be: some accepted, some not.
    EXPECT_EQ(ParseArguments(kLines[0]).error, "");
    EXPECT_EQ(ParseArguments(kLines[0]).simulate.patternIndex, 3);
    EXPECT_NE(ParseArguments(kLines[3]).error, "");
    EXPECT_NE(ParseArguments(kLines[15]).help, "");
}

} // namespace
} // namespace ostrander
