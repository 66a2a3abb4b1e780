#include "storage/settings_store.h"

#include <QMetaType>
#include <cmath>
#include <limits>

namespace lectoria {

namespace {

std::optional<qint16> InSixteenBitRange(qlonglong value) {
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<qint16> FromFraction(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    // Halves go to the even neighbour, the way the older versions converted a stored number.
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

} // namespace

std::optional<qint16> StoredCityIndexFrom(const std::optional<QVariant>& stored) {
    if (!stored || !stored->isValid())
        return std::nullopt;
    const QVariant& value = *stored;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return InSixteenBitRange(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(std::numeric_limits<qint16>::max()))
            return std::nullopt;
        return static_cast<qint16>(number);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return FromFraction(value.toDouble());
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return InSixteenBitRange(whole);
        const double fraction = text.toDouble(&ok);
        if (ok)
            return FromFraction(fraction);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

void LoadSettings(SelectionState& state, SettingsStore& store, CityListPort& cities, FolderBoxPort& folderBox) {
    // Each step stands alone: a value that is missing or unusable only drops its own setting.
    qint16 storedCityIndex = 0;
    if (const auto index = StoredCityIndexFrom(store.Read(kCityValueName)))
        storedCityIndex = *index;

    // Selecting the row runs the list's Click handler (SelectCity, then StoreCityIndex) inside
    // this call. A row past the end is refused by the list and simply leaves no city selected.
    if (storedCityIndex > 0)
        (void)cities.SelectRow(storedCityIndex - 1);

    QString storedFolder;
    if (const auto folder = store.Read(kFolderValueName); folder && folder->canConvert<QString>())
        storedFolder = folder->toString();

    // Setting the box's text runs its Change handler, which takes the text back into SaveFolder
    // and writes it again. The folder is not checked here; the Download action does that.
    if (!storedFolder.isEmpty()) {
        state.SaveFolder = storedFolder;
        folderBox.SetText(state.SaveFolder);
    }
}

bool StoreCityIndex(const SelectionState& state, SettingsStore& store) {
    // Stored as a 32-bit number; a negative index keeps its two's-complement bits.
    return store.WriteNumber(kCityValueName, static_cast<quint32>(static_cast<qint32>(state.CityIndex)));
}

bool StoreSaveFolder(const SelectionState& state, SettingsStore& store) {
    return store.WriteText(kFolderValueName, state.SaveFolder);
}

} // namespace lectoria
