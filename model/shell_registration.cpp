#include "model/shell_registration.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "model/document_types.h"
#include "texlib/stream.h"

namespace shell {

namespace {

struct ExtraType {
    const char* mime;
    const char* comment;
    std::vector<const char*> globs;
};

// Types of our own, for formats the desktop has no name for.
const std::vector<ExtraType>& ownTypes() {
    static const std::vector<ExtraType> types = {
        {"image/x-tarquil-3df", "3DF Texture File", {"*.3df"}},
        {"image/x-tarquil-tex", "Tarquil Raw Texture File", {"*.tex"}},
        {"image/x-tarquil-spr", "Promotion Sprite", {"*.spr"}},
        {"image/x-tarquil-rgt", "RGT Bitmap", {"*.rgt"}},
        {"image/x-tarquil-lmp", "LMP Q1 File", {"*.lmp"}},
        {"image/x-gimp-gbr", "GIMP brush", {"*.gbr", "*.gpm"}},
        {"image/x-gimp-gih", "GIMP animated brush", {"*.gih"}},
        {"image/x-gimp-pat", "GIMP pattern", {"*.pat"}},
        {"application/x-tarquil-palette", "Palette", {"*.pal", "*.act", "*.gpl"}},
    };
    return types;
}

bool writeFile(const std::string& path, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    TxFileWriter f;
    return f.open(path) && f.write(text.data(), text.size()) && f.commit();
}

std::string home() {
    const char* h = std::getenv("HOME");
    return h && *h ? h : ".";
}

}  // namespace

std::string desktopEntry(const std::string& exec) {
    std::string mimes;
    for (const DocumentType& t : documentTypes()) mimes += std::string(t.mimeType) + ";";
    for (const ExtraType& t : ownTypes())
        if (mimes.find(std::string(t.mime) + ";") == std::string::npos)
            mimes += std::string(t.mime) + ";";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tarquil Studio\n"
           "GenericName=Game Graphics Editor\n"
           "Comment=Sprite sheets, animation strips, font textures and hardware textures\n"
           "Exec=" +
           exec +
           " %F\n"
           "Icon=tarquil\n"
           "Terminal=false\n"
           "Categories=Graphics;2DGraphics;RasterGraphics;\n"
           "MimeType=" +
           mimes + "\n";
}

std::string mimePackage() {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const ExtraType& t : ownTypes()) {
        out << "  <mime-type type=\"" << t.mime << "\">\n"
            << "    <comment>" << t.comment << "</comment>\n";
        for (const char* g : t.globs) out << "    <glob pattern=\"" << g << "\"/>\n";
        out << "  </mime-type>\n";
    }
    out << "</mime-info>\n";
    return out.str();
}

std::string desktopPath(const std::string& dataHome) {
    return dataHome + "/applications/" + kDesktopId;
}
std::string mimePackagePath(const std::string& dataHome) {
    return dataHome + "/mime/packages/tarquil.xml";
}
std::string iconPath(const std::string& dataHome) {
    return dataHome + "/icons/hicolor/scalable/apps/tarquil.svg";
}

std::string userDataHome() {
    const char* x = std::getenv("XDG_DATA_HOME");
    return x && *x ? x : home() + "/.local/share";
}

std::string userConfigHome() {
    const char* x = std::getenv("XDG_CONFIG_HOME");
    return x && *x ? x : home() + "/.config";
}

bool registered(const std::string& dataHome) {
    std::error_code ec;
    return std::filesystem::exists(mimePackagePath(dataHome), ec);
}

std::vector<std::string> install(const std::string& dataHome, const std::string& exec,
                                 const std::string& iconSvg, bool overwrite) {
    std::vector<std::string> failed;
    const std::pair<std::string, std::string> files[] = {
        {desktopPath(dataHome), desktopEntry(exec)},
        {mimePackagePath(dataHome), mimePackage()},
        {iconPath(dataHome), iconSvg},
    };
    for (const auto& [path, text] : files) {
        std::error_code ec;
        if (!overwrite && std::filesystem::exists(path, ec)) continue;
        if (text.empty() || !writeFile(path, text)) failed.push_back(path);
    }
    return failed;
}

namespace {

const char* kDefaults = "[Default Applications]";

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    const size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

std::string defaultApplication(const std::string& text, const std::string& mimeType) {
    std::istringstream in(text);
    std::string line;
    bool inDefaults = false;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (!t.empty() && t.front() == '[') {
            inDefaults = t == kDefaults;
            continue;
        }
        const size_t eq = t.find('=');
        if (!inDefaults || eq == std::string::npos || trim(t.substr(0, eq)) != mimeType) continue;
        const std::string apps = trim(t.substr(eq + 1));
        return apps.substr(0, apps.find(';'));
    }
    return {};
}

std::string setDefaultApplication(const std::string& text, const std::string& mimeType,
                                  const std::string& desktopId, bool on) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    int group = -1, found = -1;
    bool inDefaults = false;
    for (int i = 0; i < int(lines.size()); ++i) {
        const std::string t = trim(lines[size_t(i)]);
        if (!t.empty() && t.front() == '[') {
            inDefaults = t == kDefaults;
            if (inDefaults) group = i;
            continue;
        }
        const size_t eq = t.find('=');
        if (inDefaults && eq != std::string::npos && trim(t.substr(0, eq)) == mimeType) found = i;
    }
    const std::string entry = mimeType + "=" + desktopId + ";";
    if (on) {
        if (found >= 0)
            lines[size_t(found)] = entry;
        else if (group >= 0)
            lines.insert(lines.begin() + group + 1, entry);
        else {
            if (!lines.empty() && !trim(lines.back()).empty()) lines.push_back("");
            lines.push_back(kDefaults);
            lines.push_back(entry);
        }
    } else if (found >= 0 && defaultApplication(text, mimeType) == desktopId) {
        lines.erase(lines.begin() + found);
    }
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

}  // namespace shell
