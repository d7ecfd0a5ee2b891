#include "foundation/http_connection.h"

#include "foundation/http_connection_internal.h"
#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tds_error.h"
#include "foundation/tstrings.h"

#include <algorithm>
#include <memory>
#include <string>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

const DWORD kErrorDialogFlags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                                FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;

DWORD realErrorDialog(HINTERNET request, DWORD error) {
    return InternetErrorDlg(GetDesktopWindow(), request, error, kErrorDialogFlags, nullptr);
}

std::atomic<http_internal::ErrorDialogFn> gErrorDialog{&realErrorDialog};
std::atomic<bool> gSilent{false};

std::mutex& agentMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& agentStorage() {
    static std::string agent = "tolva_installer";
    return agent;
}

// WinINet's own codes are described by its message table, the rest by the
// system's.
std::string describeError(uint32_t code) {
    HMODULE wininet = nullptr;
    if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST)
        wininet = GetModuleHandleA("wininet.dll");
    std::string text = formatSystemError(code, wininet);
    if (wininet && text.find("(No description available)") != std::string::npos)
        text = formatSystemError(code);
    return text;
}

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_)
            InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    HINTERNET release() {
        HINTERNET h = handle_;
        handle_ = nullptr;
        return h;
    }

private:
    HINTERNET handle_;
};

// What the sending thread and the caller share; either may be the last to
// let go of it.
struct SendState {
    HINTERNET request;
    std::string body;
    BOOL sent = FALSE;
    DWORD error = 0;
    HANDLE done = nullptr;
    ~SendState() {
        if (done)
            CloseHandle(done);
    }
};

DWORD WINAPI sendOnThread(void* param) {
    std::unique_ptr<std::shared_ptr<SendState>> owner(static_cast<std::shared_ptr<SendState>*>(param));
    SendState& state = **owner;
    void* body = state.body.empty() ? nullptr : &state.body[0];
    state.sent = HttpSendRequestA(state.request, nullptr, 0, body, static_cast<DWORD>(state.body.size()));
    state.error = state.sent ? 0 : GetLastError();
    SetEvent(state.done);
    return 0;
}

// HttpSendRequest, given at most deadlineMs. Wine's WinINet applies none of
// the time-outs to the TLS handshake, so a peer that accepts the connection
// and never answers would hold the launcher for ever. The request is sent
// from a thread of its own; when the deadline passes first, the request
// handle is closed (which cancels the request, and keeps the handle with the
// thread until the call returns) and the send fails with
// ERROR_INTERNET_TIMEOUT. On failure *error holds the error code; the handle
// is then no longer the caller's when *closed is set.
BOOL sendWithDeadline(HINTERNET request, const std::string& body, DWORD deadlineMs, DWORD* error, bool* closed) {
    *closed = false;
    auto state = std::make_shared<SendState>();
    state->request = request;
    state->body = body;
    state->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto* owner = new std::shared_ptr<SendState>(state);
    HANDLE thread = state->done ? CreateThread(nullptr, 0, &sendOnThread, owner, 0, nullptr) : nullptr;
    if (!thread) {
        // No thread to spare: send from here, without the deadline.
        delete owner;
        void* data = state->body.empty() ? nullptr : &state->body[0];
        const BOOL sent = HttpSendRequestA(request, nullptr, 0, data, static_cast<DWORD>(state->body.size()));
        *error = sent ? 0 : GetLastError();
        return sent;
    }
    CloseHandle(thread);
    if (WaitForSingleObject(state->done, deadlineMs) == WAIT_OBJECT_0) {
        *error = state->error;
        return state->sent;
    }
    InternetCloseHandle(request);
    *closed = true;
    *error = ERROR_INTERNET_TIMEOUT;
    TDS_LOG_ERROR("HttpConnection::connect", "The request got no answer within %lu ms; it was cancelled",
                  static_cast<unsigned long>(deadlineMs));
    return FALSE;
}

void setTimeouts(HINTERNET handle, DWORD milliseconds) {
    static const DWORD kOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                     INTERNET_OPTION_RECEIVE_TIMEOUT};
    for (DWORD option : kOptions) {
        if (!InternetSetOptionA(handle, option, &milliseconds, sizeof(milliseconds))) {
            const DWORD error = GetLastError();
            TDS_LOG_ERROR("HttpConnection::connect", "%s failed with %s", "InternetSetOption",
                          describeError(error).c_str());
        }
    }
}

// Reads and drops what is left of a response before its request is sent
// again; WinINet would otherwise take the old body for the new one.
void drainResponse(HINTERNET request) {
    char buffer[4096];
    DWORD read = 0;
    size_t total = 0;
    while (total < HttpConnection::kMaxContentSize &&
           InternetReadFile(request, buffer, sizeof(buffer), &read) && read > 0)
        total += read;
}

}  // namespace

namespace http_internal {

ErrorDialogFn setErrorDialogForTesting(ErrorDialogFn dialog) {
    return gErrorDialog.exchange(dialog ? dialog : &realErrorDialog);
}

}  // namespace http_internal

#define HTTP_THROW(function, error) throw TdsError<decltype(error)>((error), TDS_HERE(function))

HttpConnection::network_error::network_error(const std::string& step, uint32_t code)
    : exception(step + ": " + describeError(code)), code_(code) {}

HttpConnection::http_error::http_error(uint32_t status)
    : exception("Http error, status: " + tstrings::toString(static_cast<unsigned long>(status))),
      status_(status) {}

HttpConnection::content_is_too_big::content_is_too_big(int64_t size)
    : exception("Content size exceeds maximum size (" +
                tstrings::toString(static_cast<unsigned long>(kMaxContentSize / (1024 * 1024))) +
                " MB), size is " +
                (size < 0 ? std::string("unknown")
                          : tstrings::toString(static_cast<unsigned long long>(size)) + " bytes")) {}

// ---- Response ----

HttpConnection::Response::Response(HINTERNET internet, HINTERNET connection, HINTERNET request)
    : internet_(internet),
      ownsInternet_(internet != nullptr),
      connection_(connection),
      ownsConnection_(connection != nullptr),
      request_(request),
      ownsRequest_(request != nullptr) {}

HttpConnection::Response::~Response() { close(); }

HttpConnection::Response::Response(Response&& other) noexcept
    : internet_(other.internet_),
      ownsInternet_(other.ownsInternet_),
      connection_(other.connection_),
      ownsConnection_(other.ownsConnection_),
      request_(other.request_),
      ownsRequest_(other.ownsRequest_) {
    other.ownsInternet_ = other.ownsConnection_ = other.ownsRequest_ = false;
}

HttpConnection::Response& HttpConnection::Response::operator=(Response&& other) noexcept {
    if (this != &other) {
        close();
        internet_ = other.internet_;
        ownsInternet_ = other.ownsInternet_;
        connection_ = other.connection_;
        ownsConnection_ = other.ownsConnection_;
        request_ = other.request_;
        ownsRequest_ = other.ownsRequest_;
        other.ownsInternet_ = other.ownsConnection_ = other.ownsRequest_ = false;
    }
    return *this;
}

void HttpConnection::Response::close() {
    if (ownsRequest_ && request_)
        InternetCloseHandle(request_);
    if (ownsConnection_ && connection_)
        InternetCloseHandle(connection_);
    if (ownsInternet_ && internet_)
        InternetCloseHandle(internet_);
    ownsRequest_ = ownsConnection_ = ownsInternet_ = false;
}

bool HttpConnection::Response::getHeaderValue(DWORD queryId, std::vector<uint8_t>& out,
                                              const char* name) const {
    // The caller's buffer size is the first length offered: a numeric query
    // must offer exactly 4 bytes (Wine refuses any other length).
    const size_t nameSize = name ? std::strlen(name) + 1 : 0;
    if (out.empty())
        out.resize(256);
    if (out.size() < nameSize)
        out.resize(nameSize);
    if (name)
        std::memcpy(out.data(), name, nameSize);
    for (int attempt = 0;; ++attempt) {
        DWORD length = static_cast<DWORD>(out.size());
        if (HttpQueryInfoA(request_, queryId, out.data(), &length, nullptr)) {
            out.resize(std::min<size_t>(length, out.size()));
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_INSUFFICIENT_BUFFER && attempt == 0 && length >= out.size()) {
            out.assign(std::max<size_t>(static_cast<size_t>(length) + 1, nameSize), 0);
            if (name)
                std::memcpy(out.data(), name, nameSize);
            continue;
        }
        TDS_LOG_ERROR("HttpConnection::Response::getHeaderValue",
                      "Cannot get header value (%lu, name=%s): %s", static_cast<unsigned long>(queryId),
                      name ? name : "", describeError(error).c_str());
        return false;
    }
}

uint32_t HttpConnection::Response::getIntHeaderValue(DWORD queryId, uint32_t defaultValue) const {
    std::vector<uint8_t> value(sizeof(uint32_t));
    if (!getHeaderValue(queryId | HTTP_QUERY_FLAG_NUMBER, value))
        return defaultValue;
    if (value.size() != sizeof(uint32_t)) {
        TDS_LOG_ERROR("HttpConnection::Response::getIntHeaderValue",
                      "getHeaderValue(%lu) returned unexpected size: %lu",
                      static_cast<unsigned long>(queryId), static_cast<unsigned long>(value.size()));
        return defaultValue;
    }
    uint32_t number = 0;
    std::memcpy(&number, value.data(), sizeof(number));
    return number;
}

void HttpConnection::Response::getHeaderValueOr(std::string& out, DWORD queryId,
                                                const std::string& defaultValue) const {
    std::vector<uint8_t> value;
    if (getHeaderValue(queryId, value))
        out.assign(value.begin(), value.end());
    else
        out = defaultValue;
}

void HttpConnection::Response::getCustomHeaderValue(std::string& out, const std::string& name,
                                                    const std::string& defaultValue) const {
    std::vector<uint8_t> value;
    if (getHeaderValue(HTTP_QUERY_CUSTOM, value, name.c_str()))
        out.assign(value.begin(), value.end());
    else
        out = defaultValue;
}

size_t HttpConnection::Response::readContent(void* buffer, size_t size) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, 0xFFFFFFFFu));
    if (!InternetReadFile(request_, buffer, wanted, &read))
        HTTP_THROW("HttpConnection::Response::readContent",
                   network_error("InternetReadFile failed", GetLastError()));
    return read;
}

void HttpConnection::Response::saveToBuffer(std::vector<uint8_t>& out) {
    const int32_t length =
        static_cast<int32_t>(getIntHeaderValue(HTTP_QUERY_CONTENT_LENGTH, 0xFFFFFFFFu));
    if (length > static_cast<int32_t>(kMaxContentSize))
        HTTP_THROW("HttpConnection::Response::saveToBuffer", content_is_too_big(length));
    out.assign(length >= 0 ? static_cast<size_t>(length) + 1024 : 65536, 0);
    size_t total = 0;
    for (;;) {
        const size_t read = readContent(out.data() + total, out.size() - total);
        if (read == 0)
            break;
        total += read;
        if (total > kMaxContentSize)
            HTTP_THROW("HttpConnection::Response::saveToBuffer", content_is_too_big(-1));
        if (out.size() - total < 1000)
            out.resize(total + 16384);
    }
    out.resize(total);
}

void HttpConnection::Response::saveToString(std::string& out) {
    std::vector<uint8_t> bytes;
    saveToBuffer(bytes);
    out.assign(bytes.begin(), bytes.end());
}

// ---- HttpConnection ----

HttpConnection::HttpConnection(std::string url) : url_(std::move(url)), agent_(defaultAgent()) {}

HttpConnection& HttpConnection::allowHttp(bool allow) {
    httpAllowed_ = allow;
    return *this;
}

HttpConnection& HttpConnection::setInteractive(bool interactive) {
    interactive_ = interactive;
    return *this;
}

HttpConnection& HttpConnection::setMethod(uint32_t method) {
    method_ = method;
    return *this;
}

HttpConnection& HttpConnection::setBody(const void* data, size_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (bytes && length)
        body_.assign(bytes, bytes + length);
    else
        body_.clear();
    return *this;
}

HttpConnection& HttpConnection::setAgent(const std::string& agent) {
    agent_ = agent;
    return *this;
}

HttpConnection& HttpConnection::setTimeout(uint32_t milliseconds) {
    timeoutMs_ = milliseconds;
    return *this;
}

void HttpConnection::setDefaultAgent(const std::string& agent) {
    std::lock_guard<std::mutex> lock(agentMutex());
    agentStorage() = agent;
}

std::string HttpConnection::defaultAgent() {
    std::lock_guard<std::mutex> lock(agentMutex());
    return agentStorage();
}

void HttpConnection::setSilent(bool silent) { gSilent = silent; }

bool HttpConnection::isSilent() { return gSilent; }

HttpConnection::Response HttpConnection::connect(bool checkStatus) {
    // Each part gets room for the whole URL, so no part can be cut.
    const DWORD room = static_cast<DWORD>(url_.size() + 1);
    std::vector<char> scheme(room), host(room), user(room), password(room), path(room), extra(room);
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszScheme = scheme.data();
    parts.dwSchemeLength = room;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = room;
    parts.lpszUserName = user.data();
    parts.dwUserNameLength = room;
    parts.lpszPassword = password.data();
    parts.dwPasswordLength = room;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = room;
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = room;
    if (url_.empty() || !InternetCrackUrlA(url_.c_str(), 0, 0, &parts))
        HTTP_THROW("HttpConnection::connect",
                   network_error("InternetCrackUrl failed",
                                 url_.empty() ? ERROR_INTERNET_INVALID_URL : GetLastError()));
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        HTTP_THROW("HttpConnection::connect", exception("Invalid scheme"));
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (!secure && !httpAllowed_)
        HTTP_THROW("HttpConnection::connect", exception("Http is disabled"));
    if (body_.size() > 0xFFFFFFFFu)
        HTTP_THROW("HttpConnection::connect", exception("Request body too large"));

    std::string object = path[0] ? std::string(path.data()) : std::string("/");
    object += extra.data();

    InternetHandle internet(
        InternetOpenA(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet.get())
        HTTP_THROW("HttpConnection::connect", network_error("InternetOpen failed", GetLastError()));
    if (timeoutMs_)
        setTimeouts(internet.get(), timeoutMs_);

    InternetHandle connection(InternetConnectA(internet.get(), host.data(), parts.nPort,
                                               user[0] ? user.data() : nullptr,
                                               password[0] ? password.data() : nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.get())
        HTTP_THROW("HttpConnection::connect",
                   network_error("InternetConnect failed", GetLastError()));

    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI;
    if (secure)
        flags |= INTERNET_FLAG_SECURE;
    const char* verb = method_ == POST ? "POST" : method_ == HEAD ? "HEAD" : "GET";
    const char* acceptTypes[] = {"*/*", nullptr};
    InternetHandle request(HttpOpenRequestA(connection.get(), verb, object.c_str(), nullptr,
                                            nullptr, acceptTypes, flags, 0));
    if (!request.get())
        HTTP_THROW("HttpConnection::connect",
                   network_error("HttpOpenRequest failed", GetLastError()));
    if (timeoutMs_)
        setTimeouts(request.get(), timeoutMs_);

    // A dialog may only be shown when a person can answer it.
    const bool interactive = interactive_ && !isSilent();
    bool resent = false;
    for (;;) {
        // The whole send (connect, request, the answer's headers) gets the
        // time-out and a margin: every peer here is optional, and a stalled
        // one must cost the install no more than one time-out.
        const DWORD deadline = timeoutMs_ && timeoutMs_ < 0x7FFFFFFF ? timeoutMs_ + 5000 : INFINITE;
        DWORD error = 0;
        bool closed = false;
        if (!sendWithDeadline(request.get(), std::string(body_.begin(), body_.end()), deadline, &error,
                              &closed)) {
            if (closed) {
                request.release();
                HTTP_THROW("HttpConnection::connect", network_error("HttpSendRequest failed", error));
            }
            // One dialog and one resend at most: a person who keeps answering
            // "retry" must not keep the install in a loop.
            if (interactive && !resent) {
                const DWORD answer = gErrorDialog.load()(request.get(), error);
                const bool retry = answer == ERROR_INTERNET_FORCE_RETRY ||
                                   (error == ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED &&
                                    answer == ERROR_SUCCESS);
                if (retry) {
                    resent = true;
                    TDS_LOG_INFO("HttpConnection::connect",
                                 "Sending the request again after the dialog for error %lu",
                                 static_cast<unsigned long>(error));
                    continue;
                }
            }
            HTTP_THROW("HttpConnection::connect", network_error("HttpSendRequest failed", error));
        }
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &size, nullptr))
            HTTP_THROW("HttpConnection::connect",
                       network_error("cannot get response status code", GetLastError()));
        if ((status == HTTP_STATUS_DENIED || status == HTTP_STATUS_PROXY_AUTH_REQ) && interactive &&
            !resent) {
            const DWORD answer =
                gErrorDialog.load()(request.get(), ERROR_INTERNET_INCORRECT_PASSWORD);
            if (answer == ERROR_INTERNET_FORCE_RETRY) {
                resent = true;
                TDS_LOG_INFO("HttpConnection::connect",
                             "Sending the request again with the credentials of status %lu",
                             static_cast<unsigned long>(status));
                drainResponse(request.get());
                continue;
            }
        }
        break;
    }

    Response response(internet.release(), connection.release(), request.release());
    if (checkStatus) {
        const uint32_t status = response.getIntHeaderValue(HTTP_QUERY_STATUS_CODE, 0xFFFFFFFFu);
        if (status == HTTP_STATUS_OK)
            return response;
        if (status == HTTP_STATUS_FORBIDDEN) {
            std::string text;
            response.getHeaderValueOr(text, HTTP_QUERY_STATUS_TEXT, "");
            if (text.size() > 12 && text.find("Export Denied") != std::string::npos)
                HTTP_THROW("HttpConnection::connect", export_compliance_error());
        }
        HTTP_THROW("HttpConnection::connect", http_error(status));
    }
    return response;
}
