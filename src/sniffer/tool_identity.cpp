#include "sniffer/tool_identity.h"

#include <elf.h>
#include <link.h>

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace sniffer {
namespace {

std::string versionText(unsigned version)
{
    return std::to_string(AV_VERSION_MAJOR(version)) + '.' +
           std::to_string(AV_VERSION_MINOR(version)) + '.' +
           std::to_string(AV_VERSION_MICRO(version));
}

// The GNU build id the linker stamps into this program: it changes with every change of
// the code, which a version number does not.
int findBuildId(dl_phdr_info* info, size_t, void* found)
{
    auto& id = *static_cast<std::string*>(found);
    for (ElfW(Half) i = 0; i < info->dlpi_phnum && id.empty(); ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_NOTE)
            continue;
        const auto* at = reinterpret_cast<const unsigned char*>(info->dlpi_addr + header.p_vaddr);
        const auto* end = at + header.p_memsz;
        while (at + sizeof(ElfW(Nhdr)) <= end) {
            ElfW(Nhdr) note;
            std::memcpy(&note, at, sizeof note);
            const auto* name = at + sizeof note;
            const auto* descriptor = name + ((note.n_namesz + 3) & ~3U);
            const auto* next = descriptor + ((note.n_descsz + 3) & ~3U);
            if (next > end)
                break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                std::memcmp(name, "GNU", 4) == 0) {
                for (ElfW(Word) b = 0; b < note.n_descsz; ++b) {
                    char hex[3];
                    std::snprintf(hex, sizeof hex, "%02x", descriptor[b]);
                    id += hex;
                }
                break;
            }
            at = next;
        }
    }
    return 1;  // the first object listed is the program itself
}

}  // namespace

std::string identity()
{
    std::string buildId;
    dl_iterate_phdr(findBuildId, &buildId);
    return std::string("sniffer ") + VELLINOR_VERSION + " libavformat " +
           versionText(avformat_version()) + " libavcodec " + versionText(avcodec_version()) +
           " libavutil " + versionText(avutil_version()) + " build " +
           (buildId.empty() ? "unknown" : buildId);
}

int printIdentity()
{
    const std::string line = identity() + '\n';
    std::fputs(line.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace sniffer
