// The data file of a pack run: what a template is told about the pages and sprites, shared by
// the command line and the editor so that both write the same bytes.
#pragma once

#include <functional>
#include <string>

#include "tools/codegen/sheet_template.h"
#include "tools/pack/pack.h"

// The way a template turns rotated sprites (`fileRead` is the template file loadSheetTemplate
// read, empty for a built-in); false when it cannot say that a sprite is rotated.
bool packTemplateTurn(const std::string& nameOrFile, const std::string& fileRead, PackTurn& turn);

// True when the template lists pages, so that one data file can describe several of them.
bool packTemplateHasPages(const SheetTemplate& tmpl);

// The template model of pages first to last - 1: `pageFile` gives the name a page is loaded by
// (relative to the data file).
TemplateSheet packTemplateSheet(const PackResult& result, int first, int last,
                                const std::function<std::string(int page)>& pageFile);

// `file` as the data file at `dataPath` names it: relative to the data file's folder.
std::string packRelativePath(const std::string& file, const std::string& dataPath);
