// A small HTTP and HTTPS peer for the transport tests, on 127.0.0.1 and ports of its own
// choice. Prints "<http url> <https url> <drip url>" on one line once all listen, then serves
// until it is killed.
//
//   POST /echo           the request's content type ("-" when none), a line feed, its body
//   POST /cookie         sets three cookies, the middle one SessionId
//   POST /deep/cookie    sets a cookie without a path, so that it belongs to /deep
//   POST /unsafe/P3Login a login reply whose SessionId would add a command to a command line
//   POST /status/<code>  answers with that status
//   POST /moved/<code>   answers with that status and a Location on the plain peer's /cookie
//                        (GET /cookie answers too, as a client may follow a 302 with a GET)
//   POST /large?bytes=N  N bytes of a known pattern
//   POST /padded?pad=N&hex=H  N letters 'a', then the bytes written in hex digits H
//   POST /stall-headers  never answers
//   POST /stall-body     announces 100000 bytes, sends 1000, then goes silent
//   POST /cut?after=K    announces 2K bytes, sends K, then closes the connection
//   POST /replay/<header hex>/<body hex>/<service>  the body written in hex, with the header
//                        X-QX-Signature-2 written in hex (none when empty): signed replies
//
// The drip url answers every request under these paths by hand, byte by byte, for at most
// two minutes or until the client goes:
//   /drip-headers/<N>/...  a status line, then one header line every N seconds, never ending
//   /drip-body/...         headers announcing 100000 bytes, then one body byte every second
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto kStall = std::chrono::seconds(20);
// Every stalled reply and every kept-alive connection holds a thread for seconds, and the
// whole suite shares this peer: with the library's default of 8 threads, a plain request
// behind them waited its turn long enough to fail a short time-out.
constexpr std::size_t kThreads = 128;

char PatternByte(std::size_t offset) {
    return static_cast<char>((offset * 7 + offset / 251) & 0xFF);
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::size_t Number(const httplib::Request& request, const char* name) {
    return static_cast<std::size_t>(std::stoull(request.get_param_value(name)));
}

void Echo(const httplib::Request& request, httplib::Response& response) {
    const std::string type =
        request.has_header("Content-Type") ? request.get_header_value("Content-Type") : "-";
    response.set_content(type + "\n" + request.body, "application/octet-stream");
}

void Cookie(const httplib::Request&, httplib::Response& response) {
    response.set_header("Set-Cookie", "Alpha=1; Path=/");
    response.set_header("Set-Cookie", "SessionId=S3ss10n42; Path=/");
    response.set_header("Set-Cookie", "Omega=2; Path=/");
    response.set_content("ok", "text/plain");
}

void Status(const httplib::Request& request, httplib::Response& response) {
    response.status = std::stoi(request.matches[1]);
    response.set_content("status page", "text/plain");
}

// Streams `total` pattern bytes, but gives up after `sendOnly` of them: `stall` keeps the
// connection silent, otherwise it is closed.
void Pattern(httplib::Response& response, std::size_t total, std::size_t sendOnly, bool stall) {
    response.set_content_provider(
        total, "application/octet-stream",
        [sendOnly, stall](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (offset >= sendOnly) {
                const auto end = std::chrono::steady_clock::now() + kStall;
                while (stall && sink.is_writable() && std::chrono::steady_clock::now() < end)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return false;
            }
            std::string block(std::min<std::size_t>({length, sendOnly - offset, 65536}), '\0');
            for (std::size_t i = 0; i < block.size(); ++i)
                block[i] = PatternByte(offset + i);
            return sink.write(block.data(), block.size());
        });
}

// plainUrl is "http://127.0.0.1:<port>" of the plain peer once it listens.
void Routes(httplib::Server& server, const std::string& plainUrl) {
    server.Post("/echo", Echo);
    server.Post("/cookie", Cookie);
    server.Get("/cookie", Cookie);
    server.Post(R"(/moved/(\d+))",
                [&plainUrl](const httplib::Request& request, httplib::Response& response) {
                    response.status = std::stoi(request.matches[1]);
                    response.set_header("Location", plainUrl + "/cookie");
                    response.set_content("moved", "text/plain");
                });
    server.Post("/deep/cookie", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "Deep=1");
        response.set_content("ok", "text/plain");
    });
    server.Post("/unsafe/P3Login", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie",
                            "SessionId=abc&echo,INJECTED>injected.txt; Path=/unsafe/");
        response.set_content("Code=0\n", "text/plain");
    });
    server.Post(R"(/status/(\d+))", Status);
    server.Post("/large", [](const httplib::Request& request, httplib::Response& response) {
        const std::size_t bytes = Number(request, "bytes");
        Pattern(response, bytes, bytes, false);
    });
    server.Post("/padded", [](const httplib::Request& request, httplib::Response& response) {
        const std::string body(Number(request, "pad"), 'a');
        response.set_content(body + FromHex(request.get_param_value("hex")), "text/plain");
    });
    server.Post(R"(/replay/([0-9a-f]*)/([0-9a-f]*)/\w+)",
                [](const httplib::Request& request, httplib::Response& response) {
                    const std::string header = FromHex(request.matches[1]);
                    if (!header.empty())
                        response.set_header("X-QX-Signature-2", header);
                    response.set_content(FromHex(request.matches[2]), "text/plain");
                });
    server.Post("/stall-headers", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(kStall);
        response.set_content("late", "text/plain");
    });
    server.Post("/stall-body", [](const httplib::Request&, httplib::Response& response) {
        Pattern(response, 100000, 1000, true);
    });
    server.Post("/cut", [](const httplib::Request& request, httplib::Response& response) {
        const std::size_t after = Number(request, "after");
        Pattern(response, 2 * after, after, false);
    });
}

constexpr auto kDripFor = std::chrono::seconds(120);

bool SendText(int socket, const std::string& text) {
    return send(socket, text.data(), text.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(text.size());
}

// Sends piece() every period until the client goes or kDripFor has passed.
template <typename Piece>
void Drip(int socket, std::chrono::seconds period, Piece piece) {
    const auto end = std::chrono::steady_clock::now() + kDripFor;
    for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
        std::this_thread::sleep_for(period);
        if (!SendText(socket, piece(n)))
            return;
    }
}

// Reads the request's head and answers it by its path; the body is never read.
void ServeDrip(int socket) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t start = head.find(' ') + 1;
    const std::string path = head.substr(start, head.find(' ', start) - start);
    if (path.rfind("/drip-headers/", 0) == 0) {
        const int every = std::atoi(path.c_str() + 14);
        if (SendText(socket, "HTTP/1.1 200 OK\r\n"))
            Drip(socket, std::chrono::seconds(every > 0 ? every : 1),
                 [](int n) { return "X-Drip-" + std::to_string(n) + ": x\r\n"; });
    } else if (path.rfind("/drip-body/", 0) == 0) {
        if (SendText(socket, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                             "Content-Length: 100000\r\n\r\n"))
            Drip(socket, std::chrono::seconds(1), [](int) { return std::string("d"); });
    } else {
        SendText(socket, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
    close(socket);
}

// Listens on a port of its own on 127.0.0.1; 0 when it cannot.
int ListenForDrips(int& listener) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

void AcceptDrips(int listener) {
    for (;;) {
        const int socket = accept(listener, nullptr, nullptr);
        if (socket >= 0)
            std::thread(ServeDrip, socket).detach();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <certificate.pem> <key.pem>\n", argv[0]);
        return 2;
    }
    httplib::Server plain;
    httplib::SSLServer secure(argv[1], argv[2]);
    if (!secure.is_valid()) {
        std::fprintf(stderr, "cannot load the certificate\n");
        return 1;
    }
    plain.new_task_queue = secure.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    std::string plainUrl;
    Routes(plain, plainUrl);
    Routes(secure, plainUrl);
    const int plainPort = plain.bind_to_any_port("127.0.0.1");
    const int securePort = secure.bind_to_any_port("127.0.0.1");
    int dripListener = -1;
    const int dripPort = ListenForDrips(dripListener);
    if (plainPort <= 0 || securePort <= 0 || dripPort <= 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    plainUrl = "http://127.0.0.1:" + std::to_string(plainPort);
    std::thread securing([&secure] { secure.listen_after_bind(); });
    std::thread(AcceptDrips, dripListener).detach();
    std::printf("http://127.0.0.1:%d https://127.0.0.1:%d http://127.0.0.1:%d\n", plainPort,
                securePort, dripPort);
    std::fflush(stdout);
    plain.listen_after_bind();
    securing.join();
    return 0;
}
