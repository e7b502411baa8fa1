#include "QXRequestReader.h"

#include <algorithm>
#include <cctype>

namespace {

using EState = CQXRequestReader::EState;

const std::string kLineEnd = "\r\n";

// A chunk-size line (with its extensions) longer than this is refused: no client needs it.
constexpr std::size_t kMaxChunkLine = 1024;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal Content-Length of at most 18 digits (no sign, no blanks inside).
bool ParseLength(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoull(text);
    return true;
}

// The hexadecimal size of a chunk-size line, before any ";extension"; false when unreadable.
bool ParseChunkSize(const std::string& line, std::uint64_t& value) {
    const std::string digits = Trim(line.substr(0, line.find(';')));
    if (digits.empty() || digits.size() > 15 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    value = std::stoull(digits, nullptr, 16);
    return true;
}

} // namespace

CQXRequestReader::CQXRequestReader(std::size_t headBytes, std::size_t bodyBytes)
    : m_headBytes(headBytes), m_bodyBytes(bodyBytes) {}

void CQXRequestReader::RequestLine(const std::string& buffer, std::string& method,
                                   std::string& target) {
    const std::string line = buffer.substr(0, buffer.find(kLineEnd));
    const auto space = line.find(' ');
    method = line.substr(0, space);
    target = space == std::string::npos ? std::string()
                                        : line.substr(space + 1, line.rfind(' ') - space - 1);
}

EState CQXRequestReader::Scan(const std::string& buffer) {
    if (m_phase == EPhase::Head) {
        const auto end = buffer.find("\r\n\r\n", m_position);
        if (end == std::string::npos || end + 4 > m_headBytes) {
            if (buffer.size() >= m_headBytes)
                return EState::HeadTooLarge;
            m_position = buffer.size() < 3 ? 0 : buffer.size() - 3;
            return EState::NeedMore;
        }
        m_bodyStart = m_position = end + 4;
        const EState state = ParseHead(buffer.substr(0, end + 2));
        if (state != EState::NeedMore)
            return state;
    }
    if (m_phase == EPhase::Length) {
        if (buffer.size() - m_bodyStart < m_length)
            return EState::NeedMore;
        m_body = buffer.substr(m_bodyStart, m_length);
        m_consumed = m_bodyStart + m_length;
        m_phase = EPhase::Done;
        m_continue = false;
        return EState::Complete;
    }
    return m_phase == EPhase::Done ? EState::Complete : ScanChunks(buffer);
}

EState CQXRequestReader::ParseHead(const std::string& head) {
    std::size_t start = head.find(kLineEnd) + 2;
    m_head = head.substr(0, start);
    int lengths = 0;
    bool chunked = false;
    for (std::size_t end; (end = head.find(kLineEnd, start)) != std::string::npos;
         start = end + 2) {
        const std::string line = head.substr(start, end - start);
        // Folded header lines are obsolete and a way to smuggle fields past a proxy.
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t'))
            return EState::Bad;
        const auto colon = line.find(':');
        const std::string name = Lower(Trim(line.substr(0, colon)));
        const std::string value = colon == std::string::npos ? "" : Trim(line.substr(colon + 1));
        if (name == "content-length") {
            if (++lengths > 1 || !ParseLength(value, m_length))
                return EState::Bad;
        } else if (name == "transfer-encoding") {
            if (chunked || Lower(value) != "chunked")
                return EState::Bad;
            chunked = true;
        } else if (name == "expect") {
            m_continue = Lower(value) == "100-continue";
        } else {
            m_head += line + kLineEnd;
        }
    }
    // Both at once is how requests are smuggled past a proxy.
    if (chunked && lengths > 0)
        return EState::Bad;
    if (lengths > 0 && m_length > m_bodyBytes)
        return EState::BodyTooLarge;
    m_phase = chunked ? EPhase::ChunkSize : EPhase::Length;
    if (!chunked && m_length == 0)
        m_continue = false;
    return EState::NeedMore;
}

EState CQXRequestReader::ScanChunks(const std::string& buffer) {
    for (;;) {
        // Framing may at most triple what a body takes: tiny chunks with long extensions would
        // otherwise keep the connection reading.
        if (m_position - m_bodyStart > 3 * m_bodyBytes + kMaxChunkLine)
            return EState::BodyTooLarge;
        if (m_phase == EPhase::ChunkData) {
            if (buffer.size() - m_position < m_length + 2)
                return EState::NeedMore;
            if (buffer.compare(m_position + m_length, 2, kLineEnd) != 0)
                return EState::Bad;
            m_body.append(buffer, m_position, m_length);
            m_position += m_length + 2;
            m_phase = EPhase::ChunkSize;
            continue;
        }
        const auto end = buffer.find(kLineEnd, m_position);
        if (end == std::string::npos) {
            const std::size_t pending = buffer.size() - m_position;
            if (m_phase == EPhase::Trailer)
                return pending > m_headBytes ? EState::HeadTooLarge : EState::NeedMore;
            return pending > kMaxChunkLine ? EState::Bad : EState::NeedMore;
        }
        const std::string line = buffer.substr(m_position, end - m_position);
        m_position = end + 2;
        if (m_phase == EPhase::Trailer) {
            if (!line.empty())
                continue; // trailer fields are not used
            m_consumed = m_position;
            m_length = m_body.size();
            m_phase = EPhase::Done;
            m_continue = false;
            return EState::Complete;
        }
        if (!ParseChunkSize(line, m_length))
            return EState::Bad;
        if (m_length > m_bodyBytes - std::min(m_body.size(), m_bodyBytes))
            return EState::BodyTooLarge;
        m_phase = m_length == 0 ? EPhase::Trailer : EPhase::ChunkData;
    }
}

std::string CQXRequestReader::Request() const {
    return m_head + "Content-Length: " + std::to_string(m_body.size()) + "\r\n\r\n" + m_body;
}

bool CQXRequestReader::TakeContinue() {
    const bool wanted = m_continue;
    m_continue = false;
    return wanted;
}
