#include "model/preset_names.h"

#include <cctype>

std::string presetLower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
