// Adds the test CA to (or removes it from) the Root store of the local
// machine, so WinINet trusts the HTTPS test server of this Wine prefix.
//   trust_test_ca add|remove <certificate.cer (DER)>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/files.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trust_test_ca add|remove <certificate>\n");
        return 2;
    }
    const std::string mode = argv[1];
    std::string path = argv[2];
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;  // a path of the Unix side
    const std::vector<BYTE> der = testutil::readFileBytes(path);
    if (der.empty()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store) {
        std::fprintf(stderr, "CertOpenStore failed: %lu\n", GetLastError());
        return 1;
    }
    int status = 0;
    if (mode == "add") {
        if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                              static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
            std::fprintf(stderr, "CertAddEncodedCertificateToStore failed: %lu\n", GetLastError());
            status = 1;
        }
    } else {
        PCCERT_CONTEXT wanted =
            CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
        PCCERT_CONTEXT found = wanted ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                                   CERT_FIND_EXISTING, wanted, nullptr)
                                      : nullptr;
        // Deleting frees the found context; nothing to remove is no error.
        if (found && !CertDeleteCertificateFromStore(found)) {
            std::fprintf(stderr, "CertDeleteCertificateFromStore failed: %lu\n", GetLastError());
            status = 1;
        }
        if (wanted)
            CertFreeCertificateContext(wanted);
    }
    CertCloseStore(store, 0);
    return status;
}
