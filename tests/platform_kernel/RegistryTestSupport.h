// Shared helpers of the registry tests.
#pragma once

#include "TemporaryConfigHome.h"

#include "kelvra/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RegistryTest : public testing::Test {
protected:
    void TearDown() override {
        for (HKEY key : opened) RegCloseKey(key);
    }

    HKEY Create(const char* path, DWORD* disposition = nullptr, HKEY parent = HKEY_CURRENT_USER) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                  disposition),
                  ERROR_SUCCESS);
        opened.push_back(key);
        return key;
    }

    static LONG SetDword(HKEY key, const char* name, DWORD value) {
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

    static LONG GetDword(HKEY key, const char* name, DWORD& value) {
        DWORD type = 0, size = sizeof value;
        LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        if (result == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof value)) return ERROR_BADKEY;
        return result;
    }

    static std::vector<BYTE> GetBytes(HKEY key, const char* name, DWORD& type) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
        return data;
    }

    TemporaryConfigHome home;
    std::vector<HKEY> opened;
};
