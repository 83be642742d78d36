#include "sysutil/catalogue_signature.h"

#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "sysutil/fresh_download.h"
#include "sysutil/job_log.h"
#include "sysutil/resource_file.h"
#include "sysutil/system_function.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

// The XP-era headers leave SHA-256 out; the RSA/AES provider of XP SP3 and later has it.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // CALG_SHA_256
constexpr DWORD kMinimumKeyBits = 2048;
// A signature file is one RSA block; anything much larger is not one.
constexpr DWORD kMaxSignatureFileBytes = 4096;

void ReleaseProvider(HCRYPTPROV provider) {
    CryptReleaseContext(provider, 0);
}
void DestroyKey(HCRYPTKEY key) {
    CryptDestroyKey(key);
}
void DestroyHash(HCRYPTHASH hash) {
    CryptDestroyHash(hash);
}
void FreeLocal(CERT_PUBLIC_KEY_INFO* info) {
    LocalFree(info);
}
using UniqueProvider = UniqueResource<HCRYPTPROV, ReleaseProvider>;
using UniqueKey = UniqueResource<HCRYPTKEY, DestroyKey>;
using UniqueHash = UniqueResource<HCRYPTHASH, DestroyHash>;
using UniqueKeyInfo = UniqueResource<CERT_PUBLIC_KEY_INFO*, FreeLocal>;

// crypt32 is loaded by the first check, on the catalogue's worker thread, not before the
// window can show. A system without these functions verifies nothing: every signature fails.
struct Crypt32 {
    decltype(&CryptStringToBinaryA) stringToBinary =
        LoadedSystemFunction<decltype(&CryptStringToBinaryA)>(L"crypt32.dll",
                                                              "CryptStringToBinaryA");
    decltype(&CryptDecodeObjectEx) decodeObject =
        LoadedSystemFunction<decltype(&CryptDecodeObjectEx)>(L"crypt32.dll", "CryptDecodeObjectEx");
    decltype(&CryptImportPublicKeyInfo) importKey =
        LoadedSystemFunction<decltype(&CryptImportPublicKeyInfo)>(L"crypt32.dll",
                                                                  "CryptImportPublicKeyInfo");
    bool Complete() const { return stringToBinary && decodeObject && importKey; }
};

const Crypt32& Crypt32Functions() {
    static const Crypt32 functions;
    return functions;
}

// The SubjectPublicKeyInfo of a "BEGIN PUBLIC KEY" PEM text; empty when it is none.
std::vector<BYTE> PemToDer(const std::string& pem) {
    const auto stringToBinary = Crypt32Functions().stringToBinary;
    DWORD size = 0;
    if (!stringToBinary(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                        nullptr, &size, nullptr, nullptr)) {
        return {};
    }
    std::vector<BYTE> der(size);
    if (!stringToBinary(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                        der.data(), &size, nullptr, nullptr)) {
        return {};
    }
    der.resize(size);
    return der;
}

// The key, imported into a verify-only context of the RSA/AES provider (by type: on XP SP3
// that provider carries another name). Only RSA keys of 2048 bits or more are taken.
bool ImportKey(const std::string& pem, const UniqueProvider& provider, UniqueKey* key) {
    const Crypt32& crypt32 = Crypt32Functions();
    if (!crypt32.Complete()) {
        return false;
    }
    const std::vector<BYTE> der = PemToDer(pem);
    if (der.empty()) {
        return false;
    }
    UniqueKeyInfo info;
    DWORD infoSize = 0;
    if (!crypt32.decodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(),
                              static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                              info.Receive(), &infoSize) ||
        !info.IsValid() || strcmp(info.Get()->Algorithm.pszObjId, szOID_RSA_RSA) != 0) {
        return false;
    }
    if (!crypt32.importKey(provider.Get(), X509_ASN_ENCODING, info.Get(), key->Receive())) {
        return false;
    }
    DWORD bits = 0;
    DWORD bitsSize = sizeof(bits);
    return CryptGetKeyParam(key->Get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &bitsSize, 0) &&
           bits >= kMinimumKeyBits;
}

bool ReadSmallFile(const std::wstring& path, DWORD limit, std::string* bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > limit) {
        return false;
    }
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes->empty() || (ReadFile(file.Get(), bytes->data(), static_cast<DWORD>(bytes->size()),
                                       &read, nullptr) &&
                              read == bytes->size());
}

}  // namespace

std::string CarriedCatalogueKey() {
    return std::string(ResourceBytes(kCatalogueKeyResource, kCatalogueKeyType));
}

bool VerifyCatalogueSignature(const std::string& data, const std::string& signature,
                              const std::string& publicKeyPem) {
    UniqueProvider provider;
    if (!CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT)) {
        return false;
    }
    UniqueKey key;
    UniqueHash hash;
    if (!ImportKey(publicKeyPem, provider, &key) ||
        !CryptCreateHash(provider.Get(), kSha256, 0, 0, hash.Receive()) ||
        !CryptHashData(hash.Get(), reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()), 0) ||
        signature.empty()) {
        return false;
    }
    // openssl writes the signature big-endian, the CryptoAPI reads it little-endian.
    std::vector<BYTE> reversed(signature.rbegin(), signature.rend());
    return CryptVerifySignatureW(hash.Get(), reversed.data(), static_cast<DWORD>(reversed.size()),
                                 key.Get(), nullptr, 0) != FALSE;
}

bool DownloadSignedCatalogue(const std::wstring& url, const std::wstring& path,
                             const std::wstring& what) {
    if (!DownloadFreshCopy(url, path)) {
        LogJob(what + L": " + url + L" could not be fetched");
        return false;
    }
    const std::string key = CarriedCatalogueKey();
    if (key.empty()) {
        LogJob(what + L": " + url + L" fetched, not verified (this program carries no key)");
        return true;
    }
    const std::wstring signaturePath = path + L".sig";
    std::string data, signature;
    const bool signatureArrived = DownloadFreshCopy(url + L".sig", signaturePath) &&
                                  ReadSmallFile(signaturePath, kMaxSignatureFileBytes, &signature);
    DeleteFileW(signaturePath.c_str());
    bool good = false;
    if (!signatureArrived) {
        LogJob(what + L": " + url + L" refused, its signature (.sig) could not be fetched");
    } else if (!ReadSmallFile(path, MAXDWORD, &data) ||
               !VerifyCatalogueSignature(data, signature, key)) {
        LogJob(what + L": " + url + L" refused, its signature does not match");
    } else {
        LogJob(what + L": " + url + L" fetched, signature verified");
        good = true;
    }
    if (!good) {
        DeleteFileW(path.c_str());  // a refused copy is never read by mistake later
    }
    return good;
}

}  // namespace korvane
