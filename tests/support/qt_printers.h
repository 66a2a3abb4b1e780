#pragma once

// Readable GoogleTest output for Qt values.
#include <QDate>
#include <QString>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QDate& day, std::ostream* os) {
    *os << day.toString(Qt::ISODate).toStdString();
}
QT_END_NAMESPACE
