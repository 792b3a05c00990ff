#include "results/MirrorMapPicture.h"

#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "model/pictures/MirrorDisplayClass.h"
#include "toolkit/Synchronizer.h"
#include "toolkit/PictureBackend.h"

#include <vector>

namespace ostrander {

namespace {

// Copies the pixels of from into to with from's top-left corner at (x, y).
void CopyPixels(const Canvas& from, Canvas& to, int x, int y) {
    std::vector<TColor> row(static_cast<std::size_t>(from.Width()));
    for (int j = 0; j < from.Height(); ++j) {
        for (int i = 0; i < from.Width(); ++i)
            row[static_cast<std::size_t>(i)] = from.GetPixel(i, j);
        to.SetPixels(x, y + j, row.data(), from.Width());
    }
}

} // namespace

std::unique_ptr<Canvas> DrawMirrorMapPicture(MirrorClass& mirror, int mapWidth, int mapHeight) {
    MirrorInfoClass* info = mirror.GetInfo();
    DriverClass* driver = mirror.GetDriver();
    if (!info || !info->Model || !driver)
        return nullptr;
    const DMInfoClass& model = *info->Model;
    bool auxiliary = false;
    for (const DmActuatorInfoClass* a = model.ActuatorList.first; a; a = a->next)
        auxiliary = auxiliary || a->Auxilary;

    const int left = auxiliary ? kMapAuxiliaryWidth + kMapSplitter : 0;
    const int width = left + mapWidth;
    std::string error;
    std::unique_ptr<Canvas> map = NewPictureCanvas(mapWidth, mapHeight, error);
    std::unique_ptr<Canvas> aux = NewPictureCanvas(kMapAuxiliaryWidth, mapHeight, error);
    std::unique_ptr<Canvas> legend = NewPictureCanvas(width, kMapLegendHeight, error);
    std::unique_ptr<Canvas> picture =
        NewPictureCanvas(width, mapHeight + kMapSplitter + kMapLegendHeight, error);
    if (!map || !aux || !legend || !picture)
        return nullptr;
    aux->SetBrushColor(kMapPanelColour);
    aux->FillRect({0, 0, aux->Width(), aux->Height()});
    {
        // The frame's own drawing: layout, background, actuators, legend.
        WriteLock lock(mirror.GetLock());
        MirrorDisplayClass display(*map, *aux, *legend, &model, driver->GetMinVoltage(),
                                   driver->GetMaxVoltage());
    }

    // The panel colour shows in the splitters between the three parts.
    picture->SetBrushStyle(BrushStyle::Solid);
    picture->SetBrushColor(kMapPanelColour);
    picture->FillRect({0, 0, picture->Width(), picture->Height()});
    if (auxiliary)
        CopyPixels(*aux, *picture, 0, 0);
    CopyPixels(*map, *picture, left, 0);
    CopyPixels(*legend, *picture, 0, mapHeight + kMapSplitter);
    return picture;
}

} // namespace ostrander
