// lectoria-bench-soak: many downloads of a small edition in one process of the library, from a
// server on 127.0.0.1, with the process's open descriptors, memory and threads along the way.
// They must stay flat: whatever one download opens, it gives back.
//
// The downloads run inside the event loop, as the window's handler calls the library.
#include "common/process_figures.h"
#include "sample_pdf.h"
#include "support/test_server.h"
#include "transfer/http_transfer_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace lectoria;

namespace {

struct Checkpoint {
    int downloads;
    bench::ProcessFigures figures;
};

int Soak(int count) {
    const std::string pdf = tools::MakeSamplePdf("Metro - Paris - 03/05/2007");
    testing_support::TestServer server;
    server.routes().Get("/e.pdf", [&pdf](const httplib::Request&, httplib::Response& response) {
        response.set_content(pdf, "application/pdf");
    });
    const QString url = QString::fromStdString(server.url("/e.pdf"));
    QTemporaryDir folder;
    const QString target = QDir(folder.path()).filePath(QStringLiteral("20070503_Metro_Paris.pdf"));
    HttpTransferLibrary library;

    std::vector<Checkpoint> checkpoints{{0, bench::ReadProcessFigures()}};
    const auto due = [count](int done) { return done == 1 || done == count || done % 1000 == 0; };
    QElapsedTimer clock;
    clock.start();
    for (int done = 1; done <= count; ++done) {
        library.ClearFiles();
        const int result = library.Download(nullptr, url, target);
        if (result != TransferResult::Downloaded) {
            std::fprintf(stderr, "téléchargement %d : résultat %d (%s)\n", done, result,
                         qPrintable(library.LastError()));
            return 1;
        }
        if (due(done))
            checkpoints.push_back({done, bench::ReadProcessFigures()});
    }
    const double msEach = clock.nsecsElapsed() / 1e6 / count;

    std::printf("%d téléchargements de %zu octets dans un seul processus, sur 127.0.0.1 (%.2f ms chacun)\n", count,
                pdf.size(), msEach);
    std::printf("%-18s %12s %10s %10s\n", "téléchargements", "descripteurs", "RSS (Mio)", "threads");
    for (const Checkpoint& c : checkpoints)
        std::printf("%-18d %12ld %10.1f %10ld\n", c.downloads, c.figures.openFiles, c.figures.rssKib / 1024.0,
                    c.figures.threads);
    std::printf("\nms_par_telechargement=%.2f\n", msEach);
    for (const Checkpoint& c : checkpoints)
        std::printf("endurance_%d=%ld %.1f %ld\n", c.downloads, c.figures.openFiles, c.figures.rssKib / 1024.0,
                    c.figures.threads);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (count < 1) {
        std::fprintf(stderr, "Usage : lectoria-bench-soak [NOMBRE_DE_TELECHARGEMENTS]\n");
        return 2;
    }
    int status = 1;
    QTimer::singleShot(0, &app, [&] {
        status = Soak(count);
        QCoreApplication::quit();
    });
    app.exec();
    return status;
}
