#include "RegTool.h"
#include "platform/ascii.h"
#include "platform/text_table.h"

#include "RegFile.h"
#include "platform/registry_sqlite.h"

#include "skyvane/version.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

namespace regtool {

namespace {

const char* const kUsage = R"(Usage: skyvane-reg [--store PATH] VERB ARGUMENTS

Reads and changes the launcher's registry store: PATH, else $SKYVANE_REGISTRY,
else $XDG_DATA_HOME/skyvane/registry.db (XDG default ~/.local/share).

  query KEY [/v NAME | /ve] [/s]
      Shows the values of KEY and lists its subkeys. /v shows one value, /ve the
      default (unnamed) value, /s every key and value of the subtree.
  add KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
      Creates KEY and its parents, and sets a value when /v or /ve is given.
      TYPE: REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,
      REG_BINARY. DATA: text; a number, decimal or 0x hex, for REG_DWORD; hex
      digits for REG_BINARY; for REG_MULTI_SZ items separated by \0 (or by the
      character SEP). /f overwrites an existing value without asking.
  delete KEY [/v NAME | /ve | /va] [/f]
      Deletes KEY with all its subkeys, or one value (/v, /ve), or every value of
      KEY (/va). /f deletes without asking.
  export [KEY] FILE [/y]
      Writes KEY and its subtree (without KEY: the whole store) to FILE as a
      REGEDIT4 .reg file ("-": standard output). /y overwrites FILE.
  import FILE
      Applies a .reg file ("-": standard input) in the format "REGEDIT4" or
      "Windows Registry Editor Version 5.00", 8-bit or UTF-16LE or UTF-8 with a
      byte-order mark. A file with a fault is refused with its line number and
      nothing is changed.
  check
      Checks every page of the store for damage and says whether it is sound
      (exit status 0) or damaged (1). The store is not changed.

KEY is ROOT\path, ROOT one of HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU)
and HKEY_CLASSES_ROOT (HKCR). Options may also start with '-'.
Key classes travel in .reg files as a ;class="..." comment after the key line.
  --help, --version
      Prints this text, or the version.

Exit status: 0 done, 1 failed or cancelled, 2 bad command line.
)";

// What a bad command line gets on standard error, after the fault.
const char* const kSynopsis = R"(Usage: skyvane-reg [--store PATH] query KEY [/v NAME | /ve] [/s]
       skyvane-reg [--store PATH] add KEY [/v NAME | /ve] [/t TYPE] [/s SEP] [/d DATA] [/f]
       skyvane-reg [--store PATH] delete KEY [/v NAME | /ve | /va] [/f]
       skyvane-reg [--store PATH] export [KEY] FILE [/y]
       skyvane-reg [--store PATH] import FILE
       skyvane-reg --help | --version
)";

struct CommandLine {
    std::string verb;
    std::vector<std::string> operands;
    std::optional<std::string> store;
    std::optional<std::string> valueName; // /v NAME, or "" for /ve
    bool allValues = false;               // /va
    bool subtree = false;                 // query /s
    std::string type = "REG_SZ";
    std::optional<std::string> data;
    std::string separator = "\\0";
    bool force = false;     // /f
    bool overwrite = false; // /y
    bool help = false;
    bool version = false;
};

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* cmd, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto takeValue = [&](const std::string& option, std::string* value) {
            if (i + 1 >= args.size()) {
                *error = option + " needs a value";
                return false;
            }
            *value = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h" || arg == "/?" || arg == "-?") {
            cmd->help = true;
            continue;
        }
        if (arg == "--version") {
            cmd->version = true;
            continue;
        }
        if (arg == "--store") {
            std::string path;
            if (!takeValue(arg, &path)) {
                return false;
            }
            cmd->store = path;
            continue;
        }
        if (arg.rfind("--store=", 0) == 0) {
            cmd->store = arg.substr(8);
            continue;
        }
        if (cmd->verb.empty()) {
            cmd->verb = platform::AsciiLowered(arg);
            continue;
        }
        std::string option = arg.size() >= 2 ? platform::AsciiLowered(arg.substr(1)) : "";
        static const char* const kOptions[] = {"v", "ve", "va", "t", "d", "s", "f", "y"};
        bool known = false;
        for (const char* name : kOptions) {
            known = known || option == name;
        }
        // Something after '/' that cannot be an option name is an absolute file path.
        bool word = true;
        for (char c : option) {
            word = word && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
        }
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-') ||
            (arg[0] == '/' && !known && !word)) {
            cmd->operands.push_back(arg);
            continue;
        }
        std::string value;
        if (option == "v") {
            if (!takeValue(arg, &value)) {
                return false;
            }
            cmd->valueName = value;
        } else if (option == "ve") {
            cmd->valueName = "";
        } else if (option == "va") {
            cmd->allValues = true;
        } else if (option == "t") {
            if (!takeValue(arg, &value)) {
                return false;
            }
            cmd->type = value;
        } else if (option == "d") {
            if (!takeValue(arg, &value)) {
                return false;
            }
            cmd->data = value;
        } else if (option == "s" && cmd->verb == "add") {
            if (!takeValue(arg, &value)) {
                return false;
            }
            if (value.size() != 1) {
                *error = "/s needs a single separator character";
                return false;
            }
            cmd->separator = value;
        } else if (option == "s") {
            cmd->subtree = true;
        } else if (option == "f") {
            cmd->force = true;
        } else if (option == "y") {
            cmd->overwrite = true;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::string DescribeCode(LONG code) {
    static const platform::KeyText<LONG> kCodes[] = {
        {ERROR_FILE_NOT_FOUND, "not found"},
        {ERROR_PATH_NOT_FOUND, "path not found"},
        {ERROR_ACCESS_DENIED, "access denied"},
        {ERROR_LOCK_VIOLATION, "the store is locked by another program"},
        {ERROR_BAD_PATHNAME, "bad key name"},
        {ERROR_BADDB, "the store cannot be read"},
        {ERROR_CANTWRITE, "the store cannot be written"},
    };
    const char* what = platform::TextOf(kCodes, code);
    std::string text = "error " + std::to_string(code);
    return what != nullptr ? text + ", " + what : text;
}

const char* TypeName(DWORD type) {
    static const platform::KeyText<DWORD> kTypes[] = {
        {REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
        {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
        {REG_DWORD, "REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
        {REG_LINK, "REG_LINK"},           {REG_MULTI_SZ, "REG_MULTI_SZ"},
        {REG_QWORD, "REG_QWORD"},
    };
    return platform::TextOf(kTypes, type);
}

// The value's data as the Windows tool shows it.
std::string DataText(const platform::RegistryValue& value) {
    const std::vector<BYTE>& d = value.data;
    char number[24];
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::string text(d.begin(), d.end());
        return text.substr(0, text.find('\0'));
    }
    case REG_MULTI_SZ: {
        std::string text;
        std::string item;
        for (BYTE b : d) {
            if (b != 0) {
                item.push_back(static_cast<char>(b));
                continue;
            }
            if (item.empty()) {
                break;
            }
            text += (text.empty() ? "" : "\\0") + item;
            item.clear();
        }
        return item.empty() ? text : text + (text.empty() ? "" : "\\0") + item;
    }
    case REG_DWORD:
        if (d.size() == 4) {
            std::snprintf(number, sizeof number, "0x%x",
                          static_cast<unsigned>(d[0] | (d[1] << 8) | (d[2] << 16) |
                                                (static_cast<DWORD>(d[3]) << 24)));
            return number;
        }
        break;
    case REG_QWORD:
        if (d.size() == 8) {
            unsigned long long q = 0;
            for (int i = 7; i >= 0; --i) {
                q = (q << 8) | d[i];
            }
            std::snprintf(number, sizeof number, "0x%llx", q);
            return number;
        }
        break;
    default:
        break;
    }
    std::string hex;
    for (BYTE b : d) {
        std::snprintf(number, sizeof number, "%02X", b);
        hex += number;
    }
    return hex;
}

void PrintValue(std::ostream& out, const platform::RegistryValue& value) {
    const char* type = TypeName(value.type);
    char other[16];
    if (type == nullptr) {
        std::snprintf(other, sizeof other, "0x%x", static_cast<unsigned>(value.type));
        type = other;
    }
    out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    " << type << "    "
        << DataText(value) << "\n";
}

// The data of `add`, converted for its type.
bool DataForType(const CommandLine& cmd, platform::RegistryValue* value, std::string* error) {
    std::string type = cmd.type;
    for (char& c : type) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    std::string data = cmd.data.value_or("");
    value->data.clear();
    if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
        value->type = type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        value->data.assign(data.begin(), data.end());
        value->data.push_back(0);
        return true;
    }
    if (type == "REG_MULTI_SZ") {
        value->type = REG_MULTI_SZ;
        size_t start = 0;
        while (!data.empty()) {
            size_t end = data.find(cmd.separator, start);
            std::string item = data.substr(start, end == std::string::npos ? end : end - start);
            if (item.empty()) {
                *error = "REG_MULTI_SZ items must not be empty";
                return false;
            }
            value->data.insert(value->data.end(), item.begin(), item.end());
            value->data.push_back(0);
            if (end == std::string::npos) {
                break;
            }
            start = end + cmd.separator.size();
        }
        value->data.push_back(0);
        return true;
    }
    if (type == "REG_DWORD") {
        value->type = REG_DWORD;
        unsigned long long number = 0;
        size_t used = 0;
        bool ok = true;
        try {
            number = data.empty() ? 0 : std::stoull(data, &used, 0);
            ok = data.empty() || (used == data.size() && data[0] != '-' && number <= 0xFFFFFFFFull);
        } catch (const std::exception&) {
            ok = false;
        }
        if (!ok) {
            *error = "REG_DWORD data must be a number from 0 to 4294967295 (or 0x hex): " + data;
            return false;
        }
        for (int i = 0; i < 4; ++i) {
            value->data.push_back(static_cast<BYTE>(number >> (8 * i)));
        }
        return true;
    }
    if (type == "REG_BINARY") {
        value->type = REG_BINARY;
        auto digit = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        bool ok = data.size() % 2 == 0;
        for (size_t i = 0; ok && i < data.size(); i += 2) {
            int high = digit(data[i]);
            int low = digit(data[i + 1]);
            ok = high >= 0 && low >= 0;
            value->data.push_back(static_cast<BYTE>(high * 16 + low));
        }
        if (!ok) {
            *error = "REG_BINARY data must be pairs of hex digits: " + data;
            return false;
        }
        return true;
    }
    *error = "unknown type " + cmd.type +
             " (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY)";
    return false;
}

class Tool {
  public:
    Tool(const CommandLine& cmd, std::istream& in, std::ostream& out, std::ostream& err)
        : m_cmd(cmd), m_in(in), m_out(out), m_err(err) {}

    int Run() {
        // A verb runs on its operands, or on the one KEY operand it takes.
        static const struct {
            const char* name;
            int (Tool::*run)();
            int (Tool::*onKey)(HKEY root, std::string path);
        } kVerbs[] = {
            {"query", nullptr, &Tool::Query},   {"add", nullptr, &Tool::Add},
            {"delete", nullptr, &Tool::Delete}, {"export", &Tool::Export, nullptr},
            {"import", &Tool::Import, nullptr}, {"check", &Tool::Check, nullptr},
        };
        for (const auto& verb : kVerbs) {
            if (m_cmd.verb != verb.name) {
                continue;
            }
            if (verb.run) {
                return (this->*verb.run)();
            }
            HKEY root = nullptr;
            std::string path;
            int exitCode = EXIT_DONE;
            if (!KeyOperand(1, &root, &path, &exitCode)) {
                return exitCode;
            }
            return (this->*verb.onKey)(root, path);
        }
        return Usage("unknown verb " + m_cmd.verb);
    }

  private:
    int Usage(const std::string& what) {
        m_err << "skyvane-reg: " << what << "\n" << kSynopsis;
        return EXIT_USAGE;
    }
    int Fail(const std::string& what) {
        m_err << "skyvane-reg: ERROR: " << what << "\n";
        return EXIT_FAILED;
    }
    int Done() {
        m_out << "The operation completed successfully.\n";
        return EXIT_DONE;
    }

    bool OpenStore(bool create) {
        std::string path = m_cmd.store ? *m_cmd.store : platform::DefaultRegistryPath();
        std::string error;
        m_store = platform::SqliteRegistry::Open(path, {create, 5000}, &error);
        if (m_store == nullptr) {
            Fail(error);
            return false;
        }
        return true;
    }

    // The KEY operand; false (after a message) when it is missing or bad.
    bool KeyOperand(size_t count, HKEY* root, std::string* path, int* exitCode) {
        if (m_cmd.operands.size() != count) {
            *exitCode =
                Usage(m_cmd.verb + " takes " + (count == 1 ? "one operand" : "two operands"));
            return false;
        }
        if (!ParseKeyName(m_cmd.operands[0], root, path)) {
            *exitCode = Usage("bad key \"" + m_cmd.operands[0] +
                              "\" (ROOT\\path, ROOT one of HKLM, HKCU, HKCR)");
            return false;
        }
        return true;
    }

    // Opens the store and the KEY operand's existing key; false (after a message) when either
    // cannot be opened.
    bool OpenExistingKey(HKEY root, const std::string& path, REGSAM access, int* exitCode) {
        if (!OpenStore(false)) {
            *exitCode = EXIT_FAILED;
            return false;
        }
        LONG rc = m_store->OpenKey(root, path, access);
        if (rc != ERROR_SUCCESS) {
            *exitCode =
                Fail("cannot open the key " + FullKeyName(root, path) + ": " + DescribeCode(rc));
            return false;
        }
        return true;
    }

    // The path of an existing key as the store keeps it (each name in the case it was made
    // with), so that what is shown and exported does not depend on how it was typed.
    std::string StoredPath(HKEY root, const std::string& path) {
        std::string stored;
        size_t start = 0;
        while (start < path.size()) {
            size_t end = path.find('\\', start);
            std::string name = path.substr(start, end == std::string::npos ? end : end - start);
            std::vector<std::string> subkeys;
            m_store->EnumKeys(root, stored, &subkeys);
            for (const std::string& candidate : subkeys) {
                if (platform::EqualsAsciiNoCase(candidate, name)) {
                    name = candidate;
                    break;
                }
            }
            stored += (stored.empty() ? "" : "\\") + name;
            start = end == std::string::npos ? path.size() : end + 1;
        }
        return stored;
    }

    bool Ask(const std::string& question) {
        if (m_cmd.force) {
            return true;
        }
        m_out << question << " (Yes/No)? " << std::flush;
        std::string answer;
        if (!std::getline(m_in, answer)) {
            m_out << "\n"; // no answer (end of input) is a no
        }
        answer = platform::AsciiLowered(answer);
        return answer == "y" || answer == "yes";
    }

    LONG PrintTree(HKEY root, const std::string& path, bool recurse) {
        std::vector<platform::RegistryValue> values;
        std::vector<std::string> subkeys;
        LONG rc = m_store->EnumValues(root, path, &values);
        if (rc == ERROR_SUCCESS) {
            rc = m_store->EnumKeys(root, path, &subkeys);
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        m_out << FullKeyName(root, path) << "\n";
        for (const platform::RegistryValue& value : values) {
            PrintValue(m_out, value);
        }
        m_out << "\n";
        for (const std::string& name : subkeys) {
            std::string child = path.empty() ? name : path + "\\" + name;
            if (recurse) {
                rc = PrintTree(root, child, true);
                if (rc != ERROR_SUCCESS) {
                    return rc;
                }
            } else {
                m_out << FullKeyName(root, child) << "\n";
            }
        }
        return ERROR_SUCCESS;
    }

    int Query(HKEY root, std::string path) {
        int exitCode = EXIT_DONE;
        if (!OpenExistingKey(root, path, KEY_READ, &exitCode)) {
            return exitCode;
        }
        path = StoredPath(root, path);
        const std::string name = FullKeyName(root, path);
        LONG rc = ERROR_SUCCESS;
        if (m_cmd.valueName) {
            platform::RegistryValue value;
            rc = m_store->QueryValue(root, path, *m_cmd.valueName, &value);
            if (rc != ERROR_SUCCESS) {
                return Fail("cannot read the value \"" + *m_cmd.valueName + "\" of " + name + ": " +
                            DescribeCode(rc));
            }
            m_out << name << "\n";
            PrintValue(m_out, value);
            return EXIT_DONE;
        }
        rc = PrintTree(root, path, m_cmd.subtree);
        return rc == ERROR_SUCCESS ? EXIT_DONE
                                   : Fail("cannot read " + name + ": " + DescribeCode(rc));
    }

    int Add(HKEY root, std::string path) {
        platform::RegistryValue value;
        std::string error;
        if (m_cmd.valueName) {
            value.name = *m_cmd.valueName;
            if (!DataForType(m_cmd, &value, &error)) {
                return Usage(error);
            }
        }
        if (!OpenStore(true)) {
            return EXIT_FAILED;
        }
        std::string name = FullKeyName(root, path);
        if (m_cmd.valueName) {
            platform::RegistryValue old;
            if (m_store->QueryValue(root, path, value.name, &old) == ERROR_SUCCESS &&
                !Ask("Value " + (value.name.empty() ? "(Default)" : value.name) +
                     " exists, overwrite")) {
                return Fail("the operation was cancelled");
            }
        }
        // The key and the value land together or not at all.
        LONG rc = InBatch([&] {
            bool created = false;
            LONG written = m_store->CreateKey(root, path, "", &created);
            if (written == ERROR_SUCCESS && m_cmd.valueName) {
                written = m_store->SetValue(root, path, value);
            }
            return written;
        });
        if (rc != ERROR_SUCCESS) {
            return Fail("cannot write " + name + ": " + DescribeCode(rc));
        }
        return Done();
    }

    // Runs `writes` in one batch of the store: they land together, or none does.
    template <class F> LONG InBatch(F&& writes) {
        LONG rc = m_store->BeginBatch();
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        rc = writes();
        if (rc != ERROR_SUCCESS) {
            m_store->RollbackBatch();
            return rc;
        }
        return m_store->CommitBatch();
    }

    LONG DeleteTree(HKEY root, const std::string& path) {
        std::vector<std::string> subkeys;
        LONG rc = m_store->EnumKeys(root, path, &subkeys);
        for (size_t i = 0; rc == ERROR_SUCCESS && i < subkeys.size(); ++i) {
            rc = DeleteTree(root, path + "\\" + subkeys[i]);
        }
        return rc == ERROR_SUCCESS ? m_store->DeleteKey(root, path) : rc;
    }

    int Delete(HKEY root, std::string path) {
        int exitCode = EXIT_DONE;
        if (!m_cmd.valueName && !m_cmd.allValues && path.empty()) {
            return Usage("a root key cannot be deleted");
        }
        if (!OpenExistingKey(root, path, KEY_WRITE, &exitCode)) {
            return exitCode;
        }
        const std::string name = FullKeyName(root, path);
        LONG rc = ERROR_SUCCESS;
        std::vector<std::string> names;
        if (m_cmd.valueName) {
            platform::RegistryValue old;
            rc = m_store->QueryValue(root, path, *m_cmd.valueName, &old);
            if (rc != ERROR_SUCCESS) {
                return Fail("cannot find the value \"" + *m_cmd.valueName + "\" of " + name + ": " +
                            DescribeCode(rc));
            }
            names.push_back(*m_cmd.valueName);
            if (!Ask("Delete the registry value " +
                     (names[0].empty() ? std::string("(Default)") : names[0]))) {
                return Fail("the operation was cancelled");
            }
        } else if (m_cmd.allValues) {
            std::vector<platform::RegistryValue> values;
            rc = m_store->EnumValues(root, path, &values);
            for (const platform::RegistryValue& value : values) {
                names.push_back(value.name);
            }
            if (rc == ERROR_SUCCESS && !Ask("Delete all values under the registry key " + name)) {
                return Fail("the operation was cancelled");
            }
        } else if (!Ask("Permanently delete the registry key " + name)) {
            return Fail("the operation was cancelled");
        }
        if (rc == ERROR_SUCCESS) {
            rc = InBatch([&] {
                if (!m_cmd.valueName && !m_cmd.allValues) {
                    return DeleteTree(root, path);
                }
                LONG deleted = ERROR_SUCCESS;
                for (size_t i = 0; deleted == ERROR_SUCCESS && i < names.size(); ++i) {
                    deleted = m_store->DeleteValue(root, path, names[i]);
                }
                return deleted;
            });
        }
        if (rc != ERROR_SUCCESS) {
            return Fail("cannot delete from " + name + ": " + DescribeCode(rc));
        }
        return Done();
    }

    LONG CollectTree(HKEY root, const std::string& path, std::vector<RegKeyText>* keys,
                     bool isTop) {
        RegKeyText key{root, path, "", {}};
        std::vector<std::string> subkeys;
        LONG rc = m_store->QueryKeyClass(root, path, &key.keyClass);
        if (rc == ERROR_SUCCESS) {
            rc = m_store->EnumValues(root, path, &key.values);
        }
        if (rc == ERROR_SUCCESS) {
            rc = m_store->EnumKeys(root, path, &subkeys);
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        // A root has nothing to write unless it holds values; any other key is written, so
        // that keys without values come back too.
        if (!path.empty() || !key.values.empty() || (isTop && subkeys.empty())) {
            keys->push_back(std::move(key));
        }
        for (const std::string& name : subkeys) {
            rc = CollectTree(root, path.empty() ? name : path + "\\" + name, keys, false);
            if (rc != ERROR_SUCCESS) {
                return rc;
            }
        }
        return ERROR_SUCCESS;
    }

    int Export() {
        size_t count = m_cmd.operands.size();
        if (count != 1 && count != 2) {
            return Usage("export takes [KEY] FILE");
        }
        std::vector<std::pair<HKEY, std::string>> tops;
        if (count == 2) {
            HKEY root = nullptr;
            std::string path;
            if (!ParseKeyName(m_cmd.operands[0], &root, &path)) {
                return Usage("bad key \"" + m_cmd.operands[0] + "\"");
            }
            tops.emplace_back(root, path);
        } else {
            for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
                tops.emplace_back(root, "");
            }
        }
        const std::string& file = m_cmd.operands.back();
        std::error_code ec;
        if (file != "-" && !m_cmd.overwrite && std::filesystem::exists(file, ec)) {
            return Fail(file + " exists; add /y to overwrite it");
        }
        if (!OpenStore(false)) {
            return EXIT_FAILED;
        }
        std::vector<RegKeyText> keys;
        for (const auto& [root, path] : tops) {
            LONG rc = m_store->OpenKey(root, path, KEY_READ);
            if (rc == ERROR_SUCCESS) {
                rc = CollectTree(root, StoredPath(root, path), &keys, count == 2);
            }
            if (rc != ERROR_SUCCESS) {
                return Fail("cannot read " + FullKeyName(root, path) + ": " + DescribeCode(rc));
            }
        }
        std::string text;
        std::string error;
        if (!FormatRegFile(keys, &text, &error)) {
            return Fail(error + "; nothing was written");
        }
        if (file == "-") {
            m_out << text << std::flush;
            return EXIT_DONE;
        }
        // Written beside the target and renamed, so that a failed export leaves no half file.
        std::string partial = file + ".partial";
        {
            std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
            stream << text;
            stream.close();
            if (!stream) {
                std::filesystem::remove(partial, ec);
                return Fail("cannot write " + file);
            }
        }
        std::filesystem::rename(partial, file, ec);
        if (ec) {
            std::filesystem::remove(partial, ec);
            return Fail("cannot write " + file + ": " + ec.message());
        }
        return Done();
    }

    LONG Apply(const RegChange& change) {
        bool created = false;
        LONG rc = ERROR_SUCCESS;
        switch (change.kind) {
        case RegChange::CreateKey:
            return m_store->CreateKey(change.root, change.path, change.keyClass, &created);
        case RegChange::DeleteKeyTree:
            rc = m_store->OpenKey(change.root, change.path, KEY_WRITE);
            return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS
                   : rc != ERROR_SUCCESS      ? rc
                                              : DeleteTree(change.root, change.path);
        case RegChange::SetValue:
            return m_store->SetValue(change.root, change.path, change.value);
        case RegChange::DeleteValue:
            rc = m_store->DeleteValue(change.root, change.path, change.value.name);
            return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
        }
        return ERROR_INVALID_PARAMETER;
    }

    int Import() {
        if (m_cmd.operands.size() != 1) {
            return Usage("import takes one FILE");
        }
        const std::string& file = m_cmd.operands[0];
        std::string bytes;
        if (file == "-") {
            bytes.assign(std::istreambuf_iterator<char>(m_in), {});
        } else {
            std::ifstream stream(file, std::ios::binary);
            if (!stream) {
                return Fail("cannot read " + file);
            }
            bytes.assign(std::istreambuf_iterator<char>(stream), {});
        }
        std::vector<RegChange> changes;
        std::string error;
        if (!ParseRegFile(bytes, &changes, &error)) {
            return Fail(file + ": " + error + "; nothing was changed");
        }
        if (!OpenStore(true)) {
            return EXIT_FAILED;
        }
        LONG rc = m_store->BeginBatch();
        if (rc != ERROR_SUCCESS) {
            return Fail("cannot write the store: " + DescribeCode(rc) + "; nothing was changed");
        }
        for (const RegChange& change : changes) {
            rc = Apply(change);
            if (rc != ERROR_SUCCESS) {
                m_store->RollbackBatch();
                return Fail(file + ": line " + std::to_string(change.line) + ": " +
                            FullKeyName(change.root, change.path) + ": " + DescribeCode(rc) +
                            "; nothing was changed");
            }
        }
        rc = m_store->CommitBatch();
        if (rc != ERROR_SUCCESS) {
            return Fail("cannot write the store: " + DescribeCode(rc) + "; nothing was changed");
        }
        return Done();
    }

    int Check() {
        if (!m_cmd.operands.empty()) {
            return Usage("check takes no operands");
        }
        if (!OpenStore(false)) {
            return EXIT_FAILED; // not a store, damaged (found on opening), or unreadable
        }
        std::string problems;
        if (m_store->Check(&problems) != ERROR_SUCCESS) {
            return Fail("the registry store " + m_store->Path() + " is damaged: " + problems);
        }
        m_out << "The registry store " << m_store->Path() << " is sound.\n";
        return EXIT_DONE;
    }

    const CommandLine& m_cmd;
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<platform::SqliteRegistry> m_store;
};

} // namespace

int RunRegTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err) {
    CommandLine cmd;
    std::string error;
    if (!ParseCommandLine(args, &cmd, &error)) {
        err << "skyvane-reg: " << error << "\n" << kSynopsis;
        return EXIT_USAGE;
    }
    if (cmd.help) {
        out << kUsage;
        return EXIT_DONE;
    }
    if (cmd.version) {
        out << "skyvane-reg " SKYVANE_VERSION "\n";
        return EXIT_DONE;
    }
    if (cmd.verb.empty()) {
        err << kSynopsis;
        return EXIT_USAGE;
    }
    return Tool(cmd, in, out, err).Run();
}

} // namespace regtool
