#include "platform/InstallerPipe.h"

#include <windows.h>

namespace qxplat {

namespace {

constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\qxinstallerpipe";
constexpr DWORD kBufferSize = 1024;
constexpr DWORD kDefaultTimeout = 60000;
constexpr DWORD kRetryPause = 50;

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

DWORD Milliseconds(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0)
        return 0;
    return timeout.count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(timeout.count());
}

// The installer's process for waiting on: opened by id while the caller's Process object keeps
// it alive, so the id cannot have been given to another program yet.
UniqueHandle OpenForWait(const Process& installer) {
    return UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, installer.Id()));
}

// Waits for the pending operation's event or the installer's end, whichever comes first. The
// event is listed first so that a verdict written just before the exit is still taken.
enum class Outcome { Done, Exited, TimedOut, Failed };
Outcome WaitForEventOrExit(HANDLE event, HANDLE process, DWORD milliseconds) {
    const HANDLE both[] = {event, process};
    const DWORD count = process != nullptr ? 2 : 1;
    switch (WaitForMultipleObjects(count, both, FALSE, milliseconds)) {
    case WAIT_OBJECT_0:
        return Outcome::Done;
    case WAIT_OBJECT_0 + 1:
        return Outcome::Exited;
    case WAIT_TIMEOUT:
        return Outcome::TimedOut;
    default:
        return Outcome::Failed;
    }
}

} // namespace

struct InstallerPipeServer::Handle {
    UniqueHandle pipe;
    UniqueHandle event;
    OVERLAPPED overlapped{};
    bool pending = false;   // an overlapped operation is under way on overlapped
    bool connected = false; // a client is connected
    unsigned long clientId = 0;

    // Starts waiting for the next client: connected at once, or pending. False on failure.
    bool BeginConnect() {
        if (ConnectNamedPipe(pipe.get(), &overlapped)) {
            connected = true;
            return true;
        }
        switch (GetLastError()) {
        case ERROR_IO_PENDING:
            pending = true;
            return true;
        case ERROR_PIPE_CONNECTED:
            connected = true;
            SetEvent(event.get());
            return true;
        default:
            return false;
        }
    }

    // Ends an operation that is still pending, so that the OVERLAPPED may be reused or freed.
    void CancelPending() {
        if (!pending)
            return;
        DWORD ignored = 0;
        CancelIo(pipe.get());
        GetOverlappedResult(pipe.get(), &overlapped, &ignored, TRUE);
        pending = false;
    }
};

InstallerPipeServer::InstallerPipeServer(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle)) {}
InstallerPipeServer::InstallerPipeServer(InstallerPipeServer&&) noexcept = default;
InstallerPipeServer& InstallerPipeServer::operator=(InstallerPipeServer&&) noexcept = default;

InstallerPipeServer::~InstallerPipeServer() {
    if (!m_handle)
        return;
    m_handle->CancelPending();
    if (m_handle->connected)
        DisconnectNamedPipe(m_handle->pipe.get());
}

std::optional<InstallerPipeServer> InstallerPipeServer::Create() {
    auto handle = std::make_unique<Handle>();
    handle->event.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!handle->event)
        return std::nullopt;
    // The first and only instance: a program that created the name before us, or tries to
    // add an instance after us, never gets the installer's verdict.
    handle->pipe.reset(CreateNamedPipeW(
        kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kBufferSize, kBufferSize,
        kDefaultTimeout, nullptr));
    if (handle->pipe.get() == INVALID_HANDLE_VALUE) {
        handle->pipe.release();
        return std::nullopt;
    }
    handle->overlapped.hEvent = handle->event.get();
    if (!handle->BeginConnect())
        return std::nullopt;
    return InstallerPipeServer(std::move(handle));
}

InstallerPipeServer::Wait InstallerPipeServer::WaitForClient(const Process& installer,
                                                             std::chrono::milliseconds timeout) {
    Handle& h = *m_handle;
    if (!h.connected) {
        if (!h.pending)
            return Wait::Failed;
        const UniqueHandle process = OpenForWait(installer);
        switch (WaitForEventOrExit(h.event.get(), process.get(), Milliseconds(timeout))) {
        case Outcome::Done:
            break;
        case Outcome::Exited:
            return Wait::Exited;
        case Outcome::TimedOut:
            return Wait::TimedOut;
        case Outcome::Failed:
            return Wait::Failed;
        }
        DWORD ignored = 0;
        h.pending = false;
        if (!GetOverlappedResult(h.pipe.get(), &h.overlapped, &ignored, FALSE))
            return Wait::Failed;
        h.connected = true;
    }
    ULONG client = 0;
    if (!GetNamedPipeClientProcessId(h.pipe.get(), &client))
        return Wait::Failed;
    h.clientId = client;
    if (client != installer.Id()) {
        // The pipe waits for the next client at once: the installer may still come.
        DisconnectNamedPipe(h.pipe.get());
        h.connected = false;
        h.BeginConnect();
        return Wait::Refused;
    }
    return Wait::Connected;
}

bool InstallerPipeServer::ReadMessage(const Process& installer, std::string& message) {
    Handle& h = *m_handle;
    if (!h.connected || h.clientId != installer.Id())
        return false;
    char buffer[kInstallerMessageMax];
    ResetEvent(h.event.get());
    if (!ReadFile(h.pipe.get(), buffer, sizeof buffer, nullptr, &h.overlapped)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            const UniqueHandle process = OpenForWait(installer);
            if (WaitForEventOrExit(h.event.get(), process.get(), INFINITE) != Outcome::Done)
                CancelIo(h.pipe.get()); // a read already completed keeps its message
        } else if (error != ERROR_MORE_DATA) {
            return false;
        }
    }
    // Done, cut to its first kInstallerMessageMax bytes (ERROR_MORE_DATA), or cancelled.
    DWORD received = 0;
    if (!GetOverlappedResult(h.pipe.get(), &h.overlapped, &received, TRUE) &&
        GetLastError() != ERROR_MORE_DATA)
        return false;
    // An empty message is no verdict: it counts as none, as on the other platforms.
    message.assign(buffer, received);
    return received > 0;
}

unsigned long InstallerPipeServer::LastClientId() const { return m_handle->clientId; }

// A name that another server holds: FILE_FLAG_FIRST_PIPE_INSTANCE is refused.
bool InstallerPipeServer::IsBusy(long error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY;
}

std::wstring InstallerPipeProblem() { return {}; }

struct InstallerPipeClient::Handle {
    UniqueHandle pipe;
};

InstallerPipeClient::InstallerPipeClient(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle)) {}
InstallerPipeClient::InstallerPipeClient(InstallerPipeClient&&) noexcept = default;
InstallerPipeClient& InstallerPipeClient::operator=(InstallerPipeClient&&) noexcept = default;
InstallerPipeClient::~InstallerPipeClient() = default;

std::optional<InstallerPipeClient> InstallerPipeClient::Connect(std::chrono::milliseconds timeout) {
    const ULONGLONG deadline = GetTickCount64() + Milliseconds(timeout);
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
            break;
        const DWORD error = GetLastError();
        const ULONGLONG now = GetTickCount64();
        if ((error != ERROR_PIPE_BUSY && error != ERROR_FILE_NOT_FOUND) || now >= deadline)
            return std::nullopt;
        // A busy pipe can be waited for; one that does not exist yet only polled for.
        const DWORD left = static_cast<DWORD>(deadline - now);
        if (error != ERROR_PIPE_BUSY || !WaitNamedPipeW(kPipeName, left))
            Sleep(left < kRetryPause ? left : kRetryPause);
    }
    auto handle = std::make_unique<Handle>();
    handle->pipe.reset(pipe);
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr))
        return std::nullopt;
    return InstallerPipeClient(std::move(handle));
}

bool InstallerPipeClient::Send(const std::string& message) {
    const DWORD size = static_cast<DWORD>(
        message.size() < kInstallerMessageMax ? message.size() : kInstallerMessageMax);
    DWORD written = 0;
    return WriteFile(m_handle->pipe.get(), message.data(), size, &written, nullptr) &&
           written == size;
}

} // namespace qxplat
