#include "update/author_settings.h"

#include <QTextStream>

namespace lectoria {

AuthorSettings DefaultAuthorSettings() {
    return {QStringLiteral("www.orvane.invalid"), QStringLiteral("auteur@orvane.invalid"),
            QStringLiteral("http://orvane.invalid")};
}

bool IsValidAuthorHost(const QString& host) {
    if (host.isEmpty() || host.contains(QLatin1Char(' ')))
        return false;
    const QUrl url(QLatin1String("http://") + host, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() && url.path().isEmpty() && !url.hasQuery() && !url.hasFragment() &&
           url.userInfo().isEmpty();
}

AuthorSettings LoadAuthorSettings(const std::function<QString(const char* name)>& environment,
                                  const std::function<void(const QString&)>& complain) {
    AuthorSettings settings = DefaultAuthorSettings();
    const QString host = environment(kAuthorHostVariable);
    if (host.isEmpty())
        return settings;
    if (IsValidAuthorHost(host)) {
        settings.AuthorHost = host;
    } else {
        complain(QStringLiteral("%1 ignorée : « %2 » n'est pas un nom d'hôte (éventuellement suivi de « :port »). "
                                "L'hôte par défaut est conservé.")
                     .arg(QString::fromLatin1(kAuthorHostVariable), host));
    }
    return settings;
}

AuthorSettings LoadAuthorSettingsFromEnvironment() {
    return LoadAuthorSettings([](const char* name) { return qEnvironmentVariable(name); },
                              [](const QString& line) { QTextStream(stderr) << line << Qt::endl; });
}

namespace {
QUrl OnAuthorHost(const AuthorSettings& author, QLatin1String path) {
    return QUrl(QLatin1String("http://") + author.AuthorHost + path);
}
} // namespace

QUrl AuthorWebPageUrl(const AuthorSettings& author) {
    return OnAuthorHost(author, QLatin1String(""));
}

QUrl AuthorMailUrl(const AuthorSettings& author, const QString& appVersion) {
    // Tolerant parsing keeps the blank as a blank of the subject; QUrl encodes it as "%20".
    return QUrl(QLatin1String("mailto:") + author.AuthorEmailAddress + QLatin1String("?subject=Lectoria v") +
                    appVersion,
                QUrl::TolerantMode);
}

QUrl HistoryFileUrl(const AuthorSettings& author) {
    return OnAuthorHost(author, QLatin1String("/divers/download/VB/lctr_hist.txt"));
}

QUrl UpdateArchiveUrl(const AuthorSettings& author) {
    return OnAuthorHost(author, QLatin1String("/divers/download/VB/Lectoria.zip"));
}

QUrl ProgramWebPageUrl(const AuthorSettings& author) {
    return OnAuthorHost(author, QLatin1String("/applis.htm#lctr"));
}

} // namespace lectoria
