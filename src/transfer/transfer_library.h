#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace lectoria {

// Results of TransferLibrary::Download. 1 is the only success; every failure has its own value.
namespace TransferResult {
inline constexpr int NotConnected = 0; // also the answer of IsConnected when offline
inline constexpr int Downloaded = 1;
inline constexpr int NotFound = 2;     // HTTP 404 / 410
inline constexpr int HttpError = 3;    // other HTTP status
inline constexpr int NotPdf = 4;       // body is not a PDF (an HTML page served with 200, ...)
inline constexpr int Truncated = 5;    // fewer bytes than announced (cut mid-body), or no %%EOF
inline constexpr int NetworkError = 6; // DNS, refused, reset before the body, after the retries
inline constexpr int TimedOut = 7;     // connection or stall time-out
inline constexpr int Cancelled = 8;    // the user pressed "Annuler"
inline constexpr int DiskFull = 9;
inline constexpr int ReadOnlyFolder = 10;     // cannot create a file in the target's folder
inline constexpr int WriteError = 11;         // any other local file failure
inline constexpr int BadAddress = 12;         // not an http(s) address, or a refused redirect
inline constexpr int TargetIsFolder = 13;     // a folder already has the target's name
inline constexpr int ReadOnlyFileSystem = 14; // the system said EROFS
inline constexpr int PermissionDenied = 15;   // the system said EACCES or EPERM
inline constexpr int CertificateError = 16;   // the server's TLS certificate is refused
inline constexpr int ProxyError = 17;         // the proxy cannot be reached, or wants credentials
inline constexpr int NotConfigured = 18;      // the archive's address is still the default (.invalid)
inline constexpr int WebPage = 19;            // a web page where the edition should be (a "soft 404")
inline constexpr int FileInUse = 20;          // another program holds the edition open: it cannot be replaced
} // namespace TransferResult

// The download library the Download action calls: test the connection, set the texts of the
// progress window, clear its file list, then download one address into one file.
class TransferLibrary {
public:
    virtual ~TransferLibrary() = default;
    // 0 = no connection to reach `url`; an address on this machine (127.0.0.1, localhost) needs none.
    virtual int IsConnected(const QString& url) = 0;
    virtual void SetOption(const QString& name, const QString& value) = 0; // "label", "description"
    virtual void ClearFiles() = 0;
    // Blocks (with a modal progress window owned by `owner`, or console progress when owner is
    // null) until the transfer ends. The target is replaced atomically, and only on success.
    virtual int Download(QWidget* owner, const QString& url, const QString& file) = 0;
    // The French sentence describing the last failure, empty after a success.
    virtual QString LastError() const = 0;
};

// Transfers that run side by side, driven by the event loop of the thread that starts them: Start
// returns at once, and `done` is called later from that loop (never from within Start) with the
// result and, for a failure, its French sentence. Nothing is shown while they run.
class ConcurrentTransfers {
public:
    using Done = std::function<void(int result, const QString& error)>;
    virtual ~ConcurrentTransfers() = default;
    virtual void Start(const QString& url, const QString& file, Done done) = 0;
    // How many transfers to the host of `url` are worth running at once: a few while its server
    // takes one request per connection (HTTP/1.1), many once it multiplexes them on one (HTTP/2).
    virtual int AtOnce(const QString& url) const = 0;
    // Called with an address of a host whose AtOnce has just risen.
    std::function<void(const QString& url)> onMoreAtOnce;
};

} // namespace lectoria
