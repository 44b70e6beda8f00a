#pragma once
// Self-signed certificates for 127.0.0.1 made by the tests (an EC key and
// a certificate with the address as its subject-alternative name), written
// as PEM files for the python server and for SSL_CERT_FILE.
#include <string>

namespace nettest {

struct CertificateFiles {
  std::string certificate;
  std::string key;
};

// Writes "<name>.crt" and "<name>.key" into the folder; empty paths on failure.
CertificateFiles MakeCertificate(const std::string& folder, const std::string& name);

}  // namespace nettest
