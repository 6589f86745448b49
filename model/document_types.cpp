#include "model/document_types.h"

const std::vector<DocumentType>& documentTypes() {
    static const std::vector<DocumentType> types = {
        {103, "3df Texture", "3df Textures (*.3df)", ".3df", "Tarquil_3DF", "3DF Texture File",
         "image/x-tarquil-3df"},
        {104, "TGA Bitmap 24/32Bit ", "TGA 24/32Bit (*.tga)", ".tga", "Tarquil_TGA",
         "TGA Texture File", "image/x-tga"},
        {105, "Windows Bitmap 16/24Bit ", "Windows Bitmap (*.bmp)", ".bmp", "Tarquil_BMP",
         "Windows Bitmap", "image/bmp"},
        {106, "Amiga IFF Image", "Amiga IFF Image  Files (*.iff)", ".iff", "Tarquil_IFF",
         "Amiga IFF", "image/x-iff"},
        {107, "ILBM Image", "ILBM Image Files (*.lbm)", ".lbm", "Tarquil_LBM",
         "ILBM Interchange File", "image/x-ilbm"},
        {108, "PCX 8-bit Bitmap", "PCX Bitmap Files (*.pcx)", ".pcx", "Tarquil_PCX",
         "PC Paintbrush File", "image/vnd.zbrush.pcx"},
        {109, "PPM Bitmap", "PPM Bitmap Files (*.ppm)", ".ppm", "Tarquil_PPM", "PPM Bitmap File",
         "image/x-portable-pixmap"},
        {110, "JPG Bitmap", "JPG Bitmap Files (*.jpg)", ".jpg", "Tarquil_JPG", "JPEG File",
         "image/jpeg"},
        {111, "Compuserve GIF", "Compuserve GIF Files (*.gif)", ".gif", "Tarquil_GIF",
         "Graphics Interchange File", "image/gif"},
        {112, "Portable Network Graphic", "PNG Bitmap Files (*.png)", ".png", "Tarquil_PNG",
         "Portable Network Graphic", "image/png"},
        {113, "Raw Texture", "Raw Texture Files (*.tex)", ".tex", "Tarquil_TEX",
         "Tarquil Raw Texture File", "image/x-tarquil-tex"},
        {114, "Sprite", "Promotion Sprite (*.spr)", ".spr", "Tarquil_SPR", "Promotion Sprite",
         "image/x-tarquil-spr"},
        {115, "Sprite", "IDSoft Q1 (*.lmp)", ".lmp", "Tarquil_LMP", "LMP Q1 File",
         "image/x-tarquil-lmp"},
        {116, "Sprite", "Adobe Photoshop (*.psd)", ".psd", "Tarquil_PSD", "Photoshop PSD File",
         "image/vnd.adobe.photoshop"},
    };
    return types;
}

std::vector<std::pair<std::string, std::string>> openFilters() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const DocumentType& t : documentTypes())
        out.emplace_back(t.filterName, std::string("*") + t.extension);
    out.emplace_back(
        "Supported files (.png;.psd;.3df;.bmp;.tga;.pcx;.lbm;.iff;.lmp;.ppm;.jpg;.gif;.tex;.spr;"
        ".gbr;.gpm;.pat;.gpl;.pal;.act;)",
        "*.png;*.psd;*.3df;*.bmp;*.tga;*.pcx;*.lbm;*.iff;*.lmp;*.ppm;*.jpg;*.gif;*.tex;*.spr;"
        "*.gbr;*.gpm;*.pat;*.gpl;*.pal;*.act;*.gih;*.rgt;*.avi");
    out.emplace_back("All Files (*.*)", "*");
    return out;
}
