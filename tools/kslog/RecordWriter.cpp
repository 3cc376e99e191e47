#include "RecordWriter.h"
#include <climits>
#include <iterator>
#include "ksLog.h"

bool writeRecord(const Options& options, const std::string& text) {
    ksLogRecord* record = ksLog_Begin(options.level, options.module);
    if (!record)
        return false;
    if (options.hex) {
        ksLog_Append_B(text.data(), text.size());
    } else {
        // The text is an argument, never the format: its own '%' signs stay as they are.
        const int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
        ksLog_Append_F("%.*s\n", length, text.data());
    }
    ksLog_End(record);
    return true;
}

bool writeInput(const Options& options, std::istream& input) {
    if (options.hex) {
        const std::string bytes{std::istreambuf_iterator<char>(input),
                                std::istreambuf_iterator<char>()};
        return bytes.empty() || writeRecord(options, bytes);
    }
    bool allAccepted = true;
    std::string line;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // a Windows line end
        allAccepted = writeRecord(options, line) && allAccepted;
    }
    return allAccepted;
}
