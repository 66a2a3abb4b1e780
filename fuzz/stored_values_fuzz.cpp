// The two stored values, "Ville" and "Chemin", as every kind of QVariant a settings store may
// give back, applied by the loader to a city list of ten entries and a folder box.
#include "fuzz_support.h"
#include "rules/editions.h"
#include "storage/settings_store.h"
#include "storage_doubles.h"

#include <QStringList>
#include <cmath>
#include <cstring>
#include <vector>

using namespace lectoria;
using lectoria::testing::FakeCityList;
using lectoria::testing::FakeFolderBox;
using lectoria::testing::FakeStore;

namespace {

template <typename T> T FirstBytesAs(const QByteArray& bytes) {
    T value{};
    std::memcpy(&value, bytes.constData(), qMin<size_t>(sizeof value, static_cast<size_t>(bytes.size())));
    return value;
}

bool InSixteenBits(long double value) {
    return value >= -32768 && value <= 32767;
}

// What the conversion must give for a whole number: the number when it fits in 16 bits.
template <typename T> void CheckWhole(const QVariant& stored, T number) {
    const auto index = StoredCityIndexFrom(stored);
    LECTORIA_REQUIRE(index.has_value() == InSixteenBits(static_cast<long double>(number)));
    LECTORIA_REQUIRE(!index || *index == static_cast<long double>(number));
}

void CheckFraction(const QVariant& stored, double number) {
    const auto index = StoredCityIndexFrom(stored);
    if (!std::isfinite(number) || !InSixteenBits(std::nearbyint(number))) {
        LECTORIA_REQUIRE(!index);
        return;
    }
    LECTORIA_REQUIRE(index && std::fabs(*index - number) <= 0.5);
}

// The loader with `city` as "Ville" and `folder` as "Chemin" (nothing stored for nullopt).
void CheckLoad(const std::optional<QVariant>& city, const std::optional<QVariant>& folder) {
    FakeStore store;
    if (city)
        store.values[kCityValueName] = *city;
    if (folder)
        store.values[kFolderValueName] = *folder;
    SelectionState state;
    FakeCityList cities(state, store);
    FakeFolderBox box(state, store, QString());
    LoadSettings(state, store, cities, box);

    const auto index = StoredCityIndexFrom(city);
    const bool applied = index && *index >= 1 && *index <= 10;
    LECTORIA_REQUIRE(cities.row >= -1 && cities.row <= 9); // never a row outside the list
    LECTORIA_REQUIRE(cities.row == (applied ? *index - 1 : -1));
    LECTORIA_REQUIRE(state.CityIndex == (applied ? *index : 0));

    QString expectedFolder;
    if (folder && folder->canConvert<QString>())
        expectedFolder = folder->toString();
    LECTORIA_REQUIRE(state.SaveFolder == expectedFolder);
    LECTORIA_REQUIRE(box.text == expectedFolder);

    // Each applied value is written back once, as it was read; nothing else is written.
    std::vector<std::pair<QString, QVariant>> expectedWrites;
    if (applied)
        expectedWrites.emplace_back(kCityValueName, QVariant::fromValue(static_cast<quint32>(*index)));
    if (!expectedFolder.isEmpty())
        expectedWrites.emplace_back(kFolderValueName, expectedFolder);
    LECTORIA_REQUIRE(store.writes == expectedWrites);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);
    const auto whole = FirstBytesAs<qint64>(bytes);
    const auto fraction = FirstBytesAs<double>(bytes);
    const auto single = FirstBytesAs<float>(bytes);
    // The text itself read as a number, the way a hand-edited settings file holds it.
    bool isWholeText = false;
    const qlonglong textWhole = text.trimmed().toLongLong(&isWholeText);

    CheckWhole(QVariant::fromValue(static_cast<int>(whole)), static_cast<int>(whole));
    CheckWhole(QVariant::fromValue(static_cast<short>(whole)), static_cast<short>(whole));
    CheckWhole(QVariant::fromValue(static_cast<long>(whole)), static_cast<long>(whole));
    CheckWhole(QVariant::fromValue(whole), whole);
    CheckWhole(QVariant::fromValue(static_cast<quint32>(whole)), static_cast<quint32>(whole));
    CheckWhole(QVariant::fromValue(static_cast<quint16>(whole)), static_cast<quint16>(whole));
    CheckWhole(QVariant::fromValue(static_cast<quint64>(whole)), static_cast<quint64>(whole));
    CheckWhole(QVariant(QString::number(whole)), whole);
    CheckWhole(QVariant(QStringLiteral(" %1 ").arg(static_cast<quint32>(whole))), static_cast<quint32>(whole));
    if (isWholeText)
        CheckWhole(QVariant(text), textWhole);
    CheckFraction(QVariant::fromValue(fraction), fraction);
    CheckFraction(QVariant::fromValue(single), single);

    const std::vector<std::optional<QVariant>> kinds = {
        std::nullopt,
        QVariant(),
        QVariant(text),
        QVariant(QString::fromLatin1(bytes)),
        QVariant(bytes),
        QVariant(text.split(QLatin1Char(','))),
        QVariant::fromValue(static_cast<quint32>(whole)),
        QVariant::fromValue(whole),
        QVariant::fromValue(fraction),
        QVariant(size % 2 == 0),
        QVariant::fromValue(static_cast<char>(whole)),
    };
    for (const auto& city : kinds)
        CheckLoad(city, kinds[size % kinds.size()]);
    for (const auto& folder : kinds)
        CheckLoad(kinds[(size / 2) % kinds.size()], folder);
    return 0;
}
