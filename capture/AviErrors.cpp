#include "capture/AviErrors.h"

#include <cctype>
#include <utility>

namespace tolm {

std::string SaveErrorText(AviResult result) {
    static const std::pair<AviResult, const char*> kTexts[] = {
        {AVIERR_UNSUPPORTED, "Error: unsupported format!"},
        {AVIERR_BADFORMAT, "Error: bad format!"},
        {AVIERR_MEMORY, "Error: out of memory!"},
        {AVIERR_INTERNAL, "Error: internal error!"},
        {AVIERR_BADFLAGS, "Error: bad flags!"},
        {AVIERR_BADPARAM, "Error: bad params!"},
        {AVIERR_BADSIZE, "Error: bad size!"},
        {AVIERR_BADHANDLE, "Error: bad handle!"},
        {AVIERR_FILEREAD, "Error: reading files!"},
        {AVIERR_FILEWRITE, "Error: writing files!"},
        {AVIERR_FILEOPEN, "Error: opening files!"},
        {AVIERR_COMPRESSOR, "Error: in compressor!"},
        {AVIERR_NOCOMPRESSOR, "Error: no compressor!"},
        {AVIERR_READONLY, "Error: read-only files!"},
        {AVIERR_NODATA, "Error: no data!"},
        {AVIERR_BUFFERTOOSMALL, "Error: buffer too small!"},
        {AVIERR_CANTCOMPRESS, "Error: cannot compress!"},
        {AVIERR_USERABORT, "Error: user abort!"},
        {AVIERR_ERROR, "Error: generic!"},
    };
    if (result == AVIERR_OK) return {};
    for (const auto& [code, text] : kTexts)
        if (code == result) return text;
    return "Avi error number: " + std::to_string(result);
}

std::string OpenErrorText(AviResult result) {
    switch (result) {
        case AVIERR_OK:
            return {};
        case REGDB_E_CLASSNOTREG:
            return "According to the registry, the type of stream file specified in AVIFileOpen does not have a "
                   "handler to process it.";
        case AVIERR_BADFORMAT:
            return "The file could not be read, indicating a corrupt file or an unrecognized format.";
        case AVIERR_MEMORY:
            return "The file could not be opened because of insufficient memory.";
        case AVIERR_FILEREAD:
            return "A disk error occurred while reading the stream file.";
        case AVIERR_FILEOPEN:
            return "A disk error occurred while opening the stream file.";
        default:
            return "Unknown error opening stream file";
    }
}

std::string NotStorableText(const std::string& codec, const std::string& path, bool recorded) {
    const std::size_t dot = path.find_last_of("./");
    std::string extension = dot == std::string::npos || path[dot] != '.' ? std::string() : path.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool mp4 = extension == ".mp4";
    const std::string file = mp4                   ? "an MP4 file"
                             : extension == ".mkv" ? "a Matroska (.mkv) file"
                                                   : "a " + extension + " file";
    std::string advice = mp4 ? "save as .mkv or .avi" : "save as .avi";
    if (!recorded) advice = (mp4 ? "choose H.264 or " : "choose another compressor or ") + advice;
    return codec + " cannot be stored in " + file + "; " + advice;
}

}  // namespace tolm
