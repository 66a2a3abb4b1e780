#include "catchup/run_report.h"

#include "rules/editions.h"
#include "transfer/progress_view.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

namespace lectoria::catchup {

namespace {

const char* JsonStatus(EditionStatus status) {
    switch (status) {
    case EditionStatus::Fetched:
        return "telecharge";
    case EditionStatus::Present:
        return "deja_present";
    case EditionStatus::NotPublished:
        return "non_publie";
    case EditionStatus::Removed:
        return "supprime";
    case EditionStatus::Failed:
        break;
    }
    return "echec";
}

QString StatusText(const EditionReport& report) {
    switch (report.status) {
    case EditionStatus::Fetched:
        return QStringLiteral(" : téléchargée (%1)").arg(FormatSize(report.bytes));
    case EditionStatus::Present:
        return QStringLiteral(" : déjà présent");
    case EditionStatus::NotPublished:
        return QStringLiteral(" : non publiée (%1)").arg(report.error);
    case EditionStatus::Removed:
        return QStringLiteral(" : supprimée (%1)").arg(QDir(report.file).dirName());
    case EditionStatus::Failed:
        break;
    }
    return QStringLiteral(" : échec. ") + report.error;
}

} // namespace

QStringList NotDistributedLines(const QStringList& papers, const QStringList& cities) {
    QStringList lines;
    for (const QString& paper : papers)
        for (const QString& city : cities)
            if (!IsPaperDistributed(paper, city))
                lines << QStringLiteral("%1 n'est pas distribué à %2 : ignoré.").arg(paper, city);
    return lines;
}

QString EditionText(const Edition& edition) {
    if (edition.paper.isEmpty()) // the clean-up of the folder, about no edition in particular
        return QStringLiteral("Nettoyage du dossier");
    return QStringLiteral("%1 %2 du %3").arg(edition.paper, edition.city, EditionDateText(edition.day));
}

QString EditionLine(const EditionReport& report) {
    return EditionText(report.edition) + StatusText(report);
}

QByteArray EditionJson(const EditionReport& report) {
    QJsonObject object{{"date", report.edition.day.toString(Qt::ISODate)},
                       {"journal", report.edition.paper},
                       {"ville", report.edition.city},
                       {"adresse", report.url},
                       {"fichier", report.file},
                       {"statut", JsonStatus(report.status)},
                       {"octets", report.bytes}};
    if (!report.error.isEmpty())
        object.insert("erreur", report.error);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void RunReport::Add(const EditionReport& report) {
    Tally& tally = tallies_[static_cast<int>(report.status)];
    ++tally.count;
    tally.bytes += report.bytes;
    editions_.append(report);
}

int RunReport::Count(EditionStatus status) const {
    return tallies_[static_cast<int>(status)].count;
}

QString RunReport::Summary(qint64 elapsedMs) const {
    const Tally& fetched = tallies_[static_cast<int>(EditionStatus::Fetched)];
    const Tally& present = tallies_[static_cast<int>(EditionStatus::Present)];
    QString line = QStringLiteral("Bilan : %1 téléchargée(s) (%2), %3 déjà présente(s) (%4), "
                                  "%5 non publiée(s), %6 en échec")
                       .arg(fetched.count)
                       .arg(FormatSize(fetched.bytes))
                       .arg(present.count)
                       .arg(FormatSize(present.bytes))
                       .arg(Count(EditionStatus::NotPublished))
                       .arg(Count(EditionStatus::Failed));
    if (Count(EditionStatus::Removed) > 0)
        line += QStringLiteral(", %1 supprimée(s)").arg(Count(EditionStatus::Removed));
    return line + QStringLiteral(", en %1 s.").arg(QString::number(elapsedMs / 1000.0, 'f', 1).replace('.', ','));
}

} // namespace lectoria::catchup
