#include "Shared_Software/Mirror/DMInfoClass.h"

#include "Shared_Software/Mirror/ColorScale.h"
#include "toolkit/Format.h"
#include "toolkit/Paths.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrander {

namespace {

// Index + 1 and DisplayIndex - 1 without overflow on absurd file values.
int PlusOne(int v) {
    return v < INT_MAX ? v + 1 : INT_MAX;
}
int MinusOne(int v) {
    return v > INT_MIN ? v - 1 : INT_MIN;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads the next integer the way "%d" does: white space, an optional sign,
// then as many digits as follow. Nothing at the end of the text, at a
// character that cannot start a number, or for a number outside int.
std::optional<int> NextInteger(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    std::size_t p = pos;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p >= text.size() || text[p] < '0' || text[p] > '9')
        return std::nullopt;
    long long value = 0;
    bool overflow = false;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        if (!overflow) {
            value = value * 10 + (text[p] - '0');
            if (value > static_cast<long long>(INT_MAX) + 1)
                overflow = true;
        }
    }
    if (negative)
        value = -value;
    if (overflow || value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    pos = p;
    return static_cast<int>(value);
}

// Key "Shape": the file's integer kept as one signed byte (300 reads as 44).
ActuatorShape ReadShape(const IniFile& ini, std::string_view section, int fallback) {
    return static_cast<ActuatorShape>(
        static_cast<std::int8_t>(ini.ReadInteger(section, "Shape", fallback)));
}

} // namespace

std::string DevicePath(const std::string& name) {
    const std::string normal = NormalizePath(name);
    if (!normal.empty() && normal[0] == '/')
        return normal;
    return ProgramPath(name);
}

// ---------------------------------------------------------------------------

DmActuatorInfoClass::DmActuatorInfoClass(const std::string& sectionName, const IniFile& ini,
                                         ActuatorShape modelShape)
    : SectionName(sectionName) {
    const std::string& s = SectionName;
    Index = ini.ReadInteger(s, "Index", -1);
    X = ini.ReadFloat(s, "X", 0);
    Y = ini.ReadFloat(s, "Y", 0);
    Rinner = ini.ReadFloat(s, "Rinner", 0);
    Router = ini.ReadFloat(s, "Router", 0);
    Dpad_m = ini.ReadFloat(s, "Dpad_m", 0);
    Dcontact_m = ini.ReadFloat(s, "Dcontact_m", Dpad_m);
    DpadY_m = ini.ReadFloat(s, "DpadY_m", 0);
    DcontactY_m = ini.ReadFloat(s, "DcontactY_m", DpadY_m);
    InterstitialDiameter_m = ini.ReadFloat(s, "InterstitialDiameter_m", 0);
    Shape = ReadShape(ini, s, static_cast<int>(modelShape));
    DisplayIndex = ini.ReadInteger(s, "DisplayIndex", PlusOne(Index));
    Label = ini.ReadString(s, "Label", std::to_string(DisplayIndex));
    Auxilary = ini.ReadBool(s, "Auxilary", false);
    Surface = ini.ReadBool(s, "Surface", false);
    Channel = MinusOne(DisplayIndex);
    VoltageText = "0V";
}

void DmActuatorInfoClass::SetVoltage(double voltage, double lowest, double highest) {
    auto same = [](double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    };
    if (shown_ && same(shown_->voltage, voltage) && same(shown_->lowest, lowest) &&
        same(shown_->highest, highest) && shown_->text == VoltageText &&
        shown_->colour == VoltageColour)
        return;
    // Stores come in runs of one voltage (zeroing, every channel to one
    // value): the text last made on this thread is used again for it.
    thread_local std::uint64_t lastBits = 0;
    thread_local std::string lastText;
    if (lastText.empty() || lastBits != std::bit_cast<std::uint64_t>(voltage)) {
        lastText = FormatFloat("0", voltage) + "V";
        lastBits = std::bit_cast<std::uint64_t>(voltage);
    }
    VoltageText = lastText;
    VoltageColour = ScaleColor(voltage, lowest, highest);
    shown_ = Shown{voltage, lowest, highest, VoltageText, VoltageColour};
}

// ---------------------------------------------------------------------------

DMInfoClass::DMInfoClass(const std::string& fileName) {
    Load(fileName);
}

DMInfoClass::~DMInfoClass() {
    Clear();
}

void DMInfoClass::Clear() {
    DmActuatorInfoClass* entry = ActuatorList.first;
    while (entry != nullptr) {
        DmActuatorInfoClass* following = entry->next;
        delete entry;
        entry = following;
    }
    ActuatorList.first = ActuatorList.last = nullptr;
    byIndex_.clear();
    byDisplayIndex_.clear();
    byChannel_.clear();
    ActuatorCount = 0;
    XMax = XMin = YMax = YMin = 0;
    Valid = false;
}

bool DMInfoClass::Load(const std::string& fileName) {
    return Load(IniFile(DevicePath(fileName)));
}

bool DMInfoClass::Load(const IniFile& ini) {
    Clear();
    static constexpr const char* M = "DM Model";
    if (!ini.SectionExists(M))
        return false;

    Diameter_m = ini.ReadFloat(M, "Diameter_m", 0);
    Y_Distance_m = ini.ReadFloat(M, "Y_Distance_m", Diameter_m);
    Actuators = ini.ReadInteger(M, "Actuators", 0);
    Thickness_m = ini.ReadFloat(M, "Thickness_m", 0);
    Separation_m = ini.ReadFloat(M, "Separation_m", 0);
    Stress_Pa = ini.ReadFloat(M, "Stress_Pa", 0);
    Youngs_Pa = ini.ReadFloat(M, "Youngs_Pa", 0);
    Poissons = ini.ReadFloat(M, "Poissons", 0);
    Density_kg_m3 = ini.ReadFloat(M, "Density_kg_m3", 0);
    Square = ini.ReadBool(M, "Square", false);
    InterstitialStress_Pa = ini.ReadFloat(M, "InterstitialStress_Pa", 0);
    InterstitialThickness_m = ini.ReadFloat(M, "InterstitialThickness_m", 0);
    InterstitialYoungs_Pa = ini.ReadFloat(M, "InterstitialYoungs_Pa", 0);
    InterstitialPoissons = ini.ReadFloat(M, "InterstitialPoissons", 0);
    InterstitialType = ini.ReadInteger(M, "InterstitialType", 0);
    InterstitialDensity_kg_m3 = ini.ReadFloat(M, "InterstitialDensity_kg_m3", 0);
    InterstitialSpringConstant_N_m = ini.ReadFloat(M, "InterstitialSpringConstant_N_m", 0);
    ActuatorType_circ_rect_ring = ini.ReadInteger(M, "ActuatorType_circ_rect_ring", 0);
    Shape = ReadShape(ini, M, ActuatorType_circ_rect_ring);
    QuarterRingGap_m = ini.ReadFloat(M, "QuarterRingGap_m", 0);
    PullUpVoltage_v = ini.ReadFloat(M, "PullUpVoltage_v", 0);
    PullUpSep_m = ini.ReadFloat(M, "PullUpSep_m", 0);
    PullType = ini.ReadFloat(M, "PullType", 0);
    GridSamples = ini.ReadInteger(M, "GridSamples", 0);

    std::vector<std::string> sections = ini.ReadSections();
    for (const char* reserved : {"General", "FileInformation", "DM Model"}) {
        for (auto it = sections.begin(); it != sections.end(); ++it)
            if (SameText(*it, reserved)) {
                sections.erase(it);
                break;
            }
    }

    const int keep =
        Actuators > 0 && Actuators < MaxActuatorSections ? Actuators : MaxActuatorSections;
    for (const std::string& section : sections) {
        if (ActuatorCount >= keep)
            break;
        // A section without an index is dropped before anything else is read.
        if (ini.ReadInteger(section, "Index", -1) < 0)
            continue;
        auto* ActuatorEntry = new DmActuatorInfoClass(section, ini, Shape);
        if (ActuatorEntry->Index < 0) {
            delete ActuatorEntry;
            continue;
        }
        ++ActuatorCount;
        if (ActuatorEntry->X > XMax)
            XMax = ActuatorEntry->X;
        if (ActuatorEntry->X < XMin)
            XMin = ActuatorEntry->X;
        if (ActuatorEntry->Y > YMax)
            YMax = ActuatorEntry->Y;
        if (ActuatorEntry->Y < YMin)
            YMin = ActuatorEntry->Y;
        LLFRONT(ActuatorList, ActuatorEntry);
        // An entry the list refused (it warned) is not reachable from the
        // list any more; free it here rather than lose it.
        if (ActuatorList.first != ActuatorEntry)
            delete ActuatorEntry;
    }

    IndexActuators();
    Valid = true;
    return true;
}

void DMInfoClass::IndexActuators() {
    byIndex_.clear();
    byChannel_.clear();
    for (DmActuatorInfoClass* e = ActuatorList.first; e != nullptr; e = e->next) {
        byIndex_.emplace(e->Index, e); // keeps the first in list order
        byChannel_.emplace(e->Channel, e);
    }
    IndexDisplayNumbers();
}

void DMInfoClass::IndexDisplayNumbers() {
    byDisplayIndex_.clear();
    for (DmActuatorInfoClass* e = ActuatorList.first; e != nullptr; e = e->next)
        byDisplayIndex_.emplace(e->DisplayIndex, e);
}

namespace {
DmActuatorInfoClass* Lookup(const std::unordered_map<int, DmActuatorInfoClass*>& table, int key) {
    const auto it = table.find(key);
    return it == table.end() ? nullptr : it->second;
}
} // namespace

DmActuatorInfoClass* DMInfoClass::FindByDisplayIndex(int displayIndex) const {
    return Lookup(byDisplayIndex_, displayIndex);
}

DmActuatorInfoClass* DMInfoClass::FindByIndex(int index) const {
    return Lookup(byIndex_, index);
}

DmActuatorInfoClass* DMInfoClass::FindByChannel(int channel) const {
    return Lookup(byChannel_, channel);
}

int DMInfoClass::SurfaceChannel() const {
    for (DmActuatorInfoClass* e = ActuatorList.first; e != nullptr; e = e->next)
        if (e->Surface)
            return e->Channel;
    return -1;
}

bool DMInfoClass::ApplyMapFile(const std::string& path) {
    const std::optional<std::string> text = ReadFileUpTo(NormalizePath(path), MaxMapFileBytes);
    if (!text) {
        MapReport = MapCheck{};
        return false;
    }
    ApplyMapText(*text);
    return true;
}

void DMInfoClass::ApplyMapText(std::string_view text) {
    MapCheck check;
    check.read = true;
    for (DmActuatorInfoClass* e = ActuatorList.first; e != nullptr; e = e->next)
        e->DisplayIndex = PlusOne(e->Index);
    std::unordered_map<int, int> listed; // actuator number -> entries
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && IsSpace(text[pos]))
            ++pos;
        const std::size_t start = pos;
        std::optional<int> actuator = NextInteger(text, pos);
        std::optional<int> position = actuator ? NextInteger(text, pos) : std::nullopt;
        if (!actuator || !position) {
            if (start < text.size()) {
                check.stoppedAtLine =
                    1 + static_cast<int>(std::count(text.begin(), text.begin() + start, '\n'));
                for (std::size_t k = start; k < text.size() && text[k] != '\n' && k < start + 24; ++k)
                    if (text[k] != '\r')
                        check.stoppedAt += text[k] >= ' ' && text[k] < 127 ? text[k] : '?';
                if (check.stoppedAt.empty())
                    check.stoppedAt = "?";
            }
            break;
        }
        ++check.pairs;
        DmActuatorInfoClass* e = *actuator == INT_MIN || *position == INT_MAX
                                     ? nullptr // no actuator or display number can have these
                                     : FindByIndex(*actuator - 1);
        if (e == nullptr) {
            check.unknown.push_back(*actuator);
            continue;
        }
        if (++listed[*actuator] == 2)
            check.repeated.push_back(*actuator);
        e->DisplayIndex = *position + 1;
        e->Label = std::to_string(e->DisplayIndex);
    }
    IndexDisplayNumbers();

    // The numbering the map leaves, against the actuators.
    std::map<int, std::vector<int>> byNumber;
    for (const DmActuatorInfoClass* e = ActuatorList.first; e != nullptr; e = e->next) {
        const int number = PlusOne(e->Index);
        if (check.pairs > 0 && listed.find(number) == listed.end())
            check.missing.push_back(number);
        byNumber[e->DisplayIndex].push_back(number);
        if (e->DisplayIndex < 1 || e->DisplayIndex > ActuatorCount)
            check.outOfRange.emplace_back(number, e->DisplayIndex);
    }
    for (auto& [number, actuators] : byNumber)
        if (actuators.size() > 1) {
            std::sort(actuators.begin(), actuators.end());
            check.shared.emplace_back(number, actuators);
        }
    std::sort(check.missing.begin(), check.missing.end());
    std::sort(check.outOfRange.begin(), check.outOfRange.end());
    MapReport = std::move(check);
}

namespace {

// "1, 2, 3, ... (40 in all)": the first few numbers of a list.
std::string NumberList(const std::vector<int>& numbers) {
    constexpr std::size_t kShown = 10;
    std::string text;
    for (std::size_t k = 0; k < numbers.size() && k < kShown; ++k)
        text += (k ? ", " : "") + std::to_string(numbers[k]);
    if (numbers.size() > kShown)
        text += ", ... (" + std::to_string(numbers.size()) + " in all)";
    return text;
}

std::string MapName(const std::string& mapFile) {
    return "the actuator map file \"" + mapFile + "\"";
}

} // namespace

std::vector<std::string> MapProblemLines(const std::string& mapFile, const MapCheck& check) {
    std::vector<std::string> lines;
    if (check.Clean())
        return lines;
    const std::string map = MapName(mapFile);
    if (check.pairs == 0) {
        lines.push_back(map + " holds no actuator pairs" +
                        (check.stoppedAt.empty() ? std::string(" (it is empty)")
                                                 : " (line " + std::to_string(check.stoppedAtLine) +
                                                       ": \"" + check.stoppedAt + "\")") +
                        ": the actuators keep the info file's numbering, which may not be the "
                        "mirror's");
        return lines;
    }
    if (!check.stoppedAt.empty())
        lines.push_back(map + " stops being pairs of numbers at line " +
                        std::to_string(check.stoppedAtLine) + " (\"" + check.stoppedAt +
                        "\"); the rest of the file is not read");
    if (!check.repeated.empty())
        lines.push_back(map + " lists actuators more than once (the last entry counts): " +
                        NumberList(check.repeated));
    if (!check.unknown.empty())
        lines.push_back(map + " lists actuators the mirror does not have (ignored): " +
                        NumberList(check.unknown));
    if (!check.missing.empty())
        lines.push_back(map + " does not list actuators " + NumberList(check.missing) +
                        ": they keep the info file's numbers");
    if (const std::string error = MapNumberingError(mapFile, check); !error.empty())
        lines.push_back(error);
    return lines;
}

std::string MapNumberingError(const std::string& mapFile, const MapCheck& check) {
    if (!check.read || check.OneToOne())
        return {};
    std::string text = MapName(mapFile) + " does not give every actuator a display number of "
                                          "its own:";
    constexpr std::size_t kShown = 4;
    for (std::size_t k = 0; k < check.shared.size() && k < kShown; ++k)
        text += (k ? ";" : "") + std::string(" actuators ") + NumberList(check.shared[k].second) +
                " show as " + std::to_string(check.shared[k].first);
    if (check.shared.size() > kShown)
        text += "; ... (" + std::to_string(check.shared.size()) + " numbers shared in all)";
    if (!check.outOfRange.empty()) {
        std::vector<int> actuators;
        for (const auto& [actuator, number] : check.outOfRange)
            actuators.push_back(actuator);
        text += std::string(check.shared.empty() ? "" : ";") + " actuators " +
                NumberList(actuators) + " show outside 1 to the number of actuators";
    }
    return text + "; correct the map (one line \"ACTUATOR POSITION\" per actuator, positions "
                  "from 0), or remove it to use the info file's numbering";
}

} // namespace ostrander
