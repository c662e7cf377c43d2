// The virtual unit's state as a readable text file, the faults given on the command
// line, and sample messages for a unit that should have something stored.
#pragma once

#include "tools/sim/VirtualUnit.h"

#include <string>
#include <string_view>

// "key = value" lines; texts in double quotes, UTF-8, with C escapes.
std::string FormatSimState(const SimUnitState& state);
// Reads the lines over `state`: keys that are missing keep their values; the stored and sent
// messages are those of the text. False with the line and reason on the first error; `state`
// is then unchanged.
bool ParseSimState(const std::string& text, SimUnitState& state, std::string* error);

// The file forms (saving goes through a temporary file renamed over the old one).
bool SaveSimState(const std::string& path, const SimUnitState& state, std::string* error);
bool LoadSimState(const std::string& path, SimUnitState& state, std::string* error);

// "CMD:KIND[:COUNT[:AFTER]]": CMD a hexadecimal code (28, 0x28), a name (READ_CFG) or * for
// every command; KIND one of noanswer, badsum, noise[=N], confirm=N, echo[=offset|length],
// delay=MS, hangup; COUNT how many requests it hits (every one when left out), AFTER how many
// matching requests pass first.
bool ParseSimFault(std::string_view text, SimFault& fault, std::string* error);

// The n-th (from 1) of the sample messages a unit can be preloaded with, received at `time`.
SimSms SimSampleSms(int n, const SysTime& time);
