// Journal source lines from any source (a journal data file the user opens
// is just text): one line rendered on its own, and the whole input as the
// lines of a file.
#include "FuzzSupport.h"
#include "journal/MagazineRender.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view firstLine = text.substr(0, text.find_first_of("\r\n"));
    (void)MagOperToText(firstLine);
    (void)MagazineSourceToText(text);
    return 0;
}
