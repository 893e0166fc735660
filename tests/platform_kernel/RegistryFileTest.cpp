// The registry file is user-editable, so everything read from it is untrusted.
#include "RegistryTestSupport.h"

#include <random>

namespace {

constexpr const char* kValid = "[HKEY_CURRENT_USER\\Software\\Good]\n\"Kept\"=dword:0000002a\n";

TEST_F(RegistryTest, OddValuesSurviveTheTextFormatExactly) {
    HKEY key = Create("Software\\Odd%Key\\Tab\tKey");
    const BYTE unterminated[] = {'a', 'b'};
    const BYTE embeddedNul[] = {'a', 0, 'b', 0};
    const BYTE multi[] = {'x', 0, 'y', 0, 0};
    const BYTE shortDword[] = {1, 2};
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"unterminated", REG_SZ, {unterminated, unterminated + 2}},
        {"embedded\"nul\\", REG_SZ, {embeddedNul, embeddedNul + 4}},
        {"multi\n\x01", REG_MULTI_SZ, {multi, multi + 5}},
        {"short dword", REG_DWORD, {shortDword, shortDword + 2}},
        {"empty", REG_BINARY, {}},
        {"big type", 0x12345678, {7}},
    };
    for (const Case& c : cases)
        ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS);
    HKEY reopened = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Odd%Key\\Tab\tKey", 0, KEY_READ, &reopened), ERROR_SUCCESS);
    opened.push_back(reopened);
    for (const Case& c : cases) {
        DWORD type = 0;
        EXPECT_EQ(GetBytes(reopened, c.name, type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
}

TEST_F(RegistryTest, BrokenLinesAreSetAsideAndGoodOnesRead) {
    std::string hugeHex = "\"Huge\"=hex:" + std::string(200000, 'f');
    std::string deepPath = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 600; ++i) deepPath += "\\d";
    home.WriteRegistryFile(std::string("garbage without structure\n") + "\"Orphan\"=dword:1\n" + kValid +
                           "\"NineDigits\"=dword:123456789\n"
                           "\"BadHex\"=hex:1,22,zz\n"
                           "\"Unterminated=sz:\"abc\n"
                           "\"BadEscape\"=sz:\"\\q\"\n"
                           "\"Truncated\"=sz:\"abc\\x4\"\n"
                           "\"BadType\"=hex(zz):00\n" +
                           hugeHex + "\n" + std::string("\0\xFF\xFE binary\r\n", 13) +
                           "[HKEY_NOWHERE\\Software]\n\"Lost\"=dword:1\n"
                           "[HKEY_CURRENT_USER\\Software\\Good%5CFake]\n\"Lost\"=dword:1\n"
                           "[HKEY_CURRENT_USER\\Software\\\\Empty]\n\"Lost\"=dword:1\n"
                           "[HKEY_CURRENT_USER\\Software\\Unclosed\n\"Lost\"=dword:1\n" +
                           deepPath + "]\n\"Lost\"=dword:1\n" +
                           "[hkey_current_user\\software\\good]\n\"Also\"=sz:\"fine\"\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Good", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    opened.push_back(key);
    DWORD value = 0;
    EXPECT_EQ(GetDword(key, "Kept", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 42u);
    DWORD type = 0;
    EXPECT_EQ(GetBytes(key, "Also", type), std::vector<BYTE>({'f', 'i', 'n', 'e', 0}));
    for (const char* name : {"NineDigits", "BadHex", "BadEscape", "Truncated", "BadType", "Huge", "Orphan"})
        EXPECT_EQ(GetDword(key, name, value), ERROR_FILE_NOT_FOUND) << name;
    HKEY lost = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Good\\Fake", 0, KEY_READ, &lost), ERROR_FILE_NOT_FOUND);

    // A change rewrites the file; the good values survive it, and so does every line it could not read.
    ASSERT_EQ(SetDword(key, "New", 1), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(key, "Kept", value), ERROR_SUCCESS);
    std::string rewritten = home.ReadRegistryFile();
    for (const std::string& line : {std::string("garbage without structure"), std::string("\"BadHex\"=hex:1,22,zz"),
                                    hugeHex, std::string("[HKEY_NOWHERE\\Software]"), deepPath + "]"})
        EXPECT_NE(rewritten.find(line + "\n"), std::string::npos) << line.substr(0, 60);
}

TEST_F(RegistryTest, RandomlyDamagedFilesNeverCrashTheReader) {
    std::string original = std::string(kValid) +
                           "[HKEY_CURRENT_USER\\Software\\Good\\Sub]\n\"Text\"=sz:\"a\\x41\\\"\\n\"\n"
                           "\"Blob\"=hex:01,02,03\n@=hex(7):61,00,00\n";
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = original;
        int edits = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < edits; ++i) {
            size_t at = random() % damaged.size();
            switch (random() % 3) {
                case 0:
                    damaged[at] = static_cast<char>(random());
                    break;
                case 1:
                    damaged.erase(at, 1 + random() % 5);
                    break;
                default:
                    damaged.insert(at, 1, "\\\"[]%:=,\n\0x"[random() % 11]);
                    break;
            }
            if (damaged.empty()) damaged = "[";
        }
        home.WriteRegistryFile(damaged);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Good\\Sub", 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        char name[64];
        BYTE data[64];
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = sizeof name, size = sizeof data, type = 0;
            LONG result = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result == ERROR_SUCCESS) {
                EXPECT_LE(size, sizeof data);
            }
        }
        RegCloseKey(key);
    }
}

TEST_F(RegistryTest, AnOversizedFileIsRefusedAndLeftAlone) {
    std::string oversized = std::string(kValid) + "; " + std::string(33 * 1024 * 1024, 'x') + "\n";
    home.WriteRegistryFile(oversized);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Good", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(home.ReadRegistryFile().size(), oversized.size());
}

}  // namespace
