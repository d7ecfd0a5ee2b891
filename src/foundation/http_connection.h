#pragma once
// One HTTP or HTTPS request over WinINet: HttpConnection is configured, then
// connect() sends the request and hands back a Response that owns the
// handles and reads the body (at most 1 MB). Every failure is thrown as
// TdsError<E> with E one of the HttpConnection::exception family.

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class HttpConnection {
public:
    enum Method : uint32_t { GET = 0, POST = 1, HEAD = 2 };

    // Largest body that a Response saves.
    static constexpr uint32_t kMaxContentSize = 1024 * 1024;
    // Connect, send and receive time-out of every request unless set.
    static constexpr uint32_t kDefaultTimeoutMs = 30000;

    // Base of the family; also raised for a bad URL scheme ("Invalid scheme")
    // and for plain http when it is not allowed ("Http is disabled").
    class exception : public std::exception {
    public:
        explicit exception(std::string message) : message_(std::move(message)) {}
        const char* what() const noexcept override { return message_.c_str(); }

    private:
        std::string message_;
    };

    // A failing WinINet call; code is its Win32 or WinINet error.
    class network_error : public exception {
    public:
        network_error(const std::string& step, uint32_t code);
        uint32_t code() const { return code_; }

    private:
        uint32_t code_;
    };

    // A status other than 200 when connect() checks it.
    class http_error : public exception {
    public:
        explicit http_error(uint32_t status);
        uint32_t status() const { return status_; }

    private:
        uint32_t status_;
    };

    // Status 403 whose status text contains "Export Denied".
    class export_compliance_error : public http_error {
    public:
        export_compliance_error() : http_error(403) {}
    };

    // A body above kMaxContentSize; size < 0 when the size is not known.
    class content_is_too_big : public exception {
    public:
        explicit content_is_too_big(int64_t size);
    };

    // The open handles of one request, closed (request, connection, internet
    // handle) when the Response is destroyed. Moves pass ownership.
    class Response {
    public:
        Response(HINTERNET internet, HINTERNET connection, HINTERNET request);
        ~Response();
        Response(Response&& other) noexcept;
        Response& operator=(Response&& other) noexcept;
        Response(const Response&) = delete;
        Response& operator=(const Response&) = delete;

        // Queries a header (queryId, or the header named name with
        // HTTP_QUERY_CUSTOM) into out, cut to the returned length. The size
        // of out is the length first offered (256 when empty); it grows once
        // when WinINet asks for more. False and an ERROR log line when it
        // fails; out is then unspecified.
        bool getHeaderValue(DWORD queryId, std::vector<uint8_t>& out,
                            const char* name = nullptr) const;
        // The header as a number (HTTP_QUERY_FLAG_NUMBER); defaultValue when
        // it is missing or not 4 bytes long.
        uint32_t getIntHeaderValue(DWORD queryId, uint32_t defaultValue) const;
        // The header as text, or defaultValue.
        void getHeaderValueOr(std::string& out, DWORD queryId, const std::string& defaultValue) const;
        // The header named name as text, or defaultValue.
        void getCustomHeaderValue(std::string& out, const std::string& name,
                                  const std::string& defaultValue) const;
        // One read of at most size bytes of the body; 0 at its end. Throws
        // network_error "InternetReadFile failed" (a time-out included).
        size_t readContent(void* buffer, size_t size);
        // The whole body. Throws content_is_too_big above kMaxContentSize
        // (announced or read) and network_error; out is then unspecified.
        void saveToBuffer(std::vector<uint8_t>& out);
        // saveToBuffer as text.
        void saveToString(std::string& out);

        HINTERNET requestHandle() const { return request_; }

    private:
        void close();

        HINTERNET internet_;
        bool ownsInternet_;
        HINTERNET connection_;
        bool ownsConnection_;
        HINTERNET request_;
        bool ownsRequest_;
    };

    explicit HttpConnection(std::string url);

    // Lets plain "http://" URLs through (refused by default).
    HttpConnection& allowHttp(bool allow = true);
    // Lets WinINet show its error and authentication dialogs; never takes
    // effect while the process runs silently (setSilent).
    HttpConnection& setInteractive(bool interactive);
    HttpConnection& setMethod(uint32_t method);
    // Copies length bytes to send with the request.
    HttpConnection& setBody(const void* data, size_t length);
    HttpConnection& setAgent(const std::string& agent);
    // Connect, send and receive time-out in milliseconds (kDefaultTimeoutMs
    // unless set; 0 keeps WinINet's own).
    HttpConnection& setTimeout(uint32_t milliseconds);

    // Sends the request. With checkStatus, any status but 200 throws
    // http_error (export_compliance_error for a 403 "Export Denied"). On a
    // throw every handle opened so far is closed.
    Response connect(bool checkStatus);

    // The agent of new connections ("tolva_installer" unless set at start-up).
    static void setDefaultAgent(const std::string& agent);
    static std::string defaultAgent();
    // A silent run must never wait for a person: while set, no connection
    // shows a WinINet dialog, whatever setInteractive said.
    static void setSilent(bool silent);
    static bool isSilent();

private:
    std::string url_;
    bool httpAllowed_ = false;
    bool interactive_ = false;
    uint32_t method_ = GET;
    std::string agent_;
    std::vector<uint8_t> body_;
    uint32_t timeoutMs_ = kDefaultTimeoutMs;
};
