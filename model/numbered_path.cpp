#include "model/numbered_path.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

void NumberedPath::setFromPath(const std::string& path) {
    drive.clear();
    const size_t slash = path.find_last_of('/');
    directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos) {
        name = file;
        extension.clear();
    } else {
        name = file.substr(0, dot);
        extension = file.substr(dot);
    }
    parseTrailingNumber(false);
}

void NumberedPath::parseTrailingNumber(bool mark) {
    int digits = 0;
    while (digits < int(name.size()) && name[name.size() - 1 - size_t(digits)] >= '0' &&
           name[name.size() - 1 - size_t(digits)] <= '9')
        ++digits;
    if (digits >= 3 && digits <= 6) {
        digitCount = digits;
        number = std::stoi(name.substr(name.size() - size_t(digits)));
        return;
    }
    digitCount = 0;
    number = -1;
    if (mark && digits > 0) name += '_';
}

void NumberedPath::setNumber(int n, int width) {
    parseTrailingNumber(true);
    int w;
    if (digitCount > 0) {
        w = digitCount;
        name.erase(name.size() - size_t(digitCount));
    } else {
        w = 3;
    }
    if (width > 0) w = width;
    if (w > 9) w = 9;
    int m = 1;
    for (int k = 0; k < w; ++k) m *= 10;
    // A true modulo, so any step or start wraps into the width instead of overflowing it.
    n %= m;
    if (n < 0) n += m;
    number = n;
    digitCount = w;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", w, n);
    name += buf;
}

bool NumberedPath::exists() const {
    std::error_code ec;
    return std::filesystem::is_regular_file(fullPath(), ec);
}

NumberedPath NumberedPath::programFile() {
    std::error_code ec;
    const auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return NumberedPath(ec ? std::string() : p.string());
}
