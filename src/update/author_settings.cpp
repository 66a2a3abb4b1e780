#include "update/author_settings.h"

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

AuthorSettings LoadAuthorSettings(const ConfigurationSources& sources, const Complaint& complain) {
    AuthorSettings settings = DefaultAuthorSettings();
    const auto fault = [](const QString& host) {
        return IsValidAuthorHost(host) ? QString()
                                       : QStringLiteral("n'est pas un nom d'hôte (éventuellement suivi de « :port »)");
    };
    settings.AuthorHost =
        FirstValidValue(sources, {kAuthorHostVariable, kAuthorHostKey}, fault, settings.AuthorHost, complain);
    return settings;
}

AuthorSettings LoadConfiguredAuthorSettings() {
    return LoadAuthorSettings(StandardConfigurationSources(), ComplainOnStandardError);
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
