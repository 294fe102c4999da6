// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxcc_entities.h"

#include <algorithm>
#include <array>

namespace awardsync::mark {

namespace {

constexpr bool C = false; // current
constexpr bool D = true;  // deleted

constexpr DxccEntity Entities[] = {
#include "dxcc_entities.inc"
};

} // namespace

const DxccEntity* dxccEntity(int code) {
    const auto found = std::lower_bound(std::begin(Entities), std::end(Entities), code,
                                        [](const DxccEntity& entity, int wanted) { return entity.code < wanted; });
    return found != std::end(Entities) && found->code == code ? found : nullptr;
}

int dxccEntityCount() {
    return static_cast<int>(std::size(Entities));
}

int currentDxccEntityCount() {
    static constexpr auto Current = std::count_if(std::begin(Entities), std::end(Entities),
                                                  [](const DxccEntity& entity) { return !entity.deleted; });
    return static_cast<int>(Current);
}

std::span<const DxccEntity> dxccEntities() {
    return Entities;
}

std::string dxccEntityLabel(int code) {
    const DxccEntity* entity = dxccEntity(code);
    if (entity == nullptr) {
        return "entity " + std::to_string(code) + " (not in the ADIF standard)";
    }
    return std::string(entity->name) + (entity->deleted ? " (deleted)" : "");
}

} // namespace awardsync::mark
