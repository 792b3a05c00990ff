#pragma once
// Built-in Zernike voltage tables. Each standard geometry has fourteen rows,
// one per term in the order of ZernikeTermNames, of V whole volts numbered by
// display number 1 .. V; entry V is always 0.
//
// The 9-channel table and some rows of the larger tables are published values
// kept exactly (below). The other rows of the larger tables were derived from
// our membrane model by tools/modes/MakeZernikeTables.cpp for the standard
// geometries Devices/Hex37.ini and Devices/Hex61S.ini and
// tools/modes/geometries/Hex31.ini and Square61.ini (ZernikeTablesDerived.cpp).
namespace ostrander {

inline constexpr int ZernikeTermCount = 14;
// Pattern names of the terms, in table order.
extern const char* const ZernikeTermNames[ZernikeTermCount];
// Position of "Defocus" in the term order.
inline constexpr int ZernikeDefocusTerm = 3;

struct ZernikeTable {
    int voltageCount; // V
    // Row of each term: voltageCount volts (null would give a flat pattern).
    const double* rows[ZernikeTermCount];
};

// The table for a model's Actuators value and Square flag (only the 61/62
// tables differ by it), or null when there is none.
const ZernikeTable* FindZernikeTable(int actuators, bool square);

// Published values.
extern const double ZernikeTable9[ZernikeTermCount][9];
extern const double ZernikeDefocus32[32];
extern const double ZernikeDefocus38[38];
// The first entries of the two 62-channel Defocus rows.
inline constexpr int ZernikeDefocus62HeadLength = 10;
extern const double ZernikeDefocusHex62Head[ZernikeDefocus62HeadLength];
extern const double ZernikeDefocusRect62Head[ZernikeDefocus62HeadLength];

// Derived rows, by term; null where the published row stands.
// For the 62-channel tables the Defocus row is derived with its published
// head held fixed, so it appears here in full.
extern const double* const ZernikeDerived32[ZernikeTermCount];
extern const double* const ZernikeDerived38[ZernikeTermCount];
extern const double* const ZernikeDerivedHex62[ZernikeTermCount];
extern const double* const ZernikeDerivedRect62[ZernikeTermCount];

} // namespace ostrander
