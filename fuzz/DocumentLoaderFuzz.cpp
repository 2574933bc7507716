// Feeds arbitrary bytes to the document loader as a file: it must never crash, never allocate
// from an unchecked count, and always end with a result.

#include "document/DocumentFile.h"

#include <cstdio>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/korvane-fuzz-" + std::to_string(::getpid()) + ".krv";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    DocumentContents contents;
    FrameStore frames;
    const FileResult result = loadDocument(path, contents, frames, nullptr);
    if (!result.ok && result.error.empty()) __builtin_trap();  // every failure says why
    return 0;
}
