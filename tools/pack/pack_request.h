// What the editor's Pack Sprites dialog asks for beyond the pack options: the files and folders
// to read, the name the pages are saved under and the data file. Kept in the "Pack" section
// beside the options, so that the next run starts where the last one ended.
#pragma once

#include <string>
#include <vector>

#include "tools/pack/pack.h"

struct PackRequest {
    std::vector<std::string> inputs;  // image files and folders
    PackOptions options;
    // The pages' file name: "{n}" takes the page number; without it, several pages get the
    // number before the extension (sheet0.png, sheet1.png). A relative name lies beside the
    // data file.
    std::string sheetFile = "sheet.png";
    bool writeData = false;
    std::string dataFile;  // "{n}" or a template without page blocks: one file per page
    std::string templateName = "json-hash";

    void load(const SettingsStore& store);
    void store(SettingsStore& store) const;
};

// The name of page `page` of `pages` under the request's rule for `pattern`.
std::string packPageName(const std::string& pattern, int page, int pages);
