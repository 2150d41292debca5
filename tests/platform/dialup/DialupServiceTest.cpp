// The dial-up service on its own: buffer protocols, phone book, outcomes with their codes and
// texts, hang-ups, and connections that outlive the process that dialled them.
#include "DialupTestSupport.h"
#include "support/Environment.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <aclapi.h>
#else
#include "support/Child.h"

#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace dialup_test;
using platform::DialupService;
using platform::DialupServiceOptions;

namespace {

constexpr DWORD kSentinel = 0xBEEF;
const HRASCONN kNoHandle = platform::RasHandleOf(kSentinel);
// The records' sizes: on Linux those of 32-bit Windows (264, 1052, 412), on Windows the real
// ones (532, 1068 and 708 on x64).
constexpr DWORD kEntrySize = sizeof(RASENTRYNAMEA);
constexpr DWORD kParamsSize = sizeof(RASDIALPARAMSA);
constexpr DWORD kConnSize = sizeof(RASCONNA);

struct ChildTask; // what a child process does (below)

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
    // A task for a child process on this test's phone book and state folder.
    ChildTask Task(DWORD stepMilliseconds, const std::string& dial) const;

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

    TempDir folder{"dialup"};
    const std::filesystem::path dir{folder.Path()};
    std::filesystem::path phoneBook = dir / "phonebook.pbk";
    std::filesystem::path state = dir / "state";
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
        {"empty phone book", 0, 1, false, kEntrySize, ERROR_SUCCESS, 0, 0},
        {"one entry in one record", 1, 1, false, kEntrySize, ERROR_SUCCESS, kEntrySize, 1},
        {"three entries, one record", 3, 1, false, kEntrySize, ERROR_BUFFER_TOO_SMALL,
         3 * kEntrySize, 0},
        {"three entries, grown buffer", 3, 3, false, kEntrySize, ERROR_SUCCESS, 3 * kEntrySize, 3},
        {"size asked with no buffer", 2, 0, true, kEntrySize, ERROR_BUFFER_TOO_SMALL,
         2 * kEntrySize, 0},
        {"record size of another record", 1, 1, false, kParamsSize, ERROR_INVALID_SIZE, kEntrySize,
         kSentinel},
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
                EXPECT_EQ(kEntrySize, buffer[i].dwSize);
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
    connection.dwSize = kEntrySize;
    bytes = sizeof connection;
    EXPECT_EQ(ERROR_INVALID_SIZE, RasEnumConnectionsA(&connection, &bytes, &count));
}

TEST_F(DialupServiceTest, WithoutABackendTheSystemsOwnServiceAnswers) {
    platform::InstallDialup(nullptr);
    RASCONNA connection{};
    connection.dwSize = sizeof connection;
    DWORD bytes = sizeof connection;
    DWORD count = kSentinel;
#ifdef _WIN32
    // rasapi32, which knows no connection here (Wine's never does).
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasEnumConnectionsA(&connection, &bytes, &count));
    EXPECT_EQ(0u, count);
#else
    // There is none on Linux; its failure still has a text.
    EXPECT_EQ(ERROR_RASMAN_CANNOT_INITIALIZE, RasEnumConnectionsA(&connection, &bytes, &count));
    char text[256] = "";
    EXPECT_EQ(DWORD(ERROR_SUCCESS),
              RasGetErrorStringA(ERROR_RASMAN_CANNOT_INITIALIZE, text, sizeof text));
    EXPECT_STREQ("Cannot load the Remote Access Service Connection Manager.", text);
#endif
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
        {"entry not in the phone book", "Nowhere", kParamsSize, false,
         ERROR_CANNOT_FIND_PHONEBOOK_ENTRY},
        {"record of the wrong size", "Office", kEntrySize, false, ERROR_INVALID_SIZE},
        {"no flag", "Office", kParamsSize, true, DWORD(ERROR_INVALID_PARAMETER)},
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
    HRASCONN handle = 0;
    EXPECT_EQ(ERROR_CANNOT_OPEN_PHONEBOOK, DialAndWaitInCall("Office", &handle));
    EXPECT_EQ(std::vector<std::string>{phoneBook.string() + ": the phone book is not a file"}, told)
        << "told once";
    std::filesystem::remove(phoneBook);

    // A phone book that someone named must exist: in the call, or by SKYVANE_PHONEBOOK.
    const std::string absent = (dir / "absent.pbk").string();
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
    WriteFile(dir / "other.pbk", "[Elsewhere]\n");
    std::string other = (dir / "other.pbk").string();
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
        HRASCONN handle = kNoHandle;
        ASSERT_EQ(row.dialResult, DialAndWait("Office", &handle));
        std::vector<Notification> seen = Collector::Instance().Seen();
        ASSERT_EQ(row.notifications, seen.size());
        DWORD code = row.dialResult;
        if (row.dialResult == ERROR_SUCCESS) {
            EXPECT_EQ(row.last, seen.back());
            EXPECT_EQ((Notification{RASCS_OpenPort, 0}), seen.front());
            code = seen.back().error;
        } else {
            EXPECT_EQ(kNoHandle, handle); // no handle for a refused attempt
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
        EXPECT_EQ(UINT(WM_RASDIALEVENT), message);
    EXPECT_NE(HRASCONN(0), handle);
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
    small.dwSize = kEntrySize;
    RASDIALPARAMSA unknown = DialParams("Nowhere");
    HRASCONN handle = kNoHandle;
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
    EXPECT_EQ(kNoHandle, handle);
    EXPECT_EQ(0u, service->HandleCount());
}

TEST_F(DialupServiceTest, WithoutANotifierDialWaitsForTheOutcome) {
    Book("[Office]\nOutcomes=busy,connect\n");
    HRASCONN busy = 0, connected = 0;
    EXPECT_EQ(ERROR_LINE_BUSY, DialAndWaitInCall("Office", &busy));
    EXPECT_NE(HRASCONN(0), busy); // the failed attempt still has a handle to hang up
    EXPECT_EQ(DWORD(ERROR_SUCCESS), DialAndWaitInCall("Office", &connected));
    EXPECT_EQ(std::vector<std::string>{"Office"}, ConnectionNames());
    EXPECT_EQ(2u, service->HandleCount());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(busy));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(connected));
    EXPECT_EQ(0u, service->HandleCount());
}

TEST_F(DialupServiceTest, HangUpOfNoOrUnknownHandleFails) {
    Book("[Office]\n");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWaitInCall("Office", &handle));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), RasHangUpA(0));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE),
              RasHangUpA(platform::RasHandleOf(platform::RasHandleNumber(handle) + 1)));
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

// What a process of its own does with a service on the test's folder: dial an entry and end
// (the line stays up), or start dialling one and die at once, or count the connections and hang
// one up.
struct ChildTask {
    std::string phoneBook, state;
    DWORD stepMilliseconds = 0;
    std::string dial;             // the entry to dial, "" for none
    bool dieWhileDialing = false; // dials with a notifier and ends as RasDialA returns
    DWORD hangUp = 0;             // without dial: the handle to hang up after counting
};

// 0 once the dial went through (1 if not); with hangUp the count of connections seen, or 100
// when the hang-up failed.
int RunChildTask(const ChildTask& task) {
    DialupServiceOptions options;
    options.phoneBookPath = task.phoneBook;
    options.stateDirectory = task.state;
    options.stepMilliseconds = task.stepMilliseconds;
    DialupService child(options);
    platform::InstallDialup(&child);
    if (!task.dial.empty()) {
        RASDIALPARAMSA params = DialParams(task.dial);
        HRASCONN handle = 0;
        LPVOID notifier =
            task.dieWhileDialing ? reinterpret_cast<LPVOID>(&Collector::Callback) : nullptr;
        DWORD result = RasDialA(nullptr, nullptr, &params, RASDIALFUNC_NOTIFIER, notifier, &handle);
        const int code = result == ERROR_SUCCESS && handle != HRASCONN(0) ? 0 : 1;
        if (task.dieWhileDialing)
            _exit(code); // mid-dial, without hanging up
        return code;
    }
    std::vector<std::string> names = ConnectionNames();
    if (RasHangUpA(platform::RasHandleOf(task.hangUp)) != 0)
        return 100;
    return static_cast<int>(names.size());
}

#ifdef _WIN32
// The child is this test program again, told its task by this variable.
constexpr const char* kChildVariable = "SKYVANE_DIALUP_TEST_CHILD";

std::string ChildTaskText(const ChildTask& task) {
    return task.phoneBook + "|" + task.state + "|" + std::to_string(task.stepMilliseconds) + "|" +
           task.dial + "|" + (task.dieWhileDialing ? "1" : "0") + "|" + std::to_string(task.hangUp);
}

ChildTask ChildTaskFromText(const std::string& text) {
    std::istringstream in(text);
    std::string fields[6];
    for (std::string& field : fields)
        std::getline(in, field, '|');
    return {fields[0],
            fields[1],
            static_cast<DWORD>(std::strtoul(fields[2].c_str(), nullptr, 10)),
            fields[3],
            fields[4] == "1",
            static_cast<DWORD>(std::strtoul(fields[5].c_str(), nullptr, 10))};
}

// Runs the task in a child process and returns its exit code (-1 if it did not start).
int InChildProcess(const ChildTask& task) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string line = "\"" + std::string(self, length) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    SetEnvironmentVariableA(kChildVariable, ChildTaskText(task).c_str());
    BOOL started = CreateProcessA(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started)
        return -1;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

// Started by InChildProcess: the task runs, and the program ends before any test does.
[[maybe_unused]] const bool g_ranChildTask = [] {
    const char* task = std::getenv(kChildVariable);
    if (task != nullptr && *task != '\0')
        _exit(RunChildTask(ChildTaskFromText(task)));
    return false;
}();
#else
// Runs the task in a child process and returns its exit status (-1 if it did not exit normally).
int InChildProcess(const ChildTask& task) {
    return InChild([&] { return RunChildTask(task); });
}
#endif

ChildTask DialupServiceTest::Task(DWORD stepMilliseconds, const std::string& dial) const {
    ChildTask task;
    task.phoneBook = phoneBook.string();
    task.state = state.string();
    task.stepMilliseconds = stepMilliseconds;
    task.dial = dial;
    return task;
}

TEST_F(DialupServiceTest, ConnectionOutlivesTheProcessThatDialledIt) {
    Book("[Office]\n[Home]\n");
    int dialled = InChildProcess(Task(0, "Office"));
    ASSERT_EQ(0, dialled);
    EXPECT_EQ(std::vector<std::string>{"Office"}, ConnectionNames());

    // And the other way round: this process dials, another one counts and hangs up.
    HRASCONN home = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWaitInCall("Home", &home));
    ChildTask countAndHangUp = Task(0, "");
    countAndHangUp.hangUp = platform::RasHandleNumber(home);
    int counted = InChildProcess(countAndHangUp);
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
        HRASCONN handle = 0;
        ASSERT_EQ(DWORD(ERROR_SUCCESS), DialAndWaitInCall(entry, &handle));
        handles.push_back(handle);
    }
    std::vector<RASCONNA> records(3);
    records[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(RASCONNA), count = kSentinel;
    EXPECT_EQ(ERROR_BUFFER_TOO_SMALL, RasEnumConnectionsA(records.data(), &bytes, &count));
    EXPECT_EQ(3 * kConnSize, bytes);
    EXPECT_EQ(0u, count);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasEnumConnectionsA(records.data(), &bytes, &count));
    EXPECT_EQ(3u, count);
    for (HRASCONN handle : handles)
        RasHangUpA(handle);
}

TEST_F(DialupServiceTest, AttemptOfADeadProcessIsSweptAway) {
    Book("[Office]\n");
    ChildTask dieWhileDialing = Task(1000, "Office");
    dieWhileDialing.dieWhileDialing = true;
    int started = InChildProcess(dieWhileDialing);
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

    std::filesystem::path good = dir / "good";
    std::filesystem::create_directory(good);
    std::filesystem::permissions(good, std::filesystem::perms::owner_all);
    struct Row {
        const char* what;
        std::function<void()> make;
    };
    const Row rows[] = {
#ifdef _WIN32
        // On Windows the access list says who may change the folder.
        {"writable by all",
         [&] {
             std::filesystem::create_directory(state);
             EXPLICIT_ACCESS_A everyone{};
             everyone.grfAccessPermissions = GENERIC_ALL;
             everyone.grfAccessMode = GRANT_ACCESS;
             BuildTrusteeWithNameA(&everyone.Trustee, const_cast<LPSTR>("EVERYONE"));
             PACL list = nullptr;
             ASSERT_EQ(DWORD(ERROR_SUCCESS), SetEntriesInAclA(1, &everyone, nullptr, &list));
             EXPECT_EQ(DWORD(ERROR_SUCCESS),
                       SetNamedSecurityInfoA(const_cast<LPSTR>(state.string().c_str()),
                                             SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                             nullptr, list, nullptr));
             LocalFree(list);
         }},
#else
        {"writable by all",
         [&] {
             std::filesystem::create_directory(state);
             std::filesystem::permissions(state, std::filesystem::perms::owner_all |
                                                     std::filesystem::perms::others_write |
                                                     std::filesystem::perms::others_exec);
         }},
#endif
#ifdef _WIN32
        // The C++ library has no links on Windows; Wine 8 answers TRUE and makes none.
        {"a link to a folder",
         [&] {
             CreateSymbolicLinkA(state.string().c_str(), good.string().c_str(),
                                 SYMBOLIC_LINK_FLAG_DIRECTORY |
                                     SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
         }},
#else
        {"a link to a folder", [&] { std::filesystem::create_directory_symlink(good, state); }},
#endif
        {"a file", [&] { WriteFile(state, "x"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(state);
        row.make();
#ifdef _WIN32
        if (!std::filesystem::exists(std::filesystem::symlink_status(state))) {
            std::printf("not run here (no links): %s\n", row.what);
            continue;
        }
#endif
        ConnectionNames(&result);
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), result);
        HRASCONN handle = 0;
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), DialAndWaitInCall("Office", &handle));
    }
    EXPECT_EQ(0u, FileCount(good));

#ifndef _WIN32
    // The folder and the parents it lacks are made 0700, whatever the umask; a parent that
    // was there is left as it was.
    for (mode_t mask : {0000, 0022, 0077, 0777}) {
        SCOPED_TRACE(mask);
        const std::filesystem::path top = dir / ("made" + std::to_string(mask));
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
        for (const std::filesystem::path& level : {top, top / "run", top / "run" / "skyvane"}) {
            struct stat info {};
            ASSERT_EQ(0, stat(level.c_str(), &info)) << level;
            EXPECT_EQ(0700u, info.st_mode & 07777) << level;
        }
        EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
        platform::InstallDialup(service.get());
    }
    struct stat outside {};
    ASSERT_EQ(0, stat(dir.c_str(), &outside));
    EXPECT_EQ(0700u, outside.st_mode & 07777) << "the test folder is made 0700 and not changed";

    // A folder its group may write, as with a umask of 002, is the user's still.
    std::filesystem::remove_all(state);
    std::filesystem::create_directory(state);
    std::filesystem::permissions(state, std::filesystem::perms::owner_all |
                                            std::filesystem::perms::group_all);
    EXPECT_TRUE(ConnectionNames(&result).empty());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), result);
#else
    // The folder and the parents it lacks are made.
    DialupServiceOptions options = Options(0);
    options.stateDirectory = (dir / "made" / "run" / "skyvane").string();
    DialupService made(options);
    platform::InstallDialup(&made);
    HRASCONN handle = 0;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), DialAndWaitInCall("Office", &handle));
    EXPECT_TRUE(std::filesystem::is_directory(options.stateDirectory));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
    platform::InstallDialup(service.get());
#endif
}

TEST_F(DialupServiceTest, PlacesAndPaceComeFromTheEnvironment) {
    const std::string base = dir.string();
    const std::string explicitBook = base + "/book.pbk";
    const std::string config = base + "/config";
    const std::string home = base + "/home";
    const std::string explicitState = base + "/st";
    const std::string runtime = base + "/run";
#ifdef _WIN32
    // The roaming and the local application-data folders stand where the XDG config and runtime
    // folders do; nothing is looked for below a home folder.
    const char* configVariable = "APPDATA";
    const char* runtimeVariable = "LOCALAPPDATA";
    const std::string configBook =
        (std::filesystem::path(config) / "Skyvane" / "phonebook.pbk").string();
    const std::string runtimeState =
        (std::filesystem::path(runtime) / "Skyvane" / "DialupState").string();
    const std::string homeBook = "";
    const std::string fallbackState =
        (std::filesystem::temp_directory_path() / "skyvane-dialup").string();
#else
    const char* configVariable = "XDG_CONFIG_HOME";
    const char* runtimeVariable = "XDG_RUNTIME_DIR";
    const std::string configBook = config + "/skyvane/phonebook.pbk";
    const std::string runtimeState = runtime + "/skyvane";
    const std::string homeBook = home + "/.config/skyvane/phonebook.pbk";
    const std::string fallbackState =
        (std::filesystem::temp_directory_path() / ("skyvane-" + std::to_string(geteuid())))
            .string();
#endif
    struct Row {
        const char *book, *config, *home, *state, *runtime, *step;
        std::string expectedBook, expectedState;
        DWORD expectedStep;
        std::string expectedNamedBy = "";
    };
    const Row rows[] = {
        {explicitBook.c_str(), config.c_str(), home.c_str(), explicitState.c_str(), runtime.c_str(),
         "25", explicitBook, explicitState, 25, "SKYVANE_PHONEBOOK"},
        {nullptr, config.c_str(), home.c_str(), nullptr, runtime.c_str(), "0", configBook,
         runtimeState, 0},
        {"", "relative/config", home.c_str(), "", nullptr, "abc", homeBook, fallbackState, 400},
        {nullptr, nullptr, home.c_str(), nullptr, "", "-5", homeBook, fallbackState, 400},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "", fallbackState, 400},
        // A relative runtime folder is ignored, as every XDG base folder is.
        {nullptr, nullptr, home.c_str(), nullptr, "relative/run", nullptr, homeBook, fallbackState,
         400},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expectedBook);
        EnvironmentGuard environment{
            "SKYVANE_PHONEBOOK",    configVariable,  "HOME",
            "SKYVANE_DIALUP_STATE", runtimeVariable, "SKYVANE_DIALUP_STEP_MS"};
        SetOrUnset("SKYVANE_PHONEBOOK", row.book);
        SetOrUnset(configVariable, row.config);
        SetOrUnset("HOME", row.home);
        SetOrUnset("SKYVANE_DIALUP_STATE", row.state);
        SetOrUnset(runtimeVariable, row.runtime);
        SetOrUnset("SKYVANE_DIALUP_STEP_MS", row.step);
        DialupServiceOptions options = DialupServiceOptions::FromEnvironment();
        EXPECT_EQ(row.expectedBook, options.phoneBookPath);
        EXPECT_EQ(row.expectedState, options.stateDirectory);
        EXPECT_EQ(row.expectedStep, options.stepMilliseconds);
        EXPECT_EQ(row.expectedNamedBy, options.phoneBookNamedBy);
        // The launcher's choice: on Windows the real service unless a phone book is named.
        bool ownService = true;
#ifdef _WIN32
        ownService = row.book != nullptr && *row.book != '\0';
#endif
        EXPECT_EQ(ownService, platform::OpenDialupFromEnvironment() != nullptr);
    }
}

} // namespace
