#include "framework/Registry.h"

#include <gtest/gtest.h>

#include <string>

using namespace kq;

namespace {

const wchar_t* const test_key = L"Software\\KQ framework tests\\Registry";

// A key of test values under the current user, removed again at scope end.
class registry_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, test_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &FKey, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(FKey);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KQ framework tests");
    }
    void set(const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
        ::RegSetValueExW(FKey, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    }
    HKEY FKey = nullptr;
};

bool key_exists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

} // namespace

TEST_F(registry_test, ReadsTextValues) {
    const std::wstring long_text(1000, L'x');
    const DWORD number = 7;
    set(L"terminated", REG_SZ, L"C:\\Users\\桌面", sizeof(L"C:\\Users\\桌面"));
    set(L"unterminated", REG_SZ, L"abc", 3 * sizeof(wchar_t));
    set(L"expandable", REG_EXPAND_SZ, L"%APPDATA%\\x", sizeof(L"%APPDATA%\\x"));
    set(L"long", REG_SZ, long_text.c_str(), (long_text.size() + 1) * sizeof(wchar_t));
    set(L"empty", REG_SZ, L"", sizeof(wchar_t));
    set(L"number", REG_DWORD, &number, sizeof number);
    const registry_key key = registry_key::open_read(HKEY_CURRENT_USER, from_wide(test_key));
    ASSERT_TRUE(key);
    struct row {
        const char16_t* name;
        std::optional<String> value;
    };
    const row rows[] = {{u"terminated", u"C:\\Users\\桌面"}, {u"unterminated", u"abc"},
                        {u"expandable", u"%APPDATA%\\x"},   {u"long", String(1000, u'x')},
                        {u"empty", u""},                    {u"number", std::nullopt},
                        {u"missing", std::nullopt}};
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        EXPECT_EQ(key.read_string(r.name), r.value);
    }
}

TEST_F(registry_test, OpeningAMissingKeyCreatesNothing) {
    const registry_key key = registry_key::open_read(HKEY_CURRENT_USER, u"Software\\KQ framework tests\\Missing");
    EXPECT_FALSE(key);
    EXPECT_EQ(key.read_string(u"x"), std::nullopt);
    EXPECT_FALSE(key_exists(L"Software\\KQ framework tests\\Missing"));
}
