// lectoria-cli's argument parsers. The input is a command line: arguments separated by NUL
// bytes, which no real argument can hold.
#include "cli_options.h"
#include "fuzz_support.h"
#include "rules/editions.h"

#include <QSet>

using namespace lectoria;
using namespace lectoria::cli;

namespace {

bool IsAsciiDigits(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void CheckSingleValues(const QString& argument) {
    // A day, an hour or a count that is accepted is a real one, and written the way it was given.
    if (const auto day = DateFromArgument(argument)) {
        LECTORIA_REQUIRE(day->isValid());
        LECTORIA_REQUIRE(day->toString(Qt::ISODate) == argument);
    }
    if (const auto time = TimeFromArgument(argument)) {
        LECTORIA_REQUIRE(time->isValid());
        LECTORIA_REQUIRE(time->toString(QStringLiteral("HH:mm")) == argument);
    }
    if (const auto days = DaysFromArgument(argument)) {
        LECTORIA_REQUIRE(*days >= 0 && *days <= 3650);
        LECTORIA_REQUIRE(IsAsciiDigits(argument) && argument.size() <= 4 && argument.toInt() == *days);
    }
    if (const auto paper = PaperFromArgument(argument))
        LECTORIA_REQUIRE(PaperNames().contains(*paper));
    if (const auto city = CityFromArgument(argument))
        LECTORIA_REQUIRE(CityNames().contains(*city) && city->compare(argument, Qt::CaseInsensitive) == 0);
}

// Names from the lists only, in list order, once each; every recognised word is among them; the
// unknown word is one of the words given and is not recognised.
void CheckNameList(const NameList& list, const QStringList& values, const QStringList& all,
                   const std::function<std::optional<QString>(const QString&)>& recognise) {
    qsizetype previous = -1;
    for (const QString& name : list.names) {
        const qsizetype position = all.indexOf(name);
        LECTORIA_REQUIRE(position > previous);
        previous = position;
    }
    bool everything = false;
    bool unknownSeen = list.unknown.isEmpty();
    for (const QString& value : values) {
        for (const QString& word : value.split(QLatin1Char(','))) {
            const QString trimmed = word.trimmed();
            if (trimmed.compare(QLatin1String("tous"), Qt::CaseInsensitive) == 0 ||
                trimmed.compare(QLatin1String("toutes"), Qt::CaseInsensitive) == 0)
                everything = true;
            else if (const auto name = recognise(trimmed))
                LECTORIA_REQUIRE(list.names.contains(*name));
            unknownSeen = unknownSeen || trimmed == list.unknown;
        }
    }
    LECTORIA_REQUIRE(unknownSeen && !recognise(list.unknown).has_value());
    LECTORIA_REQUIRE(!list.unknown.contains(QLatin1Char(',')) && list.unknown == list.unknown.trimmed());
    LECTORIA_REQUIRE(!everything || list.names == all);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList arguments;
    for (const QByteArray& part : bytes.split('\0'))
        arguments << QString::fromLocal8Bit(part);
    for (const QString& argument : arguments)
        CheckSingleValues(argument);
    CheckNameList(PapersFromArguments(arguments), arguments, PaperNames(), PaperFromArgument);
    CheckNameList(CitiesFromArguments(arguments), arguments, CityNames(), CityFromArgument);
    return 0;
}
