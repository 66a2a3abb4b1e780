// The two stored values, "Ville" and "Chemin", as every kind of QVariant a settings store may
// give back, applied by the loader to a city list of ten entries and a folder box.
#include "fuzz_support.h"
#include "rules/editions.h"
#include "storage/settings_store.h"

#include <QStringList>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

using namespace lectoria;

namespace {

struct MemoryStore final : SettingsStore {
    std::map<QString, QVariant> values;
    std::vector<std::pair<QString, QVariant>> writes;
    std::optional<QVariant> Read(const QString& name) override {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<QVariant>(it->second);
    }
    bool WriteNumber(const QString& name, quint32 value) override { return Write(name, value); }
    bool WriteText(const QString& name, const QString& value) override { return Write(name, value); }
    bool Write(const QString& name, const QVariant& value) {
        writes.emplace_back(name, value);
        values[name] = value;
        return true;
    }
};

// The ten-entry list as the window wires it: a selected row runs SelectCity then StoreCityIndex.
struct TenCities final : CityListPort {
    SelectionState& state;
    SettingsStore& store;
    int row = -1;
    TenCities(SelectionState& s, SettingsStore& st) : state(s), store(st) {}
    bool SelectRow(int r) override {
        if (r < 0 || r >= CityNames().size())
            return false;
        row = r;
        SelectCity(state, CityNames()[r], r);
        StoreCityIndex(state, store);
        return true;
    }
    QString CurrentText() const override { return row < 0 ? QString() : CityNames()[row]; }
    int CurrentRow() const override { return row; }
};

struct Box final : FolderBoxPort {
    SelectionState& state;
    SettingsStore& store;
    QString text;
    Box(SelectionState& s, SettingsStore& st) : state(s), store(st) {}
    QString Text() const override { return text; }
    void SetText(const QString& t) override {
        if (t == text)
            return;
        text = t;
        state.SaveFolder = t;
        StoreSaveFolder(state, store);
    }
};

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
    MemoryStore store;
    if (city)
        store.values[kCityValueName] = *city;
    if (folder)
        store.values[kFolderValueName] = *folder;
    SelectionState state;
    TenCities cities(state, store);
    Box box(state, store);
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
