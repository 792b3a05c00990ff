#include "results/MirrorMapPicture.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/Synchronizer.h"
#include "toolkit/qt/ImageCanvas.h"

#include <QPainter>

namespace ostrander {

namespace {

// The mirror display frame's panels: auxiliary box width, splitter width,
// legend height and the panel colour between them.
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

    const int left = auxiliary ? kAuxiliaryWidth + kSplitter : 0;
    const int width = left + mapWidth;
    ImageCanvas map(mapWidth, mapHeight);
    ImageCanvas aux(kAuxiliaryWidth, mapHeight);
    ImageCanvas legend(width, kLegendHeight);
    aux.SetBrushColor(kPanelColour);
    aux.FillRect({0, 0, aux.Width(), aux.Height()});
    {
        // The frame's own drawing: layout, background, actuators, legend.
        WriteLock lock(mirror.GetLock());
        MirrorDisplayClass display(map, aux, legend, &model, driver->GetMinVoltage(),
                                   driver->GetMaxVoltage());
    }

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
