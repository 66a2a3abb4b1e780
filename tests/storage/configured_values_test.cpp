// Where the archive addresses come from, against settings folders of the test's own.
#include "storage/configured_values.h"
#include "storage/settings_store.h"
#include "support/qt_printers.h"
#include "support/test_files.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lectoria;
using testing_support::Read;
using testing_support::Write;

namespace {

const QString kUserMetro = "http://utilisateur.test/fr/divers/pdf/";
const QString kSystemMetro = "https://systeme.test:8443/fr/divers/pdf/";
const QString kEnvironmentMetro = "http://127.0.0.1:8765/fr/divers/pdf/";

class ConfiguredValues : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(user.isValid() && system.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system.path());
        ASSERT_TRUE(QDir().mkpath(user.filePath("Orvane")) && QDir().mkpath(system.filePath("Orvane")));
    }
    void TearDown() override {
        qunsetenv(kMetroUrlVariable);
        qunsetenv(kTwentyMinutesUrlVariable);
    }
    QString UserFile() const { return user.filePath("Orvane/Lectoria.conf"); }
    QString SystemFile() const { return system.filePath("Orvane/Lectoria.conf"); }
    ArchiveSettings Load() {
        complaints.clear();
        return LoadArchiveSettings(StandardConfigurationSources(), [this](const QString& l) { complaints << l; });
    }

    QTemporaryDir user;
    QTemporaryDir system;
    QStringList complaints;
};

} // namespace

// Every row also holds a system-wide 20 minutes address with a comma: its own key, no quotes needed.
TEST_F(ConfiguredValues, EnvironmentOverUserFileOverSystemFileOverDefault) {
    const QString defaultMetro = DefaultArchiveSettings().MetroBaseUrl;
    const QString bad = "ftp://mauvaise.test/";
    const QString envPlace = "La variable LECTORIA_METRO_URL";
    const QString userPlace = "la clé Adresses/ArchiveMetro de " + UserFile();
    const QString systemPlace = "la clé Adresses/ArchiveMetro de " + SystemFile();
    const auto capital = [](QString place) { return place.replace(0, 1, place[0].toUpper()); };
    struct Case {
        QString environment, userValue, systemValue, expected;
        QStringList refusedPlaces; // in source order
        QString usedPlace;
    };
    const Case cases[] = {
        {"", "", "", defaultMetro, {}, ""},
        {"", "", kSystemMetro, kSystemMetro, {}, ""},
        {"", kUserMetro, kSystemMetro, kUserMetro, {}, ""},
        {kEnvironmentMetro, kUserMetro, kSystemMetro, kEnvironmentMetro, {}, ""},
        {bad, kUserMetro, kSystemMetro, kUserMetro, {envPlace}, userPlace},
        {bad, bad, kSystemMetro, kSystemMetro, {envPlace, capital(userPlace)}, systemPlace},
        {"", "", bad, defaultMetro, {capital(systemPlace)}, "la valeur par défaut"},
        {bad, bad, bad, defaultMetro, {envPlace, capital(userPlace), capital(systemPlace)}, "la valeur par défaut"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(("env=" + c.environment + " user=" + c.userValue + " system=" + c.systemValue).toStdString());
        qputenv(kMetroUrlVariable, c.environment.toUtf8());
        Write(UserFile(), c.userValue.isEmpty() ? "" : "[Adresses]\nArchiveMetro=" + c.userValue.toUtf8() + "\n");
        Write(SystemFile(), "[Adresses]\nArchive20minutes=http://vingt.test/a,b/\n" +
                                (c.systemValue.isEmpty() ? "" : "ArchiveMetro=" + c.systemValue.toUtf8() + "\n"));
        const ArchiveSettings loaded = Load();
        EXPECT_EQ(loaded.MetroBaseUrl, c.expected);
        EXPECT_EQ(loaded.TwentyMinutesBaseUrl, "http://vingt.test/a,b/");
        ASSERT_EQ(complaints.size(), c.refusedPlaces.size());
        for (int i = 0; i < complaints.size(); ++i)
            EXPECT_EQ(complaints[i], c.refusedPlaces[i] + " est ignorée : « " + bad +
                                         " » n'est pas une adresse http:// ou https:// terminée par « / », "
                                         "sans « ? » ni « # ». Valeur utilisée : " +
                                         c.usedPlace + ".");
    }
}

TEST_F(ConfiguredValues, OnlyBaseAddressesOverHttpEndingWithASlashAreTaken) {
    for (const QString bad : {"http://host/no-slash", "ftp://host/", "file:///tmp/", "http:///", "host/", "http:/x/",
                              "http://[::]?/", "http://host/?q=/", "http://host/#/"}) {
        qputenv(kTwentyMinutesUrlVariable, bad.toUtf8());
        EXPECT_EQ(Load().TwentyMinutesBaseUrl, DefaultArchiveSettings().TwentyMinutesBaseUrl) << bad.toStdString();
        ASSERT_EQ(complaints.size(), 1) << bad.toStdString();
        EXPECT_TRUE(complaints[0].contains("« " + bad + " »"));
    }
    // A blank or a bad % escape is named: the address looks right to the eye otherwise.
    const struct {
        const char* value;
        const char* fault;
    } told[] = {{"http://host/mes archives/", "contient un espace, interdit dans une adresse (l'écrire %20)"},
                {"http://host/100%/", "contient un « % » qui n'est pas suivi de deux chiffres hexadécimaux (écrire "
                                      "%25 pour un « % »)"}};
    for (const auto& t : told) {
        qputenv(kTwentyMinutesUrlVariable, t.value);
        Load();
        ASSERT_EQ(complaints.size(), 1) << t.value;
        EXPECT_EQ(complaints[0],
                  QString("La variable LECTORIA_20MINUTES_URL est ignorée : « %1 » %2. Valeur utilisée : "
                          "la valeur par défaut.")
                      .arg(t.value, t.fault));
    }
}

// Storing the window's two values leaves the addresses byte for byte (keys in QSettings' order).
TEST_F(ConfiguredValues, StoringTheCityAndFolderLeavesTheAddressesAlone) {
    const QByteArray addresses =
        "[Adresses]\nArchive20minutes=\"http://vingt.test/a,b/\"\nArchiveMetro=" + kUserMetro.toUtf8() +
        "\nHoteAuteur=auteur.test:8080\n";
    Write(UserFile(), addresses);
    const auto store = MakeUserSettingsStore();
    SelectionState state;
    state.CityIndex = 3;
    state.SaveFolder = "/home/zoë/Presse";
    ASSERT_TRUE(StoreCityIndex(state, *store) && StoreSaveFolder(state, *store));
    const QByteArray written = Read(UserFile());
    EXPECT_TRUE(written.contains(addresses) && written.contains("Ville=3") && written.contains("Chemin="))
        << written.toStdString();
    const ArchiveSettings loaded = Load();
    EXPECT_EQ(loaded.MetroBaseUrl, kUserMetro);
    EXPECT_EQ(loaded.TwentyMinutesBaseUrl, "http://vingt.test/a,b/");
}
