// In-memory diagnostic log for the barcode unit tests.
#pragma once

#include <string>
#include <vector>

std::vector<std::string>& CapturedLog();
bool LogHas(const std::string& line);
