#include "cli/input_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

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
        m_problem = platform::errnoReason(errno);
    else
        m_ownsFile = true;
}

InputSource::~InputSource()
{
    if (m_ownsFile)
        std::fclose(m_file);
    std::free(m_buffer);
}

bool InputSource::readListEntry(std::string& entry)
{
    for (;;) {
        errno = 0;
        const ssize_t length = ::getdelim(&m_buffer, &m_bufferSize, m_list->separator, m_file);
        if (length < 0) {
            if (std::ferror(m_file) && m_problem.empty())
                m_problem = platform::errnoReason(errno == 0 ? EIO : errno);
            return false;
        }
        entry.assign(m_buffer, static_cast<std::size_t>(length));
        if (!entry.empty() && entry.back() == m_list->separator)
            entry.pop_back();
        if (!entry.empty())
            return true;
    }
}

std::optional<InputFile> InputSource::next()
{
    for (;;) {
        if (!m_pending.empty()) {
            InputFile file = std::move(m_pending.front());
            m_pending.pop_front();
            return file;
        }
        std::string entry;
        if (m_file == nullptr || !readListEntry(entry))
            return std::nullopt;
        if (!m_recursive)
            return InputFile{std::move(entry), {}};
        for (InputFile& file : collectInputFiles({entry}, true))
            m_pending.push_back(std::move(file));
    }
}

std::optional<std::size_t> InputSource::plannedTotal() const
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
