// Fuzz target: arbitrary bytes as the list file of `vellinor-cli --files-from` (the first
// byte picks a line break or, as with -0, a NUL between entries). Every entry read must be
// exactly one non-empty field of the file, in order, none left out, none cut or joined; the
// count planned before reading must be the count read.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/input_source.h"
#include "fuzz_check.h"

namespace vellinor::fuzz {
namespace {

// The list file, rewritten for each input; removed when the program ends.
class ListFile {
public:
    ListFile()
    {
        char path[] = "/tmp/vellinor-fuzz-list-XXXXXX";
        const int fd = ::mkstemp(path);
        FUZZ_CHECK(fd >= 0);
        ::close(fd);
        m_path = path;
    }
    ~ListFile() { ::unlink(m_path.c_str()); }

    const std::string& write(std::string_view bytes) const
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        FUZZ_CHECK(out.good());
        return m_path;
    }

private:
    std::string m_path;
};

std::vector<std::string> nonEmptyFields(std::string_view text, char separator)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        if (end > start)
            fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    if (size == 0)
        return 0;
    static const fuzz::ListFile list;
    const char separator = (data[0] & 1) != 0 ? '\0' : '\n';
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    cli::InputSource source({}, false, cli::FileList{list.write(text), separator});
    FUZZ_CHECK(source.listStatus().hasValue());
    const auto planned = source.plannedTotal();
    std::vector<std::string> read;
    while (auto file = source.next()) {
        FUZZ_CHECK(file->listed.hasValue());
        read.push_back(std::move(file->path));
    }
    FUZZ_CHECK(source.listStatus().hasValue());
    const std::vector<std::string> expected = fuzz::nonEmptyFields(text, separator);
    FUZZ_CHECK(read == expected);
    FUZZ_CHECK(planned && *planned == expected.size());
    return 0;
}
