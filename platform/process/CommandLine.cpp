// Splitting a command line the way a Windows program's C runtime builds its argv.
#include "platform/process.h"

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The program: quotes group and are dropped, backslashes are plain characters.
size_t ReadProgram(const std::string& line, size_t pos, std::string* out) {
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            quoted = !quoted;
        } else if (IsBlank(c) && !quoted) {
            break;
        } else {
            out->push_back(c);
        }
    }
    return pos;
}

// A later argument, with the backslash and quote rules.
size_t ReadArgument(const std::string& line, size_t pos, std::string* out) {
    bool quoted = false;
    while (pos < line.size()) {
        char c = line[pos];
        if (c == '\\') {
            size_t count = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++count;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                out->append(count / 2, '\\');
                if (count % 2 == 1) {
                    out->push_back('"');
                    ++pos;
                }
                // With an even count the quote is handled as a quote below.
            } else {
                out->append(count, '\\');
            }
        } else if (c == '"') {
            if (quoted && pos + 1 < line.size() && line[pos + 1] == '"') {
                out->push_back('"');
                pos += 2;
            } else {
                quoted = !quoted;
                ++pos;
            }
        } else if (IsBlank(c) && !quoted) {
            break;
        } else {
            out->push_back(c);
            ++pos;
        }
    }
    return pos;
}

size_t SkipBlanks(const std::string& line, size_t pos) {
    while (pos < line.size() && IsBlank(line[pos])) {
        ++pos;
    }
    return pos;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    size_t pos = SkipBlanks(commandLine, 0);
    if (pos == commandLine.size()) {
        return args;
    }
    std::string program;
    pos = ReadProgram(commandLine, pos, &program);
    args.push_back(std::move(program));
    for (pos = SkipBlanks(commandLine, pos); pos < commandLine.size();
         pos = SkipBlanks(commandLine, pos)) {
        std::string arg;
        pos = ReadArgument(commandLine, pos, &arg);
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace platform
