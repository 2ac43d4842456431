#include "update/signature_win.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <memory>
#include <vector>

#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "platform/system_library_win.h"
#include "platform/log.h"
#include "platform/text.h"

namespace update {
namespace {

std::string Hex(const BYTE* data, DWORD size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (DWORD i = 0; i < size; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

// The certificate and trust functions come from their DLLs when an update is first checked:
// linked in, those DLLs (and the system's TLS and certificate libraries behind them) would
// load into every run of the program for this rare moment.
struct CertificateApi {
  decltype(&::CryptQueryObject) queryObject = nullptr;
  decltype(&::CryptMsgGetParam) msgGetParam = nullptr;
  decltype(&::CryptMsgClose) msgClose = nullptr;
  decltype(&::CertCloseStore) closeStore = nullptr;
  decltype(&::CertFindCertificateInStore) findCertificate = nullptr;
  decltype(&::CertFreeCertificateContext) freeCertificate = nullptr;
  decltype(&::CertGetNameStringW) getName = nullptr;
  decltype(&::CertGetCertificateContextProperty) getProperty = nullptr;
  decltype(&::WinVerifyTrust) verifyTrust = nullptr;
  bool ready = false;
};

template <typename F>
bool Resolve(HMODULE module, const char* name, F* out) {
  *out = module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
  return *out != nullptr;
}

// Loaded once, kept for the rest of the run; `ready` is false when a DLL or function is
// missing, and nothing is then trusted.
const CertificateApi& Certificates() {
  static const CertificateApi api = [] {
    CertificateApi a;
    HMODULE crypt = platform::LoadSystemLibrary(L"crypt32.dll");
    HMODULE trust = platform::LoadSystemLibrary(L"wintrust.dll");
    a.ready = Resolve(crypt, "CryptQueryObject", &a.queryObject) && Resolve(crypt, "CryptMsgGetParam", &a.msgGetParam) &&
              Resolve(crypt, "CryptMsgClose", &a.msgClose) && Resolve(crypt, "CertCloseStore", &a.closeStore) &&
              Resolve(crypt, "CertFindCertificateInStore", &a.findCertificate) &&
              Resolve(crypt, "CertFreeCertificateContext", &a.freeCertificate) &&
              Resolve(crypt, "CertGetNameStringW", &a.getName) &&
              Resolve(crypt, "CertGetCertificateContextProperty", &a.getProperty) &&
              Resolve(trust, "WinVerifyTrust", &a.verifyTrust);
    if (!a.ready) LogDebug("certificate functions unavailable: crypt32 %p, wintrust %p", static_cast<void*>(crypt),
                           static_cast<void*>(trust));
    return a;
  }();
  return api;
}

struct ProviderCloser {
  void operator()(HCRYPTPROV* p) const { CryptReleaseContext(*p, 0); delete p; }
};
struct HashCloser {
  void operator()(HCRYPTHASH* h) const { CryptDestroyHash(*h); delete h; }
};
struct StoreCloser {
  void operator()(void* s) const { Certificates().closeStore(static_cast<HCERTSTORE>(s), 0); }
};
struct MsgCloser {
  void operator()(void* m) const { Certificates().msgClose(m); }
};
struct CertCloser {
  void operator()(const CERT_CONTEXT* c) const { Certificates().freeCertificate(c); }
};

}  // namespace

std::string Sha256OfFile(const std::u16string& path) {
  fw::UniqueFile file(CreateFileW(as_wcstr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();
  HCRYPTPROV prov = 0;
  if (!CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return std::string();
  std::unique_ptr<HCRYPTPROV, ProviderCloser> provGuard(new HCRYPTPROV(prov));
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(prov, CALG_SHA_256, 0, 0, &hash)) return std::string();
  std::unique_ptr<HCRYPTHASH, HashCloser> hashGuard(new HCRYPTHASH(hash));
  std::vector<BYTE> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return std::string();
    if (read == 0) break;
    if (!CryptHashData(hash, buffer.data(), read, 0)) return std::string();
  }
  BYTE digest[32];
  DWORD size = sizeof digest;
  if (!CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) || size != sizeof digest) return std::string();
  return Hex(digest, size);
}

TrustedSigner BuildTrustedSigner() {
  TrustedSigner s;
  s.subject = PELINOR_UPDATE_SIGNER;
  s.thumbprint = PELINOR_UPDATE_THUMBPRINT;
  return s;
}

SignerInfo ReadSigner(const std::u16string& path) {
  SignerInfo info;
  const CertificateApi& api = Certificates();
  if (!api.ready) return info;
  DWORD encoding = 0, contentType = 0, formatType = 0;
  HCERTSTORE rawStore = nullptr;
  HCRYPTMSG rawMsg = nullptr;
  if (!api.queryObject(CERT_QUERY_OBJECT_FILE, as_wcstr(path), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &rawStore, &rawMsg,
                        nullptr))
    return info;
  std::unique_ptr<void, StoreCloser> store(rawStore);
  std::unique_ptr<void, MsgCloser> msg(rawMsg);
  DWORD size = 0;
  if (!api.msgGetParam(rawMsg, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0) return info;
  std::vector<BYTE> signerBytes(size);
  if (!api.msgGetParam(rawMsg, CMSG_SIGNER_INFO_PARAM, 0, signerBytes.data(), &size)) return info;
  auto* signer = reinterpret_cast<CMSG_SIGNER_INFO*>(signerBytes.data());
  CERT_INFO wanted{};
  wanted.Issuer = signer->Issuer;
  wanted.SerialNumber = signer->SerialNumber;
  std::unique_ptr<const CERT_CONTEXT, CertCloser> cert(
      api.findCertificate(rawStore, encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
  if (!cert) return info;
  wchar_t name[512] = {};
  api.getName(cert.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
  BYTE sha1[20];
  DWORD sha1Size = sizeof sha1;
  if (api.getProperty(cert.get(), CERT_SHA1_HASH_PROP_ID, sha1, &sha1Size))
    info.thumbprint = Hex(sha1, sha1Size);
  info.subject = to_u16(name);
  info.found = true;
  return info;
}

long VerifyAuthenticode(const std::u16string& path) {
  const CertificateApi& api = Certificates();
  if (!api.ready) return static_cast<long>(TRUST_E_PROVIDER_UNKNOWN);
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = as_wcstr(path);
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG result = api.verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  api.verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return result;
}

DownloadCheck CheckInstaller(const std::u16string& path, const std::string& expectedSha256,
                             const TrustedSigner& trusted) {
  if (!expectedSha256.empty() && !DigestMatches(expectedSha256, Sha256OfFile(path))) {
    LogDebug("update installer sha-256 mismatch");
    return DownloadCheck::kHashMismatch;
  }
  long verdict = VerifyAuthenticode(path);
  if (verdict != 0) {
    LogDebug("update installer signature not trusted: 0x%08lx", static_cast<unsigned long>(verdict));
    return DownloadCheck::kUnsigned;
  }
  SignerInfo signer = ReadSigner(path);
  bool subjectOk = signer.found && !trusted.subject.empty() && signer.subject == trusted.subject;
  bool thumbOk = trusted.thumbprint.empty() || DigestMatches(trusted.thumbprint, signer.thumbprint);
  if (!subjectOk || !thumbOk) {
    LogDebug("update installer signed by \"%s\" (%s), not the publisher",
             platform::U16ToUtf8(signer.subject).c_str(), signer.thumbprint.c_str());
    return DownloadCheck::kWrongSigner;
  }
  return DownloadCheck::kOk;
}

}  // namespace update
