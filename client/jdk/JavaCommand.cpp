#include "client/jdk/JavaCommand.h"

#include <algorithm>
#include <iterator>

namespace javaexe {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string Join(const std::vector<std::string>& parts, char separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) {
            text += separator;
        }
        text += part;
    }
    return text;
}

bool IsClassPathOption(const std::string& arg) {
    return arg == "-classpath" || arg == "-cp" || arg == "--class-path";
}

} // namespace

std::string LocalClassPath(const std::string& windowsClassPath, const PathTest& exists) {
    std::vector<std::string> all;
    for (std::string entry : Split(windowsClassPath, ';')) {
        if (entry.empty()) {
            continue;
        }
        std::replace(entry.begin(), entry.end(), '\\', '/');
        all.push_back(entry);
    }
    std::vector<std::string> present;
    std::copy_if(all.begin(), all.end(), std::back_inserter(present), exists);
    return Join(present.empty() ? all : present, ':');
}

Translation TranslateArguments(const std::vector<std::string>& args, const PathTest& exists) {
    Translation result;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsClassPathOption(arg)) {
            if (i + 1 == args.size()) {
                result.error = arg + " needs a class path after it";
                return result;
            }
            result.args.push_back("-cp");
            result.args.push_back(LocalClassPath(args[++i], exists));
        } else if (arg.rfind("--class-path=", 0) == 0) {
            result.args.push_back("-cp");
            result.args.push_back(LocalClassPath(arg.substr(13), exists));
        } else if (arg == "-jar" || arg.empty() || arg[0] != '-') {
            break; // the class (or archive) to run: the rest is the program's own
        } else {
            result.args.push_back(arg);
        }
    }
    result.args.insert(result.args.end(), args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.end());
    return result;
}

std::string FindJava(const char* javaHome, const char* path, const PathTest& isUsableJava) {
    if (javaHome && *javaHome) {
        std::string candidate = std::string(javaHome) + "/bin/java";
        if (isUsableJava(candidate)) {
            return candidate;
        }
    }
    if (!path) {
        return "";
    }
    for (const std::string& dir : Split(path, ':')) {
        if (dir.empty()) {
            continue; // an empty entry would mean the current directory: not a place for Java
        }
        std::string candidate = dir + (dir.back() == '/' ? "java" : "/java");
        if (isUsableJava(candidate)) {
            return candidate;
        }
    }
    return "";
}

} // namespace javaexe
