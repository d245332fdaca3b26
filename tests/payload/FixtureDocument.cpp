// Writes the fixture store's large document: about 1 MiB of deterministic text that compresses
// the way prose does, neither trivially nor not at all.
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fixture_document OUTPUT\n");
        return 2;
    }
    static const char* const words[] = {
        "key", "layout", "scan", "code", "shift", "dead", "ligature", "variant", "slot", "table",
        "virtual", "language", "install", "remap", "decimal", "comma", "row", "set", "library", "chart",
    };
    std::string text;
    unsigned state = 12345;
    while (text.size() < (1u << 20)) {
        state = state * 1103515245u + 12345u;
        text += words[(state >> 16) % 20];
        text += (state >> 8) % 11 == 0 ? std::to_string(state % 10000) + ".\n" : " ";
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "fixture_document: cannot write %s\n", argv[1]);
        return 3;
    }
    return 0;
}
