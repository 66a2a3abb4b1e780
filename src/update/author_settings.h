#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace lectoria {

// The author's web server, which also publishes the history file and the update archive,
// and the author's mail address. Fixed for the program; the host can be replaced through
// LECTORIA_AUTHOR_HOST (a host name, optionally with ":port") by whoever publishes it.
struct AuthorSettings {
    QString AuthorHost;
    QString AuthorEmailAddress;
    QString AuthorShortAddress; // tooltip of the web link only
};

inline const char* const kAuthorHostVariable = "LECTORIA_AUTHOR_HOST";

// Built-in values under .invalid, so that nothing reaches anyone by accident.
AuthorSettings DefaultAuthorSettings();

// A bare host, optionally with a port: no scheme, path, query, user or blank.
bool IsValidAuthorHost(const QString& host);

// Defaults, with AuthorHost replaced by LECTORIA_AUTHOR_HOST when it holds a valid host. A bad
// value is reported through `complain` (one French line) and ignored.
AuthorSettings LoadAuthorSettings(const std::function<QString(const char* name)>& environment,
                                  const std::function<void(const QString&)>& complain);
AuthorSettings LoadAuthorSettingsFromEnvironment(); // complains on stderr

// "http://" + host, without any path or final "/".
QUrl AuthorWebPageUrl(const AuthorSettings& author);
// "mailto:" + address + "?subject=Lectoria v" + version. The blank stays a blank in the address
// (QUrl carries it as "%20" on the wire, never as "+").
QUrl AuthorMailUrl(const AuthorSettings& author, const QString& appVersion);
QUrl HistoryFileUrl(const AuthorSettings& author);
QUrl UpdateArchiveUrl(const AuthorSettings& author);
QUrl ProgramWebPageUrl(const AuthorSettings& author);

} // namespace lectoria
