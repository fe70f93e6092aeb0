#include "platform/registry/win_reg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "scratch_dir.h"

namespace {

using halyard::registry::testing::ScratchDir;

class WinRegTest : public ::testing::Test {
 protected:
  HKEY Create(HKEY root, const char* sub, DWORD* disposition = nullptr) {
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &h, disposition),
              ERROR_SUCCESS);
    return h;
  }
  static LONG SetString(HKEY h, const char* name, const char* text) {
    return RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
  }
  static LONG SetDword(HKEY h, const char* name, DWORD v) {
    return RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
  }
  static std::string QueryString(HKEY h, const char* name) {
    char buf[256];
    DWORD size = sizeof buf, type = 0;
    if (RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
      return "<none>";
    return std::string(buf, size > 0 ? size - 1 : 0);
  }
  ScratchDir dir_;
};

TEST_F(WinRegTest, CreatedKeysAndValuesPersistInTheHiveFile) {
  DWORD disposition = 0;
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Quillmarks\\Halyard\\3.0", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetDword(h, "OutfoldHorzRatio", 20), ERROR_SUCCESS);
  EXPECT_EQ(SetString(h, "Name", "x"), ERROR_SUCCESS);
  BYTE bin[] = {0xde, 0xad};
  EXPECT_EQ(RegSetValueExA(h, "Bin", 0, REG_BINARY, bin, 2), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(ScratchDir::Read(dir_.Hive("HKEY_CURRENT_USER")),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER]\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmarks]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmarks\\Halyard]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Quillmarks\\Halyard\\3.0]\r\n"
            "\"OutfoldHorzRatio\"=dword:00000014\r\n\"Name\"=\"x\"\r\n\"Bin\"=hex:de,ad\r\n\r\n");

  h = Create(HKEY_CURRENT_USER, "software\\QUILLMARKS\\halyard\\3.0\\", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  DWORD v = 0, size = sizeof v, type = 0;
  EXPECT_EQ(
      RegQueryValueExA(h, "outfoldhorzratio", nullptr, &type, reinterpret_cast<BYTE*>(&v), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(v, 20u);
  EXPECT_EQ(size, 4u);
  // A change under another spelling replaces the value where it stands.
  EXPECT_EQ(SetString(h, "NAME", "y"), ERROR_SUCCESS);
  char name[32];
  DWORD nameSize = sizeof name;
  ASSERT_EQ(RegEnumValueA(h, 1, name, &nameSize, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Name");
  EXPECT_EQ(QueryString(h, "name"), "y");
  RegCloseKey(h);
  // Other hives are other files.
  HKEY m = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quillmarks\\Scriptorium Server");
  EXPECT_EQ(SetString(m, "ScriptoriumServerRoot", "D:\\Root"), ERROR_SUCCESS);
  RegCloseKey(m);
  struct stat st;
  EXPECT_EQ(stat(dir_.Hive("HKEY_LOCAL_MACHINE").c_str(), &st), 0);
  EXPECT_NE(stat(dir_.Hive("HKEY_CLASSES_ROOT").c_str(), &st), 0);
}

TEST_F(WinRegTest, ChangingADamagedHiveKeepsTheLinesItCannotRead) {
  ::mkdir((dir_.path() + "/registry").c_str(), 0777);
  std::string hive = dir_.Hive("HKEY_CURRENT_USER");
  ScratchDir::Write(hive,
                    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Damaged]\r\n"
                    "\"text\"=\"unterminated\r\n\"data\"=hex:zz\r\n"
                    "[HKEY_CURRENT_USER\\Software\\NoBracket\r\n\"lost\"=\"before\"\r\n");
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Damaged");
  EXPECT_EQ(SetString(h, "new", "value"), ERROR_SUCCESS);
  RegCloseKey(h);
  std::string after = ScratchDir::Read(hive);
  for (const char* line : {"\"text\"=\"unterminated\r\n", "\"data\"=hex:zz\r\n",
                           "[HKEY_CURRENT_USER\\Software\\NoBracket\r\n",
                           "\"lost\"=\"before\"\r\n", "\"new\"=\"value\"\r\n"})
    EXPECT_NE(after.find(line), std::string::npos) << line << "\n" << after;
  // A second change keeps them as well.
  h = Create(HKEY_CURRENT_USER, "Software\\Other");
  EXPECT_EQ(SetDword(h, "n", 7), ERROR_SUCCESS);
  RegCloseKey(h);
  EXPECT_NE(ScratchDir::Read(hive).find("\"data\"=hex:zz\r\n"), std::string::npos);
}

TEST_F(WinRegTest, QueryFollowsTheSizeRules) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Sizes");
  SetString(h, "Text", "hello");
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(h, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  char small[4] = {'a', 'b', 'c', 'd'};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(h, "Text", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(std::string(small, 4), "abcd");
  char exact[6];
  size = sizeof exact;
  EXPECT_EQ(RegQueryValueExA(h, "Text", nullptr, &type, reinterpret_cast<BYTE*>(exact), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(exact, "hello");
  EXPECT_EQ(RegQueryValueExA(h, "Text", nullptr, &type, reinterpret_cast<BYTE*>(exact), nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(h, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // The default value has a null or an empty name.
  EXPECT_EQ(SetString(h, nullptr, "dflt"), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(h, ""), "dflt");
  char legacy[16];
  LONG legacySize = sizeof legacy;
  EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, "Software\\Sizes", legacy, &legacySize),
            ERROR_SUCCESS);
  EXPECT_STREQ(legacy, "dflt");
  RegCloseKey(h);
}

TEST_F(WinRegTest, ReadOnlyHandlesRefuseEveryChange) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Locked");
  SetString(h, "v", "1");
  HKEY ro = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Locked", 0, KEY_READ, &ro), ERROR_SUCCESS);
  EXPECT_EQ(SetString(ro, "v", "2"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(ro, "v"), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyExA(ro, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(ro, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryString(ro, "v"), "1");
  HKEY wo = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Locked", 0, KEY_SET_VALUE, &wo),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryString(wo, "v"), "<none>");  // No query right.
  RegCloseKey(wo);
  RegCloseKey(ro);
  RegCloseKey(h);
}

TEST_F(WinRegTest, AHiveThatCannotBeWrittenCanStillBeOpenedForReading) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Shared");
  SetString(h, "v", "kept");
  RegCloseKey(h);
  // A folder where the lock file belongs makes the hive unwritable even for root.
  std::string lock = dir_.Hive("HKEY_CURRENT_USER") + ".lock";
  ASSERT_EQ(unlink(lock.c_str()), 0);
  ASSERT_EQ(mkdir(lock.c_str(), 0777), 0);
  std::string before = ScratchDir::Read(dir_.Hive("HKEY_CURRENT_USER"));
  HKEY w = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &w, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_WRITE, &w),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetString(HKEY_CURRENT_USER, "top", "x"), ERROR_ACCESS_DENIED);
  HKEY r = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_READ, &r), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(r, "v"), "kept");
  RegCloseKey(r);
  EXPECT_EQ(ScratchDir::Read(dir_.Hive("HKEY_CURRENT_USER")), before);
}

TEST_F(WinRegTest, SubkeysEnumerateInNameOrderValuesInTheOrderSet) {
  HKEY h = Create(HKEY_CLASSES_ROOT, "Enum");
  for (const char* n : {"beta", "_under", "Alpha"}) RegCloseKey(Create(h, n));
  for (const char* n : {"z", "a", "M"}) SetString(h, n, n);
  std::vector<std::string> keys, values;
  char name[16];
  DWORD size;
  FILETIME ft;
  for (DWORD i = 0;; ++i) {
    size = sizeof name;
    LONG r = RegEnumKeyExA(h, i, name, &size, nullptr, nullptr, nullptr, &ft);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(r, ERROR_SUCCESS);
    EXPECT_EQ(size, std::strlen(name));
    keys.push_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "_under"}));
  for (DWORD i = 0;; ++i) {
    size = sizeof name;
    BYTE data[8];
    DWORD dataSize = sizeof data, type = 0;
    LONG r = RegEnumValueA(h, i, name, &size, nullptr, &type, data, &dataSize);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(r, ERROR_SUCCESS);
    EXPECT_EQ(dataSize, 2u);
    values.push_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"z", "a", "M"}));
  size = 5;  // "Alpha" needs six with its NUL.
  EXPECT_EQ(RegEnumKeyExA(h, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  size = sizeof name;
  BYTE one[1];
  DWORD oneSize = 1;
  EXPECT_EQ(RegEnumValueA(h, 0, name, &size, nullptr, nullptr, one, &oneSize), ERROR_MORE_DATA);
  EXPECT_EQ(oneSize, 2u);
  DWORD subKeys = 0, valueCount = 0, maxName = 0;
  EXPECT_EQ(RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subKeys, &maxName, nullptr, &valueCount,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 3u);
  EXPECT_EQ(valueCount, 3u);
  EXPECT_EQ(maxName, 6u);
  RegCloseKey(h);
}

TEST_F(WinRegTest, DeletingKeysAndValues) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Del\\Leaf");
  SetString(h, "v", "1");
  EXPECT_EQ(RegDeleteValueA(h, "V"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(h, "v"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Del"),
            ERROR_ACCESS_DENIED);  // Has a subkey.
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Del\\leaf"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(h, "v", "2"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Del\\leaf"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(h);
  RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Tree\\A\\B"));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tree"), ERROR_SUCCESS);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tree", 0, KEY_READ, &gone),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);  // Never a root.
}

TEST_F(WinRegTest, BadHandlesAndNamesAreRefused) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\H");
  EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetString(h, "v", "x"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(
      RegQueryValueExA(reinterpret_cast<HKEY>(0x1234), "v", nullptr, nullptr, nullptr, nullptr),
      ERROR_INVALID_HANDLE);
  HKEY out = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &out, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &out, nullptr),
            ERROR_BAD_PATHNAME);
  std::string longName(256, 'k');
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &out, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, &out),
            ERROR_FILE_NOT_FOUND);
  // A line break would split the name's line in the hive text.
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "two\nlines", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &out, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetString(HKEY_CURRENT_USER, "two\r\nlines", "x"), ERROR_INVALID_PARAMETER);
}

TEST_F(WinRegTest, ValuesKeepTheirExactBytesThroughTheFile) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Bytes");
  std::string lines("one\r\ntwo\0", 9);
  RegSetValueExA(h, "Lines", 0, REG_SZ, reinterpret_cast<const BYTE*>(lines.data()), 9);
  RegSetValueExA(h, "NoNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
  RegSetValueExA(h, "Empty", 0, REG_BINARY, nullptr, 0);
  RegCloseKey(h);
  // Another process's writer: the next call reads the new file.
  std::string text = ScratchDir::Read(dir_.Hive("HKEY_CURRENT_USER"));
  text += "[HKEY_CURRENT_USER\\Software\\Bytes]\r\n\"Added\"=\"by hand\"\r\n\r\n";
  ScratchDir::Write(dir_.Hive("HKEY_CURRENT_USER"), text);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bytes", 0, KEY_READ, &h), ERROR_SUCCESS);
  char buf[16];
  DWORD size = sizeof buf, type = 0;
  ASSERT_EQ(RegQueryValueExA(h, "Lines", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(buf, size), lines);
  size = sizeof buf;
  RegQueryValueExA(h, "NoNul", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  EXPECT_EQ(std::string(buf, size), "abc");
  EXPECT_EQ(type, REG_SZ);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(h, "Empty", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(QueryString(h, "added"), "by hand");
  RegCloseKey(h);
}

TEST_F(WinRegTest, ADamagedHiveIsReportedAndNeverOverwritten) {
  mkdir((dir_.path() + "/registry").c_str(), 0777);
  const std::string junk = "\x01\x02 not a hive";
  ScratchDir::Write(dir_.Hive("HKEY_LOCAL_MACHINE"), junk);
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &h), ERROR_BADDB);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &h, nullptr),
            ERROR_BADDB);
  EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, "v", "x"), ERROR_BADDB);
  EXPECT_EQ(ScratchDir::Read(dir_.Hive("HKEY_LOCAL_MACHINE")), junk);
  // An empty file is an empty hive.
  ScratchDir::Write(dir_.Hive("HKEY_LOCAL_MACHINE"), "");
  EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, "v", "x"), ERROR_SUCCESS);
}

TEST_F(WinRegTest, ThreadsSharingAHandleLoseNothing) {
  HKEY h = Create(HKEY_CURRENT_USER, "Software\\Threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([h, t] {
      for (int i = 0; i < 25; ++i) {
        std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        EXPECT_EQ(SetString(h, name.c_str(), "v"), ERROR_SUCCESS);
        EXPECT_EQ(QueryString(h, name.c_str()), "v");
      }
    });
  }
  for (auto& th : threads) th.join();
  DWORD values = 0;
  RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  EXPECT_EQ(values, 100u);
  RegCloseKey(h);
}

}  // namespace
