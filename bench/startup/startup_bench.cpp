// lectoria-bench-startup: time from the start of a process to its window's first paint, for
// lectoria, for a bare Qt Widgets program of one empty window and for the same window showing one
// line of text, in turns, several times.
//
// Both programs print the monotonic clock when their window has painted (lectoria does it
// when LECTORIA_MESURE_DEMARRAGE is set); that clock is the same for every process, so the
// figure is the marker minus the moment just before the process was started. Run it under a
// display (xvfb-run) or with QT_QPA_PLATFORM=offscreen. A third process, the bare window with
// --garder-affichage, stays connected to the display meanwhile, so that no X server resets
// between two launches.
#include <QCoreApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// Milliseconds from just before the start to the first paint, or nothing on a failure.
std::optional<double> TimeToFirstPaint(const QString& program, const QStringList& arguments,
                                       const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto started = std::chrono::steady_clock::now().time_since_epoch();
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        std::fprintf(stderr, "%s ne s'est pas terminé normalement.\n", qPrintable(program));
        return std::nullopt;
    }
    bool ok = false;
    const qint64 paintedAt = process.readAllStandardOutput().trimmed().toLongLong(&ok);
    if (!ok) {
        std::fprintf(stderr, "%s n'a pas signalé son premier affichage.\n", qPrintable(program));
        return std::nullopt;
    }
    return (paintedAt - std::chrono::nanoseconds(started).count()) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QString lectoria = QStringLiteral(LECTORIA_APP_PATH);
    QString bare = QStringLiteral(LECTORIA_BARE_WINDOW_PATH);
    int repetitions = 15;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--lectoria"))
            lectoria = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--fenetre-nue"))
            bare = arguments[i + 1];
        else if (arguments[i] == QLatin1String("--repetitions"))
            repetitions = arguments[i + 1].toInt();
    }
    if (lectoria.isEmpty() || bare.isEmpty() || repetitions < 1 || arguments.size() % 2 == 0) {
        std::fprintf(stderr, "Usage : lectoria-bench-startup [--lectoria PROG] [--fenetre-nue PROG] "
                             "[--repetitions 15]\n");
        return 2;
    }

    // A fresh settings folder: a first run, the same at every repetition.
    QTemporaryDir settings;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    environment.insert(QStringLiteral("LECTORIA_MESURE_DEMARRAGE"), QStringLiteral("1"));

    // A client that stays connected to the display for the whole run (see bare_window.cpp).
    QProcess keeper;
    keeper.setProcessEnvironment(environment);
    keeper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    keeper.start(bare, {QStringLiteral("--garder-affichage")});
    if (!keeper.waitForReadyRead(30000)) {
        std::fprintf(stderr, "%s --garder-affichage ne s'est pas connecté à l'affichage.\n", qPrintable(bare));
        return 1;
    }
    const auto stopKeeper = qScopeGuard([&keeper] {
        keeper.closeWriteChannel();
        if (!keeper.waitForFinished(10000))
            keeper.kill();
    });

    // The yardsticks: the bare window, and the same window with one line of text, which is what
    // any window with text pays at least (fontconfig, a font, shaping, glyphs).
    struct Contender {
        const char* name;
        QString program;
        QStringList arguments;
        std::vector<double> times;
    };
    Contender contenders[] = {{"lectoria", lectoria, {}, {}},
                              {"fenêtre Qt nue", bare, {}, {}},
                              {"nue + une ligne de texte", bare, {QStringLiteral("--ligne-de-texte")}, {}}};
    // One start of each first, unmeasured: it fills the system's caches (libraries, fonts).
    for (int rep = -1; rep < repetitions; ++rep)
        for (Contender& c : contenders) {
            const auto time = TimeToFirstPaint(c.program, c.arguments, environment);
            if (!time)
                return 1;
            if (rep >= 0)
                c.times.push_back(*time);
        }
    const QString platform =
        environment.value(QStringLiteral("QT_QPA_PLATFORM"),
                          environment.contains(QStringLiteral("DISPLAY"))
                              ? QStringLiteral("xcb (DISPLAY=%1)").arg(environment.value(QStringLiteral("DISPLAY")))
                              : QStringLiteral("par défaut"));
    std::printf("Démarrage jusqu'au premier affichage de la fenêtre, médiane de %d lancements (plateforme %s)\n",
                repetitions, qPrintable(platform));
    for (const Contender& c : contenders)
        std::printf("%-26s %8.1f ms (min %.1f, max %.1f)\n", c.name, Median(c.times),
                    *std::min_element(c.times.begin(), c.times.end()),
                    *std::max_element(c.times.begin(), c.times.end()));
    const double ours = Median(contenders[0].times), bareWindow = Median(contenders[1].times),
                 oneLine = Median(contenders[2].times);
    std::printf("rapport : %.2f (à une ligne de texte : %.2f ; la ligne seule : %.2f)\n\n", ours / bareWindow,
                ours / oneLine, oneLine / bareWindow);
    std::printf("demarrage_lectoria_ms=%.1f\ndemarrage_nue_ms=%.1f\ndemarrage_ligne_ms=%.1f\nrapport_demarrage=%.2f\n"
                "rapport_ligne=%.2f\nrapport_ligne_seule=%.2f\n",
                ours, bareWindow, oneLine, ours / bareWindow, ours / oneLine, oneLine / bareWindow);
    return 0;
}
