// The download library against a real TLS server on 127.0.0.1, with an authority and
// certificates this test makes itself: which certificate is refused and why, SSL_CERT_FILE and
// SSL_CERT_DIR, and redirects between http and https.
#include "fast_tuning.h"
#include "sample_pdf.h"
#include "support/qt_printers.h"
#include "support/test_authority.h"
#include "support/test_files.h"
#include "support/test_server.h"
#include "transfer/http_transfer_library.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>

#include <memory>

using namespace lectoria;
using lectoria::testing_support::Authority;
using lectoria::testing_support::BasicTestServer;
using lectoria::testing_support::Read;
using lectoria::testing_support::TestServer;

namespace {

const std::string kPdf = tools::MakeSamplePdf("Metro - Paris - 03/05/2007");

using TlsServer = BasicTestServer<httplib::SSLServer>;

std::unique_ptr<TlsServer> Serving(const QString& pem) {
    const QByteArray path = QFile::encodeName(pem);
    auto server = std::make_unique<TlsServer>(path.constData(), path.constData());
    server->routes().Get("/e.pdf",
                         [](const httplib::Request&, httplib::Response& r) { r.set_content(kPdf, "application/pdf"); });
    return server;
}

// The variable set for one test, removed afterwards.
struct EnvironmentVariable {
    EnvironmentVariable(const char* name, const QString& value) : name_(name) { qputenv(name, value.toUtf8()); }
    ~EnvironmentVariable() { qunsetenv(name_); }
    const char* name_;
};

class Tls : public testing::Test {
protected:
    void SetUp() override {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "Qt has no TLS backend here";
        qunsetenv("SSL_CERT_FILE");
        qunsetenv("SSL_CERT_DIR");
    }
    QTemporaryDir folder;
    const QString target = folder.filePath("e.pdf");
    Authority authority;
};

struct CertificateCase {
    const char* name;
    const char* altName;
    long fromDays, toDays;
    const char* trust; // "", "SSL_CERT_FILE" or "SSL_CERT_DIR"
    int expected;
    const char* says; // the start of LastError()
};

// Named in ctest's listing and in failures by its case name, not by a dump of its bytes.
void PrintTo(const CertificateCase& c, std::ostream* os) {
    *os << c.name;
}

const CertificateCase kCertificates[] = {
    {"UnknownAuthority", "IP:127.0.0.1", -1, 30, "", TransferResult::CertificateError,
     "Le certificat du serveur 127.0.0.1 n'est pas reconnu ("},
    {"AuthorityInSslCertFile", "IP:127.0.0.1", -1, 30, "SSL_CERT_FILE", TransferResult::Downloaded, ""},
    {"AuthorityInSslCertDir", "IP:127.0.0.1", -1, 30, "SSL_CERT_DIR", TransferResult::Downloaded, ""},
    {"Expired", "IP:127.0.0.1", -30, -1, "SSL_CERT_FILE", TransferResult::CertificateError,
     "Le certificat du serveur 127.0.0.1 a expiré ("},
    {"MadeOutForAnotherName", "DNS:archive.exemple", -1, 30, "SSL_CERT_FILE", TransferResult::CertificateError,
     "Le certificat du serveur 127.0.0.1 est établi pour un autre nom ("},
};

class TlsCertificate : public Tls, public testing::WithParamInterface<CertificateCase> {};

} // namespace

TEST_P(TlsCertificate, TrustedOrRefusedWithItsReason) {
    const CertificateCase& c = GetParam();
    const auto server = Serving(authority.Issue("serveur", c.altName, c.fromDays, c.toDays));
    const QString trust = QString(c.trust) == "SSL_CERT_FILE" ? authority.rootFile
                          : QString(c.trust) == "SSL_CERT_DIR"
                              ? QDir::listSeparator() + QFileInfo(authority.rootFile).path()
                              : folder.filePath("aucune.pem");
    const EnvironmentVariable variable(*c.trust ? c.trust : "SSL_CERT_FILE", trust);
    HttpTransferLibrary library(FastTuning());
    EXPECT_EQ(library.Download(nullptr, QString::fromStdString(server->url("/e.pdf", "https")), target), c.expected)
        << library.LastError().toStdString();
    EXPECT_EQ(library.LastError().left(QString::fromUtf8(c.says).size()), QString::fromUtf8(c.says));
    EXPECT_EQ(QFileInfo::exists(target), c.expected == TransferResult::Downloaded);
    if (trust.endsWith("aucune.pem")) { // the variable set, its file missing: said, not left to guess
        EXPECT_TRUE(library.LastError().endsWith("SSL_CERT_FILE (" + trust +
                                                 ") ne contient aucun certificat lisible au format PEM."))
            << library.LastError().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Certificates, TlsCertificate, testing::ValuesIn(kCertificates),
                         [](const testing::TestParamInfo<CertificateCase>& info) {
                             return std::string(info.param.name);
                         });

// The authorities SSL_CERT_FILE adds do not take the place of the system's: a server signed by
// one of the system's (here, those of Qt's default configuration) is still accepted, one signed
// by nobody known is still refused, and one expired or made out for another name still says so.
TEST_F(Tls, SystemAuthoritiesStillCountBesideSslCertFile) {
    Authority system("Autorite publique");
    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    QSslConfiguration withSystem = before;
    withSystem.setCaCertificates(QSslCertificate::fromPath(system.rootFile));
    QSslConfiguration::setDefaultConfiguration(withSystem);
    const EnvironmentVariable variable("SSL_CERT_FILE", authority.rootFile);
    HttpTransferLibrary library(FastTuning());
    const auto fetch = [&](const QString& pem) {
        QFile::remove(target);
        const auto server = Serving(pem);
        return library.Download(nullptr, QString::fromStdString(server->url("/e.pdf", "https")), target);
    };
    EXPECT_EQ(fetch(system.Issue("public", "IP:127.0.0.1", -1, 30)), TransferResult::Downloaded)
        << library.LastError().toStdString();
    EXPECT_EQ(fetch(authority.Issue("prive", "IP:127.0.0.1", -1, 30)), TransferResult::Downloaded)
        << library.LastError().toStdString();
    Authority unknown("Autorite inconnue");
    EXPECT_EQ(fetch(unknown.Issue("inconnu", "IP:127.0.0.1", -1, 30)), TransferResult::CertificateError);
    EXPECT_TRUE(library.LastError().startsWith("Le certificat du serveur 127.0.0.1 n'est pas reconnu ("))
        << library.LastError().toStdString();
    EXPECT_EQ(fetch(system.Issue("perime", "IP:127.0.0.1", -30, -1)), TransferResult::CertificateError);
    EXPECT_TRUE(library.LastError().startsWith("Le certificat du serveur 127.0.0.1 a expiré ("))
        << library.LastError().toStdString();
    EXPECT_EQ(fetch(system.Issue("autre-nom", "DNS:archive.exemple", -1, 30)), TransferResult::CertificateError);
    EXPECT_TRUE(library.LastError().startsWith("Le certificat du serveur 127.0.0.1 est établi pour un autre nom ("))
        << library.LastError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
    QSslConfiguration::setDefaultConfiguration(before);
}

// An http address sent on to https meets the certificate there, and says so; an https address
// sent back to plain http is refused, naming where it went.
TEST_F(Tls, RedirectsBetweenHttpAndHttps) {
    const auto secure = Serving(authority.Issue("serveur", "IP:127.0.0.1", -1, 30));
    TestServer plain;
    plain.routes().Get("/e.pdf", [&](const httplib::Request&, httplib::Response& r) {
        r.set_redirect(secure->url("/e.pdf", "https"));
    });
    secure->routes().Get("/vers-http.pdf",
                         [&](const httplib::Request&, httplib::Response& r) { r.set_redirect(plain.url("/e.pdf")); });
    HttpTransferLibrary library(FastTuning());
    EXPECT_EQ(library.Download(nullptr, QString::fromStdString(plain.url("/e.pdf")), target),
              TransferResult::CertificateError);
    EXPECT_TRUE(library.LastError().startsWith("Le certificat du serveur 127.0.0.1 n'est pas reconnu ("))
        << library.LastError().toStdString();

    const EnvironmentVariable variable("SSL_CERT_FILE", authority.rootFile);
    HttpTransferLibrary trusting(FastTuning());
    EXPECT_EQ(trusting.Download(nullptr, QString::fromStdString(plain.url("/e.pdf")), target),
              TransferResult::Downloaded)
        << trusting.LastError().toStdString();
    EXPECT_EQ(Read(target).toStdString(), kPdf);
    QFile::remove(target);
    EXPECT_EQ(trusting.Download(nullptr, QString::fromStdString(secure->url("/vers-http.pdf", "https")), target),
              TransferResult::BadAddress);
    EXPECT_EQ(trusting.LastError(), QString("Renvoi refusé : l'archive renvoie vers %1, une adresse non chiffrée "
                                            "(de https:// vers http://).")
                                        .arg(QString::fromStdString(plain.url("/e.pdf"))));
    EXPECT_FALSE(QFileInfo::exists(target));
}
