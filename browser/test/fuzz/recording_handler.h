// What the read loop handed on, recorded by the stand-ins that the read-loop
// fuzzer links in place of the real handler and designer relay.
#pragma once

#include <string>
#include <vector>

struct LoopRecord {
  std::vector<std::string> handled;  // texts given to ProcessMessage
  std::vector<std::string> relayed;  // texts given to RelayXPath
};

// Empties the record and returns the old one.
LoopRecord TakeLoopRecord();
