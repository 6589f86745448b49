// A file path split into directory, name, extension and a trailing frame number of 3 to 6 digits,
// as numbered animation series use (walk001.tga, walk002.tga, ...).
#pragma once

#include <string>

class NumberedPath {
public:
    NumberedPath() = default;
    explicit NumberedPath(const std::string& path) { setFromPath(path); }

    void setFromPath(const std::string& path);
    // Counts the digits that end the name: 3 to 6 give the number; otherwise none, and with
    // `mark` set an underscore is appended when there was at least one digit, so that a number
    // appended later is not read together with the old digits.
    void parseTrailingNumber(bool mark);
    // Replaces the number (appending one when there is none) with n in `width` digits (width <= 0
    // keeps the present width); n is taken modulo 10^width.
    void setNumber(int n, int width = 0);

    std::string fullPath() const { return drive + directory + name + extension; }
    std::string nameWithExtension() const { return name + extension; }
    bool exists() const;
    bool hasNumber() const { return digitCount > 0; }

    // The running program's own path.
    static NumberedPath programFile();

    std::string drive;      // always empty here; kept so the parts add up as on other systems
    std::string directory;  // with its trailing separator
    std::string name;       // without extension
    std::string extension;  // with its dot
    int digitCount = 0;
    int number = -1;
};
