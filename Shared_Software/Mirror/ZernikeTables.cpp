#include "Shared_Software/Mirror/ZernikeTables.h"

namespace ostrander {

const char* const ZernikeTermNames[ZernikeTermCount] = {
    "Horizontal Tilt",    "Vertical Tilt", "90 deg Astigmatism", "Defocus",
    "45 deg Astigmatism", "Trefoil 1",     "Horizontal Coma",    "Vertical Coma",
    "Trefoil 2",          "Quadrafoil 1",  "90 2nd Astigmatism", "Sphere Aberration",
    "45 2nd Astigmatism", "Quadrafoil 2",
};

// clang-format off
const double ZernikeTable9[ZernikeTermCount][9] = {
    {40, 40, 35, 35, 46, 46, 18, 18, 0}, // Horizontal Tilt
    {40, 35, 35, 40, 46, 18, 18, 46, 0}, // Vertical Tilt
    {31, 29, 31, 29, 30, 20, 30, 20, 0}, // 90 deg Astigmatism
    {40, 40, 40, 40, 30, 30, 30, 30, 0}, // Defocus
    {36, 35, 36, 35, 23, 43, 23, 40, 0}, // 45 deg Astigmatism
    {35, 35, 35, 35, 26, 28, 38, 30, 0}, // Trefoil 1
    {30, 30, 45, 45, 25, 25, 35, 35, 0}, // Horizontal Coma
    {30, 45, 45, 30, 25, 35, 35, 25, 0}, // Vertical Coma
    {35, 35, 35, 35, 32, 29, 32, 26, 0}, // Trefoil 2
    { 0,  0,  0,  0,  0,  0,  0,  0, 0}, // Quadrafoil 1
    {33, 35, 33, 35, 28, 36, 27, 35, 0}, // 90 2nd Astigmatism
    {35, 35, 35, 35, 35, 35, 35, 35, 0}, // Sphere Aberration
    {35, 33, 35, 33, 36, 28, 35, 27, 0}, // 45 2nd Astigmatism
    { 0,  0,  0,  0,  0,  0,  0,  0, 0}, // Quadrafoil 2
};

const double ZernikeDefocus32[32] = {
    40, 39, 40, 40, 39, 40, 40, 37, 38, 36, 37, 36, 38, 37, 38, 36,
    37, 36, 38,  1, 25,  6, 25,  6, 24,  0, 24,  6, 25,  6, 24,  0};

const double ZernikeDefocus38[38] = {
    40, 39, 40, 40, 39, 40, 40, 37, 38, 36, 37, 36, 38, 37, 38, 36, 37, 36, 38,
     1, 25, 25,  6, 25, 25,  6, 24, 24,  0, 24, 24,  6, 25, 25,  6, 24, 24,  0};

const double ZernikeDefocusHex62Head[ZernikeDefocus62HeadLength] = {
    137, 160, 66, 124, 148, 124, 66, 48, 125, 120};
const double ZernikeDefocusRect62Head[ZernikeDefocus62HeadLength] = {
    31, 55, 38, 0, 69, 77, 77, 76, 66, 20};
// clang-format on

namespace {

const double* const Rows9[ZernikeTermCount] = {
    ZernikeTable9[0],  ZernikeTable9[1],  ZernikeTable9[2],  ZernikeTable9[3],  ZernikeTable9[4],
    ZernikeTable9[5],  ZernikeTable9[6],  ZernikeTable9[7],  ZernikeTable9[8],  ZernikeTable9[9],
    ZernikeTable9[10], ZernikeTable9[11], ZernikeTable9[12], ZernikeTable9[13],
};

// Derived rows with the published Defocus row in its place.
ZernikeTable WithDefocus(int voltageCount, const double* const derived[ZernikeTermCount],
                         const double* defocus) {
    ZernikeTable table{voltageCount, {}};
    for (int k = 0; k < ZernikeTermCount; ++k)
        table.rows[k] = k == ZernikeDefocusTerm && defocus != nullptr ? defocus : derived[k];
    return table;
}

} // namespace

const ZernikeTable* FindZernikeTable(int actuators, bool square) {
    static const ZernikeTable table9 = WithDefocus(9, Rows9, nullptr);
    static const ZernikeTable table32 = WithDefocus(32, ZernikeDerived32, ZernikeDefocus32);
    static const ZernikeTable table38 = WithDefocus(38, ZernikeDerived38, ZernikeDefocus38);
    static const ZernikeTable tableHex62 = WithDefocus(62, ZernikeDerivedHex62, nullptr);
    static const ZernikeTable tableRect62 = WithDefocus(62, ZernikeDerivedRect62, nullptr);
    switch (actuators) {
    case 8:
    case 9:
        return &table9;
    case 31:
    case 32:
        return &table32;
    case 37:
    case 38:
        return &table38;
    case 61:
    case 62:
        return square ? &tableRect62 : &tableHex62;
    default:
        return nullptr;
    }
}

} // namespace ostrander
