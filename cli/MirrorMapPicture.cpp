#include "cli/MirrorMapPicture.h"

#include "Shared_Software/Frames/ActuatorDisplayClass.h"
#include "Shared_Software/Frames/MirrorDisplayClass.h"
#include "Shared_Software/Mirror/ColorScale.h"
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "toolkit/qt/ImageCanvas.h"

#include <QPainter>

#include <algorithm>
#include <memory>
#include <vector>

namespace ostrander {

namespace {

constexpr int kAuxiliaryWidth = 40;
constexpr int kSplitter = 3;
constexpr int kLegendHeight = 17;
constexpr TColor kPanelColour = 0xF0F0F0;

} // namespace

QImage DrawMirrorMapPicture(MirrorClass& mirror, int mapWidth, int mapHeight) {
    MirrorInfoClass* info = mirror.GetInfo();
    DriverClass* driver = mirror.GetDriver();
    if (!info || !info->Model || !driver)
        return {};
    const DMInfoClass& model = *info->Model;
    bool auxiliary = false;
    for (const DmActuatorInfoClass* a = model.ActuatorList.first; a; a = a->next)
        auxiliary = auxiliary || a->Auxilary;

    ImageCanvas map(mapWidth, mapHeight);
    ImageCanvas aux(kAuxiliaryWidth, mapHeight);
    aux.SetBrushColor(kPanelColour);
    aux.FillRect({0, 0, aux.Width(), aux.Height()});

    // The frame's layout (MirrorDisplayClass::Layout and Paint) for a map
    // box of this size: scale to fit the actuators or the membrane, whichever
    // is larger, with a 5 % margin.
    const Rect bounds{0, 0, map.Width(), map.Height()};
    const Point centre{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    double extent = std::max(model.XMax - model.XMin, model.YMax - model.YMin);
    if (extent < model.Diameter_m)
        extent = model.Diameter_m;
    extent *= 1.05;
    double scale = 1.0;
    if (extent > 0)
        scale = std::min(bounds.Width(), bounds.Height()) / extent;
    const int h = static_cast<int>(model.Diameter_m * 0.5 * scale + 0.5);
    const int v = model.Shape > 1 ? static_cast<int>(model.Y_Distance_m * 0.5 * scale + 0.5) : h;
    const Rect outline{centre.x - h, centre.y - v, centre.x + h, centre.y + v};

    std::vector<std::unique_ptr<ActuatorDisplayClass>> actuators;
    {
        CanvasLock lock(map);
        map.SetBrushStyle(BrushStyle::Solid);
        map.SetBrushColor(MirrorDisplayClass::Cream);
        map.Rectangle(bounds);
        map.SetBrushColor(clWhite);
        if (model.Shape == 1 || model.Shape == 3)
            map.Rectangle(outline);
        else if (model.Shape == 0 || model.Shape == 2)
            map.Ellipse(outline.left, outline.top, outline.right, outline.bottom);
    }
    for (int i = 0; i < model.ActuatorCount; ++i)
        actuators.push_back(std::make_unique<ActuatorDisplayClass>(model.FindByIndex(i), centre.x,
                                                                   centre.y, scale, map, aux));
    for (const auto& a : actuators)
        a->Paint();

    const int left = auxiliary ? kAuxiliaryWidth + kSplitter : 0;
    const int width = left + map.Width();
    ImageCanvas legend(width, kLegendHeight);
    DrawVoltageLegend(legend, driver->GetMinVoltage(), driver->GetMaxVoltage());

    QImage picture(width, mapHeight + kSplitter + kLegendHeight, QImage::Format_RGB32);
    picture.fill(QColor::fromRgb(ImageCanvas::ToQRgb(kPanelColour)));
    QPainter painter(&picture);
    if (auxiliary)
        painter.drawImage(0, 0, aux.Image());
    painter.drawImage(left, 0, map.Image());
    painter.drawImage(0, mapHeight + kSplitter, legend.Image());
    painter.end();
    return picture;
}

} // namespace ostrander
