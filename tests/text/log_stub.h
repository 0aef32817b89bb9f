// In-memory diagnostic log for the text tests.
#pragma once

#include <string>
#include <vector>

std::vector<std::string>& CapturedLog();
bool LogHas(const std::string& line);
