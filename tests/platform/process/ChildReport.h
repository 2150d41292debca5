// What the process tests' child (ChildHelper.cpp) wrote about itself.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ChildReport {
    std::string cwd;
    std::string openDescriptors;
    std::vector<std::string> args;
};

// The report in `path`: records ending in NUL (working directory, open descriptors, arguments).
// Empty when the child wrote none.
inline ChildReport ReadChildReport(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    std::vector<std::string> records;
    std::string record;
    while (std::getline(content, record, '\0')) {
        records.push_back(record);
    }
    ChildReport report;
    if (records.size() >= 2) {
        report.cwd = records[0];
        report.openDescriptors = records[1];
        report.args.assign(records.begin() + 2, records.end());
    }
    return report;
}
