// tolm-invert-settings IN OUT: writes OUT with every byte of every line of IN complemented; the line breaks
// (CR and LF) stay as they are. This is how the program's settings file is stored.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolm-invert-settings IN OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tolm-invert-settings: cannot read %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "tolm-invert-settings: cannot read %s\n", argv[1]);
        return 1;
    }
    for (char& c : text)
        if (c != '\r' && c != '\n') c = static_cast<char>(~static_cast<unsigned char>(c));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "tolm-invert-settings: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
