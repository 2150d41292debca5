#include "client/jdk/JavaCommand.h"

#include <algorithm>
#include <iterator>
#include <utility>

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

std::vector<std::string> ClassPathEntries(const std::string& windowsClassPath) {
    std::vector<std::string> entries;
    for (std::string& entry : Split(windowsClassPath, ';')) {
        if (!entry.empty()) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::string LocalClassPath(const std::string& windowsClassPath, const PathTest& exists) {
    std::vector<std::string> all = ClassPathEntries(windowsClassPath);
    for (std::string& entry : all) {
        std::replace(entry.begin(), entry.end(), '\\', '/');
    }
    std::vector<std::string> present;
    std::copy_if(all.begin(), all.end(), std::back_inserter(present), exists);
    return Join(present.empty() ? all : present, ':');
}

JavaCommand ParseJavaCommand(const std::vector<std::string>& args) {
    JavaCommand command;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string classPath;
        if (IsClassPathOption(arg)) {
            if (i + 1 == args.size()) {
                command.error = arg + " needs a class path after it";
                return command;
            }
            classPath = args[++i];
        } else if (arg.rfind("--class-path=", 0) == 0) {
            classPath = arg.substr(13);
        } else if (arg == "-jar") {
            command.jar = true;
            ++i;
            break;
        } else if (arg.empty() || arg[0] != '-') {
            break; // the class to run: the rest is the program's own
        } else {
            command.options.push_back(arg);
            continue;
        }
        command.options.push_back("-cp");
        command.options.push_back(classPath);
        command.classPath = classPath;
    }
    if (i < args.size()) {
        command.hasMain = true;
        command.main = args[i++];
    }
    command.programArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return command;
}

Translation TranslateArguments(const std::vector<std::string>& args, const PathTest& exists) {
    Translation result;
    const JavaCommand command = ParseJavaCommand(args);
    if (!command.error.empty()) {
        result.error = command.error;
        return result;
    }
    for (size_t i = 0; i < command.options.size(); ++i) {
        result.args.push_back(command.options[i]);
        if (command.options[i] == "-cp") {
            result.args.push_back(LocalClassPath(command.options[++i], exists));
        }
    }
    if (command.jar) {
        result.args.push_back("-jar");
    }
    if (command.hasMain) {
        result.args.push_back(command.main);
    }
    result.args.insert(result.args.end(), command.programArgs.begin(), command.programArgs.end());
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
