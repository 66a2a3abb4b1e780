// lectoria-archive-locale: a stand-in for the two newspapers' archives, on 127.0.0.1 only.
// It serves a small generated PDF for every weekday edition from 14 days ago to tomorrow,
// under both address layouts, and answers 404 for anything else.
#include "sample_pdf.h"

#include "rules/editions.h"

#include <QCoreApplication>
#include <QDate>
#include <QRegularExpression>
#include <httplib.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

using namespace lectoria;

namespace {

struct Edition {
    QString paper;
    QString city;
    QDate day;
};

std::optional<QString> CityOfCode(const QString& code) {
    for (const QString& city : CityNames())
        if (CityCode(city) == code)
            return city;
    return std::nullopt;
}

std::optional<Edition> Parse(const QString& path) {
    static const QRegularExpression metro(
        QStringLiteral("^/fr/divers/pdf/(\\d{4})/(\\d{2})/(\\d{2})/FR([A-Z]{3})_(\\d{4})_(\\d{2})_(\\d{2})\\.pdf$"));
    static const QRegularExpression twenty(QStringLiteral("^/(\\d{4})(\\d{2})(\\d{2})_([A-Z]{3})\\.pdf$"));
    if (const auto m = metro.match(path); m.hasMatch()) {
        if (m.captured(1) != m.captured(5) || m.captured(2) != m.captured(6) || m.captured(3) != m.captured(7))
            return std::nullopt;
        const auto city = CityOfCode(m.captured(4));
        if (!city)
            return std::nullopt;
        return Edition{kMetro, *city, QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt())};
    }
    if (const auto m = twenty.match(path); m.hasMatch()) {
        const auto city = CityOfCode(m.captured(4));
        if (!city)
            return std::nullopt;
        return Edition{kTwentyMinutes, *city,
                       QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt())};
    }
    return std::nullopt;
}

bool IsPublished(const Edition& edition) {
    const QDate today = QDate::currentDate();
    return edition.day.isValid() && edition.day.dayOfWeek() <= 5 && edition.day >= today.addDays(-14) &&
           edition.day <= today.addDays(1) && IsPaperDistributed(edition.paper, edition.city);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int port = 8765;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "Usage : lectoria-archive-locale [--port N] (0 : un port libre)\n");
            return 2;
        }
    }
    httplib::Server server;
    // A client that keeps its connection (a catch-up, curl with a list of addresses) is not made
    // to open a new one every five requests, cpp-httplib's default.
    server.set_keep_alive_max_count(1000);
    // As web servers do: without it, the body, written after the headers, waits for the client's
    // delayed acknowledgement (40 ms) on every request of a kept connection.
    server.set_tcp_nodelay(true);
    server.Get(".*", [](const httplib::Request& request, httplib::Response& response) {
        const auto edition = Parse(QString::fromStdString(request.path));
        if (!edition || !IsPublished(*edition)) {
            response.status = 404;
            response.set_content("Edition introuvable\n", "text/plain");
            return;
        }
        const std::string title = (edition->paper == kMetro ? std::string("Metro") : std::string("20 minutes")) +
                                  " - " + edition->city.toStdString() + " - " +
                                  edition->day.toString(QStringLiteral("dd/MM/yyyy")).toStdString();
        response.set_content(tools::MakeSamplePdf(title), "application/pdf");
    });
    // Port 0 takes any free port. The address is printed once the port is bound, so a script
    // that reads this line can connect at once.
    const int bound =
        port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "Impossible d'écouter sur le port %d.\n", port);
        return 1;
    }
    std::fprintf(stderr, "Archive d'exemple sur http://127.0.0.1:%d/\n", bound);
    std::fflush(stderr);
    return server.listen_after_bind() ? 0 : 1;
}
