// Catalogue signatures checked with the platform's CryptoAPI against signatures openssl made
// with the build's key pairs, and the signed download against the loopback test server,
// which signs on the fly. This program carries the build's vendor key, as Korvane.exe does
// when built with one.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "sysutil/catalogue_signature.h"
#include "sysutil/job_log.h"
#include "tests/integration/engine/engine_test_support.h"
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

namespace et = enginetest;

std::string BuildFile(const std::string& relative) {
    return test::ReadFileBytes(et::BuiltFilePath(relative));
}

class SignatureTest : public ::testing::Test {
  protected:
    std::string data = BuildFile("tests/integration/sysutil/signed/ghoinfo.ini");
    std::string vendorKey = BuildFile("catalogue-keys/vendor.pub.pem");
    std::string otherKey = BuildFile("catalogue-keys/other.pub.pem");
    std::string byVendor = BuildFile("tests/integration/sysutil/signed/vendor.sig");
    std::string byOther = BuildFile("tests/integration/sysutil/signed/other.sig");
};

TEST_F(SignatureTest, OnlyTheKeysOwnSignatureOfTheseBytesIsGood) {
    ASSERT_FALSE(data.empty());
    ASSERT_EQ(byVendor.size(), 256u);
    EXPECT_TRUE(VerifyCatalogueSignature(data, byVendor, vendorKey));
    EXPECT_TRUE(VerifyCatalogueSignature(data, byOther, otherKey));

    EXPECT_FALSE(VerifyCatalogueSignature(data, byOther, vendorKey)) << "another key's signature";
    EXPECT_FALSE(VerifyCatalogueSignature(data + "\r\n", byVendor, vendorKey)) << "altered";
    std::string flipped = data;
    flipped[flipped.size() / 2] ^= 1;
    EXPECT_FALSE(VerifyCatalogueSignature(flipped, byVendor, vendorKey)) << "one bit flipped";
    EXPECT_FALSE(VerifyCatalogueSignature(data, byVendor.substr(0, 255), vendorKey));
    EXPECT_FALSE(VerifyCatalogueSignature(data, "", vendorKey));
    EXPECT_FALSE(VerifyCatalogueSignature(data, std::string(256, '\0'), vendorKey));
    std::string reversed(byVendor.rbegin(), byVendor.rend());
    EXPECT_FALSE(VerifyCatalogueSignature(data, reversed, vendorKey)) << "byte order matters";
}

TEST_F(SignatureTest, KeysThatAreNoneOrTooWeakVerifyNothing) {
    const std::string weakKey = BuildFile("tests/integration/sysutil/signed/weak.pub.pem");
    const std::string byWeak = BuildFile("tests/integration/sysutil/signed/weak.sig");
    ASSERT_FALSE(weakKey.empty());
    EXPECT_FALSE(VerifyCatalogueSignature(data, byWeak, weakKey)) << "a 1024-bit key";
    EXPECT_FALSE(VerifyCatalogueSignature(data, byVendor, ""));
    EXPECT_FALSE(VerifyCatalogueSignature(data, byVendor,
                                          "-----BEGIN PUBLIC KEY-----\nAAAA\n"
                                          "-----END PUBLIC KEY-----\n"));
    EXPECT_FALSE(VerifyCatalogueSignature(data, byVendor, BuildFile("catalogue-keys/vendor.pem")))
        << "the private key file is no public key";
    EXPECT_EQ(CarriedCatalogueKey(), vendorKey) << "the key this program carries";
}

// The signed download against the server: a good signature keeps the copy; a missing one,
// another key's and one of the bytes before an alteration each delete it.
TEST_F(SignatureTest, SignedDownloadKeepsOnlyAWellSignedCopy) {
    ASSERT_TRUE(et::ServerAvailable());
    ASSERT_TRUE(test::WriteFileBytes(et::ServerRoot() + L"\\ghoinfo.ini", data));
    const std::wstring folder = et::FreshFolder(L"signed-download");
    OpenJobLog(folder);
    const std::wstring copy = folder + L"\\ghoinfo.ini";
    const std::wstring url = et::ServerUrl("ghoinfo.ini");

    EXPECT_TRUE(DownloadSignedCatalogue(url, copy, L"image catalogue"));
    EXPECT_EQ(test::ReadFileBytes(copy), data);
    EXPECT_FALSE(test::FileExists(copy + L".sig")) << "the signature is not left behind";

    for (const char* mode : {"none", "other", "stale"}) {
        et::ServerGet(std::string("__signature?name=ghoinfo.ini&as=") + mode);
        EXPECT_FALSE(DownloadSignedCatalogue(url, copy, L"image catalogue")) << mode;
        EXPECT_FALSE(test::FileExists(copy)) << mode << ": a refused copy stays on disk";
    }
    et::ServerGet("__signature?name=ghoinfo.ini&as=vendor");
    EXPECT_TRUE(DownloadSignedCatalogue(url, copy, L"image catalogue"));

    EXPECT_FALSE(DownloadSignedCatalogue(et::ServerUrl("missing.ini"), copy, L"image catalogue"));
    ASSERT_TRUE(FlushJobLog());
    const std::string log = test::ReadFileBytes(folder + L"\\" + kJobLogName);
    // Wine's download call takes a 404 page for the file, so a missing signature or catalogue
    // may be told as a signature that does not match: refused either way.
    for (const char* line : {"fetched, signature verified", "refused, its signature"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
}

}  // namespace
}  // namespace korvane
