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

std::string QuoteArgument(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string ArgumentText(const std::string& argument) {
    const bool plain = !argument.empty() && argument.find_first_of(" \t\"") == std::string::npos;
    return plain ? argument : QuoteArgument(argument);
}

bool ProgramNameText(const std::string& program, std::string* text) {
    if (program.find('"') != std::string::npos) {
        return false;
    }
    const bool plain = !program.empty() && program.find_first_of(" \t") == std::string::npos;
    *text = plain ? program : "\"" + program + "\"";
    return true;
}

bool JoinCommandLine(const std::vector<std::string>& args, std::string* line) {
    if (args.empty()) {
        line->clear();
        return true;
    }
    std::string out;
    if (!ProgramNameText(args[0], &out)) {
        return false;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        out += ' ';
        out += ArgumentText(args[i]);
    }
    *line = std::move(out);
    return true;
}

} // namespace platform
