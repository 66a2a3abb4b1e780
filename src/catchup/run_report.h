#pragma once

#include "catchup/catch_up.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace lectoria::catchup {

// "<paper> n'est pas distribué à <city> : ignoré." for each pair of these papers and cities the
// catch-up skips.
QStringList NotDistributedLines(const QStringList& papers, const QStringList& cities);

// "Metro Paris du 08/12/2026"
QString EditionText(const Edition& edition);

// The line a run prints for one edition: "<edition> : téléchargée (1 ko)", "… : déjà présent",
// "… : non publiée (<cause>)", "… : supprimée (<file>)" or "… : échec. <cause>".
QString EditionLine(const EditionReport& report);

// One compact JSON object: date, journal, ville, adresse, fichier, statut, octets, and erreur
// when there is one.
QByteArray EditionJson(const EditionReport& report);

// Every edition of a run in the order it was told, with counts and sizes per status.
class RunReport {
public:
    void Add(const EditionReport& report);
    int Count(EditionStatus status) const;
    const QList<EditionReport>& Editions() const { return editions_; }

    // "Bilan : 2 téléchargée(s) (3,1 Mo), 0 déjà présente(s) (0 ko), … en 4,2 s."
    QString Summary(qint64 elapsedMs) const;

private:
    struct Tally {
        int count = 0;
        qint64 bytes = 0;
    };
    QList<EditionReport> editions_;
    Tally tallies_[5];
};

} // namespace lectoria::catchup
