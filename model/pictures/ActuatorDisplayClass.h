#pragma once
// The drawing of one actuator on the actuator map: its outline filled with the
// colour of its present voltage, its label and its voltage text. The shape is
// worked out once, in pixels, when the map is laid out; the voltage text and
// colour are read from the actuator description at every paint.
//
// The texts are drawn no smaller than MinTextPixels: a pad too small for
// both at that size shows its label alone, one too small for the label shows
// neither (the map frame shows them on hover).
//
// Auxiliary actuators are not placed on the map: each is a horizontal bar in
// its row (28 pixels a row; the actuator's Y is the row) of the auxiliary box.
#include "Shared_Software/Mirror/ActuatorShape.h"
#include "toolkit/Canvas.h"
#include "toolkit/TColor.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrander {

class DmActuatorInfoClass;

class ActuatorDisplayClass {
public:
    // List links; must stay the first members.
    ActuatorDisplayClass* next = nullptr;
    ActuatorDisplayClass* prev = nullptr;

    // Height of one auxiliary bar's row in pixels.
    static constexpr int AuxiliaryRowHeight = 28;
    // The smallest character height, in pixels, at which texts are drawn on
    // the map: below it "0V" reads "DV".
    static constexpr int MinTextPixels = 9;

    // `actuator` null gives an object that draws nothing. (x0, y0) is the map
    // centre in pixels, k the scale in pixels per metre. The texts are
    // measured on the two canvases, which must outlive this object, as must
    // the actuator description (it is read at every paint).
    ActuatorDisplayClass(const DmActuatorInfoClass* actuator, double x0, double y0, double k,
                         Canvas& mirrorCanvas, Canvas& auxiliaryCanvas);
    ActuatorDisplayClass(const ActuatorDisplayClass&) = delete;
    ActuatorDisplayClass& operator=(const ActuatorDisplayClass&) = delete;

    // Draws on the map canvas, or on the auxiliary canvas for an auxiliary actuator.
    void Paint();
    // Euclidean distance in pixels from the centre to (x, y).
    double DistanceTo(double x, double y) const;
    // Whether (x, y), in pixels of the map, lies on the pad (a ring's hole
    // counts: its texts sit there). Never for an auxiliary actuator.
    bool Contains(double x, double y) const;
    // Whether the whole box (x, y, width, height) lies on the pad.
    bool ContainsBox(double x, double y, double width, double height) const;
    bool IsAuxiliary() const { return Auxiliary; }
    // Row of an auxiliary actuator's bar in the auxiliary box.
    int AuxiliaryRow() const { return Points.empty() ? 0 : Points[0].y; }

    double CentreX = 0; // pixels of the map; (0, 0) for an auxiliary actuator
    double CentreY = 0;
    int FontHeight = -1; // negative: character height in pixels
    std::string Label;
    double LabelX = 0; // top-left of the label text
    double LabelY = 0;
    ActuatorShape Shape = ActuatorShape::Circular;
    int PointCount = 0;
    const TColor* Colour = nullptr; // the description's VoltageColour
    int VoltageX = 0;               // top-left of the voltage text (as last painted)
    int VoltageY = 0;
    double VoltageCentreX = 0;      // the voltage text is centred on it
    const std::string* VoltageText = nullptr; // the description's VoltageText
    std::string LastText;                     // voltage text at the last paint
    bool LabelShown = true;   // the label fits the pad at a readable size
    bool VoltageShown = true; // so does the voltage text (as last painted)
    int LabelWidth = 0;       // of the label at FontHeight
    int LabelHeight = 0;
    bool Auxiliary = false;
    int DisplayIndex = 0;
    // Outline by shape: 0 hexagon (6 corners), 1 rectangle (2 corners),
    // 2 ring (outer and inner bounding boxes), 3 quarter ring (outer box,
    // inner box, arc start and end, horizontal edge, vertical edge, and the
    // point inside on the middle radius about which the texts are placed).
    std::vector<Point> Points;

    // The closed outline of a quarter ring from its points: the outer arc
    // from the start ray to the end ray, then the inner arc back.
    static std::vector<Point> QuarterRingOutline(const std::vector<Point>& points);

private:
    // Fits the texts about the anchor (x: the centre unless given): the
    // largest font up to `fitted` pixels, not under MinTextPixels, at which
    // the label (its top at anchorY) and the widest voltage text (its
    // bottom voltageDrop pixels below anchorY) lie on the pad; else the
    // label alone centred on the anchor; else neither.
    void FitTexts(Canvas& canvas, int fitted, double anchorY, int voltageDrop,
                  std::optional<double> anchorX = std::nullopt);
    void PaintAuxiliary(Canvas& canvas, TColor colour);
    void PaintOnMap(Canvas& canvas, TColor colour);
    // The texts, black over a bright actuator colour and white over a dark
    // one, drawn with a clear brush so they never blank out what lies under them.
    void PaintTexts(Canvas& canvas, TColor background, int labelX, int labelY, int voltageX,
                    int voltageY);

    Canvas* mirrorCanvas_;
    Canvas* auxiliaryCanvas_;
    bool fitted_ = false;      // the texts were fitted to the pad
    bool voltageFits_ = true;  // the voltage text has room beside the label
};

} // namespace ostrander
