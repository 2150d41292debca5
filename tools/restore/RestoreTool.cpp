#include "RestoreTool.h"

#include "RestoreRecords.h"

#include "browsers/BrowserSettings.h"
#include "platform/registry.h"
#include "platform/registry_sqlite.h"

#include "skyvane/version.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace restore {

namespace {

constexpr const char* USAGE_LINES = "Usage: skyvane-restore [--dry-run] [--store PATH]\n"
                                    "       skyvane-restore --help | --version\n";

constexpr const char* HELP_TEXT =
    "Usage: skyvane-restore [--dry-run] [--store PATH]\n"
    "       skyvane-restore --help | --version\n"
    "\n"
    "Writes back the browser values that the launcher recorded, before it first changed them,\n"
    "in HKEY_LOCAL_MACHINE\\SOFTWARE\\Ostrel Technologies\\Skyvane\\Restore. Use it when a\n"
    "browser was left switched to the local proxy because a run was killed.\n"
    "\n"
    "  --dry-run      print what would be written and change nothing\n"
    "  --store PATH   the registry store file (default: $SKYVANE_REGISTRY, else\n"
    "                 $XDG_DATA_HOME/skyvane/registry.db)\n"
    "  --help         print this text\n"
    "  --version      print the version\n"
    "\n"
    "The records key1, type1, value1, key2, ... are read up to the first missing keyN and\n"
    "checked as a whole before anything is written; a malformed set is refused and nothing is\n"
    "changed. A set that a killed run of an earlier version left cut short (a record without\n"
    "its typeN or valueN, or the last records of a browser's set missing) has its whole\n"
    "records put back and the others named; their values are never guessed. \"str\" records are "
    "written as REG_SZ; \"int\" records as REG_DWORD, or as a\n"
    "4-byte REG_BINARY where the value is such a binary now. A value whose key does not exist\n"
    "is skipped: keys are not created, since a missing key means that the browser (or that\n"
    "part of its settings) is not installed. The Restore key itself is only read.\n"
    "\n"
    "Exit status: 0 done (or nothing recorded), 1 refused (nothing changed), 2 bad command\n"
    "line, 3 some values were not written (or not known).\n";

std::string RestoreKeyName() {
    return std::string("HKEY_LOCAL_MACHINE\\") + CBrowserSettings::RESTORE_KEY;
}

int Refuse(std::ostream& err, const std::string& strWhy) {
    err << "skyvane-restore: " << strWhy << "; nothing was changed.\n";
    return EXIT_REFUSED;
}

} // namespace

int RestoreRecordedValues(bool bDryRun, std::ostream& out, std::ostream& err) {
    std::vector<RawRecord> records;
    std::string strError;
    switch (ReadRecords(&records, &strError)) {
    case ReadOutcome::Empty:
        out << "Nothing to restore: " << RestoreKeyName() << " holds no records.\n";
        return EXIT_DONE;
    case ReadOutcome::Malformed:
        return Refuse(err, "malformed record set in " + RestoreKeyName() + ": " + strError);
    case ReadOutcome::StoreError:
        return Refuse(err, strError);
    case ReadOutcome::Records:
        break;
    }

    // A set cut short by an earlier version: the whole records are put back, the others only
    // named, since their values are not known.
    std::vector<RawRecord> complete;
    std::vector<std::string> notRestored;
    for (const RawRecord& record : records) {
        if (record.strMissing.empty()) {
            complete.push_back(record);
        } else {
            notRestored.push_back("record " + std::to_string(record.nIndex) + " (" + record.strKey +
                                  ") is incomplete: it has no " + record.strMissing);
        }
    }
    const std::vector<std::string> missing = MissingRecordKeys(records);
    for (size_t n = 0; n < missing.size(); ++n) {
        notRestored.push_back("record " + std::to_string(records.size() + n + 1) + " (" +
                              missing[n] + ") is missing");
    }

    std::vector<RestoreTarget> targets;
    if (!ParseRecords(complete, &targets, &strError)) {
        return Refuse(err, "malformed record set in " + RestoreKeyName() + ": " + strError);
    }

    int nWritten = 0;
    for (const RestoreTarget& target : targets) {
        const WriteResult result = WriteTarget(target, bDryRun);
        switch (result.status) {
        case WriteStatus::Written:
            out << (bDryRun ? "Would write " : "Wrote ") << DescribeTarget(target, result.dwType)
                << "\n";
            ++nWritten;
            break;
        case WriteStatus::KeyMissing:
            out << (bDryRun ? "Would skip " : "Skipped ") << target.strLocation
                << ": the key does not exist and is not created\n";
            break;
        case WriteStatus::Failed:
            out << (bDryRun ? "Cannot write " : "Failed ") << target.strLocation << ": error "
                << result.lError << "\n";
            break;
        }
    }

    for (const std::string& strWhat : notRestored) {
        out << (bDryRun ? "Cannot restore " : "Not restored: ") << strWhat << "\n";
    }

    const int nTotal = static_cast<int>(targets.size() + notRestored.size());
    if (bDryRun) {
        out << nWritten << " of " << nTotal
            << " values would be written (dry run: nothing was changed).\n";
    } else {
        out << nWritten << " of " << nTotal << " values written.\n";
    }
    if (nWritten < nTotal) {
        err << "skyvane-restore: " << (nTotal - nWritten) << " of " << nTotal << " recorded values "
            << (bDryRun ? "could not be" : "were not") << " written.\n";
        if (!notRestored.empty()) {
            err << "skyvane-restore: the record set was cut short by an earlier run; the values of "
                   "its incomplete or missing records are not known and were left as they are.\n";
        }
        return EXIT_INCOMPLETE;
    }
    return EXIT_DONE;
}

int RunRestoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool bDryRun = false;
    bool bStoreGiven = false;
    std::string strStore;
    for (size_t n = 0; n < args.size(); ++n) {
        const std::string& strArg = args[n];
        if (strArg == "--help" || strArg == "-h") {
            out << HELP_TEXT;
            return EXIT_DONE;
        }
        if (strArg == "--version") {
            out << "skyvane-restore " SKYVANE_VERSION "\n";
            return EXIT_DONE;
        }
        if (strArg == "--dry-run") {
            bDryRun = true;
        } else if (strArg == "--store" && n + 1 < args.size()) {
            strStore = args[++n];
            bStoreGiven = true;
        } else if (strArg.rfind("--store=", 0) == 0) {
            strStore = strArg.substr(8);
            bStoreGiven = true;
        } else {
            err << "skyvane-restore: "
                << (strArg == "--store" ? "--store needs a file name"
                                        : "unknown argument \"" + strArg + "\"")
                << "\n"
                << USAGE_LINES;
            return EXIT_USAGE;
        }
    }
    if (!bStoreGiven) {
        strStore = platform::DefaultRegistryPath();
    }
    if (strStore.empty()) {
        return Refuse(err,
                      "no registry store is known (give --store PATH or set SKYVANE_REGISTRY)");
    }

    // An existing store only: a store made here would hold no records anyway.
    platform::SqliteRegistry::Options options = platform::SqliteRegistry::kDefaultOptions;
    options.create = false;
    std::string strError;
    std::unique_ptr<platform::SqliteRegistry> pStore =
        platform::SqliteRegistry::Open(strStore, options, &strError);
    if (!pStore) {
        return Refuse(err, strError);
    }

    platform::RegistryBackend* pPrevious = platform::InstalledRegistry();
    platform::InstallRegistry(pStore.get());
    const int nExit = RestoreRecordedValues(bDryRun, out, err);
    if (!bDryRun) {
        RegFlushKey(HKEY_CURRENT_USER);
    }
    platform::InstallRegistry(pPrevious);
    return nExit;
}

} // namespace restore
