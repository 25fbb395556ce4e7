#pragma once
// The settings file mirvista.ini: KEY=VALUE lines with "#" comments. Everything here works
// on a key table, a vector of records and a run mode handed in, and on any multio::Stream,
// so that it runs without the file system; the Win32 shell finds and opens the file.

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/MonitorRecord.h"
#include "app/settings/KeyTable.h"
#include "multio/Stream.h"

// Longest file line kept; the rest of a longer line is dropped.
constexpr size_t kSettingsLineMax = 1023;

// Handles one line as read from the file (line end already removed): comment, trimming,
// and a put into the table unless the line has no "=" or nothing left.
void handleSettingsLine(KeyTable& table, const std::string& line);

// Puts every program key into the table from the current values, in the program's order.
void putProgramKeys(KeyTable& table, const std::vector<MonitorRecord>& records, int32_t runMode);

// Sets the fields from the table; a key that is absent leaves its field unchanged, and a
// mode other than 0 or 1 becomes 0.
void takeProgramKeys(const KeyTable& table, std::vector<MonitorRecord>& records, int32_t& runMode);

// Reads lines from the stream into the table until its end, or until it stops delivering
// or fails; the lines read before that are kept.
void readSettingsLines(KeyTable& table, multio::Stream& stream);

// Writes every entry as "KEY=VALUE\n", in table order. Returns 0, or the first failing
// write's result.
int32_t writeSettingsLines(const KeyTable& table, multio::Stream& stream);

// The load and save between the file's stream and the records.
void loadSettings(KeyTable& table, multio::Stream& stream, std::vector<MonitorRecord>& records,
                  int32_t& runMode);
int32_t saveSettings(KeyTable& table, multio::Stream& stream,
                     const std::vector<MonitorRecord>& records, int32_t runMode);
