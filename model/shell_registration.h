// Registration with the desktop (freedesktop): the application's .desktop entry, a shared-mime-info
// package for the file types that have no standard MIME type, the icon in the hicolor theme, and
// the per-user default-application choices of mimeapps.list.
#pragma once

#include <string>
#include <vector>

namespace shell {

constexpr const char* kDesktopId = "tarquil.desktop";

// The .desktop entry starting `exec` (a path or a command name).
std::string desktopEntry(const std::string& exec);
// The shared-mime-info package (mime/packages/tarquil.xml).
std::string mimePackage();

// Where the files go below a data folder ($XDG_DATA_HOME or /usr/share).
std::string desktopPath(const std::string& dataHome);
std::string mimePackagePath(const std::string& dataHome);
std::string iconPath(const std::string& dataHome);

// $XDG_DATA_HOME, else ~/.local/share; $XDG_CONFIG_HOME, else ~/.config.
std::string userDataHome();
std::string userConfigHome();

// The start-up check: true when the MIME package is there already (the program's types are
// known to the desktop).
bool registered(const std::string& dataHome);
// Writes the entry, the package and the icon (svg text) into dataHome, each only when it is
// missing unless `overwrite`. Returns the paths that could not be written.
std::vector<std::string> install(const std::string& dataHome, const std::string& exec,
                                 const std::string& iconSvg, bool overwrite);

// mimeapps.list: the default application of a MIME type ("" when none).
std::string defaultApplication(const std::string& mimeappsText, const std::string& mimeType);
// The text with `desktopId` as the type's default, or with the type's default removed when
// it is `desktopId` (other programs' choices are left alone) for `on` false.
std::string setDefaultApplication(const std::string& mimeappsText, const std::string& mimeType,
                                  const std::string& desktopId, bool on);

}  // namespace shell
