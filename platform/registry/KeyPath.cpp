#include "KeyPath.h"

namespace platform::keypath {

namespace {

constexpr unsigned char FoldByte(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<unsigned char>(c + 0x20);
    }
    switch (c) {
    case 0x8A: // S with caron
    case 0x8C: // OE
    case 0x8E: // Z with caron
        return static_cast<unsigned char>(c + 0x10);
    case 0x9F: // Y with diaeresis
        return 0xFF;
    default:
        return c;
    }
}

} // namespace

std::string Fold(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    }
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Fold(a) == Fold(b);
}

bool NameLess(std::string_view a, std::string_view b) {
    return Fold(a) < Fold(b);
}

int RootIndex(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) {
        return 0;
    }
    if (root == HKEY_CURRENT_USER) {
        return 1;
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return 2;
    }
    return -1;
}

HKEY RootFromIndex(int index) {
    switch (index) {
    case 0:
        return HKEY_CLASSES_ROOT;
    case 1:
        return HKEY_CURRENT_USER;
    case 2:
        return HKEY_LOCAL_MACHINE;
    default:
        return nullptr;
    }
}

bool Split(std::string_view path, std::vector<std::string>* names) {
    names->clear();
    if (path.empty()) {
        return true;
    }
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string_view name = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (name.empty() || name.size() > kMaxKeyNameLength) {
            names->clear();
            return false;
        }
        names->emplace_back(name);
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::string Join(std::string_view base, std::string_view sub) {
    if (base.empty()) {
        return std::string(sub);
    }
    if (sub.empty()) {
        return std::string(base);
    }
    std::string joined(base);
    joined += '\\';
    joined += sub;
    return joined;
}

} // namespace platform::keypath
