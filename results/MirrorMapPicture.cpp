#include "results/MirrorMapPicture.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/Synchronizer.h"
#include "toolkit/qt/ImageCanvas.h"

#include <QPainter>

namespace ostrander {

QImage DrawMirrorMapPicture(MirrorClass& mirror, int mapWidth, int mapHeight) {
    MirrorInfoClass* info = mirror.GetInfo();
    DriverClass* driver = mirror.GetDriver();
    if (!info || !info->Model || !driver)
        return {};
    const DMInfoClass& model = *info->Model;
    bool auxiliary = false;
    for (const DmActuatorInfoClass* a = model.ActuatorList.first; a; a = a->next)
        auxiliary = auxiliary || a->Auxilary;

    const int left = auxiliary ? kMapAuxiliaryWidth + kMapSplitter : 0;
    const int width = left + mapWidth;
    ImageCanvas map(mapWidth, mapHeight);
    ImageCanvas aux(kMapAuxiliaryWidth, mapHeight);
    ImageCanvas legend(width, kMapLegendHeight);
    aux.SetBrushColor(kMapPanelColour);
    aux.FillRect({0, 0, aux.Width(), aux.Height()});
    {
        // The frame's own drawing: layout, background, actuators, legend.
        WriteLock lock(mirror.GetLock());
        MirrorDisplayClass display(map, aux, legend, &model, driver->GetMinVoltage(),
                                   driver->GetMaxVoltage());
    }

    QImage picture(width, mapHeight + kMapSplitter + kMapLegendHeight, QImage::Format_RGB32);
    picture.fill(QColor::fromRgb(ImageCanvas::ToQRgb(kMapPanelColour)));
    QPainter painter(&picture);
    if (auxiliary)
        painter.drawImage(0, 0, aux.Image());
    painter.drawImage(left, 0, map.Image());
    painter.drawImage(0, mapHeight + kMapSplitter, legend.Image());
    painter.end();
    return picture;
}

} // namespace ostrander
