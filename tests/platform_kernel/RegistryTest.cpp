#include "ChildProcess.h"
#include "RegistryTestSupport.h"

#include <cstring>

namespace {

constexpr const char* kCameraKey = "Software\\Tavrel\\Kelvra880HQLNSdk\\Camera_00";

TEST_F(RegistryTest, ValuesOfEveryTypeRoundTripThroughTheFile) {
    DWORD disposition = 0;
    HKEY key = Create(kCameraKey, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(SetDword(key, "Size", 0xDEADBEEF), ERROR_SUCCESS);
    const BYTE table[] = {0, 1, 2, 0xFF};
    ASSERT_EQ(RegSetValueExA(key, "Table", 0, REG_BINARY, table, sizeof table), ERROR_SUCCESS);
    const char text[] = "C:\\path \"quoted\"\n\xC3\xBC";
    ASSERT_EQ(RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("default"), 8), ERROR_SUCCESS);

    HKEY again = Create(kCameraKey, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    DWORD value = 0, type = 0;
    EXPECT_EQ(GetDword(again, "SIZE", value), ERROR_SUCCESS) << "value names ignore case";
    EXPECT_EQ(value, 0xDEADBEEF);
    EXPECT_EQ(GetBytes(again, "Table", type), std::vector<BYTE>(table, table + sizeof table));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(GetBytes(again, "Name", type), std::vector<BYTE>(text, text + sizeof text));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(GetBytes(again, "", type), std::vector<BYTE>({'d', 'e', 'f', 'a', 'u', 'l', 't', 0}));

    std::string file = home.ReadRegistryFile();
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Tavrel\\Kelvra880HQLNSdk\\Camera_00]"), std::string::npos);
    EXPECT_NE(file.find("\"Size\"=dword:deadbeef"), std::string::npos) << file;
}

TEST_F(RegistryTest, QueryFollowsTheSizeRules) {
    HKEY key = Create(kCameraKey);
    const BYTE data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, data, sizeof data), ERROR_SUCCESS);

    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);
    BYTE small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, small, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);

    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nobody", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &missing), ERROR_BAD_PATHNAME);
}

TEST_F(RegistryTest, KeyNamesIgnoreCaseAndAccessRightsAreEnforced) {
    HKEY key = Create(kCameraKey);
    ASSERT_EQ(SetDword(key, "Clock", 7), ERROR_SUCCESS);
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\tavrel\\KELVRA880HQLNSDK\\camera_00", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    opened.push_back(readOnly);
    DWORD value = 0;
    EXPECT_EQ(GetDword(readOnly, "Clock", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(SetDword(readOnly, "Clock", 8), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(readOnly, "Clock"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(readOnly, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetDword(key, "Clock", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
}

TEST_F(RegistryTest, DeletingValuesAndKeys) {
    HKEY parent = Create("Software\\Tavrel\\Parent");
    HKEY child = Create("Child", nullptr, parent);
    ASSERT_EQ(SetDword(child, "V", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(child, "v"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(child, "v"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tavrel\\Parent"), ERROR_ACCESS_DENIED) << "has a subkey";
    EXPECT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(parent, "Child"), ERROR_FILE_NOT_FOUND);
    DWORD value = 0;
    EXPECT_EQ(SetDword(child, "V", 1), ERROR_KEY_DELETED) << "a handle outlives its deleted key";
    EXPECT_EQ(GetDword(child, "V", value), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tavrel\\Parent"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x7777)), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, EnumeratesValuesInOrder) {
    HKEY key = Create(kCameraKey);
    SetDword(key, "First", 1);
    SetDword(key, "Second", 2);
    char name[16];
    DWORD nameLength = sizeof name, type = 0, value = 0, size = sizeof value;
    ASSERT_EQ(RegEnumValueA(key, 1, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Second");
    EXPECT_EQ(nameLength, 6u);
    EXPECT_EQ(value, 2u);
    nameLength = 6;  // no room for the terminator
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    nameLength = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 2, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, AValueWrittenByAnotherProcessIsRead) {
    ChildProcess child({HelperPath(), "reg-set", kCameraKey, "Exposure", "1234"});
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.Wait(), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kCameraKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    opened.push_back(key);
    DWORD value = 0;
    EXPECT_EQ(GetDword(key, "Exposure", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 1234u);
}

TEST_F(RegistryTest, ConcurrentWritersInSeveralProcessesLoseNothing) {
    constexpr int kPerWriter = 25;
    const std::string count = std::to_string(kPerWriter);
    ChildProcess first({HelperPath(), "reg-set-many", kCameraKey, "A", count});
    ChildProcess second({HelperPath(), "reg-set-many", kCameraKey, "B", count});
    HKEY key = Create(kCameraKey);
    for (int i = 0; i < kPerWriter; ++i)
        ASSERT_EQ(SetDword(key, ("C" + std::to_string(i)).c_str(), static_cast<DWORD>(i)), ERROR_SUCCESS);
    ASSERT_EQ(first.Wait(), 0);
    ASSERT_EQ(second.Wait(), 0);
    for (const char* prefix : {"A", "B", "C"})
        for (int i = 0; i < kPerWriter; ++i) {
            DWORD value = 0;
            std::string name = prefix + std::to_string(i);
            ASSERT_EQ(GetDword(key, name.c_str(), value), ERROR_SUCCESS) << name;
            EXPECT_EQ(value, static_cast<DWORD>(i));
        }
}

}  // namespace
