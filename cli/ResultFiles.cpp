#include "cli/ResultFiles.h"

#include "cli/BatchSimulation.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace ostrander {

std::string FormatNumber(double value) {
    if (!std::isfinite(value))
        return "null";
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("null");
}

namespace {

std::string GridCsv(const std::vector<double>& values, int n) {
    std::string text;
    text.reserve(values.size() * 24);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (j)
                text += ',';
            text += FormatNumber(values[static_cast<std::size_t>(i) * n + j]);
        }
        text += '\n';
    }
    return text;
}

const char* Bool(bool value) {
    return value ? "true" : "false";
}

} // namespace

std::string SurfaceCsv(const SimulationResult& result) {
    return GridCsv(result.surface, result.n);
}

std::string FarFieldCsv(const SimulationResult& result) {
    return GridCsv(result.farField, result.farFieldSize);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::string SummaryJson(const SimulationResult& result, const SummaryContext& context,
                        const DisplayOptions& options) {
    std::string json = "{\n";
    auto field = [&json](const char* key, const std::string& value, bool last = false) {
        json += "  \"";
        json += key;
        json += "\": " + value + (last ? "\n" : ",\n");
    };
    field("device", JsonString(context.device));
    field("mirror_file", JsonString(context.mirrorFile));
    if (!context.pattern.empty())
        field("pattern", JsonString(context.pattern));
    std::string voltages = "{";
    for (std::size_t k = 0; k < result.voltages.size(); ++k)
        voltages +=
            (k ? ", \"" : "\"") + std::to_string(k + 1) + "\": " + FormatNumber(result.voltages[k]);
    field("voltages", voltages + "}");
    field("voltages_at_floor", Bool(result.voltagesAtFloor));
    field("run_voltage", FormatNumber(result.runVoltage));
    field("model", JsonString(result.model));
    field("pv_m", FormatNumber(result.pv));
    field("max_deflection_m", FormatNumber(result.maxDeflection));
    field("snap_down", Bool(result.snapDown));
    if (!std::isnan(result.pullInFactor))
        field("pull_in_factor",
              std::isfinite(result.pullInFactor) ? FormatNumber(result.pullInFactor) : "null");
    if (result.nonlinearSurface)
        field("surface", JsonString("nonlinear equilibrium"));
    field("pupil_min_m", FormatNumber(result.pupilMin));
    field("pupil_max_m", FormatNumber(result.pupilMax));
    field("pupil_rms_m", FormatNumber(result.pupilRms));
    field("strehl", FormatNumber(result.strehl));
    field("peak_voltage", FormatNumber(result.peakVoltage));
    field("mean_voltage", FormatNumber(result.meanVoltage));
    field("remove_focus", Bool(options.removeFocus));
    field("focus_adjust", FormatNumber(options.focusAdjust));
    field("zoom", std::to_string(options.zoom), true);
    return json + "}\n";
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string SweepCsvHeader() {
    return "index,name,pv_m,pupil_rms_m,strehl,snap_down,folder\n";
}

std::string SweepCsvRow(int index, const std::string& name, const SimulationResult& result,
                        const std::string& folder) {
    return std::to_string(index) + "," + CsvField(name) + "," + FormatNumber(result.pv) + "," +
           FormatNumber(result.pupilRms) + "," + FormatNumber(result.strehl) + "," +
           Bool(result.snapDown) + "," + CsvField(folder) + "\n";
}

} // namespace ostrander
