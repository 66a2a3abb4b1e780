#include "storage/configured_values.h"

#include <QSettings>
#include <QStringList>
#include <QTextStream>
#include <memory>

namespace lectoria {

namespace {

ConfigurationSource SettingsSource(QSettings::Scope scope) {
    const auto open = [scope] {
        auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, scope, QStringLiteral("Orvane"),
                                                    QStringLiteral("Lectoria"));
        // The user's file alone: what QSettings would otherwise add from the system-wide file is
        // the next source, named on its own.
        settings->setFallbacksEnabled(false);
        return settings;
    };
    return {[open](const ConfigurableValue& value) {
                const QVariant stored = open()->value(value.key);
                // An address written without quotes and holding a comma comes back as a list.
                if (stored.typeId() == QMetaType::QStringList)
                    return stored.toStringList().join(QLatin1Char(','));
                return stored.toString();
            },
            [open](const ConfigurableValue& value) {
                return QStringLiteral("la clé %1 de %2").arg(value.key, open()->fileName());
            }};
}

} // namespace

ConfigurationSources StandardConfigurationSources() {
    ConfigurationSource environment{
        [](const ConfigurableValue& value) { return qEnvironmentVariable(value.variable); },
        [](const ConfigurableValue& value) {
            return QStringLiteral("la variable %1").arg(QString::fromLatin1(value.variable));
        }};
    return {environment, SettingsSource(QSettings::UserScope), SettingsSource(QSettings::SystemScope)};
}

QString FirstValidValue(const ConfigurationSources& sources, const ConfigurableValue& value, const FaultFinder& fault,
                        const QString& fallback, const Complaint& complain) {
    QStringList refused; // each refusal, told once the value used is known
    QString chosen = fallback;
    QString chosenPlace = QStringLiteral("la valeur par défaut");
    for (const ConfigurationSource& source : sources) {
        const QString text = source.read(value);
        if (text.isEmpty())
            continue;
        QString place = source.describe(value);
        const QString wrong = fault(text);
        if (wrong.isEmpty()) {
            chosen = text;
            chosenPlace = place;
            break;
        }
        place[0] = place[0].toUpper();
        refused << QStringLiteral("%1 est ignorée : « %2 » %3.").arg(place, text, wrong);
    }
    for (const QString& line : refused)
        complain(line + QStringLiteral(" Valeur utilisée : %1.").arg(chosenPlace));
    return chosen;
}

ArchiveSettings LoadArchiveSettings(const ConfigurationSources& sources, const Complaint& complain) {
    const ArchiveSettings defaults = DefaultArchiveSettings();
    const auto load = [&](const char* variable, const QString& key, const QString& fallback) {
        return FirstValidValue(sources, {variable, key}, BaseUrlFault, fallback, complain);
    };
    return {load(kMetroUrlVariable, kMetroUrlKey, defaults.MetroBaseUrl),
            load(kTwentyMinutesUrlVariable, kTwentyMinutesUrlKey, defaults.TwentyMinutesBaseUrl)};
}

void ComplainOnStandardError(const QString& line) {
    QTextStream(stderr) << line << Qt::endl;
}

ArchiveSettings LoadConfiguredArchiveSettings() {
    return LoadArchiveSettings(StandardConfigurationSources(), ComplainOnStandardError);
}

} // namespace lectoria
