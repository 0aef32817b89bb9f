// Recording stand-ins for the plug-in functions the text-key sources call (log, record writer,
// device-font command, barcode settings, direct writes), so that the unit tests see exactly
// what the text keys hand on.
#pragma once

#include <string>
#include <vector>

namespace textkeys_test {

struct Record {
    int type = 0;
    unsigned height = 0;
    std::string fieldA;
    std::string fieldB;
};

struct Recorder {
    std::vector<std::string> log;
    std::vector<Record> records;
    std::vector<std::string> directWrites;  // blocks handed to WriteDirect, in order
    unsigned spoolLimit = 0xFFFFFFFF;       // bytes the fake spooler takes per call
    bool failRecords = false;               // AddFontDataToBuf reports failure
    void Clear() { *this = Recorder(); }
    bool Logged(const std::string& line) const;
};

Recorder& Recorded();

// The fake GetDevFontCommand's command bytes and the fake feed it appends to the text.
inline const std::string kFakeCommand = "<CMD>";
inline const std::string kFakeFeed = "\x1B\x4A\x18";

}  // namespace textkeys_test
