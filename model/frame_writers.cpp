#include "model/frame_writers.h"

#include <cctype>

#include "texlib/bmp.h"
#include "texlib/pcx.h"
#include "texlib/png.h"
#include "texlib/read.h"
#include "texlib/spr.h"
#include "texlib/tga.h"

bool isWritableType(TxFileType t) {
    return t == TX_TYPE_BMP || t == TX_TYPE_PCX || t == TX_TYPE_PNG || t == TX_TYPE_TGA ||
           t == TX_TYPE_SPR;
}

TxFileType writableTypeForPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return TX_TYPE_UNKNOWN;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "tga") return TX_TYPE_TGA;
    if (ext == "png") return TX_TYPE_PNG;
    if (ext == "bmp") return TX_TYPE_BMP;
    if (ext == "pcx") return TX_TYPE_PCX;
    if (ext == "spr") return TX_TYPE_SPR;
    return TX_TYPE_UNKNOWN;
}

const char* forcedExtension(TxFileType t) {
    switch (t) {
    case TX_TYPE_TGA: return ".tga";
    case TX_TYPE_BMP: return ".bmp";
    case TX_TYPE_PNG: return ".png";
    case TX_TYPE_SPR: return ".spr";
    default: return "";
    }
}

int writeImageAs(const TxMip& image, TxFileType fileType, const std::string& path, int frameCount,
                 const WriteOptions& options, std::string* error) {
    if (!image.data[0] || image.format != TX_FMT_ARGB8888) {
        if (error) *error = "no image to write";
        return 2;
    }
    const auto* px = reinterpret_cast<const uint32_t*>(image.data[0]);
    switch (fileType) {
    case TX_TYPE_TGA:
        return txWriteTGA(path, image.width, image.height, px, options.tgaCompression, error);
    case TX_TYPE_BMP:
        return txWriteBMP(path, image.width, image.height, px, options.bmpDepth,
                          options.bmpDepth == TX_BMP_DEPTH_8_GIVEN ? options.fixedPalette : nullptr,
                          error);
    case TX_TYPE_PCX: return txWritePCX(path, image.width, image.height, px, error);
    case TX_TYPE_PNG: return txWritePNG(path, image.width, image.height, px, error);
    case TX_TYPE_SPR:
        return txWriteSPR(path, image.width, image.height, px, frameCount < 1 ? 1 : frameCount,
                          error);
    default:
        if (error) *error = "this file type cannot be written";
        return FRAME_WRITE_NO_WRITER;
    }
}

int writeFrameAs(const Frame& frame, TxFileType fileType, const std::string& path, int frameCount,
                 const WriteOptions& options, std::string* error) {
    return writeImageAs(frame.mip(), fileType, path, frameCount, options, error);
}
