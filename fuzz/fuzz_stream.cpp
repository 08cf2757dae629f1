// The conversion the program runs, streaming, against the stages that hold the
// whole text: on any bytes both refuse, or both give the same book, byte for byte.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "core/unitConverter.h"
#include "core/unitDataStreaming.h"
#include "core/unitErrors.h"
#include "core/unitFiles.h"

namespace {

std::string Bytes(TBookInfo& b) {
    TMemoryStream out;
    b.WriteTo(out);
    return out.Data();
}

const std::string& Folder() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/tavisto-fuzz-stream-XXXXXX";
        if (!::mkdtemp(tmpl)) __builtin_trap();
        return std::string(tmpl) + "/";
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = Folder() + "fuzz.txt";
    SaveFileSafely(text, std::string(reinterpret_cast<const char*>(data), size));
    std::string whole, streamed;
    try {
        TBookInfo b(Folder());
        ConvertTextFile(text, b);
        whole = Bytes(b);
    } catch (const EAppError& e) {
        whole = std::string("refused: ") + e.what();
    }
    try {
        TBookInfo b = ConvertToBook(text, Folder());
        streamed = Bytes(b);
    } catch (const EAppError& e) {
        streamed = std::string("refused: ") + e.what();
    }
    if (whole != streamed) __builtin_trap();
    return 0;
}
