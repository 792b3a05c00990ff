#pragma once
// The DM model of a mirror info file: section "DM Model" (membrane, gap,
// materials, actuator shape) and one section per actuator, kept in a checked
// list. Lengths in metres, stresses and moduli in pascals.
#include "Shared_Software/Lists/tl_list.h"
#include "Shared_Software/Mirror/ActuatorShape.h"
#include "toolkit/IniFile.h"
#include "toolkit/TColor.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ostrander {

// Where a file named in or for the device folder is opened: the program's
// folder + "\" + name, normalised; a name that is already absolute stays as it is.
std::string DevicePath(const std::string& name);

// One actuator section. Owned by the DMInfoClass whose list holds it.
class DmActuatorInfoClass {
public:
    // List links; must stay the first members.
    DmActuatorInfoClass* next = nullptr;
    DmActuatorInfoClass* prev = nullptr;

    // Reads section `sectionName` of `ini`; `modelShape` is the default of Shape.
    DmActuatorInfoClass(const std::string& sectionName, const IniFile& ini,
                        ActuatorShape modelShape);
    DmActuatorInfoClass(const DmActuatorInfoClass&) = delete;
    DmActuatorInfoClass& operator=(const DmActuatorInfoClass&) = delete;

    // VoltageText becomes the voltage rounded to whole volts followed by "V"
    // ("123V"), VoltageColour its colour on the voltage scale lowest..highest.
    void SetVoltage(double voltage, double lowest, double highest);

    std::string SectionName;
    int Index = -1; // model index, 0-based; negative sections are dropped
    double X = 0;   // centre, metres from the mirror centre
    double Y = 0;   // (for an auxiliary actuator: its row in the auxiliary box)
    double Rinner = 0;
    double Router = 0;
    double Dpad_m = 0;
    double Dcontact_m = 0;
    double DpadY_m = 0;
    double DcontactY_m = 0;
    double InterstitialDiameter_m = 0;
    ActuatorShape Shape = ActuatorShape::Circular;
    int DisplayIndex = -1; // 1-based number the user sees
    std::string Label;
    bool Auxilary = false; // drawn in the auxiliary box, not on the map
    bool Surface = false;  // the membrane's own electrode
    int Channel = -1;      // driver channel: DisplayIndex - 1 as read from the file
    std::string VoltageText;
    TColor VoltageColour = clBlack;

private:
    // What SetVoltage last wrote and from what, so that setting the same
    // voltage again (most of a mirror's actuators on most stores) formats
    // nothing; a text or colour changed by anyone else is written anew.
    struct Shown {
        double voltage, lowest, highest;
        std::string text;
        TColor colour;
    };
    std::optional<Shown> shown_;
};

// What the last map applied to a model held against its actuators. Actuator
// numbers are Index + 1, display numbers DisplayIndex, as the user sees them.
struct MapCheck {
    bool read = false; // a map text was applied (the file existed and was read)
    int pairs = 0;     // pairs read
    // Where reading stopped at text that is not a pair of integers (1-based
    // line, and the text, cut short and made printable); 0 and empty when
    // the whole text was pairs.
    int stoppedAtLine = 0;
    std::string stoppedAt;
    std::vector<int> unknown;  // actuators listed that the mirror does not have
    std::vector<int> repeated; // actuators listed more than once (the last entry wins)
    std::vector<int> missing;  // actuators of the mirror the map does not list
    // After the map: display numbers that two or more actuators share, each
    // with those actuators, and actuators whose display number lies outside
    // 1 .. the number of actuators.
    std::vector<std::pair<int, std::vector<int>>> shared;
    std::vector<std::pair<int, int>> outOfRange; // actuator, display number

    // Every actuator has a display number of its own within 1 .. count.
    bool OneToOne() const { return shared.empty() && outOfRange.empty(); }
    // Nothing to say: no map read, or a map of exactly the mirror's actuators.
    bool Clean() const {
        return !read || (OneToOne() && pairs > 0 && stoppedAt.empty() && unknown.empty() &&
                         repeated.empty() && missing.empty());
    }
};

// The map's problems as lines that name the map file and the entries (empty
// for a clean map), and, when the numbering is not one to one, the error
// that stops a run (empty otherwise).
std::vector<std::string> MapProblemLines(const std::string& mapFile, const MapCheck& check);
std::string MapNumberingError(const std::string& mapFile, const MapCheck& check);

class DMInfoClass {
public:
    DMInfoClass() = default;
    // Constructs empty, then Load(fileName).
    explicit DMInfoClass(const std::string& fileName);
    ~DMInfoClass();
    DMInfoClass(const DMInfoClass&) = delete;
    DMInfoClass& operator=(const DMInfoClass&) = delete;

    // Reads (program folder + "\" + fileName). False, and not valid, when
    // the file has no "DM Model" section.
    bool Load(const std::string& fileName);
    // The same from an ini file already read. Any previous contents are dropped.
    bool Load(const IniFile& ini);

    // First entry in list order with the given number, or null. Constant
    // time: the numbers are indexed by Load and ApplyMapText, the only
    // places that change them.
    DmActuatorInfoClass* FindByDisplayIndex(int displayIndex) const;
    DmActuatorInfoClass* FindByIndex(int index) const;
    DmActuatorInfoClass* FindByChannel(int channel) const;
    // Channel of the first entry flagged Surface, or -1.
    int SurfaceChannel() const;

    // Renumbers the actuators for display from a map file of integer pairs
    // (actuator number Index + 1, display position DisplayIndex - 1). False
    // when the file cannot be read; then nothing changes. MapReport says
    // what the map held (see MapCheck).
    bool ApplyMapFile(const std::string& path);
    // The same from the file's text.
    void ApplyMapText(std::string_view text);
    // The last map applied, checked against the actuators.
    MapCheck MapReport;

    // Map files larger than this are not read.
    static constexpr std::size_t MaxMapFileBytes = 4u * 1024u * 1024u;
    // At most this many actuator sections are kept: the model's Actuators
    // when it lies from 1 to MaxActuatorSections, else MaxActuatorSections
    // (the most channels a driver has). Sections beyond are skipped unread,
    // so a file of a million tiny sections costs no more than its parse.
    static constexpr int MaxActuatorSections = 4096;

    // The last Load succeeded.
    bool IsValid() const { return Valid; }

    // Section "DM Model".
    double Diameter_m = 0;
    double Y_Distance_m = 0;
    int Actuators = 0;
    double Thickness_m = 0;
    double Separation_m = 0;
    double Stress_Pa = 0;
    double Youngs_Pa = 0;
    double Poissons = 0;
    double Density_kg_m3 = 0;
    bool Square = false;
    double InterstitialStress_Pa = 0;
    double InterstitialThickness_m = 0;
    double InterstitialYoungs_Pa = 0;
    double InterstitialPoissons = 0;
    int InterstitialType = 0;
    double InterstitialDensity_kg_m3 = 0;
    double InterstitialSpringConstant_N_m = 0;
    int ActuatorType_circ_rect_ring = 0; // 0 circular, 1 rectangular, 2 ring, 3 quarter ring
    ActuatorShape Shape = ActuatorShape::Circular;
    double QuarterRingGap_m = 0;
    double PullUpVoltage_v = 0;
    double PullUpSep_m = 0;
    double PullType = 0;
    // Samples per side of the engine grid for models that take a finer one
    // (the exact membrane); 0 when the file leaves it to the program.
    int GridSamples = 0;

    // The actuators, in the reverse of the file's section order. The list
    // owns its entries.
    ListHead<DmActuatorInfoClass> ActuatorList;
    int ActuatorCount = 0;
    // Extents of the actuator centres; they start at 0 and so include the centre.
    double XMax = 0;
    double XMin = 0;
    double YMax = 0;
    double YMin = 0;

private:
    bool Valid = false;
    void Clear();
    // Rebuilds the lookups by number; the first entry in list order wins.
    void IndexActuators();
    void IndexDisplayNumbers();

    std::unordered_map<int, DmActuatorInfoClass*> byIndex_;
    std::unordered_map<int, DmActuatorInfoClass*> byDisplayIndex_;
    std::unordered_map<int, DmActuatorInfoClass*> byChannel_;
};

} // namespace ostrander
