#include "platform/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace platform {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool isSection(const std::string& line, std::string* name = nullptr) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    if (name != nullptr) *name = trim(t.substr(1, t.size() - 2));
    return true;
}

bool keyOf(const std::string& line, std::string& key, std::string& value) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return !key.empty();
}

}  // namespace

std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::size_t maxChars,
                                     const std::string& path) {
    bool inSection = false;
    for (const std::string& line : readLines(path)) {
        std::string name, k, v;
        if (isSection(line, &name)) {
            inSection = sameName(name, section);
        } else if (inSection && keyOf(line, k, v) && sameName(k, key)) {
            return v.substr(0, maxChars);
        }
    }
    return defaultValue.substr(0, maxChars);
}

bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& path) {
    std::vector<std::string> lines = readLines(path);
    const std::string entry = key + "=" + value;
    bool inSection = false, written = false;
    std::size_t sectionEnd = std::string::npos;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        std::string name, k, v;
        if (isSection(lines[i], &name)) {
            if (inSection) break;
            inSection = sameName(name, section);
            if (inSection) sectionEnd = i + 1;
        } else if (inSection) {
            if (keyOf(lines[i], k, v) && sameName(k, key)) {
                lines[i] = entry;
                written = true;
            } else if (!trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!written) {
        if (sectionEnd == std::string::npos) {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        }
    }
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) {
            out << line << "\r\n";
        }
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int profileNumber(const std::string& text) {
    return std::atoi(text.c_str());
}

}  // namespace platform
