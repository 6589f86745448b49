// The fourteen document types of the editor in registration order: the names of the open
// dialog's filters, the file extensions and the names the desktop knows them by.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct DocumentType {
    int id;                  // 103..116
    const char* typeName;    // shown by a type chooser
    const char* filterName;  // "3df Textures (*.3df)"
    const char* extension;   // ".3df"
    const char* shellType;   // "Tarquil_3DF"
    const char* shellName;   // "3DF Texture File"
    const char* mimeType;    // the desktop's type for the extension
};

const std::vector<DocumentType>& documentTypes();

// The open dialog's filters as (name, patterns separated by ';'): one per document type, then
// "Supported files (...)" and "All Files (*.*)".
std::vector<std::pair<std::string, std::string>> openFilters();
