#pragma once

#include <sstream>
#include <string>
#include <vector>

// The lines of a resource text, without their line ends.
inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        result.push_back(line);
    return result;
}
