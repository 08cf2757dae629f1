// The conversion read in small pieces (1 to 13 bytes, as the first byte says)
// against the usual 256 KB: on any bytes both refuse, or both give the same
// book, byte for byte.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "FuzzFolder.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/Streams.h"
#include "convert/Converter.h"

namespace {

std::string Bytes(BookFile& b) {
    MemoryStream out;
    b.WriteTo(out);
    return out.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = Folder() + "fuzz.txt";
    SaveFileSafely(text, std::string(reinterpret_cast<const char*>(data), size));
    auto book = [&](size_t piece) {
        try {
            BookFile b = ConvertToBook(text, Folder(), nullptr, nullptr, piece);
            return Bytes(b);
        } catch (const EAppError& e) {
            return std::string("refused: ") + e.what();
        }
    };
    const size_t piece = size ? 1 + data[0] % 13 : 1;
    if (book(piece) != book(ReadPieceSize)) __builtin_trap();
    return 0;
}
