#include "sniffer/mpeg2_headers.h"

namespace sniffer {
namespace {

constexpr std::uint8_t kPictureStart = 0x00;
constexpr std::uint8_t kSequenceHeader = 0xB3;
constexpr std::uint8_t kExtensionStart = 0xB5;
constexpr std::uint8_t kGopHeader = 0xB8;

constexpr int kIntra = 1;
constexpr int kPredicted = 2;
constexpr int kBidirectional = 3;

// The first I-to-I distance and two more, to tell a fixed GOP length from a varying one.
constexpr std::size_t kWantedDistances = 3;

std::uint8_t at(std::string_view bytes, std::size_t i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

std::string twoDigits(unsigned value)
{
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

void Mpeg2HeaderReader::read(std::string_view packet)
{
    // Start codes are 00 00 01 and a code byte; the header's bytes follow.
    for (std::size_t i = 0; i + 3 < packet.size(); ++i) {
        if (at(packet, i) != 0 || at(packet, i + 1) != 0 || at(packet, i + 2) != 1)
            continue;
        startCode(at(packet, i + 3), packet.substr(i + 4));
        i += 3;
    }
}

void Mpeg2HeaderReader::startCode(std::uint8_t code, std::string_view after)
{
    if (code == kSequenceHeader && after.size() >= 8) {
        // 12+12+4+4 bits of size and rates, 18+1+10+1 of bit rate and buffer, then the
        // intra matrix flag (and 64 bytes of matrix), then the non-intra flag.
        const bool loadIntra = ((at(after, 7) >> 1) & 1) != 0;
        bool loadNonIntra = false;
        if (!loadIntra)
            loadNonIntra = (at(after, 7) & 1) != 0;
        else if (after.size() >= 8 + 64)
            loadNonIntra = (at(after, 7 + 64) & 1) != 0;
        m_customMatrix = m_customMatrix.value_or(false) || loadIntra || loadNonIntra;
    } else if (code == kExtensionStart && !after.empty()) {
        const unsigned kind = at(after, 0) >> 4;
        if (kind == 3) {  // quantisation matrix extension: intra flag, (matrix), non-intra flag
            const bool loadIntra = ((at(after, 0) >> 3) & 1) != 0;
            const bool loadNonIntra = !loadIntra && ((at(after, 0) >> 2) & 1) != 0;
            if (loadIntra || loadNonIntra)
                m_customMatrix = true;
        } else if (kind == 8 && after.size() >= 3) {
            // Picture coding extension: the picture structure (1 top field, 2 bottom, 3 frame).
            const unsigned structure = at(after, 2) & 3;
            const bool field = structure == 1 || structure == 2;
            m_secondFieldNext = field && !m_lastWasFirstField;
            m_lastWasFirstField = m_secondFieldNext;
        }
    } else if (code == kGopHeader && after.size() >= 4) {
        const std::uint32_t bits = (std::uint32_t{at(after, 0)} << 24) |
                                   (std::uint32_t{at(after, 1)} << 16) |
                                   (std::uint32_t{at(after, 2)} << 8) | at(after, 3);
        const bool closed = ((bits >> 6) & 1) != 0;
        if (m_gops == 0) {
            m_firstGopClosed = closed;
            const bool dropFrame = (bits >> 31) != 0;
            m_timecode = twoDigits((bits >> 26) & 31) + ":" + twoDigits((bits >> 20) & 63) + ":" +
                         twoDigits((bits >> 13) & 63) + (dropFrame ? ";" : ":") +
                         twoDigits((bits >> 7) & 63);
        } else {
            m_laterGopsOpen = m_laterGopsOpen.value_or(false) || !closed;
        }
        ++m_gops;
    } else if (code == kPictureStart && after.size() >= 2) {
        const int type = (at(after, 1) >> 3) & 7;
        if (m_secondFieldNext) {
            m_secondFieldNext = false;  // the frame's other field: counted with its first
            return;
        }
        m_lastWasFirstField = false;
        picture(type);
    }
}

void Mpeg2HeaderReader::picture(int type)
{
    if (type == kBidirectional) {
        ++m_bRun;
    } else if (type == kIntra || type == kPredicted) {
        if (m_sawAnchor && m_bRun > m_longestBRun)
            m_longestBRun = m_bRun;
        m_sawAnchor = true;
        m_bRun = 0;
    }
    if (type == kIntra) {
        if (m_framesSinceI >= 0 && m_iDistances.size() < kWantedDistances)
            m_iDistances.push_back(m_framesSinceI);
        m_framesSinceI = 0;
    }
    if (m_framesSinceI >= 0)
        ++m_framesSinceI;
}

bool Mpeg2HeaderReader::done() const
{
    return m_iDistances.size() >= kWantedDistances;
}

Mpeg2Structure Mpeg2HeaderReader::structure() const
{
    Mpeg2Structure found;
    found.customMatrix = m_customMatrix;
    found.firstGopClosed = m_firstGopClosed;
    found.laterGopsOpen = m_laterGopsOpen;
    found.timecode = m_timecode;
    if (!m_iDistances.empty()) {
        // A closed first GOP before open ones is short by the B-frames the next GOP's I-frame
        // is shown after; the later distances are the stream's own.
        const std::size_t first = m_iDistances.size() > 1 ? 1 : 0;
        found.gopN = m_iDistances[first];
        for (std::size_t i = first; i < m_iDistances.size(); ++i)
            found.gopVariable = found.gopVariable || m_iDistances[i] != m_iDistances[first];
        found.gopM = 1 + m_longestBRun;
    }
    return found;
}

}  // namespace sniffer
