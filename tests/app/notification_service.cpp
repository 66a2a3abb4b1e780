// A stand-in for the desktop's notification service, for the command line's tests. It owns
// org.freedesktop.Notifications on the bus named by DBUS_SESSION_BUS_ADDRESS, appends each Notify
// call to FILE as one JSON line, then answers as told: "cliquer" chooses the action « ouvrir »,
// "cliquer-tard" too but sends the close first (the order Qt D-Bus sometimes hands them over in),
// "fermer" closes the notification, "rien" leaves it up. It prints "pret" once the name is its own.
//
//     lectoria-test-notifications FILE cliquer|cliquer-tard|fermer|rien
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>

namespace {

class NotificationService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    NotificationService(QString record, QString answer) : record_(std::move(record)), answer_(std::move(answer)) {}

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("Lectoria tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("lectoria-test-notifications");
    }

    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout) {
        const QJsonObject call{{"app", app},
                               {"remplace", static_cast<int>(replaces)},
                               {"icone", icon},
                               {"resume", summary},
                               {"corps", body},
                               {"actions", QJsonArray::fromStringList(actions)},
                               {"entree", hints.value(QStringLiteral("desktop-entry")).toString()},
                               {"delai", timeout}};
        QFile file(record_);
        if (file.open(QIODevice::Append))
            file.write(QJsonDocument(call).toJson(QJsonDocument::Compact) + '\n');
        const uint id = ++last_;
        // After this call's reply has left, as a real service does; another program's
        // notification closes first, and must not be taken for this one.
        QTimer::singleShot(0, this, [this, id] {
            if (answer_ == QLatin1String("rien"))
                return;
            emit NotificationClosed(id - 1, 2);
            if (answer_ == QLatin1String("cliquer-tard"))
                emit NotificationClosed(id, 2);
            if (answer_.startsWith(QLatin1String("cliquer")))
                emit ActionInvoked(id, QStringLiteral("ouvrir"));
            emit NotificationClosed(id, 2);
        });
        return id;
    }

    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

signals:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

private:
    QString record_;
    QString answer_;
    uint last_ = 40; // ids of other programs' notifications came before
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    NotificationService service(args.at(1), args.at(2));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
        return 1;
    std::puts("pret");
    std::fflush(stdout);
    return app.exec();
}

#include "notification_service.moc"
