#pragma once

// Debian's nginx serving a folder over https with HTTP/2 on 127.0.0.1, in the foreground, for the
// tests that need a real HTTP/2 server (the test servers of cpp-httplib speak HTTP/1.1 only).
// Its access log names, for each request, the connection it came on and the protocol. The
// destructor stops the master, which stops its worker, and waits for both.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <signal.h>

namespace lectoria::testing_support {

struct LoggedRequest {
    QString connection;
    QString protocol;
    int status = 0;
    QString path;
    QString range; // the Range header, "-" when none
};

class NginxServer {
public:
    // The program, or empty where nginx is not installed.
    static QString Program() {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
        return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin")})
                               : found;
    }

    // Serves `root` with the certificate and key of `pem`; `extra` goes into the server block.
    NginxServer(const QString& root, const QString& pem, const QString& extra = {}) {
        port_ = FreePort();
        // The workers run as www-data when the test runs as root: they must reach the files.
        for (const QString& folder : {folder_.path(), root})
            QFile::setPermissions(folder, QFile::permissions(folder) | QFile::ExeOther | QFile::ReadOther);
        const QString conf = folder_.filePath(QStringLiteral("nginx.conf"));
        QFile file(conf);
        if (!file.open(QIODevice::WriteOnly))
            return;
        const QString work = folder_.path();
        file.write(QStringLiteral("worker_processes 1;\n"
                                  "error_log %1/error.log;\n"
                                  "pid %1/nginx.pid;\n"
                                  "events { worker_connections 64; }\n"
                                  "http {\n"
                                  "  log_format essai '$connection $server_protocol $status $uri $http_range';\n"
                                  "  access_log %1/access.log essai;\n"
                                  "  client_body_temp_path %1/body; proxy_temp_path %1/proxy;\n"
                                  "  fastcgi_temp_path %1/fastcgi; uwsgi_temp_path %1/uwsgi; scgi_temp_path %1/scgi;\n"
                                  "  types { application/pdf pdf; text/html html; text/plain txt; }\n"
                                  "  server {\n"
                                  "    listen 127.0.0.1:%2 ssl http2;\n"
                                  "    ssl_certificate %3; ssl_certificate_key %3;\n"
                                  "    root %4;\n"
                                  "    %5\n"
                                  "  }\n"
                                  "}\n")
                       .arg(work)
                       .arg(port_)
                       .arg(pem, root, extra)
                       .toUtf8());
        file.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(Program(), {QStringLiteral("-p"), work, QStringLiteral("-c"), conf, QStringLiteral("-g"),
                                   QStringLiteral("daemon off;")});
        if (!process_.waitForStarted(10000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && process_.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
            if (probe.waitForConnected(200)) {
                ready_ = true;
                return;
            }
            process_.waitForFinished(50); // a bounded pause that also notices an nginx that stopped
        }
    }
    ~NginxServer() {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM); // the master stops its worker first
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool Ready() const { return ready_; }
    // What nginx said, for a test that failed to start it.
    QString Output() { return QString::fromLocal8Bit(process_.readAll()) + ReadFile(QStringLiteral("error.log")); }
    QString Url(const QString& path) const { return QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path); }

    QList<LoggedRequest> Requests() const {
        QList<LoggedRequest> requests;
        for (const QString& line : ReadFile(QStringLiteral("access.log")).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u' ');
            if (fields.size() >= 5)
                requests.append({fields[0], fields[1], fields[2].toInt(), fields[3], fields.mid(4).join(u' ')});
        }
        return requests;
    }

private:
    static quint16 FreePort() {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        return server.serverPort();
    }
    QString ReadFile(const QString& name) const {
        QFile file(folder_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
    bool ready_ = false;
};

} // namespace lectoria::testing_support
