// The registry file is user-editable, so everything read from it is untrusted.
#include "RegistryTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

TEST_F(RegistryTest, HandEditedLinesStayInTheirKeyThroughRewrites) {
    home.WriteRegistryFile(
        "# my notes on this machine\n"
        "[HKEY_CURRENT_USER\\Software\\Good]\n"
        "; exposure tuned for the lab\n"
        "\"Kept\"=dword:0000002a\n"
        "\"Gain\"=dword:12 ; was 10\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"Other\"=dword:1\n"
        "[HKEY_CURRENT_USER\\Software\\Bad\\\\Name]\n"
        "\"Stranded\"=dword:7\n");
    HKEY key = Create("Software\\Good");
    ASSERT_EQ(SetDword(key, "New", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "New", 2), ERROR_SUCCESS);  // a second rewrite must not double anything

    std::string file = home.ReadRegistryFile();
    size_t good = file.find("[HKEY_CURRENT_USER\\Software\\Good]\n");
    size_t other = file.find("[HKEY_CURRENT_USER\\Software\\Other]\n");
    ASSERT_NE(good, std::string::npos) << file;
    ASSERT_NE(other, std::string::npos) << file;
    for (const char* line : {"; exposure tuned for the lab\n", "\"Gain\"=dword:12 ; was 10\n"}) {
        size_t at = file.find(line);
        EXPECT_TRUE(at > good && (other < good || at < other)) << line << " left its key:\n" << file;
        EXPECT_EQ(CountOf(file, line), 1u) << line;
    }
    size_t badHeader = file.find("[HKEY_CURRENT_USER\\Software\\Bad\\\\Name]\n\"Stranded\"=dword:7\n");
    EXPECT_NE(badHeader, std::string::npos) << "an unreadable section stays whole:\n" << file;
    EXPECT_EQ(CountOf(file, "# my notes on this machine\n"), 1u);
    EXPECT_EQ(CountOf(file, "; Registry of the Kelvra"), 1u);

    // What was kept is still not taken for a value, and what was read still is.
    DWORD value = 0;
    EXPECT_EQ(GetDword(key, "Gain", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetDword(key, "Kept", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 42u);
    HKEY stranded = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bad", 0, KEY_READ, &stranded), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EachRewriteKeepsThePreviousFileAsBackup) {
    const std::string backupPath = home.RegistryPath() + ".bak";
    HKEY key = Create("Software\\Good");
    EXPECT_FALSE(std::filesystem::exists(backupPath)) << "the first file has no predecessor";
    std::string first = home.ReadRegistryFile();
    ASSERT_EQ(SetDword(key, "A", 1), ERROR_SUCCESS);
    std::string second = home.ReadRegistryFile();
    ASSERT_NE(first, second);
    auto readBackup = [&] {
        std::string text;
        if (FILE* file = std::fopen(backupPath.c_str(), "rb")) {
            char buffer[4096];
            for (size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, count);
            std::fclose(file);
        }
        return text;
    };
    EXPECT_EQ(readBackup(), first);
    ASSERT_EQ(SetDword(key, "B", 2), ERROR_SUCCESS);
    EXPECT_EQ(readBackup(), second);
    // The backup is a file of its own: the next rewrite must not change it through a shared inode.
    std::string third = home.ReadRegistryFile();
    ASSERT_EQ(SetDword(key, "C", 3), ERROR_SUCCESS);
    EXPECT_EQ(readBackup(), third);
}

TEST_F(RegistryTest, OnlyARegularFileIsReadAndNothingElseIsReplaced) {
    const std::string path = home.RegistryPath();
    const std::string outside = path + ".outside";
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto expectRefused = [&](const char* what) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_BADDB) << what;
        EXPECT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_BADDB)
            << what;
    };

    // A FIFO with no writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    expectRefused("fifo");
    EXPECT_TRUE(std::filesystem::is_fifo(path));
    std::filesystem::remove(path);

    std::filesystem::create_directory(path);
    expectRefused("directory");
    std::filesystem::remove(path);

    {
        FILE* target = std::fopen(outside.c_str(), "wb");
        ASSERT_NE(target, nullptr);
        std::fputs(kValid, target);
        std::fclose(target);
    }
    std::filesystem::create_symlink(outside, path);
    expectRefused("symlink");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
}

TEST_F(RegistryTest, NamesAndDepthAreLimitedAsDocumented) {
    std::string path = "Software";
    for (int depth = 2; depth <= 32; ++depth) path += "\\k";
    HKEY deepest = Create(path.c_str());
    ASSERT_NE(deepest, nullptr) << "32 names below the root are allowed";
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(deepest, "one", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (path + "\\one").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(deepest, "one", 0, KEY_READ, &key), ERROR_INVALID_PARAMETER);

    HKEY longest = Create(std::string(255, 'n').c_str());
    ASSERT_NE(longest, nullptr);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, std::string(256, 'n').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(longest, std::string(16383, 'v').c_str(), 1), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(longest, std::string(16384, 'v').c_str(), 1), ERROR_INVALID_PARAMETER);

    // The deep key is one header in the file, not one per ancestor.
    std::string file = home.ReadRegistryFile();
    EXPECT_EQ(CountOf(file, "[HKEY_CURRENT_USER\\Software"), 1u) << file;
    DWORD value = 0;
    EXPECT_EQ(GetDword(longest, std::string(16383, 'v').c_str(), value), ERROR_SUCCESS);

    // Read from a file, a header past the limits is set aside, not obeyed.
    home.WriteRegistryFile("[HKEY_CURRENT_USER\\" + path + "\\one]\n\"V\"=dword:1\n[HKEY_CURRENT_USER\\" +
                           std::string(256, 'n') + "]\n\"V\"=dword:1\n");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, AChangeThatWouldOutgrowTheFileIsRefusedAndNothingWritten) {
    HKEY key = Create("Software\\Good");
    ASSERT_EQ(SetDword(key, "Small", 1), ERROR_SUCCESS);
    std::string before = home.ReadRegistryFile();

    // Six MiB of bytes take eighteen as text, past the sixteen a file may hold.
    std::vector<BYTE> large(6 * 1024 * 1024, 0xAB);
    EXPECT_EQ(RegSetValueExA(key, "Large", 0, REG_BINARY, large.data(), static_cast<DWORD>(large.size())),
              ERROR_NOT_ENOUGH_MEMORY);
    // A size no file could hold is refused before the data is read at all.
    EXPECT_EQ(RegSetValueExA(key, "Huge", 0, REG_BINARY, large.data(), 0xFFFFFFFFu), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(home.ReadRegistryFile(), before);
    DWORD type = 0;
    EXPECT_TRUE(GetBytes(key, "Large", type).empty());

    std::vector<BYTE> fits(4 * 1024 * 1024, 0xCD);
    EXPECT_EQ(RegSetValueExA(key, "Fits", 0, REG_BINARY, fits.data(), static_cast<DWORD>(fits.size())), ERROR_SUCCESS);
    EXPECT_EQ(GetBytes(key, "Fits", type), fits);
}

TEST_F(RegistryTest, AFileWithMoreEntriesThanAHiveHoldsIsRefusedAndLeftAlone) {
    std::string text = "[HKEY_CURRENT_USER\\Software\\Many]\n";
    for (int i = 0; i <= (1 << 18); ++i) text += "\"" + std::to_string(i) + "\"=dword:0\n";
    home.WriteRegistryFile(text);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Many", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Many", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(home.ReadRegistryFile(), text);
}

TEST_F(RegistryTest, FiftyThousandValuesInOneKeyAreAllFoundByName) {
    std::string text = "[HKEY_CURRENT_USER\\Software\\Wide]\n";
    constexpr int kValues = 50000;
    for (int i = 0; i < kValues; ++i)
        text += "\"Value" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\n";
    text += "\"value7\"=dword:00000099\n";  // the same name in another case replaces it in place
    home.WriteRegistryFile(text);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wide", 0, KEY_READ, &key), ERROR_SUCCESS);
    opened.push_back(key);
    DWORD value = 0;
    for (int i : {0, 1, 24999, kValues - 1}) {
        ASSERT_EQ(GetDword(key, ("VALUE" + std::to_string(i)).c_str(), value), ERROR_SUCCESS) << i;
        EXPECT_EQ(value, static_cast<DWORD>(i % 10));
    }
    EXPECT_EQ(GetDword(key, "Value7", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x99u);
    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 7, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Value7");
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, kValues, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

}  // namespace
