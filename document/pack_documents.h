// Tools > Pack Sprites: the sprites of many files packed into atlas pages that open as new
// documents, each with its position list, and the data file an engine loads.
#pragma once

#include <functional>
#include <vector>

#include "document/document.h"
#include "tools/pack/pack_request.h"

// Reads the request's sprites, packs them, writes the data file when asked, then opens each
// page through `newDocument` (whose documents share `context`): titled and proposed for saving
// under its page name, modified, with one position item per sprite. On any failure the reason (in
// the command line's words) goes to `prompts` and nothing is written; the result is empty then.
// `error` receives that reason too.
std::vector<CBitmapDoc*> packSpritesIntoDocuments(
    const PackRequest& request, Prompts& prompts, Progress* progress, DocumentContext& context,
    const std::function<CBitmapDoc*(Prompts&)>& newDocument, std::string* error = nullptr);
