#include "model/ClassicMembraneModel.h"
#include "model/ExactMembraneModel.h"
#include "model/MeasuredMembraneModel.h"
#include "model/MembraneModel.h"

namespace ostrander {

namespace {

template <class Model> std::unique_ptr<MembraneModel> Make() {
    return std::make_unique<Model>();
}

} // namespace

const std::vector<MembraneModelInfo>& MembraneModels() {
    static const std::vector<MembraneModelInfo> models = {
        {ClassicMembraneModel::kName, "Classic", false, false, &Make<ClassicMembraneModel>},
        {ExactMembraneModel::kName, "Exact membrane", true, true, &Make<ExactMembraneModel>, true},
        {MeasuredMembraneModel::kName, "Measured", false, true, &Make<MeasuredMembraneModel>},
    };
    return models;
}

const MembraneModelInfo* FindMembraneModel(std::string_view name) {
    for (const MembraneModelInfo& info : MembraneModels())
        if (info.name == name)
            return &info;
    return nullptr;
}

std::unique_ptr<MembraneModel> MakeMembraneModel(std::string_view name) {
    const MembraneModelInfo* info = FindMembraneModel(name);
    return info ? info->make() : nullptr;
}

std::string MembraneModelNames() {
    std::string names;
    for (const MembraneModelInfo& info : MembraneModels())
        names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

} // namespace ostrander
