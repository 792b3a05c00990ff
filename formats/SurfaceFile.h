#pragma once
// Surface grids in files: a CSV grid (lines of comma-separated metres, as
// ostrander-cli writes surface.csv) or a 2-D FITS image (as surface.fits),
// read at any size and resampled onto the engine grid.
//
// Files store rows along y: row r (from the first line, or the first FITS
// row) and column c. Empty CSV fields (the last of a line too: "1,2," holds
// three), "null" and "nan" are missing samples (NaN), and so are NaN (or
// BLANK) FITS pixels; missing samples are outside the target and counted.
//
// Values: a CSV grid is in metres. A FITS image is in the unit its BUNIT
// names: m, mm, um (also "micron", "microns") or nm; without BUNIT (or with
// an empty one) it is in metres; any other unit is refused.
//
// Where the samples lie: a FITS image with CDELT1/2 and CRPIX1/2 (CRVAL1/2,
// default 0; CUNIT1/2, when given, "m") is placed by them, column c at
// x = (c + 1 - CRPIX1) CDELT1 + CRVAL1 and row r at
// y = (r + 1 - CRPIX2) CDELT2 + CRVAL2, metres. Any other grid spans the
// engine grid's square: its first and last samples along each axis lie on
// the engine's first and last samples, so an n x n grid lies on the engine
// grid itself.
//
// Resampling is separable bicubic convolution (Keys, a = -0.5), which
// reproduces polynomials up to the second degree; beyond the first and last
// sample the grid is extended by Keys' cubic end condition
// f(-1) = 3 f(0) - 3 f(1) + f(2). An engine sample that falls on a file
// sample takes its value as it stands; one outside the file's extent is
// missing, and so is one that any missing sample with a nonzero weight
// reaches.
#include "model/EngineGrid.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander {

// Limits on what is read: the file's bytes (CSV) and its samples.
inline constexpr std::size_t kMaxSurfaceFileBytes = 64u << 20;
inline constexpr std::size_t kMaxSurfaceSamples = 4096u * 4096u;

struct SurfaceImage {
    int rows = 0;    // along y
    int columns = 0; // along x
    std::vector<double> values; // [r * columns + c], metres
    int missing = 0;            // samples of `values` that are NaN
    // Set from the FITS axes (see above); otherwise the grid spans the
    // engine grid's square.
    bool placed = false;
    double delta[2] = {0.0, 0.0};     // CDELT1 (x), CDELT2 (y), m per sample
    double reference[2] = {0.0, 0.0}; // CRPIX1, CRPIX2, 1-based
    double origin[2] = {0.0, 0.0};    // CRVAL1, CRVAL2, m
};

// A CSV grid from its text: an optional UTF-8 byte-order mark, lines of the
// same number of fields, blank lines skipped. name is the file as the user
// gave it, for the messages.
bool ParseSurfaceCsv(std::string_view text, const std::string& name, SurfaceImage& image,
                     std::string& error);

// The file at path: FITS by its extension (.fits, .fit, .fts, any case),
// CSV otherwise. False with the reason for a file that cannot be read, a
// ragged CSV, a FITS file that is not a 2-D image, a BUNIT that is not a
// length read here, axes that cannot place it (a CDELT that is zero or not
// finite, CDELT without CRPIX, an axis unit other than metres), a grid of
// fewer than 2 x 2 or more than kMaxSurfaceSamples samples, or one whose
// every sample is missing.
bool ReadSurfaceImage(const std::string& path, SurfaceImage& image, std::string& error);

// image resampled onto grid (n x n values in the engine's layout, element
// (i, j), i along x, at [i * n + j]). False when the grid has no samples, or
// when the image is placed and the grid has no spacing.
bool ResampleOntoEngine(const SurfaceImage& image, const EngineGrid& grid,
                        std::vector<double>& engineLayout, std::string& error);

// What a target file held, for the messages that go with a fit.
struct SurfaceFileCounts {
    int samples = 0; // rows x columns of the file
    int missing = 0; // of them, empty, null or NaN
};

// ReadSurfaceImage, then ResampleOntoEngine; counts, when given, receives
// the file's sample counts.
bool ReadSurfaceTarget(const std::string& path, const EngineGrid& grid,
                       std::vector<double>& engineLayout, std::string& error,
                       SurfaceFileCounts* counts = nullptr);

// The line that says how many samples of the file at path are outside the
// target ("surface \"t.csv\": 120 of 10000 samples are empty, null or NaN
// and are left out of the target"); empty when none are missing.
std::string MissingSamplesText(const std::string& path, const SurfaceFileCounts& counts);

} // namespace ostrander
