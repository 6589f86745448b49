#include "tools/pack/pack_request.h"

void PackRequest::load(const SettingsStore& s) {
    options.load(s);
    inputs.clear();
    // One path a line: file names hold no line feeds worth keeping.
    const std::string list = s.getString(kPackSection, "inputs", "");
    for (size_t at = 0; at < list.size();) {
        size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        if (end > at) inputs.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    sheetFile = s.getString(kPackSection, "sheet", sheetFile);
    writeData = s.getInt(kPackSection, "writeData", writeData) != 0;
    dataFile = s.getString(kPackSection, "data", dataFile);
    templateName = s.getString(kPackSection, "template", templateName);
}

void PackRequest::store(SettingsStore& s) const {
    options.store(s);
    std::string list;
    for (const std::string& in : inputs)
        if (in.find('\n') == std::string::npos) list += (list.empty() ? "" : "\n") + in;
    s.setString(kPackSection, "inputs", list);
    s.setString(kPackSection, "sheet", sheetFile);
    s.setInt(kPackSection, "writeData", writeData ? 1 : 0);
    s.setString(kPackSection, "data", dataFile);
    s.setString(kPackSection, "template", templateName);
}

std::string packPageName(const std::string& pattern, int page, int pages) {
    if (pattern.find("{n}") != std::string::npos || pages <= 1) return packPagePath(pattern, page);
    const size_t slash = pattern.find_last_of('/');
    const size_t dot = pattern.find_last_of('.');
    const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
                              dot == (slash == std::string::npos ? 0 : slash + 1)
                          ? pattern.size()
                          : dot;
    return pattern.substr(0, at) + std::to_string(page) + pattern.substr(at);
}
