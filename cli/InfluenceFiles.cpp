#include "cli/InfluenceFiles.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "formats/InfluenceCube.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace ostrander {

namespace {

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

constexpr const char* kWeights =
    "the surface of voltages V_k is the sum over display numbers k of (V_k - V_e)^2 times "
    "plane k - 1, V_e the membrane electrode's voltage (0 when the mirror has none); the "
    "membrane electrode's own plane is zero";

} // namespace

FitsImage InfluenceFits(const InfluenceSet& set, std::vector<double> planes,
                        const RunGeometry& geometry) {
    FitsImage image = InfluenceFitsHeader(set, geometry);
    image.values = InfluenceCubeImage(std::move(planes), set.n, set.actuators).values;
    return image;
}

FitsImage InfluenceFitsHeader(const InfluenceSet& set, const RunGeometry& geometry) {
    const int n = set.n;
    FitsImage image;
    image.columns = image.rows = n;
    image.planes = set.actuators;
    image.keys.push_back({"BUNIT", std::string("m V-2"), "deflection per volt squared"});
    image.keys.push_back({"PIXELSCL", geometry.dx, "[m] sample spacing"});
    for (const char* axis : {"1", "2"}) {
        const bool x = *axis == '1';
        image.keys.push_back({std::string("CTYPE") + axis, std::string(x ? "x" : "y"),
                              x ? "column axis" : "row axis"});
        image.keys.push_back({std::string("CUNIT") + axis, std::string("m"), ""});
        image.keys.push_back({std::string("CDELT") + axis, geometry.dx, "[m] sample spacing"});
        image.keys.push_back({std::string("CRPIX") + axis, static_cast<double>(n / 2 + 1),
                              x ? "pixel of x = 0" : "pixel of y = 0"});
        image.keys.push_back({std::string("CRVAL") + axis, 0.0, ""});
    }
    image.keys.push_back({"CTYPE3", std::string("ACTUATOR"), "display number of the pad"});
    image.keys.push_back({"CRPIX3", 1.0, ""});
    image.keys.push_back({"CRVAL3", 1.0, "plane 1 is display number 1"});
    image.keys.push_back({"CDELT3", 1.0, ""});
    image.keys.push_back({"RUNVOLT", set.runVoltage, "[V] voltage the functions were computed at"});
    image.keys.push_back({"ELECTROD", static_cast<long long>(set.electrode),
                          "membrane electrode's display number, 0 none"});
    image.keys.push_back({"MODEL", set.model, "membrane model"});
    image.keys.push_back({"MEMBRAD", geometry.membraneRadius, "[m] membrane radius"});
    image.keys.push_back({"BEAMRAD", geometry.beamRadius, "[m] radius of the analysed beam"});
    image.keys.push_back({"ORIGIN", std::string("ostrander-cli"), "program that wrote the file"});
    image.comments = {
        "Influence functions per volt squared, one plane per actuator in display-number",
        "order. The surface of voltages V_k is sum_k (V_k - V_e)^2 plane_k, V_e the",
        "membrane electrode's voltage (0 without one). Row r (0-based) is",
        "y = (r - n/2) dx, column c is x = (c - n/2) dx, the frame of actuators.csv."};
    return image;
}

std::string ActuatorsCsv(const DMInfoClass& model, int actuators) {
    std::string text = "display_number,channel,x_m,y_m,pad_x_m,pad_y_m,inner_radius_m,"
                       "outer_radius_m,shape,membrane_electrode,plane\n";
    for (int k = 1; k <= actuators; ++k) {
        const DmActuatorInfoClass* a = model.FindByDisplayIndex(k);
        if (!a) {
            // A number no actuator carries: its plane is zero.
            text += std::to_string(k) + ",,,,,,,,none,false," + std::to_string(k - 1) + "\n";
            continue;
        }
        const bool rectangular = a->Shape == ActuatorShape::Rectangular;
        text += std::to_string(k) + "," + std::to_string(a->Channel) + "," + FormatNumber(a->X) +
                "," + FormatNumber(a->Y) + "," + FormatNumber(a->Dpad_m) + "," +
                FormatNumber(rectangular ? a->DpadY_m : a->Dpad_m) + "," + FormatNumber(a->Rinner) +
                "," + FormatNumber(a->Router) + "," + ActuatorShapeName(a->Shape) + "," +
                (a->Surface ? "true" : "false") + "," + std::to_string(k - 1) + "\n";
    }
    return text;
}

std::string InfluenceSummaryJson(const InfluenceSet& set, const SummaryContext& context) {
    const RunGeometry& g = context.geometry;
    QJsonObject json = RunHeaderJson(context, set.model);
    json["actuators"] = set.actuators;
    json["membrane_electrode"] = set.electrode;
    json["run_voltage"] = Number(set.runVoltage);
    json["weights"] = kWeights;
    json["warnings"] = WarningsJson(context.warnings);
    json["linearity"] = "the linear response of the flat membrane: exact for the classic "
                        "model; with the exact model near pull-in the nonlinear equilibrium "
                        "(simulate --nonlinear) is deeper than the sum";
    QJsonObject grid;
    grid["samples"] = g.n;
    grid["spacing_m"] = Number(g.dx);
    grid["membrane_radius_m"] = Number(g.membraneRadius);
    grid["beam_radius_m"] = Number(g.beamRadius);
    json["grid"] = grid;
    json["axes"] = "each plane is stored as the pictures show it: row r (0-based, first FITS "
                   "row first) is y = (r - samples/2) spacing_m, column c is x = (c - "
                   "samples/2) spacing_m, y growing downwards; actuators.csv's x_m and y_m "
                   "are in this frame, so a disc or rectangular pad's plane is deepest near "
                   "row y_m / spacing_m + samples/2, column x_m / spacing_m + samples/2; a "
                   "ring's x_m, y_m is its centre and a quarter ring's the corner of its "
                   "quadrant, so their planes are deepest along the ring, from "
                   "inner_radius_m to outer_radius_m off the membrane centre";
    QJsonObject units;
    units["influence.fits"] = "m V-2 (metres of deflection per volt squared; negative is "
                              "towards the pads)";
    units["run_voltage"] = "V";
    units["actuators.csv"] = "lengths in metres";
    json["units"] = units;
    QJsonObject files;
    files["influence.fits"] =
        "FITS cube, NAXIS1 = NAXIS2 = samples, NAXIS3 = actuators; plane p (0-based) is "
        "display number p + 1; spacing in CDELT1/2";
    files["actuators.csv"] =
        "display_number, channel (driver channel from 0), x_m, y_m (pad centre), pad_x_m, "
        "pad_y_m (pad size: diameter, or width and height of a rectangle), inner_radius_m, "
        "outer_radius_m (rings), shape, membrane_electrode, plane (0-based FITS plane)";
    files["summary.json"] = "this file";
    json["files"] = files;
    return QJsonDocument(json).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace ostrander
