// lectoria-cli as a real process: its exit status, stdout, stderr and the folder afterwards.
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// The last weekday on or before today: always inside both papers' windows.
QDate RecentWeekday() {
    QDate day = QDate::currentDate();
    while (day.dayOfWeek() > 5)
        day = day.addDays(-1);
    return day;
}

class Cli : public testing::Test {
protected:
    QTemporaryDir config;
    QTemporaryDir folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    void SetUp() override {
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("LECTORIA_METRO_URL", "http://metro.test/fr/divers/pdf/");
        env.insert("LECTORIA_20MINUTES_URL", "http://vingt.test/");
        env.insert("LC_ALL", "C");
    }

    Outcome Start(const QStringList& arguments, const QString& program = QStringLiteral(LECTORIA_CLI_PATH)) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    void Store(const QString& contents) {
        QDir().mkpath(config.path() + "/Orvane");
        QFile file(config.path() + "/Orvane/Lectoria.conf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.toUtf8());
    }
};

} // namespace

TEST_F(Cli, VersionAndHelp) {
    EXPECT_EQ(Start({"--version"}).out, "Lectoria 1.1.8\n");
    const Outcome help = Start({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--journal")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("Codes de sortie"));
}

TEST_F(Cli, BadCommandLinesNameWhatIsAccepted) {
    struct Case {
        QStringList args;
        const char* says;
    };
    const Case cases[] = {{{"--journal", "libé"}, "Journaux acceptés"},
                          {{"--ville", "Brest"}, "Villes acceptées : Bordeaux, Lille"},
                          {{"--date", "2007-02-30"}, "AAAA-MM-JJ"},
                          {{"--date", "03/05/2007"}, "AAAA-MM-JJ"},
                          {{"--inconnue"}, "inconnue"},
                          {{"en-trop"}, "Argument inattendu"}};
    for (const Case& c : cases) {
        const Outcome run = Start(c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST_F(Cli, AddressPrintsTheEditionAddressAndFileAndNothingElse) {
    const QDate day = RecentWeekday();
    const Outcome run = Start({"--journal", "metro", "--ville", "paris", "--date", day.toString(Qt::ISODate),
                               "--dossier", folder.path(), "--adresse"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "http://metro.test/fr/divers/pdf/" + day.toString("yyyy/MM/dd") + "/FRPAR_" +
                           day.toString("yyyy_MM_dd") + ".pdf\n" + folder.path() + "/" + day.toString("yyyyMMdd") +
                           "_Metro_Paris.pdf\n");
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_TRUE(QDir(folder.path()).isEmpty()); // nothing downloaded
}

TEST_F(Cli, RefusalsFollowTheOrderOfTheChecks) {
    QDate saturday = RecentWeekday();
    while (saturday.dayOfWeek() != 6)
        saturday = saturday.addDays(-1);
    const QString today = RecentWeekday().toString(Qt::ISODate);
    struct Case {
        QStringList args;
        QString err;
    };
    const Case cases[] = {
        {{"--date", saturday.toString(Qt::ISODate)},
         "Pas d'édition le samedi.\nVeuillez sélectionner une autre date.\n"},
        {{"--date", "2000-01-03", "--ville", "Lyon"},
         "Impossible de télécharger une édition de 20 minutes datant de plus de 7 jours.\n"
         "Veuillez sélectionner une date plus proche.\n"},
        {{"--date", today}, "Veuillez sélectionner une ville.\n"},
        {{"--date", today, "--journal", "metro", "--ville", "Nantes", "--dossier", "/nulle/part"},
         "Journal non distribué dans la ville sélectionnée\n"},
        {{"--date", today, "--ville", "Lyon", "--dossier", folder.path() + "/absent"},
         "Veuillez indiquer un dossier d'enregistrement valide\n"},
        {{"--date", today, "--ville", "Lyon"}, "Veuillez indiquer un dossier d'enregistrement valide\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = Start(c.args + QStringList{"--adresse"});
        EXPECT_EQ(run.status, 3) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, c.err) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST_F(Cli, StoredCityAndFolderAreDefaultsAndAreNeverWritten) {
    const QString stored = QString("[General]\nVille=3\nChemin=%1\n").arg(folder.path());
    Store(stored);
    const QDate day = RecentWeekday();
    const Outcome run = Start({"--date", day.toString(Qt::ISODate), "--adresse"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith(folder.path() + "/" + day.toString("yyyyMMdd") + "_20 minutes_Lyon.pdf\n"))
        << run.out.toStdString();
    QFile file(config.path() + "/Orvane/Lectoria.conf");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), stored);
}

TEST_F(Cli, FixedClockThroughFaketime) {
    const QString faketime = QStandardPaths::findExecutable("faketime");
    if (faketime.isEmpty())
        GTEST_SKIP() << "faketime is not installed";
    env.insert("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0");
    const Outcome run = Start({"2007-05-10 12:00:00", QStringLiteral(LECTORIA_CLI_PATH), "--journal", "metro",
                               "--ville", "Paris", "--date", "2007-05-03", "--dossier", folder.path(), "--adresse"},
                              faketime);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("http://metro.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf\n"));
    // Three weeks later the same day is too old for Metro.
    const Outcome late = Start({"2007-05-25 12:00:00", QStringLiteral(LECTORIA_CLI_PATH), "--journal", "metro",
                                "--ville", "Paris", "--date", "2007-05-03", "--dossier", folder.path(), "--adresse"},
                               faketime);
    EXPECT_EQ(late.status, 3);
    EXPECT_TRUE(late.err.startsWith("Impossible de télécharger une édition de Metro datant de plus de 14 jours."));
}
