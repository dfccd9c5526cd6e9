// qel ports: which device each COM port is on and whether it can be opened.
//     qel ports [--json]            one line per COM port (device, by-id name, condition, driver,
//                                   latency timer), then the serial devices no COM port names
//     qel ports set COMn PATH       put COM port n on PATH in the port map
//     qel ports unset COMn          take COM port n out of the port map
// set and unset edit the map file in force ($CABLOR_PORTS, else the user's own) by replacing
// it whole, so a failure leaves the old map.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "SerialSurvey.h"

namespace qel {

// args are the words after "ports". 0 done, 1 failed, 2 usage error.
int runPortsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const cablor::ports::SystemFolders& folders = {});

// The listing of a survey, as text lines or as one JSON object.
std::string portsText(const cablor::ports::PortSurvey& survey);
std::string portsJson(const cablor::ports::PortSurvey& survey);

}  // namespace qel
