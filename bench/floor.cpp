// The floor for reading a tree file: read each file whole into memory and count its parentheses
// in one pass, which is the least any program that reads the whole text has to do.
//
//   tavrin_floor FILE...   prints the number of '(' and ')' in all the files
//
// Plain code on purpose: one buffer per file from the ordinary heap, sized from the file, filled
// by the standard stream, then scanned once. Used by run_bench.sh as the reference that every
// big-tree time is divided by.
#include <cstdio>
#include <fstream>
#include <string>

namespace tavrin {

int run_main(int argc, char** argv) {
    unsigned long long count = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        file.seekg(0, std::ios::end);
        const std::streamoff size = file.tellg();
        file.seekg(0, std::ios::beg);
        std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
        file.read(&text[0], static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(file.gcount()));
        for (const char c : text)
            count += (c == '(') + (c == ')');
    }
    std::printf("%llu\n", count);
    return 0;
}

}  // namespace tavrin

int main(int argc, char** argv) {
    return tavrin::run_main(argc, argv);
}
