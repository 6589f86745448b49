// Writes the desktop entry and the MIME package that `cmake --install` puts into share/, the same
// text the editor writes into the user's data folder.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/shell_registration.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "desktop";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/tarquil.desktop") << shell::desktopEntry("tarquil");
    std::ofstream(dir + "/tarquil.xml") << shell::mimePackage();
    return 0;
}
