#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads one HTTP request from the bytes received so far, before the HTTP library sees any of
// it, and holds it to limits: the head (request line and header fields) to headBytes, the body
// to bodyBytes whether its length was announced or it came in chunks. A complete request is
// handed on in a plain form: the head without Transfer-Encoding and Expect, with the body's
// Content-Length (0 when the request announced none), then the decoded body.
class CQXRequestReader {
public:
    enum class EState { NeedMore, Complete, HeadTooLarge, BodyTooLarge, Bad };

    CQXRequestReader(std::size_t headBytes, std::size_t bodyBytes);

    // Looks at the bytes received from the request's first byte on; between calls the buffer
    // only grows. Complete, or a refusal, is final.
    EState Scan(const std::string& buffer);
    // The request in its plain form (after Complete).
    std::string Request() const;
    // How many bytes of the buffer the request took (after Complete).
    std::size_t Consumed() const { return m_consumed; }
    // True once, when the head asked for "100 Continue" before sending its body.
    bool TakeContinue();
    // The method and target of the request line at the start of buffer, as far as they came.
    static void RequestLine(const std::string& buffer, std::string& method, std::string& target);

private:
    enum class EPhase { Head, Length, ChunkSize, ChunkData, Trailer, Done };

    EState ParseHead(const std::string& head);
    EState ScanChunks(const std::string& buffer);

    std::size_t m_headBytes;
    std::size_t m_bodyBytes;
    EPhase m_phase = EPhase::Head;
    std::string m_head;
    std::string m_body;
    std::uint64_t m_length = 0;
    // Where the body starts, and where scanning goes on within it.
    std::size_t m_bodyStart = 0;
    std::size_t m_position = 0;
    std::size_t m_consumed = 0;
    bool m_continue = false;
};
