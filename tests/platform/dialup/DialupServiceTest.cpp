// The dial-up service on its own: buffer protocols, phone book, outcomes with their codes and
// texts, hang-ups, and connections that outlive the process that dialled them.
#include "DialupTestSupport.h"

#include <cstring>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dialup_test;
using platform::DialupService;
using platform::DialupServiceOptions;

namespace {

constexpr DWORD kSentinel = 0xBEEF;

class DialupServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Collector::Instance().Reset();
        Start(0);
    }
    void TearDown() override {
        platform::InstallDialup(nullptr);
        service.reset();
    }

    DialupServiceOptions Options(DWORD stepMilliseconds) {
        DialupServiceOptions options;
        options.phoneBookPath = phoneBook.string();
        options.stateDirectory = state.string();
        options.stepMilliseconds = stepMilliseconds;
        options.reportPhoneBookFaults = [this](const std::vector<std::string>& faults) {
            told.insert(told.end(), faults.begin(), faults.end());
        };
        return options;
    }
    void Start(DWORD stepMilliseconds) {
        platform::InstallDialup(nullptr);
        service.reset();
        service = std::make_unique<DialupService>(Options(stepMilliseconds));
        platform::InstallDialup(service.get());
    }
    void Book(const std::string& text) { WriteFile(phoneBook, text); }

    // Dials with the collecting notifier and waits for the end of the attempt.
    DWORD DialAndWait(const std::string& entry, HRASCONN* handle,
                      const std::string& password = "") {
        Collector::Instance().Reset();
        RASDIALPARAMSA params = DialParams(entry, "joe", password);
        DWORD result = RasDialA(nullptr, nullptr, &params, RASDIALFUNC_NOTIFIER,
                                reinterpret_cast<LPVOID>(&Collector::Callback), handle);
        if (result == ERROR_SUCCESS) {
            EXPECT_TRUE(Collector::Instance().WaitForEnd());
        }
        return result;
    }

    TempFolder folder;
    std::filesystem::path phoneBook = folder.Path() / "phonebook.pbk";
    std::filesystem::path state = folder.Path() / "state";
    std::unique_ptr<DialupService> service;
    std::vector<std::string> told; // phone book faults the service told
};

struct EnumRow {
    const char* what;
    int entries;
    std::size_t records; // room given, in records
    bool nullBuffer;
    DWORD dwSize;
    DWORD result;
    DWORD bytes; // *lpcb afterwards
    DWORD count; // *lpcEntries afterwards
};

TEST_F(DialupServiceTest, EnumEntriesFollowsTheBufferProtocol) {
    const EnumRow rows[] = {
        {"empty phone book", 0, 1, false, 264, ERROR_SUCCESS, 0, 0},
        {"one entry in one record", 1, 1, false, 264, ERROR_SUCCESS, 264, 1},
        {"three entries, one record", 3, 1, false, 264, ERROR_BUFFER_TOO_SMALL, 792, 0},
        {"three entries, grown buffer", 3, 3, false, 264, ERROR_SUCCESS, 792, 3},
        {"size asked with no buffer", 2, 0, true, 264, ERROR_BUFFER_TOO_SMALL, 528, 0},
        {"record size of another record", 1, 1, false, 1052, ERROR_INVALID_SIZE, 264, kSentinel},
    };
    const char* names[] = {"Zeta", "Alpha", "Mid"};
    for (const EnumRow& row : rows) {
        SCOPED_TRACE(row.what);
        std::string text;
        for (int i = 0; i < row.entries; ++i)
            text += std::string("[") + names[i] + "]\nPhoneNumber=555\n";
        Book(text);
        std::vector<RASENTRYNAMEA> buffer(std::max<std::size_t>(row.records, 1));
        buffer[0].dwSize = row.dwSize;
        DWORD bytes = static_cast<DWORD>(row.records * sizeof(RASENTRYNAMEA));
        DWORD count = kSentinel;
        DWORD result = RasEnumEntriesA(nullptr, nullptr, row.nullBuffer ? nullptr : buffer.data(),
                                       &bytes, &count);
        EXPECT_EQ(row.result, result);
        EXPECT_EQ(row.bytes, bytes);
        EXPECT_EQ(row.count, count);
        if (result == ERROR_SUCCESS) {
            for (DWORD i = 0; i < count; ++i) {
                EXPECT_EQ(264u, buffer[i].dwSize);
                EXPECT_STREQ(names[i], buffer[i].szEntryName); // in the phone book's order
            }
        }
    }
}

TEST_F(DialupServiceTest, EnumCallsRefuseMissingArguments) {
    Book("[Office]\n");
    RASENTRYNAMEA entry{};
    entry.dwSize = sizeof entry;
    DWORD bytes = sizeof entry;
    DWORD count = 0;
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              RasEnumEntriesA("x", nullptr, &entry, &bytes, &count));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              RasEnumEntriesA(nullptr, nullptr, &entry, nullptr, &count));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              RasEnumEntriesA(nullptr, nullptr, &entry, &bytes, nullptr));
    RASCONNA connection{};
    connection.dwSize = sizeof connection;
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), RasEnumConnectionsA(&connection, nullptr, &count));
    connection.dwSize = 264;
    bytes = sizeof connection;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasEnumConnectionsA(&connection, &bytes, &count));
}

TEST_F(DialupServiceTest, PhoneBookIsReadAsTheClassicIniForm) {
    const std::string longest(256, 'y');
    Book("\xEF\xBB\xBF; a phone book\r\n"
         "UserName=orphan\r\n"
         "[Office]\r\n"
         "  phonenumber = 555-0100 \r\n"
         "USERNAME= joe \r\n"
         "Password=se;cret # x\r\n"
         "Domain=WORK\r\n"
         "# comment\r\n"
         "[office]\r\n"
         "UserName=intruder\r\n"
         "[]\r\n"
         "[" +
         std::string(257, 'x') +
         "]\r\n"
         "UserName=too long\r\n"
         "[" +
         longest +
         "]\r\n"
         "[Home]\r\n"
         "UserName=ann\r\n"
         "Password=\r\n"
         "just words\r\n"
         " = no key\r\n"
         "[Broken\r\n"
         "UserName=lost with its entry\r\n");

    std::vector<RASENTRYNAMEA> buffer(8);
    buffer[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(RASENTRYNAMEA));
    DWORD count = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS),
              RasEnumEntriesA(nullptr, nullptr, buffer.data(), &bytes, &count));
    ASSERT_EQ(3u, count);
    EXPECT_STREQ("Office", buffer[0].szEntryName);
    EXPECT_EQ(longest, buffer[1].szEntryName);
    EXPECT_STREQ("Home", buffer[2].szEntryName);

    struct Row {
        std::string entry;
        std::string user, password, domain;
        BOOL hasPassword;
    };
    const Row rows[] = {
        {"OFFICE", "joe", "se;cret # x", "WORK", TRUE}, // names compare without case
        {longest, "", "", "", FALSE},
        {"Home", "ann", "", "", FALSE}, // an empty password is none
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry.substr(0, 20));
        RASDIALPARAMSA params = DialParams(row.entry, "stale", "stale");
        BOOL hasPassword = 7;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), RasGetEntryDialParamsA(nullptr, &params, &hasPassword));
        EXPECT_STREQ(row.user.c_str(), params.szUserName);
        EXPECT_STREQ(row.password.c_str(), params.szPassword);
        EXPECT_STREQ(row.domain.c_str(), params.szDomain);
        EXPECT_EQ(row.hasPassword, hasPassword);
    }

    // Every line left out is told once, with its file and line, and without its text.
    const std::string book = phoneBook.string();
    const std::vector<std::string> faults = {
        book + ":2: \"UserName\" comes before the first [entry] and is left out",
        book + ":9: a second entry named \"office\" (the first is on line 3) is left out with "
               "its keys",
        book + ":11: an entry without a name is left out with its keys",
        book + ":12: an entry name longer than 256 characters is left out with its keys",
        book + ":18: a line that is neither [entry], key=value nor a comment is left out",
        book + ":19: a value without a key name is left out",
        book + ":20: a section line without its ']': the entry is left out with its keys",
    };
    EXPECT_EQ(faults, told);
}

TEST_F(DialupServiceTest, GetEntryDialParamsFailuresLeaveTheRecordAlone) {
    Book("[Office]\nUserName=joe\n");
    struct Row {
        const char* what;
        std::string entry;
        DWORD dwSize;
        bool nullFlag;
        DWORD result;
    };
    const Row rows[] = {
        {"entry not in the phone book", "Nowhere", 1052, false, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY},
        {"record of the wrong size", "Office", 264, false, ERROR_INVALID_SIZE},
        {"no flag", "Office", 1052, true, DWORD(ERROR_INVALID_PARAMETER)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RASDIALPARAMSA params = DialParams(row.entry, "sentinel", "sentinel");
        params.dwSize = row.dwSize;
        BOOL hasPassword = 7;
        EXPECT_EQ(row.result,
                  RasGetEntryDialParamsA(nullptr, &params, row.nullFlag ? nullptr : &hasPassword));
        EXPECT_STREQ("sentinel", params.szUserName);
        EXPECT_STREQ("sentinel", params.szPassword);
        EXPECT_EQ(7, hasPassword);
    }
}

TEST_F(DialupServiceTest, MissingPhoneBookIsEmptyAndAFolderInItsPlaceIsAnError) {
    RASENTRYNAMEA entry{};
    entry.dwSize = sizeof entry;
    DWORD bytes = sizeof entry;
    DWORD count = kSentinel;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasEnumEntriesA(nullptr, nullptr, &entry, &bytes, &count));
    EXPECT_EQ(0u, count);

    EXPECT_TRUE(told.empty()) << "no phone book yet is no fault at the default place";

    std::filesystem::create_directory(phoneBook);
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK,
              RasEnumEntriesA(nullptr, nullptr, &entry, &bytes, &count));
    RASDIALPARAMSA params = DialParams("Office");
    HRASCONN handle = 0;
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK,
              RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle));
    EXPECT_EQ(std::vector<std::string>{phoneBook.string() + ": the phone book is not a file"}, told)
        << "told once";
    std::filesystem::remove(phoneBook);

    // A phone book that someone named must exist: in the call, or by SKYVANE_PHONEBOOK.
    const std::string absent = (folder.Path() / "absent.pbk").string();
    told.clear();
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK,
              RasEnumEntriesA(nullptr, absent.c_str(), &entry, &bytes, &count));
    EXPECT_EQ(0u, count);
    DialupServiceOptions named = Options(0);
    named.phoneBookNamedBy = "SKYVANE_PHONEBOOK";
    DialupService namedService(named);
    platform::InstallDialup(&namedService);
    bytes = sizeof entry;
    count = kSentinel;
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK,
              RasEnumEntriesA(nullptr, nullptr, &entry, &bytes, &count));
    EXPECT_EQ(0u, count);
    platform::InstallDialup(service.get());
    EXPECT_EQ(
        (std::vector<std::string>{
            absent + ": the phone book does not exist",
            phoneBook.string() + ": the phone book does not exist (named by SKYVANE_PHONEBOOK)"}),
        told);

    // A phone book named by the caller is read instead of the default one.
    WriteFile(folder.Path() / "other.pbk", "[Elsewhere]\n");
    std::string other = (folder.Path() / "other.pbk").string();
    bytes = sizeof entry;
    EXPECT_EQ(DWORD(ERROR_SUCCESS),
              RasEnumEntriesA(nullptr, other.c_str(), &entry, &bytes, &count));
    ASSERT_EQ(1u, count);
    EXPECT_STREQ("Elsewhere", entry.szEntryName);
}

TEST_F(DialupServiceTest, ErrorStringsHaveTheUsualTexts) {
    struct Row {
        UINT code;
        DWORD bufferSize;
        DWORD result;
        const char* text; // null: the buffer is left alone
    };
    const Row rows[] = {
        {676, 256, 0, "The line is busy."},
        {678, 256, 0, "There is no answer."},
        {680, 256, 0, "There is no dial tone."},
        {679, 256, 0, "Cannot detect carrier."},
        {677, 256, 0, "A person answered instead of a modem."},
        {691, 256, 0, "Access denied because username and/or password is invalid on the domain."},
        {629, 256, 0, "The port was disconnected by the remote machine."},
        {603, 256, 0, "Caller's buffer is too small."},
        {623, 256, 0, "Cannot find the phone book entry."},
        {9999, 256, DWORD(ERROR_INVALID_PARAMETER), nullptr},
        {742, 256, DWORD(ERROR_INVALID_PARAMETER), nullptr},
        {676, 17, ERROR_BUFFER_TOO_SMALL, nullptr}, // text and NUL need 18
        {676, 18, 0, "The line is busy."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        char buffer[256];
        std::strcpy(buffer, "sentinel");
        EXPECT_EQ(row.result, RasGetErrorStringA(row.code, buffer, row.bufferSize));
        EXPECT_STREQ(row.text != nullptr ? row.text : "sentinel", buffer);
    }
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), RasGetErrorStringA(676, nullptr, 256));
}

struct OutcomeRow {
    const char* outcome;
    DWORD dialResult;          // RasDialA's own answer
    Notification last;         // the notification that ends the attempt
    std::size_t notifications; // how many arrive
    bool connected;
    bool errorHasText;
};

TEST_F(DialupServiceTest, EachOutcomeEndsWithItsStateAndCode) {
    const OutcomeRow rows[] = {
        {"connect", 0, {RASCS_Connected, 0}, 10, true, true},
        {"busy", 0, {RASCS_ConnectDevice, ERROR_LINE_BUSY}, 4, false, true},
        {"noanswer", 0, {RASCS_ConnectDevice, ERROR_NO_ANSWER}, 4, false, true},
        {"nodialtone", 0, {RASCS_ConnectDevice, ERROR_NO_DIALTONE}, 4, false, true},
        {"nocarrier", 0, {RASCS_ConnectDevice, ERROR_NO_CARRIER}, 4, false, true},
        {"voice", 0, {RASCS_ConnectDevice, ERROR_VOICE_ANSWER}, 4, false, true},
        {"AuthFail", 0, {RASCS_Authenticate, ERROR_AUTHENTICATION_FAILURE}, 7, false, true},
        {"drop", 0, {RASCS_Disconnected, ERROR_REMOTE_DISCONNECTION}, 7, false, true},
        {"hangup", 0, {RASCS_Disconnected, 0}, 7, false, true},
        {"error:742", 0, {RASCS_ConnectDevice, 742}, 4, false, false},
        {"refuse", ERROR_PORT_NOT_AVAILABLE, {}, 0, false, true},
        {"refuse:650", 650, {}, 0, false, false},
        {"error:0", ERROR_CORRUPT_PHONEBOOK, {}, 0, false, true},
        {"sometimes", ERROR_CORRUPT_PHONEBOOK, {}, 0, false, true},
    };
    for (const OutcomeRow& row : rows) {
        SCOPED_TRACE(row.outcome);
        Book(std::string("[Office]\nOutcomes=") + row.outcome + "\n");
        Start(0);
        HRASCONN handle = kSentinel;
        ASSERT_EQ(row.dialResult, DialAndWait("Office", &handle));
        std::vector<Notification> seen = Collector::Instance().Seen();
        ASSERT_EQ(row.notifications, seen.size());
        DWORD code = row.dialResult;
        if (row.dialResult == ERROR_SUCCESS) {
            EXPECT_EQ(row.last, seen.back());
            EXPECT_EQ((Notification{RASCS_OpenPort, 0}), seen.front());
            code = seen.back().error;
        } else {
            EXPECT_EQ(kSentinel, handle); // no handle for a refused attempt
        }
        if (code != ERROR_SUCCESS) {
            char text[256];
            EXPECT_EQ(row.errorHasText, RasGetErrorStringA(code, text, sizeof text) == 0);
        }
        EXPECT_EQ(row.connected ? std::vector<std::string>{"Office"} : std::vector<std::string>{},
                  ConnectionNames());
        if (row.dialResult == ERROR_SUCCESS) {
            EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
        }
        EXPECT_EQ(0u, ConnectionNames().size());
        EXPECT_EQ(0u, FileCount(state));
    }
}

TEST_F(DialupServiceTest, ConnectWalksTheStatesInOrder) {
    Book("[Office]\n");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWait("Office", &handle));
    std::vector<Notification> expected = {
        {RASCS_OpenPort, 0},        {RASCS_PortOpened, 0},          {RASCS_ConnectDevice, 0},
        {RASCS_DeviceConnected, 0}, {RASCS_AllDevicesConnected, 0}, {RASCS_Authenticate, 0},
        {RASCS_AuthNotify, 0},      {RASCS_AuthProject, 0},         {RASCS_Authenticated, 0},
        {RASCS_Connected, 0}};
    EXPECT_EQ(expected, Collector::Instance().Seen());
    for (UINT message : Collector::Instance().Messages())
        EXPECT_EQ(WM_RASDIALEVENT, message);
    EXPECT_NE(0u, handle);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
}

TEST_F(DialupServiceTest, OutcomeListIsWalkedPerAttemptAndItsLastOneRepeats) {
    Book("[Office]\nOutcomes=busy, noanswer ,connect\n[Home]\nOutcomes=nodialtone,connect\n");
    const std::pair<const char*, DWORD> attempts[] = {
        {"Office", ERROR_LINE_BUSY},
        {"Home", ERROR_NO_DIALTONE},
        {"office", ERROR_NO_ANSWER},
        {"Office", 0},
        {"Office", 0},
        {"Home", 0},
    };
    for (const auto& [entry, error] : attempts) {
        SCOPED_TRACE(entry);
        HRASCONN handle = 0;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWait(entry, &handle));
        EXPECT_EQ(error, Collector::Instance().Seen().back().error);
        RasHangUpA(handle);
    }
}

TEST_F(DialupServiceTest, ServerPasswordMustMatchTheDialledOne) {
    Book("[Office]\nServerPassword=Secret\n");
    const std::pair<const char*, Notification> rows[] = {
        {"Secret", {RASCS_Connected, 0}},
        {"secret", {RASCS_Authenticate, ERROR_AUTHENTICATION_FAILURE}},
        {"", {RASCS_Authenticate, ERROR_AUTHENTICATION_FAILURE}},
    };
    for (const auto& [password, last] : rows) {
        SCOPED_TRACE(password);
        HRASCONN handle = 0;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWait("Office", &handle, password));
        EXPECT_EQ(last, Collector::Instance().Seen().back());
        RasHangUpA(handle);
    }
}

TEST_F(DialupServiceTest, DialRefusesBadRequestsAtOnce) {
    Book("[Office]\n");
    RASDIALPARAMSA good = DialParams("Office");
    RASDIALPARAMSA small = DialParams("Office");
    small.dwSize = 264;
    RASDIALPARAMSA unknown = DialParams("Nowhere");
    HRASCONN handle = kSentinel;
    LPVOID notifier = reinterpret_cast<LPVOID>(&Collector::Callback);
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              RasDialA(nullptr, nullptr, nullptr, 0, notifier, &handle));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              RasDialA(nullptr, nullptr, &good, 0, notifier, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              RasDialA(nullptr, nullptr, &good, 1, notifier, &handle));
    EXPECT_EQ(ERROR_INVALID_SIZE, RasDialA(nullptr, nullptr, &small, 0, notifier, &handle));
    EXPECT_EQ(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY,
              RasDialA(nullptr, nullptr, &unknown, 0, notifier, &handle));
    EXPECT_EQ(kSentinel, handle);
    EXPECT_EQ(0u, service->HandleCount());
}

TEST_F(DialupServiceTest, WithoutANotifierDialWaitsForTheOutcome) {
    Book("[Office]\nOutcomes=busy,connect\n");
    RASDIALPARAMSA params = DialParams("Office");
    HRASCONN busy = 0, connected = 0;
    EXPECT_EQ(ERROR_LINE_BUSY, RasDialA(nullptr, nullptr, &params, 0, nullptr, &busy));
    EXPECT_NE(0u, busy); // the failed attempt still has a handle to hang up
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasDialA(nullptr, nullptr, &params, 0, nullptr, &connected));
    EXPECT_EQ(std::vector<std::string>{"Office"}, ConnectionNames());
    EXPECT_EQ(2u, service->HandleCount());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(busy));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(connected));
    EXPECT_EQ(0u, service->HandleCount());
}

TEST_F(DialupServiceTest, HangUpOfNoOrUnknownHandleFails) {
    Book("[Office]\n");
    RASDIALPARAMSA params = DialParams("Office");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), RasHangUpA(0));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), RasHangUpA(handle + 1));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), RasHangUpA(handle));
}

TEST_F(DialupServiceTest, HangUpWhileDialingStopsTheNotifications) {
    Book("[Office]\n");
    Start(30);
    Collector::Instance().Reset();
    RASDIALPARAMSA params = DialParams("Office");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS),
              RasDialA(nullptr, nullptr, &params, RASDIALFUNC_NOTIFIER,
                       reinterpret_cast<LPVOID>(&Collector::Callback), &handle));
    ASSERT_TRUE(Collector::Instance().WaitForCount(2, std::chrono::seconds(5)));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
    std::size_t seen = Collector::Instance().Seen().size();
    // The whole walk takes about 14 steps; nothing more may come after the hang-up.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(seen, Collector::Instance().Seen().size());
    EXPECT_TRUE(ConnectionNames().empty());
    EXPECT_EQ(0u, FileCount(state));
    EXPECT_EQ(0u, service->HandleCount());
}

TEST_F(DialupServiceTest, FailedAttemptHoldsItsHandleUntilHungUp) {
    Book("[Office]\nOutcomes=busy\n");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWait("Office", &handle));
    EXPECT_EQ(1u, service->HandleCount());
    EXPECT_EQ(1u, FileCount(state));
    EXPECT_TRUE(ConnectionNames().empty()); // a failed attempt is no connection
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
    EXPECT_EQ(0u, service->HandleCount());
    EXPECT_EQ(0u, FileCount(state));
}

TEST_F(DialupServiceTest, EndOfTheServiceStopsAttemptsButKeepsConnections) {
    Book("[Office]\n[Slow]\nOutcomes=noanswer\n");
    HRASCONN office = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWait("Office", &office));
    Start(1000); // a new instance: the old one ends, its connection stays up
    RASDIALPARAMSA slow = DialParams("Slow");
    HRASCONN dialing = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS),
              RasDialA(nullptr, nullptr, &slow, RASDIALFUNC_NOTIFIER,
                       reinterpret_cast<LPVOID>(&Collector::Callback), &dialing));
    EXPECT_EQ(2u, FileCount(state));
    Start(0);
    EXPECT_EQ(std::vector<std::string>{"Office"}, ConnectionNames());
    EXPECT_EQ(1u, FileCount(state));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(office));
}

// Runs fn in a child process and returns its exit status (-1 if it did not exit normally).
template <typename Fn> int InChildProcess(Fn fn) {
    pid_t pid = fork();
    if (pid == 0)
        _exit(fn());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(DialupServiceTest, ConnectionOutlivesTheProcessThatDialledIt) {
    Book("[Office]\n[Home]\n");
    int dialled = InChildProcess([&] {
        DialupService child(Options(0));
        platform::InstallDialup(&child);
        RASDIALPARAMSA params = DialParams("Office");
        HRASCONN handle = 0;
        return RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle) == 0 && handle != 0 ? 0 : 1;
    });
    ASSERT_EQ(0, dialled);
    EXPECT_EQ(std::vector<std::string>{"Office"}, ConnectionNames());

    // And the other way round: this process dials, another one counts and hangs up.
    RASDIALPARAMSA params = DialParams("Home");
    HRASCONN home = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), RasDialA(nullptr, nullptr, &params, 0, nullptr, &home));
    int counted = InChildProcess([&] {
        DialupService child(Options(0));
        platform::InstallDialup(&child);
        std::vector<std::string> names = ConnectionNames();
        if (RasHangUpA(home) != 0)
            return 100;
        return static_cast<int>(names.size());
    });
    EXPECT_EQ(2, counted);
    EXPECT_EQ(std::vector<std::string>{"Office"}, ConnectionNames());

    std::vector<RASCONNA> records(1);
    records[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(RASCONNA), count = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), RasEnumConnectionsA(records.data(), &bytes, &count));
    ASSERT_EQ(1u, count);
    EXPECT_STREQ("modem", records[0].szDeviceType);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(records[0].hrasconn));
    EXPECT_TRUE(ConnectionNames().empty());
}

TEST_F(DialupServiceTest, EnumConnectionsGrowsLikeEnumEntries) {
    Book("[A]\n[B]\n[C]\n");
    std::vector<HRASCONN> handles;
    for (const char* entry : {"A", "B", "C"}) {
        RASDIALPARAMSA params = DialParams(entry);
        HRASCONN handle = 0;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle));
        handles.push_back(handle);
    }
    std::vector<RASCONNA> records(3);
    records[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(RASCONNA), count = kSentinel;
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, RasEnumConnectionsA(records.data(), &bytes, &count));
    EXPECT_EQ(3u * 412u, bytes);
    EXPECT_EQ(0u, count);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasEnumConnectionsA(records.data(), &bytes, &count));
    EXPECT_EQ(3u, count);
    for (HRASCONN handle : handles)
        RasHangUpA(handle);
}

TEST_F(DialupServiceTest, AttemptOfADeadProcessIsSweptAway) {
    Book("[Office]\n");
    int started = InChildProcess([&] {
        DialupService child(Options(1000));
        platform::InstallDialup(&child);
        RASDIALPARAMSA params = DialParams("Office");
        HRASCONN handle = 0;
        DWORD result = RasDialA(nullptr, nullptr, &params, RASDIALFUNC_NOTIFIER,
                                reinterpret_cast<LPVOID>(&Collector::Callback), &handle);
        _exit(result == 0 ? 0 : 1); // dies mid-dial, without hanging up
        return 1;
    });
    ASSERT_EQ(0, started);
    EXPECT_EQ(1u, FileCount(state));
    EXPECT_TRUE(ConnectionNames().empty());
    EXPECT_EQ(0u, FileCount(state));
}

TEST_F(DialupServiceTest, StateFolderMustBeTheUsersOwn) {
    Book("[Office]\n");
    // A folder that does not exist yet holds no connection and is not made by a listing.
    DWORD result = kSentinel;
    EXPECT_TRUE(ConnectionNames(&result).empty());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), result);
    EXPECT_FALSE(std::filesystem::exists(state));

    std::filesystem::path good = folder.Path() / "good";
    std::filesystem::create_directory(good);
    std::filesystem::permissions(good, std::filesystem::perms::owner_all);
    struct Row {
        const char* what;
        std::function<void()> make;
    };
    const Row rows[] = {
        {"writable by all",
         [&] {
             std::filesystem::create_directory(state);
             std::filesystem::permissions(state, std::filesystem::perms::owner_all |
                                                     std::filesystem::perms::others_write |
                                                     std::filesystem::perms::others_exec);
         }},
        {"a link to a folder", [&] { std::filesystem::create_directory_symlink(good, state); }},
        {"a file", [&] { WriteFile(state, "x"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(state);
        row.make();
        ConnectionNames(&result);
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), result);
        RASDIALPARAMSA params = DialParams("Office");
        HRASCONN handle = 0;
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED),
                  RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle));
    }
    EXPECT_EQ(0u, FileCount(good));

    // The folder and the parents it lacks are made 0700, whatever the umask; a parent that
    // was there is left as it was.
    for (mode_t mask : {0000, 0022, 0077, 0777}) {
        SCOPED_TRACE(mask);
        const std::filesystem::path top = folder.Path() / ("made" + std::to_string(mask));
        DialupServiceOptions options = Options(0);
        options.stateDirectory = (top / "run" / "skyvane").string();
        DialupService made(options);
        platform::InstallDialup(&made);
        const mode_t saved = umask(mask);
        RASDIALPARAMSA params = DialParams("Office");
        HRASCONN handle = 0;
        result = RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle);
        umask(saved);
        EXPECT_EQ(DWORD(ERROR_SUCCESS), result);
        for (const std::filesystem::path& dir : {top, top / "run", top / "run" / "skyvane"}) {
            struct stat info {};
            ASSERT_EQ(0, stat(dir.c_str(), &info)) << dir;
            EXPECT_EQ(0700u, info.st_mode & 07777) << dir;
        }
        EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
        platform::InstallDialup(service.get());
    }
    struct stat outside {};
    ASSERT_EQ(0, stat(folder.Path().c_str(), &outside));
    EXPECT_EQ(0700u, outside.st_mode & 07777) << "the test folder is made 0700 and not changed";

    // A folder its group may write, as with a umask of 002, is the user's still.
    std::filesystem::remove_all(state);
    std::filesystem::create_directory(state);
    std::filesystem::permissions(state, std::filesystem::perms::owner_all |
                                            std::filesystem::perms::group_all);
    EXPECT_TRUE(ConnectionNames(&result).empty());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), result);
}

// Sets environment variables for one scope (null: unset) and puts the old values back.
class ScopedEnvironment {
  public:
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        m_saved.push_back({name, old != nullptr, old != nullptr ? old : ""});
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->had)
                setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                unsetenv(it->name.c_str());
        }
    }

  private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<Saved> m_saved;
};

TEST_F(DialupServiceTest, PlacesAndPaceComeFromTheEnvironment) {
    const std::string base = folder.Path().string();
    const std::string explicitBook = base + "/book.pbk";
    const std::string config = base + "/config";
    const std::string home = base + "/home";
    const std::string explicitState = base + "/st";
    const std::string runtime = base + "/run";
    const std::string fallbackState =
        (std::filesystem::temp_directory_path() / ("skyvane-" + std::to_string(geteuid())))
            .string();
    struct Row {
        const char *book, *config, *home, *state, *runtime, *step;
        std::string expectedBook, expectedState;
        DWORD expectedStep;
        std::string expectedNamedBy = "";
    };
    const Row rows[] = {
        {explicitBook.c_str(), config.c_str(), home.c_str(), explicitState.c_str(), runtime.c_str(),
         "25", explicitBook, explicitState, 25, "SKYVANE_PHONEBOOK"},
        {nullptr, config.c_str(), home.c_str(), nullptr, runtime.c_str(), "0",
         config + "/skyvane/phonebook.pbk", runtime + "/skyvane", 0},
        {"", "relative/config", home.c_str(), "", nullptr, "abc",
         home + "/.config/skyvane/phonebook.pbk", fallbackState, 400},
        {nullptr, nullptr, home.c_str(), nullptr, "", "-5", home + "/.config/skyvane/phonebook.pbk",
         fallbackState, 400},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "", fallbackState, 400},
        // A relative runtime folder is ignored, as every XDG base folder is.
        {nullptr, nullptr, home.c_str(), nullptr, "relative/run", nullptr,
         home + "/.config/skyvane/phonebook.pbk", fallbackState, 400},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expectedBook);
        ScopedEnvironment environment;
        environment.Set("SKYVANE_PHONEBOOK", row.book);
        environment.Set("XDG_CONFIG_HOME", row.config);
        environment.Set("HOME", row.home);
        environment.Set("SKYVANE_DIALUP_STATE", row.state);
        environment.Set("XDG_RUNTIME_DIR", row.runtime);
        environment.Set("SKYVANE_DIALUP_STEP_MS", row.step);
        DialupServiceOptions options = DialupServiceOptions::FromEnvironment();
        EXPECT_EQ(row.expectedBook, options.phoneBookPath);
        EXPECT_EQ(row.expectedState, options.stateDirectory);
        EXPECT_EQ(row.expectedStep, options.stepMilliseconds);
        EXPECT_EQ(row.expectedNamedBy, options.phoneBookNamedBy);
    }
}

} // namespace
