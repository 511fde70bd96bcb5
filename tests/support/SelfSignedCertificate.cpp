#include "tests/support/SelfSignedCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

namespace Tivrand::Testing {

namespace {

template <typename T, void (*Free)(T*)>
using OpenSslPointer = std::unique_ptr<T, decltype([](T* p) { Free(p); })>;

void writePem(const std::string& path, const std::function<int(FILE*)>& write)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || write(file) != 1) {
        if (file)
            std::fclose(file);
        throw std::runtime_error("cannot write " + path);
    }
    std::fclose(file);
}

} // namespace

const SelfSignedCertificate& SelfSignedCertificate::shared()
{
    static const SelfSignedCertificate certificate;
    return certificate;
}

SelfSignedCertificate::SelfSignedCertificate()
{
    static QTemporaryDir folder;
    m_certificatePath = QDir(folder.path()).filePath(QStringLiteral("cert.pem")).toStdString();
    m_keyPath = QDir(folder.path()).filePath(QStringLiteral("key.pem")).toStdString();

    OpenSslPointer<EVP_PKEY, EVP_PKEY_free> key(EVP_RSA_gen(2048));
    OpenSslPointer<X509, X509_free> certificate(X509_new());
    if (!key || !certificate)
        throw std::runtime_error("cannot make a test certificate");

    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 60L * 60 * 24);
    X509_set_pubkey(certificate.get(), key.get());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);

    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate.get(), certificate.get(), nullptr, nullptr, 0);
    OpenSslPointer<X509_EXTENSION, X509_EXTENSION_free> altNames(
        X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"));
    X509_add_ext(certificate.get(), altNames.get(), -1);

    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0)
        throw std::runtime_error("cannot sign the test certificate");

    writePem(m_keyPath, [&](FILE* f) {
        return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    writePem(m_certificatePath, [&](FILE* f) { return PEM_write_X509(f, certificate.get()); });
}

} // namespace Tivrand::Testing
