// The five settings operations on both stores: results, stored types and sizes, and the exact
// diagnostics on standard output.
#include "settings/Registry.h"

#include "platform/registry_memory.h"
#include "support/Child.h"
#include "support/RegistryStores.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kProductKey = "SOFTWARE\\Ostrel Technologies\\Skyvane";

template <class Store> class SettingsRegistryTest : public registry_stores::StoreTest<Store> {
  protected:
    void SetUp() override {
        registry_stores::StoreTest<Store>::SetUp();
        if (this->HasFatalFailure()) {
            return;
        }
        bool created = false;
        ASSERT_EQ(this->m_backend->CreateKey(HKEY_LOCAL_MACHINE, kProductKey, "", &created),
                  ERROR_SUCCESS);
    }

    void Put(const std::string& name, DWORD type, const std::string& bytes) {
        platform::RegistryValue value{name, type, std::vector<BYTE>(bytes.begin(), bytes.end())};
        ASSERT_EQ(this->m_backend->SetValue(HKEY_LOCAL_MACHINE, kProductKey, value), ERROR_SUCCESS);
    }
    platform::RegistryValue Stored(const std::string& name) {
        platform::RegistryValue value;
        EXPECT_EQ(this->m_backend->QueryValue(HKEY_LOCAL_MACHINE, kProductKey, name, &value),
                  ERROR_SUCCESS);
        return value;
    }
    template <class F> std::string Printed(F&& body) {
        ::testing::internal::CaptureStdout();
        body();
        return ::testing::internal::GetCapturedStdout();
    }
};

using registry_stores::StoreNames;
using registry_stores::Stores;
TYPED_TEST_SUITE(SettingsRegistryTest, Stores, StoreNames);

TYPED_TEST(SettingsRegistryTest, ReadStringGivesTextOrNothingWithADiagnostic) {
    const std::string longest(1023, 'x');
    const std::string full(1024, 'y'); // fills the buffer, no NUL
    this->Put("Last Update", REG_SZ, std::string("2024 5 17") + '\0');
    this->Put("Longest", REG_SZ, longest + '\0');
    this->Put("Too long", REG_SZ, std::string(1500, 'z') + '\0');
    this->Put("Full", REG_BINARY, full);
    this->Put("Two parts", REG_SZ, std::string("ab\0cd\0", 6));
    this->Put("", REG_SZ, std::string("default") + '\0');

    struct Row {
        const char* path;
        const char* name;
        std::string expected;
        const char* printed;
    } rows[] = {
        {kProductKey, "Last Update", "2024 5 17", ""},
        {"software\\OSTREL technologies\\skyvane", "LAST UPDATE", "2024 5 17", ""},
        {kProductKey, "Longest", longest, ""},
        {kProductKey, "Full", full, ""},
        {kProductKey, "Two parts", "ab", ""},
        {kProductKey, "", "default", ""},
        {kProductKey, "Too long", "", "Error: RegQueryValueEx = 234"},
        {kProductKey, "Missing", "", "Error: RegQueryValueEx = 2"},
        {"SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0", "InstallDir", "",
         "Error: RegOpenKeyEx = 2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string result;
        EXPECT_EQ(
            this->Printed([&] { result = ReadRegString(HKEY_LOCAL_MACHINE, row.path, row.name); }),
            row.printed);
        EXPECT_EQ(result, row.expected);
    }
}

TYPED_TEST(SettingsRegistryTest, ReadDwordTakesTheFirstFourBytesOfAnyType) {
    this->Put("Binary", REG_BINARY, std::string("\x01\x00\x00\x00", 4));
    this->Put("Dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4));
    this->Put("Text", REG_SZ, std::string("1234\0", 5));
    this->Put("Short", REG_BINARY, std::string("\x01\x02", 2));
    this->Put("Long", REG_BINARY, std::string("\xFF\xFF\xFF\xFF\xFF\xFF", 6));

    struct Row {
        const char* name;
        DWORD expected;
        const char* printed;
    } rows[] = {
        {"Binary", 1, ""},
        {"Long", 0xFFFFFFFFu, ""},
        // Read right after a longer value: the missing bytes are 0, not what was read before.
        {"Short", 0x0201, ""},
        {"Dword", 0x12345678, ""},
        {"Text", 0x34333231, ""},
        {"Missing", 0, "Error: RegQueryValueEx = 2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DWORD result = 0xDEADBEEF;
        EXPECT_EQ(this->Printed(
                      [&] { result = ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, row.name); }),
                  row.printed);
        EXPECT_EQ(result, row.expected);
    }
}

TYPED_TEST(SettingsRegistryTest, WritesStoreTypeSizeAndBytes) {
    std::string printed = this->Printed([] {
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Connection", "Ostrel Dial");
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Password", "");
        WriteRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Dword", 0x01020304);
        WriteRegBinary(HKEY_LOCAL_MACHINE, kProductKey, "Binary", 1);
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "", "default");
    });
    EXPECT_EQ(printed, "");

    struct Row {
        const char* name;
        DWORD type;
        std::string bytes;
    } rows[] = {
        {"Last Connection", REG_SZ, std::string("Ostrel Dial\0", 12)},
        {"Password", REG_SZ, std::string("\0", 1)},
        {"Dword", REG_DWORD, std::string("\x04\x03\x02\x01", 4)},
        {"Binary", REG_BINARY, std::string("\x01\x00\x00\x00", 4)},
        {"", REG_SZ, std::string("default\0", 8)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform::RegistryValue value = this->Stored(row.name);
        EXPECT_EQ(value.type, row.type);
        EXPECT_EQ(std::string(value.data.begin(), value.data.end()), row.bytes);
    }
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Connection"), "Ostrel Dial");
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Binary"), 1u);
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Dword"), 0x01020304u);
}

TYPED_TEST(SettingsRegistryTest, WriteBelowAMissingKeyChangesNothing) {
    const std::string install = std::string(kProductKey) + "\\1.0";
    EXPECT_EQ(this->Printed([&] {
        WriteRegString(HKEY_LOCAL_MACHINE, install, "InstallDir", "D:\\Client\\");
    }),
              "Error: RegOpenKeyEx = 2");
    EXPECT_EQ(this->m_backend->OpenKey(HKEY_LOCAL_MACHINE, install, KEY_READ),
              ERROR_FILE_NOT_FOUND);
    std::vector<std::string> subkeys;
    ASSERT_EQ(this->m_backend->EnumKeys(HKEY_LOCAL_MACHINE, kProductKey, &subkeys), ERROR_SUCCESS);
    EXPECT_TRUE(subkeys.empty());
    EXPECT_EQ(this->Printed([] { WriteRegDword(HKEY_CURRENT_USER, "Nowhere", "x", 1); }),
              "Error: RegOpenKeyEx = 2");
}

TYPED_TEST(SettingsRegistryTest, FailuresInARowShareOneLine) {
    std::string printed = this->Printed([] {
        ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", "InstallDir");
        ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Missing");
        WriteRegBinary(HKEY_CURRENT_USER, "Missing", "x", 1);
    });
    EXPECT_EQ(printed, "Error: RegOpenKeyEx = 2Error: RegQueryValueEx = 2Error: RegOpenKeyEx = 2");
}

TYPED_TEST(SettingsRegistryTest, AFailedReadAfterAGoodOneGivesNothing) {
    this->Put("Good", REG_SZ, std::string("value\0", 6));
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Good"), 0x756C6176u);
    this->Printed([&] {
        EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Missing"), 0u);
        EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\None", "Good"), "");
    });
}

// The memory store plays a registry without the rights.
class SettingsRefusalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::InstallRegistry(&m_memory);
        bool created = false;
        ASSERT_EQ(m_memory.CreateKey(HKEY_LOCAL_MACHINE, kProductKey, "", &created), ERROR_SUCCESS);
        platform::RegistryValue value{"Browser exe", REG_SZ, {'n', 0}};
        ASSERT_EQ(m_memory.SetValue(HKEY_LOCAL_MACHINE, kProductKey, value), ERROR_SUCCESS);
    }
    void TearDown() override { platform::InstallRegistry(nullptr); }
    platform::MemoryRegistry m_memory;
};

TEST_F(SettingsRefusalTest, DeniedKeysAndValuesGiveTheirCodes) {
    struct Row {
        const char* what;
        void (platform::MemoryRegistry::*refuse)(HKEY, const std::string&, LONG);
        LONG code;
        const char* readPrinted;
        const char* writePrinted;
    } rows[] = {
        {"set refused", &platform::MemoryRegistry::RefuseSet, ERROR_ACCESS_DENIED, "",
         "Error: RegSetValueEx = 5"},
        {"set fails", &platform::MemoryRegistry::RefuseSet, ERROR_CANTWRITE, "",
         "Error: RegSetValueEx = 1013"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        m_memory.ClearRefusals();
        (m_memory.*row.refuse)(HKEY_LOCAL_MACHINE, kProductKey, row.code);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"), "n");
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.readPrinted);
        ::testing::internal::CaptureStdout();
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", "changed");
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.writePrinted);
        EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"), "n");
    }

    // Read-only key: reads go on, writes are denied at the open.
    m_memory.ClearRefusals();
    m_memory.RefuseOpen(HKEY_LOCAL_MACHINE, kProductKey, ERROR_ACCESS_DENIED, KEY_SET_VALUE);
    ::testing::internal::CaptureStdout();
    WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe", "changed");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"), "n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: RegOpenKeyEx = 5");

    // No access at all.
    m_memory.RefuseOpen(HKEY_LOCAL_MACHINE, kProductKey, ERROR_ACCESS_DENIED);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"), 0u);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error: RegOpenKeyEx = 5");
}

TEST(SettingsWithoutStore, EveryCallReportsTheUnreadableStore) {
    platform::InstallRegistry(nullptr);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe"), "");
    WriteRegDword(HKEY_LOCAL_MACHINE, kProductKey, "x", 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Error: RegOpenKeyEx = 1009Error: RegOpenKeyEx = 1009");
}

// A diagnostic must reach standard output at once, even when the process ends without flushing
// (stdout into a pipe is fully buffered).
TEST(SettingsWithoutStore, DiagnosticIsFlushedAtOnce) {
    const std::string printed = OutputOfChild({STDOUT_FILENO}, [] {
        platform::InstallRegistry(nullptr);
        ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Browser exe");
        return 0; // the child ends without a stdio flush
    });
    EXPECT_EQ(printed, "Error: RegOpenKeyEx = 1009");
}

} // namespace
