// Signed catalogues: beside each catalogue on the server lies a detached signature (its
// address + ".sig"): RSA-2048, PKCS#1 v1.5, over the SHA-256 of the file's bytes, as
// `openssl dgst -sha256 -sign` writes it. The program checks it against the vendor's public
// key that it carries (resource "KRKEY" 1, PEM); a program built without a key does not
// check, and its log says so.
#pragma once

#include <windows.h>

#include <string>

namespace korvane {

inline constexpr WORD kCatalogueKeyResource = 1;
inline constexpr wchar_t kCatalogueKeyType[] = L"KRKEY";

// The public key this program carries (PEM text); empty without one.
std::string CarriedCatalogueKey();

// True when signature is the key's signature of data. A key that cannot be read, or that is
// no RSA key of at least 2048 bits, verifies nothing.
bool VerifyCatalogueSignature(const std::string& data, const std::string& signature,
                              const std::string& publicKeyPem);

// Downloads url to path, never from the cache, and, when the program carries a key, the
// signature beside it. True when the copy may be used: it arrived and, with a key, its
// signature is good. A copy that is unsigned or badly signed is deleted. what names the
// catalogue in the log ("image catalogue").
bool DownloadSignedCatalogue(const std::wstring& url, const std::wstring& path,
                             const std::wstring& what);

}  // namespace korvane
