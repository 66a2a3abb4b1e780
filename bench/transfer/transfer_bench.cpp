// lectoria-bench-transfer: our download library against `curl -o`, from a server on 127.0.0.1
// serving generated PDFs (64 and 512 MiB by default). Prints the throughput of both, their ratio
// and the peak memory of the process that ran our library.
//
// Each of our downloads runs in a child process (this program again, with --telecharger), so its
// peak memory (VmHWM) belongs to that one transfer. Times are those of the transfer alone: our
// Download() call, which includes the flush to disk before the rename, and curl's time_total
// (alone, then followed by an fsync of its file for a like-for-like figure).
#include "common/process_figures.h"
#include "transfer/http_transfer_library.h"
#include "transfer/large_pdf.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace lectoria;

namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kChunk = 256 * 1024; // what the server hands the socket at a time

// Child side: one download with the library and no window, as lectoria-cli does it.
int DownloadOnce(const QString& url, const QString& file) {
    HttpTransferLibrary library;
    library.ClearFiles();
    QElapsedTimer clock;
    clock.start();
    const int result = library.Download(nullptr, url, file);
    const qint64 ns = clock.nsecsElapsed();
    std::printf("resultat=%d ns=%lld hwm_kio=%ld\n", result, static_cast<long long>(ns),
                bench::ReadProcessFigures().peakRssKib);
    if (result != TransferResult::Downloaded)
        std::fprintf(stderr, "%s\n", library.LastError().toLocal8Bit().constData());
    return result == TransferResult::Downloaded ? 0 : 1;
}

struct Run {
    double seconds = 0;
    long peakKib = -1;
};

std::map<QString, QString> Fields(const QByteArray& output) {
    std::map<QString, QString> fields;
    for (const QString& part : QString::fromLatin1(output).simplified().split(QLatin1Char(' '))) {
        const auto at = part.indexOf(QLatin1Char('='));
        if (at > 0)
            fields[part.left(at)] = part.mid(at + 1);
    }
    return fields;
}

// Runs a program to its end; its output when it succeeded and left a file of the right size.
// `beforeRemoval` runs on the file before it is removed.
std::optional<QByteArray> RunToEnd(const QString& program, const QStringList& arguments, const QString& file,
                                   size_t expectedSize, const std::function<void()>& beforeRemoval = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C")); // curl's figures with a dot
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(-1);
    const QByteArray output = process.readAllStandardOutput();
    const qint64 size = QFileInfo(file).size();
    if (beforeRemoval)
        beforeRemoval();
    QFile::remove(file);
    if (!ended || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        size != static_cast<qint64>(expectedSize)) {
        std::fprintf(stderr, "%s : échec (code %d, %lld octets reçus) %s\n", qPrintable(program), process.exitCode(),
                     static_cast<long long>(size), output.constData());
        return std::nullopt;
    }
    return output;
}

std::optional<Run> RunOurs(const QString& url, const QString& file, size_t size) {
    const auto output =
        RunToEnd(QCoreApplication::applicationFilePath(), {QStringLiteral("--telecharger"), url, file}, file, size);
    if (!output)
        return std::nullopt;
    const auto fields = Fields(*output);
    return Run{fields.at(QStringLiteral("ns")).toDouble() / 1e9, fields.at(QStringLiteral("hwm_kio")).toLong()};
}

// curl alone, or curl then an fsync of its file: our library syncs the file before it replaces
// the target, so the second is the like-for-like figure.
std::optional<Run> RunCurl(const QString& url, const QString& file, size_t size, bool thenSync) {
    double syncSeconds = 0;
    const auto sync = [&] {
        QElapsedTimer clock;
        clock.start();
        QFile written(file);
        if (written.open(QIODevice::ReadWrite))
            ::fsync(written.handle());
        syncSeconds = clock.nsecsElapsed() / 1e9;
    };
    const auto output = RunToEnd(
        QStringLiteral("curl"),
        {QStringLiteral("-sS"), QStringLiteral("-o"), file, QStringLiteral("-w"), QStringLiteral("%{time_total}"), url},
        file, size, thenSync ? std::function<void()>(sync) : std::function<void()>());
    if (!output)
        return std::nullopt;
    return Run{output->trimmed().toDouble() + syncSeconds, -1};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The generated editions on 127.0.0.1, streamed from their generator: nothing is held twice.
class EditionServer {
public:
    explicit EditionServer(const std::vector<size_t>& sizesMiB) {
        for (size_t mib : sizesMiB)
            pdfs_[mib] = std::make_unique<bench::LargePdf>(mib * kMiB);
        server_.Get(R"(/edition-(\d+)\.pdf)", [this](const httplib::Request& request, httplib::Response& response) {
            const auto found = pdfs_.find(std::stoul(request.matches[1]));
            if (found == pdfs_.end()) {
                response.status = 404;
                return;
            }
            const bench::LargePdf* pdf = found->second.get();
            response.set_content_provider(pdf->size(), "application/pdf",
                                          [pdf](size_t offset, size_t length, httplib::DataSink& sink) {
                                              const auto [data, n] = pdf->View(offset, std::min(length, kChunk));
                                              return sink.write(data, n);
                                          });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~EditionServer() {
        server_.stop();
        thread_.join();
    }
    EditionServer(const EditionServer&) = delete;
    EditionServer& operator=(const EditionServer&) = delete;

    QString Url(size_t mib) const { return QStringLiteral("http://127.0.0.1:%1/edition-%2.pdf").arg(port_).arg(mib); }

private:
    std::map<size_t, std::unique_ptr<bench::LargePdf>> pdfs_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

struct Options {
    std::vector<size_t> sizesMiB{64, 512};
    int repetitions = 3;
    QString folder; // where the files land; a temporary folder by default
};

std::optional<Options> ParseOptions(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        const QString value = i + 1 < arguments.size() ? arguments[i + 1] : QString();
        if (name == QLatin1String("--tailles") && !value.isEmpty()) {
            options.sizesMiB.clear();
            for (const QString& size : value.split(QLatin1Char(',')))
                options.sizesMiB.push_back(size.toULong());
        } else if (name == QLatin1String("--repetitions") && value.toInt() > 0) {
            options.repetitions = value.toInt();
        } else if (name == QLatin1String("--dossier") && !value.isEmpty()) {
            options.folder = value;
        } else {
            return std::nullopt;
        }
        ++i;
    }
    if (std::find(options.sizesMiB.begin(), options.sizesMiB.end(), 0) != options.sizesMiB.end())
        return std::nullopt;
    return options;
}

int Measure(const Options& options) {
    QTemporaryDir temporary;
    const QDir folder(options.folder.isEmpty() ? temporary.path() : options.folder);
    EditionServer server(options.sizesMiB);
    std::printf("Débit sur 127.0.0.1, médiane de %d essais par taille (Lectoria et curl en alternance) ;\n"
                "Lectoria écrit son fichier sur le disque (fsync) avant de le mettre en place, d'où la\n"
                "colonne « curl + fsync » : curl suivi de la même écriture sur le disque.\n",
                options.repetitions);
    std::printf("%-8s %18s %14s %8s %20s %8s %20s\n", "taille", "Lectoria (Mio/s)", "curl (Mio/s)", "rapport",
                "curl + fsync (Mio/s)", "rapport", "mémoire max (Mio)");
    std::vector<std::pair<size_t, double>> peaks;
    std::vector<QString> keys;
    for (size_t mib : options.sizesMiB) {
        const QString url = server.Url(mib);
        const QString file = folder.filePath(QStringLiteral("edition-%1.pdf").arg(mib));
        std::vector<double> ours, curl, curlSynced;
        long peakKib = 0;
        for (int rep = 0; rep < options.repetitions; ++rep) {
            // Rotate which one goes first, so none always meets a colder or warmer machine.
            for (int turn = 0; turn < 3; ++turn) {
                const int which = (turn + rep) % 3;
                const auto run =
                    which == 0 ? RunOurs(url, file, mib * kMiB) : RunCurl(url, file, mib * kMiB, which == 2);
                if (!run)
                    return 1;
                (which == 0 ? ours : which == 1 ? curl : curlSynced).push_back(static_cast<double>(mib) / run->seconds);
                if (which == 0)
                    peakKib = std::max(peakKib, run->peakKib);
            }
        }
        const double oursMedian = Median(ours), curlMedian = Median(curl), syncedMedian = Median(curlSynced);
        std::printf("%-8s %18.0f %14.0f %8.2f %20.0f %8.2f %20.1f\n", qPrintable(QStringLiteral("%1 Mio").arg(mib)),
                    oursMedian, curlMedian, oursMedian / curlMedian, syncedMedian, oursMedian / syncedMedian,
                    peakKib / 1024.0);
        peaks.emplace_back(mib, peakKib / 1024.0);
        keys.push_back(QStringLiteral("debit_lectoria_%1=%2").arg(mib).arg(oursMedian, 0, 'f', 0));
        keys.push_back(QStringLiteral("debit_curl_%1=%2").arg(mib).arg(curlMedian, 0, 'f', 0));
        keys.push_back(QStringLiteral("rapport_%1=%2").arg(mib).arg(oursMedian / curlMedian, 0, 'f', 2));
        keys.push_back(QStringLiteral("rapport_fsync_%1=%2").arg(mib).arg(oursMedian / syncedMedian, 0, 'f', 2));
        keys.push_back(QStringLiteral("memoire_max_%1=%2").arg(mib).arg(peakKib / 1024.0, 0, 'f', 1));
    }
    if (peaks.size() >= 2) {
        const double growth = peaks.back().second - peaks.front().second;
        std::printf("mémoire max à %zu Mio moins celle à %zu Mio : %+.1f Mio\n", peaks.back().first,
                    peaks.front().first, growth);
        keys.push_back(QStringLiteral("ecart_memoire_max=%1").arg(growth, 0, 'f', 1));
    }
    std::printf("\n");
    for (const QString& key : keys)
        std::printf("%s\n", qPrintable(key));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--telecharger"))
        return DownloadOnce(arguments[2], arguments[3]);
    const auto options = ParseOptions(arguments);
    if (!options) {
        std::fprintf(stderr, "Usage : lectoria-bench-transfer [--tailles 64,512] [--repetitions 3] [--dossier D]\n");
        return 2;
    }
    return Measure(*options);
}
