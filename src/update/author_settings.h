#pragma once

#include "storage/configured_values.h"

#include <QString>
#include <QUrl>

namespace lectoria {

// The author's web server, which also publishes the history file and the update archive,
// and the author's mail address. Fixed for the program; the host can be replaced by whoever
// publishes it through LECTORIA_AUTHOR_HOST or the settings key Adresses/HoteAuteur (a host
// name, optionally with ":port").
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

// Defaults, with AuthorHost taken from the first source that holds a valid host. A bad value is
// reported through `complain` (one French line) and skipped.
AuthorSettings LoadAuthorSettings(const ConfigurationSources& sources, const Complaint& complain);
AuthorSettings LoadConfiguredAuthorSettings(); // the standard sources; complains on stderr

// "http://" + host, without any path or final "/".
QUrl AuthorWebPageUrl(const AuthorSettings& author);
// "mailto:" + address + "?subject=Lectoria v" + version. The blank stays a blank in the address
// (QUrl carries it as "%20" on the wire, never as "+").
QUrl AuthorMailUrl(const AuthorSettings& author, const QString& appVersion);
QUrl HistoryFileUrl(const AuthorSettings& author);
QUrl UpdateArchiveUrl(const AuthorSettings& author);
QUrl ProgramWebPageUrl(const AuthorSettings& author);

} // namespace lectoria
