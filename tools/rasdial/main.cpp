// skyvane-rasdial: the dial-up service from a shell, in the manner of the Windows rasdial
// command. It is how a person (or a test) brings a connection up before the launcher starts.
#include "platform/ras.h"
#include "platform/ras_service.h"
#include "platform/text_table.h"

#include "skyvane/version.h"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: skyvane-rasdial                     list the connections that are up\n"
    "       skyvane-rasdial ENTRY [USER [PASSWORD|*]] [/DOMAIN:domain] [/PHONEBOOK:file]\n"
    "                                           dial ENTRY and wait for the outcome; without\n"
    "                                           USER the phone book's user name and saved\n"
    "                                           password are used, * asks for the password\n"
    "       skyvane-rasdial [ENTRY] /DISCONNECT   hang up ENTRY (or the only connection)\n"
    "       skyvane-rasdial --help | --version\n"
    "Options are case-insensitive; /D stands for /DISCONNECT.\n"
    "Environment: SKYVANE_PHONEBOOK, SKYVANE_DIALUP_STATE, SKYVANE_DIALUP_STEP_MS.\n"
    "Exit status: 0 success, 1 the dial-up service reported a failure, 2 bad usage.\n";

struct Arguments {
    std::vector<std::string> positional;
    bool disconnect = false;
    bool help = false;
    bool version = false;
    bool hasDomain = false;
    std::string domain;
    bool hasPhonebook = false;
    std::string phonebook;
};

std::string Upper(std::string text) {
    for (char& c : text)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

bool ParseArguments(int argc, char** argv, Arguments* args, std::string* problem) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string upper = Upper(arg);
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            args->help = true;
        } else if (arg == "--version") {
            args->version = true;
        } else if (upper == "/DISCONNECT" || upper == "/D") {
            args->disconnect = true;
        } else if (upper.rfind("/DOMAIN:", 0) == 0) {
            args->hasDomain = true;
            args->domain = arg.substr(8);
        } else if (upper.rfind("/PHONEBOOK:", 0) == 0) {
            args->hasPhonebook = true;
            args->phonebook = arg.substr(11);
        } else if (!arg.empty() && (arg[0] == '/' || arg.rfind("--", 0) == 0)) {
            *problem = "Unknown option " + arg + ".";
            return false;
        } else {
            args->positional.push_back(arg);
        }
    }
    if (args->positional.size() > 3) {
        *problem = "Too many arguments.";
        return false;
    }
    if (args->disconnect && args->positional.size() > 1) {
        *problem = "/DISCONNECT takes an entry name only.";
        return false;
    }
    if (!args->positional.empty() && args->positional[0].size() > RAS_MaxEntryName) {
        *problem =
            "The entry name is longer than " + std::to_string(RAS_MaxEntryName) + " characters.";
        return false;
    }
    return true;
}

std::string ErrorText(DWORD code) {
    char text[256] = {};
    if (RasGetErrorStringA(code, text, sizeof text) == ERROR_SUCCESS)
        return "Remote Access error " + std::to_string(code) + " - " + text;
    return "Remote Access error " + std::to_string(code) + ".";
}

bool SameName(const std::string& a, const std::string& b) {
    return Upper(a) == Upper(b);
}

// The connections that are up, growing the buffer as the service asks.
DWORD ListConnections(std::vector<RASCONNA>* connections) {
    connections->assign(1, RASCONNA{});
    for (int tries = 0; tries < 4; ++tries) {
        (*connections)[0].dwSize = sizeof(RASCONNA);
        DWORD bytes = static_cast<DWORD>(connections->size() * sizeof(RASCONNA));
        DWORD count = 0;
        DWORD result = RasEnumConnectionsA(connections->data(), &bytes, &count);
        if (result == ERROR_BUFFER_TOO_SMALL) {
            connections->resize(bytes / sizeof(RASCONNA) + 1);
            continue;
        }
        connections->resize(result == ERROR_SUCCESS ? count : 0);
        return result;
    }
    return ERROR_BUFFER_TOO_SMALL;
}

int List() {
    std::vector<RASCONNA> connections;
    DWORD result = ListConnections(&connections);
    if (result != ERROR_SUCCESS) {
        std::cout << ErrorText(result) << "\n";
        return kExitFailed;
    }
    if (connections.empty()) {
        std::cout << "No connections\n";
    } else {
        std::cout << "Connected to\n";
        for (const RASCONNA& connection : connections)
            std::cout << platform::RasFieldText(connection.szEntryName) << "\n";
    }
    std::cout << "Command completed successfully.\n";
    return kExitOk;
}

int Disconnect(const Arguments& args) {
    std::vector<RASCONNA> connections;
    DWORD result = ListConnections(&connections);
    if (result != ERROR_SUCCESS) {
        std::cout << ErrorText(result) << "\n";
        return kExitFailed;
    }
    std::vector<RASCONNA> chosen;
    if (args.positional.empty()) {
        if (connections.size() > 1) {
            std::cerr << "More than one connection is up; name the entry to hang up.\n";
            return kExitUsage;
        }
        chosen = connections;
    } else {
        for (const RASCONNA& connection : connections) {
            if (SameName(platform::RasFieldText(connection.szEntryName), args.positional[0]))
                chosen.push_back(connection);
        }
    }
    if (chosen.empty()) {
        std::cout << (args.positional.empty()
                          ? std::string("You are not connected.")
                          : "You are not connected to " + args.positional[0] + ".")
                  << "\n";
        return kExitFailed;
    }
    for (const RASCONNA& connection : chosen) {
        result = RasHangUpA(connection.hrasconn);
        if (result != ERROR_SUCCESS) {
            std::cout << ErrorText(result) << "\n";
            return kExitFailed;
        }
    }
    std::cout << "Command completed successfully.\n";
    return kExitOk;
}

// Notifications arrive on the service's thread; the main thread prints them.
struct Event {
    RASCONNSTATE state;
    DWORD error;
};
std::mutex g_mutex;
std::condition_variable g_wake;
std::deque<Event> g_events;
volatile std::sig_atomic_t g_interrupted = 0;

void OnDialEvent(UINT, RASCONNSTATE state, DWORD error) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_events.push_back({state, error});
    }
    g_wake.notify_one();
}

void OnInterrupt(int) {
    g_interrupted = 1;
}

const char* StateLine(RASCONNSTATE state) {
    static const platform::KeyText<RASCONNSTATE> kLines[] = {
        {RASCS_OpenPort, "Opening port..."},
        {RASCS_PortOpened, "Port opened."},
        {RASCS_ConnectDevice, "Dialing..."},
        {RASCS_DeviceConnected, "Device connected."},
        {RASCS_AllDevicesConnected, "All devices connected."},
        {RASCS_Authenticate, "Verifying username and password..."},
        {RASCS_AuthNotify, "Authentication notified."},
        {RASCS_AuthProject, "Registering your computer on the network..."},
        {RASCS_Authenticated, "Authenticated."},
        {RASCS_Connected, "Connected."},
        {RASCS_Disconnected, "Disconnected."},
    };
    return platform::TextOf(kLines, state);
}

std::string AskPassword(const std::string& entry) {
    std::cerr << "Password for " << entry << ": " << std::flush;
    termios saved{};
    bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string password;
    std::getline(std::cin, password);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << "\n";
    }
    return password;
}

int Dial(const Arguments& args) {
    const std::string& entry = args.positional[0];
    LPCSTR phonebook = args.hasPhonebook ? args.phonebook.c_str() : nullptr;

    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    platform::SetRasField(params.szEntryName, entry);
    BOOL hasPassword = FALSE;
    DWORD result = RasGetEntryDialParamsA(phonebook, &params, &hasPassword);
    if (result != ERROR_SUCCESS) {
        std::cout << ErrorText(result) << "\n";
        return kExitFailed;
    }
    if (args.positional.size() >= 2)
        platform::SetRasField(params.szUserName, args.positional[1]);
    if (args.positional.size() >= 3) {
        std::string password = args.positional[2] == "*" ? AskPassword(entry) : args.positional[2];
        platform::SetRasField(params.szPassword, password);
    }
    if (args.hasDomain)
        platform::SetRasField(params.szDomain, args.domain);

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    std::cout << "Connecting to " << entry << "..." << std::endl;
    HRASCONN connection = 0;
    result = RasDialA(nullptr, phonebook, &params, RASDIALFUNC_NOTIFIER,
                      reinterpret_cast<LPVOID>(&OnDialEvent), &connection);
    if (result != ERROR_SUCCESS) {
        std::cout << ErrorText(result) << "\n";
        return kExitFailed;
    }
    while (true) {
        Event event{};
        {
            std::unique_lock<std::mutex> lock(g_mutex);
            if (!g_wake.wait_for(lock, std::chrono::milliseconds(100),
                                 [] { return !g_events.empty(); })) {
                if (!g_interrupted)
                    continue;
                lock.unlock();
                RasHangUpA(connection);
                std::cout << "Cancelled.\n";
                return kExitFailed;
            }
            event = g_events.front();
            g_events.pop_front();
        }
        const char* line = StateLine(event.state);
        if (event.error == ERROR_SUCCESS && line != nullptr)
            std::cout << line << std::endl;
        else if (event.error == ERROR_SUCCESS)
            std::cout << "State " << static_cast<DWORD>(event.state) << "." << std::endl;
        if (event.error != ERROR_SUCCESS || event.state == RASCS_Disconnected) {
            // The failed attempt's handle is released, as a careful caller does.
            RasHangUpA(connection);
            if (event.error != ERROR_SUCCESS)
                std::cout << ErrorText(event.error) << "\n";
            else
                std::cout << "The line was closed before the connection was made.\n";
            return kExitFailed;
        }
        if (event.state == RASCS_Connected) {
            std::cout << "Successfully connected to " << entry << ".\n"
                      << "Command completed successfully.\n";
            return kExitOk;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string problem;
    if (!ParseArguments(argc, argv, &args, &problem)) {
        std::cerr << problem << "\n" << kUsage;
        return kExitUsage;
    }
    if (args.help) {
        std::cout << kUsage;
        return kExitOk;
    }
    if (args.version) {
        std::cout << "skyvane-rasdial " SKYVANE_VERSION "\n";
        return kExitOk;
    }
    platform::DialupServiceOptions options = platform::DialupServiceOptions::FromEnvironment();
    options.reportPhoneBookFaults = [](const std::vector<std::string>& faults) {
        for (const std::string& fault : faults)
            std::cerr << "skyvane-rasdial: " << fault << "\n";
    };
    platform::DialupService service(std::move(options));
    platform::InstallDialup(&service);
    int status = kExitOk;
    if (args.disconnect)
        status = Disconnect(args);
    else if (args.positional.empty())
        status = List();
    else
        status = Dial(args);
    platform::InstallDialup(nullptr);
    return status;
}
