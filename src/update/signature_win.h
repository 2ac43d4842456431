// Integrity of a downloaded installer: its SHA-256, its Authenticode signature and the
// certificate that signed it.
#pragma once
#include <string>

#include "update/update_core.h"

namespace update {

// The file's SHA-256 as 64 lower-case hex digits; empty when it cannot be read.
std::string Sha256OfFile(const std::u16string& path);

// The publisher the build trusts: the signer certificate's subject common name, and,
// when not empty, its SHA-1 thumbprint (hex, any case).
struct TrustedSigner {
  std::u16string subject;
  std::string thumbprint;
};
TrustedSigner BuildTrustedSigner();

// Who signed a file, read from its embedded signature.
struct SignerInfo {
  bool found = false;
  std::u16string subject;  // the signer certificate's simple display name
  std::string thumbprint;  // its SHA-1 thumbprint, lower-case hex
};
SignerInfo ReadSigner(const std::u16string& path);

// WinVerifyTrust's verdict on the file's Authenticode signature (0: trusted).
long VerifyAuthenticode(const std::u16string& path);

// Every check an installer passes before it may run, in order: the manifest's SHA-256
// (when given), a valid signature, the trusted signer.
DownloadCheck CheckInstaller(const std::u16string& path, const std::string& expectedSha256,
                             const TrustedSigner& signer);

}  // namespace update
