#pragma once

#include "rules/addresses.h"

#include <QString>
#include <functional>
#include <vector>

namespace lectoria {

// Keys of the values that an administrator sets once for every user in the system-wide
// settings, or a user for themself in their own. The program reads them and never writes them.
inline const QString kMetroUrlKey = QStringLiteral("Adresses/ArchiveMetro");
inline const QString kTwentyMinutesUrlKey = QStringLiteral("Adresses/Archive20minutes");
inline const QString kAuthorHostKey = QStringLiteral("Adresses/HoteAuteur");

// A value that can be set by an environment variable or by a settings key.
struct ConfigurableValue {
    const char* variable;
    QString key;
};

// One place where such a value may be set. `read` gives an empty text when the value is not set
// there; `describe` names the place in messages ("la variable X", "la clé K de <fichier>").
struct ConfigurationSource {
    std::function<QString(const ConfigurableValue&)> read;
    std::function<QString(const ConfigurableValue&)> describe;
};
using ConfigurationSources = std::vector<ConfigurationSource>; // strongest first

using Complaint = std::function<void(const QString&)>;

// The environment, then the user's settings (~/.config/Orvane/Lectoria.conf, or
// HKCU\Software\Orvane\Lectoria), then the system-wide ones (/etc/xdg/Orvane/Lectoria.conf, or
// HKLM\Software\Orvane\Lectoria). Each file is read alone, without QSettings' fallbacks, so that
// a message can name the one a value came from.
ConfigurationSources StandardConfigurationSources();

// What is wrong with a value, as the end of a French sentence about it ("n'est pas un nom
// d'hôte", "contient un espace…"); empty when the value is accepted.
using FaultFinder = std::function<QString(const QString&)>;

// The value of the strongest source that sets it to something without a fault, else `fallback`.
// Every value set but refused is reported through `complain`, one French line naming its place,
// the value, what is wrong with it and the value used instead.
QString FirstValidValue(const ConfigurationSources& sources, const ConfigurableValue& value, const FaultFinder& fault,
                        const QString& fallback, const Complaint& complain);

// The two archive base addresses, each from the first source that holds a valid one
// (BaseUrlFault), else the built-in default.
ArchiveSettings LoadArchiveSettings(const ConfigurationSources& sources, const Complaint& complain);

// The one reading that the window and the command line share: the standard sources, with
// complaints on stderr.
ArchiveSettings LoadConfiguredArchiveSettings();

// Writes a complaint on stderr.
void ComplainOnStandardError(const QString& line);

} // namespace lectoria
