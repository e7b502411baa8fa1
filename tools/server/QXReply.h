#pragma once

#include <filesystem>
#include <string>

// What a service answers, before it is written to the connection: either a body in memory or
// a file streamed from disk.
struct SQXReply {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    // A new session id to hand over in the "SessionId" cookie, or empty.
    std::string sessionId;
    // The signature headers' values (kQXLSignatureHeader, bound to the user, and the format-1
    // kQXLegacySignatureHeader for older launchers), or empty (an unsigned reply).
    std::string signature;
    std::string legacySignature;
    // The file to stream instead of the body, when not empty.
    std::filesystem::path file;
    // The language ("en", "fr", "ja") whose code page the body goes out in: a refusal text's
    // own, or the session's for a request without "lang"; empty: the request's. Every body is
    // UTF-8 until it is written (QXReplyToWire).
    std::string textLanguage;
    // The user the request acted for, for the access log.
    std::string user;
    // For the access log: the Code of a refusal text (0: none), and whether a login back-off
    // gave it.
    int refusal = 0;
    bool throttled = false;
    // For the access log: the groups a directory login brought, comma-separated.
    std::string groups;
    // For the error log: why the request could not be served (e.g. an unreachable directory).
    std::string error;
};
