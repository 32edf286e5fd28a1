#include "cli/probe_record.h"

namespace vellinor::cli {

RecordArrayWriter::RecordArrayWriter() : m_indent("  ")
{
    // Indent the elements as the core's pretty writer indents array elements, so the streamed
    // text reads like the writer's own.
    const auto sample = JSON::array({JSON(0)}).rawString();
    if (sample) {
        const auto lineBreak = sample->find('\n');
        const auto zero = sample->find('0');
        if (lineBreak != std::string::npos && zero != std::string::npos && zero > lineBreak &&
            sample->find_first_not_of(' ', lineBreak + 1) == zero)
            m_indent = sample->substr(lineBreak + 1, zero - lineBreak - 1);
    }
}

std::string RecordArrayWriter::begin() const
{
    return "[";
}

std::string RecordArrayWriter::element(std::string_view elementText)
{
    std::string out = m_empty ? "\n" : ",\n";
    m_empty = false;
    out += m_indent;
    for (char c : elementText) {
        out.push_back(c);
        // Line breaks inside JSON text are all layout: those inside strings are escaped.
        if (c == '\n')
            out += m_indent;
    }
    return out;
}

std::string RecordArrayWriter::end() const
{
    return m_empty ? "]\n" : "\n]\n";
}

}  // namespace vellinor::cli
