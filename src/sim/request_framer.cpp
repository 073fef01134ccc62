#include "sim/request_framer.h"

namespace etc::sim {

std::size_t RequestFramer::lengthFor(std::uint8_t first) {
    switch (first) {
        case 'V':
        case 'G':
        case 'S':
        case '*':
        case 'L':
        case 'R':
            return 1;
        case 'A':
            return 4;
        case 'a':
        case 'q':
        case 'Z':
        case 'B':
        case 'C':
            return 6;
        case 'P':
        case 'p':
            return 12;
        case 'E':
            return 3;
        default:
            return 0;
    }
}

std::optional<ReceivedFrame> RequestFramer::push(std::uint8_t byte, link::Duration start, link::Duration end,
                                                 int baud) {
    if (!m_partial.empty() && (start - m_lastEnd > m_gap || baud != m_baud))
        m_partial.clear();
    m_lastEnd = end;

    if (m_partial.empty()) {
        m_expected = lengthFor(byte);
        if (m_expected == 0)
            return std::nullopt;
        m_baud = baud;
    }
    m_partial.push_back(byte);

    if (m_partial.size() == 3 && m_partial.front() == 'E') {
        const int length = link::SignMag16::decode(m_partial[1], m_partial[2]);
        if (length < 0 || length > kMaxBlockBytes) {
            m_partial.clear();
            return std::nullopt;
        }
        m_expected = static_cast<std::size_t>(length) + 6;
    }
    if (m_partial.size() < m_expected)
        return std::nullopt;

    ReceivedFrame frame{end, m_baud, std::move(m_partial)};
    m_partial.clear();
    return frame;
}

}  // namespace etc::sim
