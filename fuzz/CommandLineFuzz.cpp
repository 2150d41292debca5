// The command line on any input. First as a line: splitting never fails and never gives an
// argument longer than the line. Then as arguments (the input cut at NUL bytes): joined behind a
// plain program name by the Windows quoting rules and split again, they come back exactly.
// The program name is fixed: it has a rule of its own (quotes only group), so what an argument
// may hold is a question for the arguments that follow it.
#include "FuzzCheck.h"

#include "platform/afxwin.h"
#include "platform/process.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    for (const std::string& arg : platform::SplitCommandLine(input)) {
        FUZZ_CHECK(arg.size() <= input.size());
    }

    std::vector<std::string> args = {"client.exe"};
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type nul = input.find('\0', start);
        args.push_back(input.substr(start, nul == std::string::npos ? nul : nul - start));
        if (nul == std::string::npos) {
            break;
        }
        start = nul + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    std::string line;
    FUZZ_CHECK(AfxJoinCommandLine(static_cast<int>(argv.size()), argv.data(), &line));
    FUZZ_CHECK(platform::SplitCommandLine(line) == args);
    return 0;
}
