// Key lists and signature files read strictly: every malformed list is refused
// with the line and the rule, and a canonical list reads back as written.
#include <gtest/gtest.h>

#include "trust/key_chain.h"
#include "trust/key_list.h"

namespace {

KeyList TwoOfThree() {
    KeyList list;
    list.version = 7;
    list.expires = 1'900'000'000;
    for (int i = 0; i < 3; ++i) {
        list.roots.push_back(NewKeyPair().first);
        list.releases.push_back(NewKeyPair().first);
    }
    list.rootThreshold = 2;
    list.releaseThreshold = 2;
    return list;
}

TEST(KeyListTest, ReadsBackWhatItWrites) {
    const KeyList list = TwoOfThree();
    std::string error;
    const std::optional<KeyList> read = ParseKeyList(FormatKeyList(list), "list", error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->version, 7);
    EXPECT_EQ(read->expires, list.expires);
    EXPECT_EQ(read->roots, list.roots);
    EXPECT_EQ(read->releases, list.releases);
    EXPECT_EQ(read->rootThreshold, 2);
    EXPECT_EQ(read->releaseThreshold, 2);
    EXPECT_TRUE(IsKeyListText(FormatKeyList(list)));
}

TEST(KeyListTest, RefusesEveryMalformedList) {
    const std::string good = FormatKeyList(TwoOfThree());
    const std::string aRoot = good.substr(
        good.find("root="), good.find('\n', good.find("root=")) - good.find("root=") + 1);
    const auto without = [&](const std::string& line) {
        std::string text = good;
        text.erase(text.find(line), text.find('\n', text.find(line)) - text.find(line) + 1);
        return text;
    };
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {good + "colour=blue\n", "is not a setting of a key list"},
        {good + "version=8\n", "version is given twice"},
        {good + aRoot, "is a root key twice"},
        {good + "root=c2VjcmV0\n", "must be a public key"},
        {good + "just words\n", "is not a setting (name=value)"},
        {without("expires="), "it has no expires line"},
        {without("version="), "it has no version line"},
        {good + "root-threshold=4\n", "root-threshold is given twice"},
        {"version=1\nexpires=2030-01-01T00:00:00Z\nroot-threshold=2\nrelease-threshold=1\n" +
             aRoot + "release=" + aRoot.substr(5),
         "root-threshold 2 is above its 1 root keys"},
        {"version=1\nexpires=2030-01-01T00:00:00Z\nroot-threshold=1\nrelease-threshold=1\n" + aRoot,
         "it names no release key"},
        {"version=0\n", "version must be a number of 1 to 18 digits"},
        {"expires=2030-02-30T00:00:00Z\n", "expires must be a real time"},
        {"release-threshold=0\n", "release-threshold must be a number from 1 to 64"},
        {good + std::string(70 << 10, '#'), "more than any key list"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseKeyList(c.text, "keys/7.txt", error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.reason << ": " << error;
        EXPECT_EQ(error.rfind("keys/7.txt", 0), 0u) << error;
    }
}

TEST(KeyListTest, SignatureFilesCountEachKeyOnce) {
    const auto [key, secret] = NewKeyPair();
    const auto [other, otherSecret] = NewKeyPair();
    const std::string message = "[Main]\nfilecount=0\n";
    const std::string signature = Sign(message, secret);
    const struct {
        std::string text;
        size_t signers;
    } cases[] = {
        {signature + "\n", 1},                                        // bare, as before lists
        {FormatSignatureLine(key, signature), 1},                     // with its fingerprint
        {FormatSignatureLine(key, signature) + signature + "\n", 1},  // the same key twice
        {FormatSignatureLine(other, signature), 0},                   // a wrong fingerprint
        {FormatSignatureLine(other, Sign(message, otherSecret)) +
             FormatSignatureLine(key, signature),
         2},
        {FormatSignatureLine(key, Sign("other bytes", secret)), 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto lines = ParseSignatureFile(c.text, "sig", error);
        ASSERT_TRUE(lines) << error;
        EXPECT_EQ(SignersAmong(message, *lines, {key, other}).size(), c.signers) << c.text;
    }
    std::string error;
    EXPECT_FALSE(ParseSignatureFile("ed25519:00 not-base64\n", "sig", error));
    EXPECT_NE(error.find("sig:1: is not a signature"), std::string::npos) << error;
    std::string many;
    for (int i = 0; i <= 64; ++i) many += signature + "\n";
    EXPECT_FALSE(ParseSignatureFile(many, "sig", error));
}

}  // namespace
