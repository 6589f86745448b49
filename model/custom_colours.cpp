#include "model/custom_colours.h"

#include <string>

const char* const kCustomColourSection = "GridColor";

CustomColours::CustomColours() {
    for (int i = 0; i < kCount; ++i) colours[i] = uint32_t(15000 - 1000 * i);
}

void CustomColours::load(const SettingsStore& store) {
    for (int i = 0; i < kCount; ++i)
        colours[i] = uint32_t(
            store.getInt(kCustomColourSection, "c" + std::to_string(i + 1), int(colours[i])));
}

void CustomColours::save(SettingsStore& store) const {
    for (int i = 0; i < kCount; ++i)
        store.setInt(kCustomColourSection, "c" + std::to_string(i + 1), int(colours[i]));
}
