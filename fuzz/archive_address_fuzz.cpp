// Archive address values (from the environment or the settings): a value taken as a base address must give
// edition addresses that the transfer fetches from that host, with the edition's file at the
// end of the path.
#include "fuzz_support.h"
#include "rules/addresses.h"
#include "rules/editions.h"
#include "storage/configured_values.h"

#include <QUrl>

using namespace lectoria;

namespace {

void CheckEditionAddress(const QString& base, const QString& paper, const QString& fileName) {
    ArchiveSettings archives = DefaultArchiveSettings();
    archives.MetroBaseUrl = base;
    archives.TwentyMinutesBaseUrl = base;
    SelectionState state;
    SelectPaper(state, paper);
    SelectCity(state, QStringLiteral("Paris"), 0);
    RefreshDateParts(state, 3, 5, 2007);
    BuildSourceUrl(state, archives);
    LECTORIA_REQUIRE(state.SourceUrl.startsWith(base));

    // Read as the transfer reads it.
    const QUrl address(state.SourceUrl, QUrl::StrictMode);
    const QUrl parsedBase(base, QUrl::StrictMode);
    LECTORIA_REQUIRE(address.isValid() && !address.host().isEmpty());
    LECTORIA_REQUIRE(address.scheme() == parsedBase.scheme() && address.host() == parsedBase.host() &&
                     address.port() == parsedBase.port());
    LECTORIA_REQUIRE(address.path().endsWith(QLatin1Char('/') + fileName));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString value =
        QString::fromUtf8(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const bool valid = IsValidBaseUrl(value);

    QStringList complaints;
    const ConfigurationSource source{[&](const ConfigurableValue& asked) {
                                         return qstrcmp(asked.variable, kMetroUrlVariable) == 0 ? value : QString();
                                     },
                                     [](const ConfigurableValue&) { return QStringLiteral("la source essayée"); }};
    const ArchiveSettings loaded = LoadArchiveSettings({source}, [&](const QString& line) { complaints << line; });
    const ArchiveSettings defaults = DefaultArchiveSettings();
    LECTORIA_REQUIRE(loaded.TwentyMinutesBaseUrl == defaults.TwentyMinutesBaseUrl);
    LECTORIA_REQUIRE(loaded.MetroBaseUrl == (valid ? value : defaults.MetroBaseUrl));
    LECTORIA_REQUIRE(complaints.size() == (valid || value.isEmpty() ? 0 : 1));
    if (!valid)
        return 0;

    LECTORIA_REQUIRE(value.endsWith(QLatin1Char('/')));
    LECTORIA_REQUIRE(value.startsWith(QLatin1String("http://")) || value.startsWith(QLatin1String("https://")));
    CheckEditionAddress(value, kMetro, QStringLiteral("FRPAR_2007_05_03.pdf"));
    CheckEditionAddress(value, kTwentyMinutes, QStringLiteral("20070503_PAR.pdf"));
    return 0;
}
