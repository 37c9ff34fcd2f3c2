#pragma once

// pdfinfo and pdftotext (poppler-utils) on the PDFs the commands write.

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace clitest {

inline std::string capture(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, count);
        ::pclose(pipe);
    }
    return output;
}

inline std::string pdfInfo(const std::string& path, const std::string& key) {
    const std::string info = capture("pdfinfo '" + path + "' 2>/dev/null");
    std::smatch match;
    if (std::regex_search(info, match, std::regex(key + ":\\s+([^\\n]*)")))
        return match[1];
    return {};
}

inline int pdfPages(const std::string& path) {
    const std::string pages = pdfInfo(path, "Pages");
    return pages.empty() ? -1 : std::stoi(pages);
}

// The first non-blank line of each page, trimmed.
inline std::vector<std::string> pdfFirstLines(const std::string& path) {
    const std::string text = capture("pdftotext -layout '" + path + "' - 2>/dev/null");
    std::vector<std::string> firsts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\f', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string page = text.substr(start, end - start);
        std::size_t lineStart = 0;
        while (lineStart < page.size()) {
            std::size_t lineEnd = page.find('\n', lineStart);
            if (lineEnd == std::string::npos)
                lineEnd = page.size();
            std::string line = page.substr(lineStart, lineEnd - lineStart);
            const std::size_t first = line.find_first_not_of(' ');
            if (first != std::string::npos) {
                line = line.substr(first);
                line.erase(line.find_last_not_of(' ') + 1);
                firsts.push_back(line);
                break;
            }
            lineStart = lineEnd + 1;
        }
        start = end + 1;
    }
    return firsts;
}

} // namespace clitest
