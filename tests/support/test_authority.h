#pragma once

// A certificate authority of the test's own (OpenSSL), and the server certificates it signs, in
// a folder of PEM files: for TLS servers on 127.0.0.1 that the transfers must trust or refuse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>

namespace lectoria::testing_support {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

inline void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    ASSERT_NE(extension, nullptr) << value;
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for `key`, signed by `issuerKey` (itself when issuer is null), valid from
// `fromDays` to `toDays` days from now.
inline Certificate Make(EVP_PKEY* key, const char* name, X509* issuer, EVP_PKEY* issuerKey, const char* altName,
                        long fromDays, long toDays) {
    Certificate certificate(X509_new(), X509_free);
    static long serial = 1; // one process makes them all
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), toDays * 86400);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate.get()), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name), -1, -1, 0);
    X509* signer = issuer ? issuer : certificate.get();
    X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));
    if (altName) {
        AddExtension(certificate.get(), signer, NID_subject_alt_name, altName);
    } else {
        AddExtension(certificate.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    X509_sign(certificate.get(), issuerKey ? issuerKey : key, EVP_sha256());
    return certificate;
}

inline void Save(const QString& path, X509* certificate, EVP_PKEY* key = nullptr) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "w");
    ASSERT_NE(file, nullptr);
    PEM_write_X509(file, certificate);
    if (key)
        PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(file);
}

// Our own authority, and the server certificates it signs, in a folder of PEM files.
struct Authority {
    QTemporaryDir folder;
    Key key{EVP_EC_gen("P-256"), EVP_PKEY_free};
    Certificate root;
    QString rootFile = folder.filePath("autorite/racine.pem");

    explicit Authority(const char* name = "Autorite Lectoria")
        : root(Make(key.get(), name, nullptr, nullptr, nullptr, -1, 30)) {
        QDir().mkpath(folder.filePath("autorite"));
        Save(rootFile, root.get());
    }
    // "<name>.pem": the certificate then its key, as SSLServer reads them.
    QString Issue(const char* name, const char* altName, long fromDays, long toDays) {
        const Key serverKey(EVP_EC_gen("P-256"), EVP_PKEY_free);
        const Certificate certificate = Make(serverKey.get(), name, root.get(), key.get(), altName, fromDays, toDays);
        const QString path = folder.filePath(QString(name) + ".pem");
        Save(path, certificate.get(), serverKey.get());
        return path;
    }
};

} // namespace lectoria::testing_support
