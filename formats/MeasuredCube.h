#pragma once
// Measured influence functions from a FITS cube, read and resampled onto the
// engine grid for the "measured" membrane model.
//
// A cube is a primary image [actuators, rows, columns] (NAXIS1 columns along
// x, NAXIS2 rows along y, NAXIS3 planes), as `ostrander-cli influence`
// writes influence.fits and as the common Python optics packages write
// theirs. Where the samples lie comes from the WCS cards: column c
// (0-based) at x = (c + 1 - CRPIX1) CDELT1 + CRVAL1 and row r at
// y = (r + 1 - CRPIX2) CDELT2 + CRVAL2, metres (CUNIT1/2, when given, m, mm
// or um), in the frame of the mirror's actuator coordinates; CRVAL defaults
// to 0. A sampling given by the user replaces CDELT1/2 (and without CRPIX
// the cube's centre sample, (N + 1) / 2, lies on the membrane's centre).
//
// Values are in BUNIT: a length (m, mm, um, micron, nm) per volt squared
// ("m V-2", "m/V^2", "m/V**2"), per volt ("m V-1", "m/V") or per unit of
// command (a bare length). A unit the user gives replaces BUNIT. The
// response law is quadratic in the voltage (the membrane's pressure) or
// linear in the command: a unit per volt squared says quadratic, per volt
// says linear, a bare length needs the law from the user, and a declared law
// that contradicts BUNIT is refused. NaN samples (outside the measured
// aperture) are allowed.
//
// Plane p drives display number p + 1, unless an actuators table names them:
// a CSV file with a header line holding display_number and optionally plane
// (0-based; default the line's order) and x_m, y_m (the pad's centre, m,
// checked against the mirror's). Beside a cube that ostrander-cli wrote, its
// actuators.csv is read when no table is named.
#include "model/EngineGrid.h"
#include "model/MeasuredMembraneModel.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrander {

class DMInfoClass;
class EngineSession;

// What the user names besides the cube.
struct MeasuredCubeRequest {
    std::string path;
    std::optional<ResponseLaw> law;
    std::optional<double> sampling; // m per sample, both axes
    std::string units;              // replaces BUNIT when not empty
    std::string actuators;          // actuators table; empty: none (or ours beside the cube)
    bool removePistonTilt = false;  // take piston and tilt off each function
    // The mirror's surface with no voltage (CSV or FITS as surface targets
    // are read, formats/SurfaceFile.h), added to every surface; empty: none.
    std::string flat;
};

// A cube as read: values in metres per volt squared (quadratic) or per unit
// of command (linear), [(p rows + r) columns + c], NaN where not measured.
struct MeasuredCube {
    std::string source; // the file, quoted, for messages
    int columns = 0, rows = 0, planes = 0;
    double delta[2] = {0.0, 0.0};     // m per sample along x, y
    double reference[2] = {0.0, 0.0}; // 1-based sample at origin
    double origin[2] = {0.0, 0.0};    // m
    ResponseLaw law = ResponseLaw::Quadratic;
    std::vector<double> values;
    bool table = false;              // an actuators table numbered the planes
    std::vector<int> displayNumbers; // of each plane
    std::vector<double> padX, padY;  // of each plane from the table, NaN when not given
};

// Limits on what is read.
inline constexpr int kMaxMeasuredPlanes = 4096;
inline constexpr std::size_t kMaxMeasuredValues = std::size_t{1} << 26;

// Reads the cube and its table. False with a message naming the file and
// the keyword (or the table and its line) for anything missing or
// inconsistent; cube is then untouched.
bool ReadMeasuredCube(const MeasuredCubeRequest& request, MeasuredCube& cube, std::string& error);

// The cube on the engine grid of this mirror: bicubic convolution (Keys,
// a = -0.5, as surfaces are resampled), near a missing sample the bilinear
// weights of the finite corners of its cell. Refused, with the reason, when
// the planes do not match the mirror's actuators (count, numbering, pad
// positions) or a beam sample has no measured value around it (NaN inside
// the beam). Warnings: beam samples beyond the cube's extent (taken as
// flat), and a sampling coarser than a quarter of the pad pitch.
bool ResampleMeasuredCube(const MeasuredCube& cube, const DMInfoClass& mirror,
                          const EngineGrid& grid, bool removePistonTilt, MeasuredInfluence& out,
                          std::vector<std::string>& warnings, std::string& error);

// Reads, resamples onto the session's grid for its selected mirror (and the
// flat, when named: refused when it has no value somewhere in the beam;
// outside the beam a missing sample is taken as 0) and gives
// the functions to the session (EngineSession::SetMeasuredInfluence), which
// then computes with the measured model. The one call of ostrander-cli, the
// Python module and the window; on failure nothing in the session changes.
struct MeasuredLoad {
    bool loaded = false;
    std::string error;
    std::vector<std::string> warnings;
};
MeasuredLoad LoadMeasuredInfluence(EngineSession& session, const MeasuredCubeRequest& request);

// The measured functions a mirror's description names, optionally, in its
// section [Measured Influence]: File (the cube, relative to the
// description's folder), Law, Sampling_m, Units, Actuators (a table,
// relative too), RemoveTilt (0 or 1) and Flat (a surface file, relative too). False when the description names
// no cube (older files: computed as before); error is set when it names one
// with a value that cannot be read.
inline constexpr const char* kMeasuredSection = "Measured Influence";
bool MeasuredRequestOfMirror(const std::string& infoFile, MeasuredCubeRequest& request,
                             std::string& error);

// "quadratic" or "linear"; none for another word.
std::optional<ResponseLaw> ParseResponseLaw(const std::string& word);

} // namespace ostrander
