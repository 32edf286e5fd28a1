#include "cli/input_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "cli/output_streams.h"
#include "platform/file_access.h"

namespace vellinor::cli {

InputSource::InputSource(const std::vector<std::string>& paths, bool recursive,
                         const std::optional<FileList>& list)
    : m_recursive(recursive), m_list(list)
{
    for (InputFile& file : collectInputFiles(paths, recursive))
        m_pending.push_back(std::move(file));
    if (!m_list)
        return;
    if (m_list->source == "-") {
        m_file = stdin;
        return;
    }
    m_file = std::fopen(m_list->source.c_str(), "rbe");
    if (m_file == nullptr)
        m_listStatus = Unexpected(platform::errnoReason(errno));
    else
        m_ownsFile = true;
}

InputSource::~InputSource()
{
    if (m_ownsFile)
        std::fclose(m_file);
}

Expected<std::optional<std::string>> InputSource::readListEntry()
{
    const int separator = static_cast<unsigned char>(m_list->separator);
    std::string entry;
    for (;;) {
        entry.clear();
        errno = 0;
        int c = 0;
        while ((c = ::getc_unlocked(m_file)) != EOF && c != separator) {
            // A path never is this long: the list is not one (a binary file, a list cut
            // without its separators), and reading on would only fill memory.
            if (entry.size() == kLongestListEntry)
                return Unexpected(ErrorKind::tooLarge, "an entry is longer than " +
                                                           std::to_string(kLongestListEntry) +
                                                           " bytes, the longest path there can be");
            entry.push_back(static_cast<char>(c));
        }
        if (c == EOF) {
            if (std::ferror(m_file))
                return Unexpected(platform::errnoReason(errno == 0 ? EIO : errno));
            if (entry.empty())
                return std::optional<std::string>();
            return std::optional<std::string>(std::move(entry));
        }
        if (!entry.empty())
            return std::optional<std::string>(std::move(entry));
    }
}

bool InputSource::reportListFailure() const
{
    if (m_listStatus)
        return false;
    reportProblem(m_list->source == "-" ? "standard input" : m_list->source, m_listStatus.error());
    return true;
}

std::optional<InputFile> InputSource::next()
{
    for (;;) {
        if (!m_pending.empty()) {
            InputFile file = std::move(m_pending.front());
            m_pending.pop_front();
            return file;
        }
        if (m_file == nullptr || !m_listStatus)
            return std::nullopt;
        auto read = readListEntry();
        if (!read) {
            m_listStatus = Unexpected(read.failure());
            return std::nullopt;
        }
        if (!*read)
            return std::nullopt;
        std::string entry = std::move(**read);
        if (!m_recursive)
            return InputFile{std::move(entry)};
        for (InputFile& file : collectInputFiles({entry}, true))
            m_pending.push_back(std::move(file));
    }
}

std::optional<std::size_t> InputSource::plannedTotal() const
{
    if (!m_planned)
        m_planned = countPlanned();
    return *m_planned;
}

std::optional<std::size_t> InputSource::countPlanned() const
{
    if (!m_list)
        return m_pending.size();
    if (m_recursive || m_file == nullptr || m_file == stdin)
        return std::nullopt;
    struct stat info {};
    if (::fstat(::fileno(m_file), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;

    std::FILE* counting = std::fopen(m_list->source.c_str(), "rbe");
    if (counting == nullptr)
        return std::nullopt;
    std::size_t entries = 0;
    bool inEntry = false;
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, counting)) > 0) {
        for (std::size_t i = 0; i < got; ++i) {
            if (chunk[i] == m_list->separator) {
                entries += inEntry ? 1 : 0;
                inEntry = false;
            } else {
                inEntry = true;
            }
        }
    }
    std::fclose(counting);
    return m_pending.size() + entries + (inEntry ? 1 : 0);
}

}  // namespace vellinor::cli
