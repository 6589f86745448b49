#include "tools/palette/palette_load.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <unistd.h>

#include "texlib/stream.h"

PaletteFileResult loadPaletteFile(const std::string& path, AppPalette& palette) {
    PaletteFileResult res;
    // Mapped, not read: the parsers look at the lines or bytes they need, whatever the file's
    // size. Only a regular file is taken ("is a directory", "is not a regular file"), and a FIFO
    // never blocks.
    TxFileData file;
    if (!file.open(path, res.error)) return res;
    res.opened = true;
    uint32_t entries[AppPalette::kEntries];
    std::memcpy(entries, palette.entries(), sizeof entries);
    const bool asBitmap = path.find(".bmp") != std::string::npos;
    res.parse = txParsePalette(file.data(), file.size(), entries, asBitmap);
    palette.setAll(entries);
    return res;
}

void readPaletteFile(const std::string& path, AppPalette& palette, Prompts& prompts) {
    const PaletteFileResult res = loadPaletteFile(path, palette);
    if (res.opened && !res.ok()) prompts.message(res.message(), MsgIcon::Warning, MsgButtons::Ok);
}

void loadStartupPalette(AppPalette& palette, const SettingsStore& settings, Prompts& prompts) {
    const std::string path = settings.getString(kPaletteSettingsSection, kPaletteFileName, "");
    if (!path.empty()) readPaletteFile(path, palette, prompts);
}

void loadStartupPaletteOnFirstUse(AppPalette& palette, const SettingsStore& settings,
                                  std::function<void(const std::string&)> warn) {
    const std::string path = settings.getString(kPaletteSettingsSection, kPaletteFileName, "");
    if (path.empty()) return;
    palette.loadOnFirstUse([path, warn = std::move(warn)](AppPalette& target) {
        const PaletteFileResult res = loadPaletteFile(path, target);
        if (res.opened && !res.ok() && warn) warn(res.message());
    });
}

void PaletteOptions::open(Prompts& prompts) {
    if (path_.empty()) return;
    const PaletteFileResult res = loadPaletteFile(path_, palette_);
    if (res.opened && !res.ok()) prompts.message(res.message(), MsgIcon::Warning, MsgButtons::Ok);
    loaded_ = res.opened;
    std::memcpy(entries_, palette_.entries(), sizeof entries_);
}

namespace {

std::string withPath(const char* pattern, const std::string& path) {
    const char* at = std::strstr(pattern, "%s");
    return std::string(pattern, size_t(at - pattern)) + path + (at + 2);
}

}  // namespace

bool PaletteOptions::loadPalette(const std::string& path, Prompts& prompts,
                                 SettingsStore& settings) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        prompts.message(withPath("File %s not found", path), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    // Opened without blocking: a FIFO or a folder is no palette file.
    std::string why;
    const int fd = txOpenInput(path, why);
    if (fd < 0) {
        prompts.message(withPath("Cannot open file %s", path), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    ::close(fd);
    // A file that does not parse is refused whole: the palette shown, the current palette and
    // "palfile" stay as they were instead of taking the colours read before the error.
    AppPalette trial = palette_;
    const PaletteFileResult res = loadPaletteFile(path, trial);
    if (!res.opened) {
        prompts.message(withPath("Cannot open file %s", path), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    if (!res.ok()) {
        prompts.message(res.message(), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    palette_.setAll(trial.entries());
    path_ = path;
    loaded_ = true;
    std::memcpy(entries_, palette_.entries(), sizeof entries_);
    settings.setString(kPaletteSettingsSection, kPaletteFileName, path);
    return true;
}

SwatchRect paletteSwatchRect(int index, int areaWidth, int areaHeight) {
    const double cw = areaWidth / 16.0, ch = areaHeight / 16.0;
    const int c = index % 16, r = index / 16;
    return {int(c * cw), int(r * ch), int((c + 1) * cw), int((r + 1) * ch)};
}
