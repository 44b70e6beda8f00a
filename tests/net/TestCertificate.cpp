#include "TestCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace nettest {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* pointer) const { Free(pointer); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;

bool AddExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) return false;
  const bool added = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return added;
}

bool WritePem(const std::string& path, const std::function<int(FILE*)>& write) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = write(file) == 1;
  return std::fclose(file) == 0 && written;
}

}  // namespace

CertificateFiles MakeCertificate(const std::string& folder, const std::string& name) {
  const Key key(EVP_EC_gen("P-256"));
  const Certificate certificate(X509_new());
  if (!key || !certificate) return {};
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 7 * 24 * 3600);
  X509_set_pubkey(certificate.get(), key.get());
  X509_NAME* subject = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                             0);
  X509_set_issuer_name(certificate.get(), subject);
  if (!AddExtension(certificate.get(), NID_subject_alt_name, "IP:127.0.0.1") ||
      !AddExtension(certificate.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
    return {};
  }
  CertificateFiles files{folder + "/" + name + ".crt", folder + "/" + name + ".key"};
  if (!WritePem(files.certificate, [&](FILE* f) { return PEM_write_X509(f, certificate.get()); }) ||
      !WritePem(files.key, [&](FILE* f) {
        return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
      })) {
    return {};
  }
  return files;
}

}  // namespace nettest
