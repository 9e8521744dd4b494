#include "capture/ProgramNotice.h"

// The build names them (CMakeLists.txt), so the package, the metainfo and the programs cannot differ.
#ifndef TOLM_VERSION
#error "TOLM_VERSION is set by the build"
#endif
#ifndef TOLM_LICENSE
#error "TOLM_LICENSE is set by the build"
#endif
#ifndef TOLM_COPYRIGHT_HOLDER
#error "TOLM_COPYRIGHT_HOLDER is set by the build"
#endif

namespace tolm {

std::string LicenceText() {
    return "License " TOLM_LICENSE
           ": GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

std::string VersionText(const std::string& program) {
    return program + " " TOLM_VERSION "\nCopyright (C) " TOLM_COPYRIGHT_HOLDER "\n" + LicenceText();
}

}  // namespace tolm
